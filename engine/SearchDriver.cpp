// One search from the Start command to the summary message: refusals, folder walk, matching, summary.
#include "engine/SearchDriver.h"

#include "engine/FolderScanner.h"
#include "engine/Formatting.h"
#include "engine/PairMatcher.h"

#include <QFileInfo>

namespace {

constexpr int kSummaryPadding = 36;  // blanks after the first line of the summary message
const QString kLineBreak = QStringLiteral("\n\r");  // the program's line break inside messages: LF, then CR

QString foldAsciiLetters(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return out;
}

// Clears the running mark however RunSearch ends.
class RunningMark {
public:
    explicit RunningMark(bool& running) : running_(running) { running_ = true; }
    ~RunningMark() { running_ = false; }
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;

private:
    bool& running_;
};

}  // namespace

bool FolderEntrySkipped(const QStringList& items, int i) {
    const QString c = foldAsciiLetters(items[i]);
    for (int k = 0; k < items.size(); ++k) {
        const QString other = foldAsciiLetters(items[k]);
        if (other != c && c.startsWith(other))
            return true;
        if (k < i && other == c)
            return true;
    }
    return false;
}

// What the scanner and the matcher see of the window: everything passes through, and the two progress
// texts are remembered for the summary message.
class SearchDriver::Host : public SearchHost {
public:
    explicit Host(SearchDriver& driver) : d_(driver) {}
    void ProcessMessages() override { d_.window_.ProcessMessages(); }
    bool SearchStopped() const override { return d_.SearchStopped || d_.window_.SearchStopped(); }
    bool ScanSubfolders() const override { return d_.window_.ScanSubfolders(); }
    void SetFilesCountText(const QString& text) override {
        d_.filesCountText_ = text;
        d_.window_.SetFilesCountText(text);
    }
    void SetCurrentDuplicatesText(const QString& text) override {
        d_.duplicatesText_ = text;
        d_.window_.SetCurrentDuplicatesText(text);
    }

private:
    SearchDriver& d_;
};

SearchDriver::SearchDriver(Catalogue& catalogue, const TSettings& settings, SearchWindow& window,
                           QLocale numberFormat)
    : cat_(catalogue), settings_(settings), window_(window), locale_(std::move(numberFormat)) {}

void SearchDriver::StartButtonClick() {
    if (running_) {
        // A search that is running or already stopping only ever stops; a second one never starts.
        SearchStopped = true;
        return;
    }
    SearchStopped = false;
    RunSearch();
}

void SearchDriver::RunSearch() {
    if (running_) {
        SearchStopped = true;
        return;
    }
    RunningMark mark(running_);
    // Closing the window releases the catalogue; while this is held the release waits until the search has
    // returned (the close also raises SearchStopped, so that is soon), and nothing below can meet freed
    // records. See finishPairs and the end of this function for what a pending release changes.
    Catalogue::SearchUse use(cat_);

    const QStringList items = window_.FolderListItems();
    if (items.isEmpty() || window_.PlaceholderShown()) {
        window_.ShowError(QStringLiteral("Please, add one or more directories to search."));
        SearchStopped = true;
        return;
    }
    if (!settings_.AnyTypeEnabled()) {
        window_.ShowError(QStringLiteral("Please, choose one or more file types in Settings menu."));
        SearchStopped = true;
        return;
    }

    window_.EnterSearchingState();
    filesCountText_ = QStringLiteral("Total pictures scanned: 0 / 0");
    duplicatesText_ = QStringLiteral("Similar pairs found: 0");
    bool redrawSuspended = false;
    bool matcherStarted = false;
    try {
        SearchStopped = false;
        window_.StartElapsedTimer();
        window_.BeginResultsUpdate();
        redrawSuspended = true;

        cat_.Reset();
        cat_.AllocateInitial();
        Host host(*this);
        walkFolderList(host);
        cat_.TrimPicturesAndPaths();

        if (!host.SearchStopped()) {
            matcherStarted = true;
            cat_.AllocatePairs();
            MatchPictures(cat_, settings_, host);
            finishPairs();
        }

        window_.SetSummaryLabels(QStringLiteral("Files scanned: ") + FormatCount(cat_.LastPicIndex + 1, locale_),
                                 QStringLiteral("Duplicates found: ") + FormatCount(cat_.PairCapacity, locale_),
                                 QStringLiteral("Disk Space Usage: ") + FormatSize(int64_t{cat_.TotalSize}, locale_));
        redrawSuspended = false;
        window_.EndResultsUpdate();
    } catch (...) {
        // The error still goes to the caller, but the window must come back whole first.
        if (matcherStarted)
            finishPairs();
        if (redrawSuspended)
            window_.EndResultsUpdate();
        cleanUp();
        throw;
    }
    cleanUp();

    // After a close the list was emptied and the catalogue is about to go: nothing is left to show.
    if (cat_.PairCapacity > 0 && !cat_.ReleaseRequested())
        window_.SelectFirstRowAndShow();
}

void SearchDriver::walkFolderList(SearchHost& host) {
    // One scanner for the whole list, so a folder reached twice (through links) is walked once.
    FolderScanner scanner(cat_, settings_, host);
    const int count = static_cast<int>(window_.FolderListItems().size());
    for (int i = 0; i < count; ++i) {
        // Drops onto the list stay possible during a search, so each entry is judged against the list as it
        // stands now.
        const QStringList items = window_.FolderListItems();
        if (i >= items.size())
            break;
        if (!FolderEntrySkipped(items, i) && QFileInfo(items[i]).isDir())
            scanner.ScanFolder(items[i]);
        if (host.SearchStopped())
            break;
    }
}

void SearchDriver::finishPairs() {
    cat_.TrimPairs();
    // A pending release means the window has emptied its list for closing; rows would point at records
    // about to be freed.
    window_.SetResultRowCount(cat_.ReleaseRequested() ? 0 : cat_.LastPairIndex + 1);
}

void SearchDriver::cleanUp() {
    window_.StopElapsedTimer();
    window_.EnterIdleState();
    window_.ShowSummary(summaryMessage());
    SearchStopped = true;
}

QString SearchDriver::summaryMessage() const {
    const QString first = SearchStopped || window_.SearchStopped() ? QStringLiteral("Search interrupted.") : QStringLiteral("Search finished.");
    return first + QString(kSummaryPadding, QLatin1Char(' ')) + kLineBreak + kLineBreak + filesCountText_ +
           kLineBreak + duplicatesText_ + kLineBreak + window_.TimeText() + kLineBreak;
}
