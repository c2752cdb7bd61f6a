// voralin-cli: the search engine without windows, for scripts, servers and benchmarks.
#include "cli/CommandLine.h"
#include "engine/Catalogue.h"
#include "engine/CsvWriter.h"
#include "engine/PairMatcher.h"
#include "engine/SearchDriver.h"
#include "engine/SearchTexts.h"
#include "platform/Memory.h"
#include "platform/StopSignals.h"
#include "platform/Terminal.h"
#include "history/RememberedPairs.h"
#include "results/GroupsJson.h"
#include "results/PairFilter.h"
#include "results/PictureFacts.h"
#include "results/ResultGroups.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr qint64 kTerminalRedrawMs = 100;  // an updating line need not redraw for every picture
constexpr qint64 kPlainLineMs = 1000;      // logs get at most one progress line a second

// Decoders report damaged files through Qt's warnings; a damaged file is passed over silently, and
// standard error belongs to the progress and the summary.
void dropNonCriticalMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

void writeErr(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

int usageError(const QString& reason) {
    writeErr(QStringLiteral("voralin-cli: %1\n").arg(reason) + SynopsisText());
    return kExitUsage;
}

// The window side of a search, played on a terminal: progress on stderr, Ctrl-C as the Stop button.
class CliSearchWindow : public SearchWindow {
public:
    explicit CliSearchWindow(const CliOptions& options)
        : options_(options), terminal_(StandardErrorIsTerminal()) {}

    void ProcessMessages() override {}
    bool StopRequested() const override { return StopSignalled(); }
    bool ScanSubfolders() const override { return options_.Settings.ScanSubfolders; }
    void ReportProgress(const SearchProgress& progress, ProgressLine) override {
        progress_ = progress;
        showProgress();
    }
    QStringList FolderListItems() const override { return options_.Paths; }
    bool PlaceholderShown() const override { return false; }
    void ShowError(const QString& text) override { writeErr(QStringLiteral("voralin-cli: %1\n").arg(text)); }
    void ShowSummary(const SearchOutcome& outcome) override {
        clearProgressLine();
        for (const QString& line : SummaryLines(outcome))
            writeErr(line + QLatin1Char('\n'));
    }
    void EnterSearchingState() override { progress_ = SearchProgress{}; }
    void EnterIdleState() override {}
    void StartElapsedTimer() override { elapsed_.start(); }
    void StopElapsedTimer() override { stoppedAtMs_ = elapsed_.elapsed(); }
    uint32_t ElapsedMs() const override {
        const qint64 ms = stoppedAtMs_ >= 0 ? stoppedAtMs_ : (elapsed_.isValid() ? elapsed_.elapsed() : 0);
        return static_cast<uint32_t>(ms);
    }
    void BeginResultsUpdate() override {}
    void SetResultRowCount(int) override {}
    void EndResultsUpdate() override {}
    void SetSummaryLabels(const SummaryCountTexts&) override {}
    void SelectFirstRowAndShow() override {}

private:
    void showProgress() {
        if (options_.Quiet)
            return;
        const QString line = FilesCountText(progress_) + QStringLiteral("  ") + PairsFoundText(progress_);
        if (terminal_) {
            if (lastShown_.isValid() && lastShown_.elapsed() < kTerminalRedrawMs)
                return;
            writeErr(QStringLiteral("\r") + line + QStringLiteral("\x1b[K"));
            lineOpen_ = true;
        } else {
            if ((lastShown_.isValid() && lastShown_.elapsed() < kPlainLineMs) || line == lastLine_)
                return;
            writeErr(line + QLatin1Char('\n'));
            lastLine_ = line;
        }
        lastShown_.start();
    }
    void clearProgressLine() {
        if (lineOpen_)
            writeErr(QStringLiteral("\r\x1b[K"));
        lineOpen_ = false;
    }

    const CliOptions& options_;
    const bool terminal_;
    bool lineOpen_ = false;
    SearchProgress progress_;
    QString lastLine_;
    QElapsedTimer elapsed_;
    QElapsedTimer lastShown_;
    qint64 stoppedAtMs_ = -1;
};

bool writeStdout(const QByteArray& bytes) {
    const size_t written = std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    return std::fflush(stdout) == 0 && written == static_cast<size_t>(bytes.size());
}

// The pair list as CSV, unchanged without --groups and --min-similarity; or the groups as JSON.
QByteArray resultsOutput(const CliOptions& options, const Catalogue& catalogue) {
    if (!options.Groups && options.MinSimilarity == kNoSimilarityFilter)
        return PairListCsv(catalogue, QLocale::system());
    const std::vector<int32_t> shown = ShownPairs(catalogue, options.MinSimilarity);
    if (!options.Groups)
        return PairListCsv(catalogue, QLocale::system(), shown);
    PictureFacts facts;
    ResultGroups groups = ResultGroups::Build(catalogue, shown, facts);
    facts.Load(catalogue, groups.AllFiles());
    // The freed bytes need the files' identities, read only for the pictures that are in a group.
    groups = ResultGroups::Build(catalogue, shown, facts);
    return GroupsJson(catalogue, groups, facts);
}

int runSearch(const CliOptions& options) {
    if (!options.OutputFile.isEmpty() && !QFileInfo(QFileInfo(options.OutputFile).absolutePath()).isDir()) {
        writeErr(QStringLiteral("voralin-cli: cannot write %1: its folder does not exist\n").arg(options.OutputFile));
        return kExitFailure;
    }
    // A search of nothing would give an empty list that looks like a clean result.
    if (std::none_of(options.Paths.begin(), options.Paths.end(), [](const QString& f) { return QFileInfo(f).isDir(); }))
        return usageError(QStringLiteral("no folder to search: %1").arg(options.Paths.join(QLatin1Char(' '))));
    for (const QString& folder : options.Paths) {
        if (!QFileInfo(folder).isDir())
            writeErr(QStringLiteral("voralin-cli: warning: not a folder, passed over: %1\n").arg(folder));
    }

    PictureSupplyOptions supply;
    supply.Threads = options.Threads;
    supply.UseCache = options.UseCache;
    // The window's judgements count here too, unless asked not to.
    std::optional<RememberedPairs> remembered;
    std::optional<RememberedPairVeto> veto;
    if (options.UseRemembered) {
        remembered.emplace(RememberedPairs::DefaultFile());
        if (!remembered->Empty())
            supply.Veto = &veto.emplace(*remembered);
    }

    auto catalogue = std::make_unique<Catalogue>();
    CliSearchWindow window(options);
    SearchDriver driver(*catalogue, options.Settings, window, QLocale::system(), supply);

    InstallStopSignals();
    try {
        driver.StartButtonClick();
    } catch (const std::exception& e) {
        writeErr(QStringLiteral("voralin-cli: the search failed: %1\n").arg(QString::fromLocal8Bit(e.what())));
        return kExitFailure;
    }
    if (driver.LastOutcome().End == SearchEnd::Refused)
        return kExitUsage;
    for (const QByteArray& name : driver.PassedOverNames()) {
        // The bytes as they are: no conversion could show a name the encoding cannot hold.
        std::fprintf(stderr, "voralin-cli: warning: name not readable in this system's encoding, passed over: ");
        std::fwrite(name.constData(), 1, static_cast<size_t>(name.size()), stderr);
        std::fputc('\n', stderr);
    }
    if (veto && veto->Passed() > 0)
        writeErr(PassedOverText(veto->Passed()) + u'\n');

    const QByteArray output = resultsOutput(options, *catalogue);
    if (options.OutputFile.isEmpty()) {
        if (!writeStdout(output)) {
            writeErr(QStringLiteral("voralin-cli: cannot write the pair list to standard output\n"));
            return kExitFailure;
        }
        return kExitOk;
    }
    try {
        WriteFileAtomically(options.OutputFile, output);
    } catch (const FileWriteError& e) {
        writeErr(QStringLiteral("voralin-cli: %1\n").arg(QString::fromUtf8(e.what())));
        return kExitFailure;
    }
    return kExitOk;
}

QString positions(const TWaveletCoefs& coefs) {
    QStringList out;
    for (const TWaveletPoint& p : coefs) {
        if (p.X != 0 || p.Y != 0)
            out << QStringLiteral("%1,%2").arg(p.X).arg(p.Y);
    }
    return out.join(QLatin1Char(' '));
}

// One block per file through the search's own decoding and signature steps.
int runSignatures(const CliOptions& options) {
    DecodingPictureSource source(options.Settings.MinPicWidth, options.Settings.MinPicHeight,
                                 options.Settings.FollowOrientation);
    auto m = std::make_unique<TSignatureMatrix>();
    bool allDecoded = true;
    QString out;
    for (const QString& path : options.Paths) {
        out = QStringLiteral("file: %1\n").arg(path);
        try {
            const LoadResult size = source.Measure(0, path);
            TWaveletCoefs pos{};
            TWaveletCoefs neg{};
            m->fill(0);
            source.Sign(*m, pos, neg);
            out += QStringLiteral("size: %1 x %2\n").arg(size.Width).arg(size.Height);
            out += QStringLiteral("scale: 1/%1\n").arg(size.ScaleDenom);
            out += QStringLiteral("average: %1\n").arg(source.LastAverage());
            out += QStringLiteral("positive: %1\n").arg(positions(pos));
            out += QStringLiteral("negative: %1\n").arg(positions(neg));
        } catch (const std::exception& e) {
            allDecoded = false;
            out += QStringLiteral("error: %1\n").arg(QString::fromUtf8(e.what()));
        }
        out += QLatin1Char('\n');
        if (!writeStdout(out.toUtf8())) {
            writeErr(QStringLiteral("voralin-cli: cannot write to standard output\n"));
            return kExitFailure;
        }
    }
    return allDecoded ? kExitOk : kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
    PrepareMemoryForDecoding();
    qInstallMessageHandler(dropNonCriticalMessages);
    QCoreApplication app(argc, argv);
    const ParsedCommandLine parsed = ParseCommandLine(QCoreApplication::arguments().mid(1), QDir::currentPath());
    if (!parsed.Options)
        return usageError(parsed.Error);
    const CliOptions& options = *parsed.Options;
    if (options.Help) {
        writeStdout(UsageText().toUtf8());
        return kExitOk;
    }
    if (options.Version) {
        writeStdout(VersionText().toUtf8());
        return kExitOk;
    }
    return options.SignatureMode ? runSignatures(options) : runSearch(options);
}
