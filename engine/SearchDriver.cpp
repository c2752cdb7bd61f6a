// One search from the Start command to the summary message: refusals, folder walk, matching, summary.
#include "engine/SearchDriver.h"

#include "engine/FolderScanner.h"
#include "engine/PairMatcher.h"

#include <QFileInfo>

namespace {

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

// The list's entries end with the delimiter; one that does not still names the same folder, and must not
// become a prefix of its siblings (/p/a of /p/ab/).
QString asFolder(const QString& entry) {
    return entry.endsWith(QLatin1Char('/')) ? entry : entry + QLatin1Char('/');
}

}  // namespace

bool FolderEntrySkipped(const QStringList& items, int i, bool subfolders) {
    const QString entry = asFolder(items[i]);
    for (int k = 0; k < items.size(); ++k) {
        const QString other = asFolder(items[k]);
        if (other == entry) {
            if (k < i)
                return true;
            continue;
        }
        // Without subfolders the walk of the outer entry never reaches this one.
        if (subfolders && entry.startsWith(other))
            return true;
    }
    return false;
}

// What the scanner and the matcher see of the window: messages and the switch pass through, a stop asked
// for from outside is taken into the driver's flag at each message point, and progress is kept for the
// summary.
class SearchDriver::Host : public SearchHost {
public:
    explicit Host(SearchDriver& driver) : d_(driver) {}
    void ProcessMessages() override {
        d_.window_.ProcessMessages();
        if (d_.window_.StopRequested())
            d_.stopped_ = true;
    }
    bool SearchStopped() const override { return d_.stopped_; }
    bool ScanSubfolders() const override { return d_.window_.ScanSubfolders(); }
    void ReportProgress(const SearchProgress& progress, ProgressLine line) override {
        SearchProgress& kept = d_.outcome_.Progress;
        if (line == ProgressLine::Pairs) {
            kept.Pairs = progress.Pairs;
        } else {
            kept.Phase = progress.Phase;
            kept.Done = progress.Done;
            kept.Total = progress.Total;
        }
        d_.window_.ReportProgress(kept, line);
    }

private:
    SearchDriver& d_;
};

SearchDriver::SearchDriver(Catalogue& catalogue, const TSettings& settings, SearchWindow& window,
                           QLocale numberFormat, PictureSupplyOptions supply)
    : cat_(catalogue), settings_(settings), window_(window), locale_(std::move(numberFormat)),
      supply_(std::move(supply)) {}

void SearchDriver::StartButtonClick() {
    if (running_) {
        // A search that is running or already stopping only ever stops; a second one never starts.
        stopped_ = true;
        return;
    }
    stopped_ = false;
    RunSearch();
}

SearchOutcome SearchDriver::refuse(SearchRefusal refusal) {
    window_.ShowError(RefusalText(refusal));
    stopped_ = true;
    outcome_ = SearchOutcome{};
    outcome_.End = SearchEnd::Refused;
    outcome_.Refusal = refusal;
    return outcome_;
}

SearchOutcome SearchDriver::RunSearch() {
    if (running_) {
        stopped_ = true;
        return outcome_;
    }
    RunningMark mark(running_);
    // Closing the window releases the catalogue; while this is held the release waits until the search has
    // returned (the close also raises the stop flag, so that is soon), and nothing below can meet freed
    // records. See finishPairs and the end of this function for what a pending release changes.
    Catalogue::SearchUse use(cat_);

    const QStringList items = window_.FolderListItems();
    if (items.isEmpty() || window_.PlaceholderShown())
        return refuse(SearchRefusal::NoFolders);
    if (!settings_.AnyTypeEnabled())
        return refuse(SearchRefusal::NoPictureTypes);

    window_.EnterSearchingState();
    outcome_ = SearchOutcome{};
    bool redrawSuspended = false;
    bool matcherStarted = false;
    bool allTaken = false;
    try {
        stopped_ = false;
        window_.StartElapsedTimer();
        window_.BeginResultsUpdate();
        redrawSuspended = true;

        cat_.Reset();
        passedOver_.clear();
        cat_.AllocateInitial();
        Host host(*this);
        walkFolderList(host);
        cat_.TrimPicturesAndPaths();

        if (!host.SearchStopped()) {
            matcherStarted = true;
            cat_.AllocatePairs();
            allTaken = MatchPictures(cat_, settings_, host, supply_) == MatchEnd::AllTaken;
            finishPairs();
        }

        outcome_.PicturesScanned = cat_.LastPicIndex + 1;
        outcome_.PairsFound = cat_.PairCapacity;
        outcome_.TotalSize = int64_t{cat_.TotalSize};
        window_.SetSummaryLabels(SummaryCounts(outcome_, locale_));
        redrawSuspended = false;
        window_.EndResultsUpdate();
    } catch (...) {
        // The error still goes to the caller, but the window must come back whole first.
        if (matcherStarted)
            finishPairs();
        if (redrawSuspended)
            window_.EndResultsUpdate();
        cleanUp(allTaken);
        throw;
    }
    cleanUp(allTaken);

    // After a close the list was emptied and the catalogue is about to go: nothing is left to show.
    if (cat_.PairCapacity > 0 && !cat_.ReleaseRequested())
        window_.SelectFirstRowAndShow();
    return outcome_;
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
        // The switch can change during the walk (through its label), so it is read for each entry, as the
        // scanner reads it for each folder.
        if (!FolderEntrySkipped(items, i, window_.ScanSubfolders()) && QFileInfo(items[i]).isDir())
            scanner.ScanFolder(items[i]);
        if (host.SearchStopped())
            break;
    }
    passedOver_ = scanner.PassedOverNames();
    outcome_.PassedOverNames = static_cast<int32_t>(passedOver_.size());
}

void SearchDriver::finishPairs() {
    cat_.TrimPairs();
    // A pending release means the window has emptied its list for closing; rows would point at records
    // about to be freed.
    window_.SetResultRowCount(cat_.ReleaseRequested() ? 0 : cat_.LastPairIndex + 1);
}

void SearchDriver::cleanUp(bool allTaken) {
    window_.StopElapsedTimer();
    window_.EnterIdleState();
    // A stop that came after the last picture (while the cache was written, say) cut nothing short.
    outcome_.End = stopped_ && !allTaken ? SearchEnd::Interrupted : SearchEnd::Finished;
    outcome_.ElapsedMs = window_.ElapsedMs();
    window_.ShowSummary(outcome_);
    stopped_ = true;
}
