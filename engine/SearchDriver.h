// Runs one search from the Start command to the summary message. The window (or the command-line tool, or a
// test) takes part only through SearchWindow.
#pragma once

#include "engine/Catalogue.h"
#include "engine/PictureSupply.h"
#include "engine/SearchHost.h"
#include "engine/SearchTexts.h"
#include "settings/Settings.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <vector>

// The window side of a search. The driver owns the stop flag; the window only shows what it is told.
class SearchWindow {
public:
    virtual ~SearchWindow() = default;
    // Lets pending window events run.
    virtual void ProcessMessages() = 0;
    // A stop asked for from outside the driver's own Stop command (Ctrl-C in voralin-cli), looked at after
    // each message processing.
    virtual bool StopRequested() const { return false; }
    // The checked state of the subfolder switch, read each time a folder is entered.
    virtual bool ScanSubfolders() const = 0;
    // One progress line changed (see SearchHost).
    virtual void ReportProgress(const SearchProgress& progress, ProgressLine line) = 0;
    virtual QStringList FolderListItems() const = 0;
    virtual bool PlaceholderShown() const = 0;
    virtual void ShowError(const QString& text) = 0;            // error box, caption "Error"
    virtual void ShowSummary(const SearchOutcome& outcome) = 0; // information box, caption "Information"
    virtual void EnterSearchingState() = 0;                     // controls disabled, texts reset, search panel up
    virtual void EnterIdleState() = 0;
    virtual void StartElapsedTimer() = 0;                       // Timer1 on; the window shows "Elapsed time: ..."
    virtual void StopElapsedTimer() = 0;
    virtual uint32_t ElapsedMs() const = 0;                     // the elapsed time as last shown
    virtual void BeginResultsUpdate() = 0;                      // empty the results list, suspend redraw
    virtual void SetResultRowCount(int rows) = 0;
    virtual void EndResultsUpdate() = 0;                        // resume redraw
    virtual void SetSummaryLabels(const SummaryCountTexts& texts) = 0;
    virtual void SelectFirstRowAndShow() = 0;                   // select row 0 and refresh the comparison pane
};

// True when entry i of the folder list is not walked: an equal entry stands earlier, or, only when
// `subfolders` is set, some different entry is a prefix of it (it lies inside a folder walked with its
// subfolders anyway). Paths compare exactly, case included, as Linux file systems name folders: /t/A/ and
// /t/a/ are two folders. Entries end with "/" (one without it is read as if it had it), so /p/a/ is no prefix
// of /p/ab/.
bool FolderEntrySkipped(const QStringList& items, int i, bool subfolders);

class SearchDriver {
public:
    SearchDriver(Catalogue& catalogue, const TSettings& settings, SearchWindow& window,
                 QLocale numberFormat = QLocale::system(), PictureSupplyOptions supply = {});

    // True whenever no search runs or a running search has been asked to stop.
    bool SearchStopped() const { return stopped_; }
    // Asks a running search to stop at its next stop test; without a search it changes nothing visible.
    void RequestStop() { stopped_ = true; }
    bool Running() const { return running_; }
    // The veto the next searches pass candidates by (pairs the user said are not duplicates); null for none.
    void SetVeto(CandidateVeto* veto) { supply_.Veto = veto; }

    // Start when idle; while a search runs (or is stopping), only ask it to stop.
    void StartButtonClick();
    // Refusals, scan, match, summary. Errors after the searching state is entered propagate after clean-up.
    SearchOutcome RunSearch();
    // What the last search that returned came to (a refusal included).
    const SearchOutcome& LastOutcome() const { return outcome_; }
    // Full native paths the last search passed over because the system's encoding cannot hold their names.
    const std::vector<QByteArray>& PassedOverNames() const { return passedOver_; }

private:
    class Host;
    SearchOutcome refuse(SearchRefusal refusal);
    void walkFolderList(SearchHost& host);
    void finishPairs();
    // `allTaken`: the matcher took every picture, so the search counts as finished whatever the stop flag.
    void cleanUp(bool allTaken);

    Catalogue& cat_;
    const TSettings& settings_;
    SearchWindow& window_;
    QLocale locale_;
    PictureSupplyOptions supply_;
    bool stopped_ = true;
    bool running_ = false;
    // What the running search has reported, and what it came to.
    SearchOutcome outcome_;
    std::vector<QByteArray> passedOver_;
};
