// The results browser: the comparison pane, the summary line and the results list, the header sort, the
// refresh of the pane, opening and swapping pictures, the delete, move and reveal actions, and the CSV
// export. Other views of the pairs hook in here.
#pragma once

#include "engine/PairActions.h"
#include "engine/SearchTexts.h"
#include "history/UndoHistory.h"
#include "ui/MainWidgets.h"
#include "ui/WindowState.h"

#include <QObject>
#include <optional>
#include <vector>

class QAction;
class QMenuBar;
class QTableView;
class TComparisonView;
class TFolderDialog;
class TMainFrame;
class TPairListModel;
class TPanel;
class TResultsViews;

class TResultsBrowser : public QObject {
    Q_OBJECT
public:
    // Builds the comparison pane inside `centralPanel` and the summary line with the list in a panel of its
    // own (BottomPanel, a child of `parent`). `folderDialog` picks the destination of a move.
    TResultsBrowser(TMainFrame& frame, TFolderDialog& folderDialog, TDesignScale scale, QWidget* centralPanel,
                    QWidget* parent);

    // The panel under the comparison pane, for the frame's splitter.
    QWidget* BottomPanel() const;
    // Places the comparison pane below `top` (the part the search panel covers).
    void LayoutPane(int top);

    // The handlers, as the window names them.
    void ListView1Click();
    void ListView1ColumnClick(int column);
    void ListView1KeyUp(int key);
    // The pane follows the selected row: shows its pair unless it shows that pair already. Between searches
    // and sorts only; the list is frozen otherwise.
    void ShowSelectedPair();
    void OpenPicture(PairSide side);
    void SwapImagesButtonClick();
    void MovePicture(PairSide side);
    void RevealPicture(PairSide side);
    // `forGood`: deleted permanently whatever the settings say, after its own question.
    void DeletePicture(PairSide side, bool forGood = false);
    void SavelistofdupliacatestoCSV1Click();
    // Puts back the newest recorded delete, move or batch, says what came back and what could not, and
    // brings the pairs of the files that came back into the list again.
    void UndoLastStep();
    // The History window over the journal; restores from it come back into the list as an undo's do.
    void ShowHistory();
    // The shown pair is not the same picture: remembered by the two files' contents, so that later searches
    // pass it over wherever the files are; the pair leaves the list.
    void NotADuplicate();
    // The same for these pairs at once (a whole group); the selection stays at its row.
    void GroupNotDuplicates(const std::vector<int32_t>& pairs);

    int ResultRowCount() const;
    // The selected row of the list, or -1.
    int SelectedRow() const;

    // The search's side of the list and the summary line.
    void BeginResultsUpdate();
    void SetResultRowCount(int rows);
    void EndResultsUpdate();
    void SelectFirstRowAndShow();
    void SetSummaryLabels(const SummaryCountTexts& texts);
    // What the searching state resets: the summary line, the pane's texts and pictures.
    void ResetForSearch();

    // Enables the list or the pane's groups; other groups are not the browser's.
    void SetGroupEnabled(TControl group, bool on);

    // The groups view, the marks, the filter and the batch actions over the list.
    TResultsViews& Views() { return *views_; }
    // The column widths the user dragged, for the next run; empty while the columns share the width.
    std::vector<int> DraggedColumnWidths() const;
    void RestoreColumnWidths(const std::vector<int>& widths);

    // Their menus and the Picture menu of the shown pair, before `before`.
    void AddMenus(QMenuBar* menuBar, QAction* before);
    // The pair list has the keyboard: the plain keys of the Picture menu (Enter, Space, Delete) are then its.
    bool HasKeyboard(const QWidget* focus) const;

signals:
    void listClicked();
    void headerClicked(int column);
    void listKeyReleased(int key);
    // The selection moved by any means: a click, a key, a sort, a filter, a file action.
    void selectionMoved();
    void pictureClicked(PairSide side);
    void swapClicked();
    void moveClicked(PairSide side);
    void browseClicked(PairSide side);
    void deleteClicked(PairSide side);
    void permanentDeleteClicked(PairSide side);
    void notADuplicateClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setupList();
    void layoutBottom();
    // Until the user drags a column, the two path columns share the list's width.
    void shareColumns();
    void showSortIndicator();
    // The picture on `side` of the selected row's pair; nothing unless the pane shows that very pair, so
    // that an action never names a file the user does not see.
    std::optional<ActionTarget> targetOf(PairSide side);
    void showSelectedPair();
    bool paneShowsSelectedPair() const;
    // No pair to show: the pane as at the start of a search.
    void clearPane();
    bool fileStillThere(const QString& path, const QString& name);
    // The picture a delete or move on `side` touches: only between searches, when the pane shows it, it lies
    // outside the reference folders (else says so, after `refusal` and its name) and its file is there.
    std::optional<ActionTarget> fileActionTarget(PairSide side, const QString& refusal);
    void refreshAfterFileAction(int row);
    // The pair of the selected row (under the filter a row is not the pair of that number), or -1.
    int selectedPair() const;
    // The picture lies in a reference folder: says so and refuses the action `what` names.
    bool refusedAsReference(int32_t picture, const QString& what);
    // Another similarity filter: the selection stays on its pair while that is shown.
    void filterChanged(int percent);
    void showChosenPair(int pair);
    void setupMarkActions();
    void bringBack(const std::vector<JournalRecord>& restored);
    // Remembers the pairs (indices into PicturePairs) as not duplicates, takes them out of the list and keeps
    // the selection at `row`; pairs of one content stay, and the user is told why.
    void rememberNotDuplicates(std::vector<int32_t> pairs, int row);
    // Brings the restored files' pairs back and says what was and was not restored.
    void reportRestore(const RestoreReport& report);

    TMainFrame& frame_;
    TFolderDialog& folderDialog_;
    TDesignScale S;
    TComparisonView* pane_ = nullptr;
    TPanel* bottomPanel_ = nullptr;
    TPanel* summaryPanel_ = nullptr;
    QLabel* scanned_ = nullptr;
    QLabel* duplicates_ = nullptr;
    QLabel* diskUsage_ = nullptr;
    QTableView* list_ = nullptr;
    TPairListModel* model_ = nullptr;
    TResultsViews* views_ = nullptr;
    // The pictures the pane shows, left and right, while it shows a pair.
    struct ShownPair {
        int32_t Left = -1;
        int32_t Right = -1;
    };
    std::optional<ShownPair> shown_;
    // A press that selected a new row has shown its pair; the click that ends it need not decode again.
    bool shownSincePress_ = false;
    QWidget* viewport_ = nullptr;
    bool columnsDragged_ = false;
    // The list is in the order of its last header sort (not the order a search found the pairs in).
    bool listSorted_ = false;
    bool sharingColumns_ = false;
};
