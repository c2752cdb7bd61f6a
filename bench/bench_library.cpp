// A whole search over a library of many small files, as voralin-cli runs it: wall time and peak memory of a
// first search (empty signature cache) and of a second one over the unchanged folders.
//
//   bench_library prepare OUT_DIR COUNT    COUNT rendered scenes as JPEGs, 1000 per folder, every 50th a copy
//   bench_library run SET_DIR CLI [--threads N]
#include "SyntheticSignatures.h"

#include "../tests/core/PictureFixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int kPerFolder = 1000;
constexpr int kCopyEvery = 50;  // every 50th picture is a recompressed copy of the one before, so pairs exist

// A camera writes the shot's own data (time, counter) near the start of the file, so no two photographs begin
// alike; encoder output alone would give every file of one size the same first 256 bytes.
QByteArray WithShotComment(QByteArray jpeg, int shot) {
    const QByteArray text = QStringLiteral("Voralin benchmark shot %1").arg(shot, 6, 10, QLatin1Char('0')).toLatin1();
    QByteArray segment("\xFF\xFE", 2);
    segment.append(static_cast<char>((text.size() + 2) >> 8)).append(static_cast<char>((text.size() + 2) & 0xFF));
    segment.append(text);
    return jpeg.insert(2, segment);  // after the start-of-image marker
}

void Prepare(const QString& out, int count) {
    for (int k = 0; k < count; ++k) {
        const QString folder = QStringLiteral("%1/d%2").arg(out).arg(k / kPerFolder, 3, 10, QLatin1Char('0'));
        if (k % kPerFolder == 0)
            QDir().mkpath(folder);
        const QString name = QStringLiteral("%1/p%2.jpg").arg(folder).arg(k, 6, 10, QLatin1Char('0'));
        if (QFileInfo::exists(name))
            continue;  // a set being completed
        const bool copy = k % kCopyEvery == kCopyEvery - 1;
        const int scene = copy ? k - 1 : k;
        std::mt19937_64 rng(static_cast<uint64_t>(scene) + 7);
        TBitmap rendered;
        synth::Render(synth::RandomScene(rng), static_cast<uint64_t>(scene), rendered);
        const QImage square(rendered.Row(0), rendered.Width, rendered.Height, 3 * rendered.Width,
                            QImage::Format_RGB888);
        const QImage picture = square.scaled(160 + scene % 7 * 8, 120 + scene % 5 * 6, Qt::IgnoreAspectRatio,
                                             Qt::SmoothTransformation);
        fixtures::JpegOptions options;
        options.Quality = copy ? 60 : 85;
        fixtures::WriteBytes(name, WithShotComment(fixtures::EncodeJpeg(picture, options), k));
    }
    std::printf("prepared %d pictures in %s\n", count, qPrintable(out));
}

struct RunFigures {
    double Seconds = 0;
    long PeakKb = 0;  // largest resident set of any child waited for so far
    bool Ok = false;
};

RunFigures RunCli(const QString& cli, const QStringList& arguments, const QString& cacheHome) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cacheHome);
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer wall;
    wall.start();
    process.start(cli, arguments);
    const bool ok = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
                    process.exitCode() == 0;
    RunFigures figures{wall.nsecsElapsed() / 1e9, 0, ok};
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    figures.PeakKb = children.ru_maxrss;
    return figures;
}

int Run(const QString& set, const QString& cli, const QString& threads) {
    int files = 0;
    for (const QString& folder : QDir(set).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        files += static_cast<int>(QDir(set + "/" + folder).entryList({"*.jpg"}, QDir::Files).size());
    QTemporaryDir cacheHome;
    QStringList arguments{QStringLiteral("--quiet"), QStringLiteral("--output"), cacheHome.filePath("pairs.csv")};
    if (!threads.isEmpty())
        arguments << QStringLiteral("--threads") << threads;
    arguments << set;
    std::printf("%d pictures in %s, %d cores\n", files, qPrintable(set), QThread::idealThreadCount());

    const RunFigures first = RunCli(cli, arguments, cacheHome.path());
    QFile pairs(cacheHome.filePath("pairs.csv"));
    // The list holds two lines per pair under one heading line.
    const int lines = pairs.open(QIODevice::ReadOnly) ? static_cast<int>(pairs.readAll().count('\n')) : 0;
    pairs.close();
    std::printf("first search, empty cache:  %7.1f s, peak resident memory %ld MB, %d pairs%s\n", first.Seconds,
                first.PeakKb / 1024, std::max(lines - 1, 0) / 2, first.Ok ? "" : " (FAILED)");
    const RunFigures second = RunCli(cli, arguments, cacheHome.path());
    std::printf("second search, unchanged:   %7.1f s, peak resident memory of both %ld MB%s\n", second.Seconds,
                second.PeakKb / 1024, second.Ok ? "" : " (FAILED)");
    std::printf("speed-up of the second search: %.1f x; targets: peak under 400 MB, second search at least 10 x\n",
                first.Seconds / second.Seconds);
    return first.Ok && second.Ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == "prepare") {
        Prepare(args[1], std::max(1, args[2].toInt()));
        return 0;
    }
    if (args.size() >= 3 && args[0] == "run")
        return Run(args[1], args[2], args.size() >= 5 && args[3] == "--threads" ? args[4] : QString());
    std::fprintf(stderr, "usage: bench_library prepare OUT_DIR COUNT\n"
                         "       bench_library run SET_DIR CLI [--threads N]\n");
    return 2;
}
