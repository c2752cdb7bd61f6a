// The results beyond the pair list: the Pairs/Groups toggle, the groups view, the marks (also shown in the
// pair list), the keep-rules, the reference folders, the similarity filter and the batch actions on marked
// files. The results browser places it over its list and tells it when the pairs changed.
#pragma once

#include "results/BatchActions.h"
#include "results/PictureFacts.h"
#include "results/ResultGroups.h"
#include "results/ResultMarks.h"

#include <QList>
#include <QObject>
#include <QRect>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

class QAction;
class QComboBox;
class QMenu;
class QMenuBar;
class QPushButton;
class QSpinBox;
class QToolButton;
class QTreeView;
class QWidget;
class TFolderDialog;
class TGroupListModel;
class TMainFrame;
class TPairListModel;

class TResultsViews : public QObject {
    Q_OBJECT
public:
    // The controls and the groups view become children of `parent`; the groups view takes the place of
    // `pairList` when shown, and the marks are drawn by `pairModel` too. `folderDialog` picks the destination
    // of "Move marked to…".
    TResultsViews(TMainFrame& frame, TPairListModel& pairModel, QWidget* pairList, TFolderDialog& folderDialog,
                  QWidget* parent);

    // Lays out the row of controls at the top of `area` and the groups view below it; returns the part below
    // the controls, where the pair list lies.
    QRect Place(const QRect& area);
    // The "View" menu (the toggle) and the "Marks" menu (marking and the batch actions), before `before`.
    void AddMenus(QMenuBar* menuBar, QAction* before);
    QMenu* MarksMenu() const { return marksMenu_; }

    bool GroupsShown() const { return groupsShown_; }
    // Shows the groups (true) or the pair list in the same place.
    void ShowGroups(bool on);
    int MinSimilarity() const;

    // Where the reference folders come from (the folder list), asked before every decision they take part in.
    void SetReferenceSource(std::function<QStringList()> source);
    // The reference folders changed: the views drop marks of files now protected and redraw.
    void ReferenceFoldersChanged();
    bool IsReference(int32_t picture);

    // A new search: marks, groups and file facts go.
    void SearchStarted();
    // The pair list changed (search end, sort, single action, swap, filter): the groups are built again.
    void PairsChanged();
    // Enables the controls (off while a search runs).
    void SetEnabled(bool on);

    const ResultMarks& Marks() const { return marks_; }
    // The groups of the pairs shown, built when first needed after a change.
    const ResultGroups& Groups();

    // The commands, as the buttons and menus run them.
    void MarkDuplicates();
    void UnmarkAll();
    void DeleteMarked();
    void MoveMarked();
    void InvertCurrentGroup();
    // Every pair of the current group is not a duplicate; the browser remembers them.
    void CurrentGroupNotDuplicates();
    void MarkAllInCurrentFolder();
    // Marks an unmarked file and unmarks a marked one; a file of a reference folder is refused with a message.
    void ToggleMark(int32_t picture);

signals:
    // A file was chosen in the groups view: the browser shows this pair (an index into PicturePairs).
    void pairChosen(int pair);
    // The spin box asks for another filter.
    void minSimilarityChanged(int percent);
    // A batch changed the pair list: the browser refreshes its list, the pane and the idle state.
    void batchFinished();
    // "Not duplicates" on a whole group: these pairs (indices into PicturePairs) are not the same pictures.
    void notDuplicatesAsked(const std::vector<int32_t>& pairs);

private:
    void setupControls(QWidget* parent);
    void setupGroupsView(QWidget* parent);
    void setupActions();
    void readReferenceFolders();
    void rebuildGroups();
    void marksChanged();
    void chooseFile(const QModelIndex& index);
    void runBatch(BatchKind kind, const QString& destination);
    int32_t currentPicture() const;
    void applyGroupOrder();
    // Runs a command under the general error report, as the window's handlers run.
    template <typename F> void guarded(F&& body);

    TMainFrame& frame_;
    TPairListModel& pairModel_;
    QWidget* pairList_;
    TFolderDialog& folderDialog_;
    std::function<QStringList()> referenceSource_;
    ResultGroups groups_;
    bool groupsStale_ = true;
    bool groupsShown_ = false;
    bool batchRunning_ = false;
    ResultMarks marks_;
    ReferenceFolders reference_;
    PictureFacts facts_;
    TGroupListModel* groupsModel_ = nullptr;
    QTreeView* groupsView_ = nullptr;
    QWidget* controls_ = nullptr;
    QToolButton* pairsButton_ = nullptr;
    QToolButton* groupsButton_ = nullptr;
    QComboBox* groupOrder_ = nullptr;
    QSpinBox* minSimilarity_ = nullptr;
    QAction* groupsAction_ = nullptr;
    QAction* invertAction_ = nullptr;
    QAction* notDuplicatesAction_ = nullptr;
    QAction* inFolderAction_ = nullptr;
    QList<QAction*> commands_;  // mark duplicates, unmark all, delete marked, move marked
    QMenu* viewMenu_ = nullptr;
    QMenu* marksMenu_ = nullptr;
};
