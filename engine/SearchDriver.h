// Runs one search from the Start command to the summary message. The window (or the command-line tool, or a
// test) takes part only through SearchWindow.
#pragma once

#include "engine/Catalogue.h"
#include "engine/SearchHost.h"
#include "settings/Settings.h"

#include <QLocale>
#include <QString>
#include <QStringList>

// The window side of a search. SearchHost's SearchStopped() must answer SearchDriver::SearchStopped.
class SearchWindow : public SearchHost {
public:
    virtual QStringList FolderListItems() const = 0;
    virtual bool PlaceholderShown() const = 0;
    virtual void ShowError(const QString& text) = 0;          // error box, caption "Error"
    virtual void ShowSummary(const QString& text) = 0;        // information box, caption "Information"
    virtual void EnterSearchingState() = 0;                   // controls disabled, texts reset, search panel up
    virtual void EnterIdleState() = 0;
    virtual void StartElapsedTimer() = 0;                     // Timer1 on; the window shows "Elapsed time: ..."
    virtual void StopElapsedTimer() = 0;
    virtual QString TimeText() const = 0;                     // TimeLabel's current text
    virtual void BeginResultsUpdate() = 0;                    // empty the results list, suspend redraw
    virtual void SetResultRowCount(int rows) = 0;
    virtual void EndResultsUpdate() = 0;                      // resume redraw
    virtual void SetSummaryLabels(const QString& scanned, const QString& duplicates, const QString& diskUsage) = 0;
    virtual void SelectFirstRowAndShow() = 0;                 // select row 0 and refresh the comparison pane
};

// True when entry i of the folder list is not walked: some different entry is a prefix of it (so it lies
// inside a folder walked anyway), or an equal entry stands earlier. Letters a-z are compared without case,
// nothing else is folded. A plain "occurs anywhere inside" test would wrongly skip /b/a/ because /a/ is
// listed; with drive-lettered paths the two tests agree.
bool FolderEntrySkipped(const QStringList& items, int i);

class SearchDriver {
public:
    SearchDriver(Catalogue& catalogue, const TSettings& settings, SearchWindow& window,
                 QLocale numberFormat = QLocale::system());

    // True whenever no search runs or a running search has been asked to stop.
    bool SearchStopped = true;
    bool Running() const { return running_; }

    // Start when idle; while a search runs (or is stopping), only ask it to stop.
    void StartButtonClick();
    // Refusals, scan, match, summary. Errors after the searching state is entered propagate after clean-up.
    void RunSearch();

    // The last texts the engine wrote to the two progress lines (for the summary message).
    QString FilesCountText() const { return filesCountText_; }
    QString CurrentDuplicatesText() const { return duplicatesText_; }

private:
    class Host;
    void walkFolderList(SearchHost& host);
    void finishPairs();
    void cleanUp();
    QString summaryMessage() const;

    Catalogue& cat_;
    const TSettings& settings_;
    SearchWindow& window_;
    QLocale locale_;
    bool running_ = false;
    QString filesCountText_;
    QString duplicatesText_;
};
