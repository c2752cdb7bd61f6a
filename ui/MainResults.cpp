// The results browser: sorting by a header click, the refresh of the pane, opening and swapping pictures,
// the delete, move and reveal actions, and the CSV export.
#include "ui/MainResults.h"

#include "engine/CsvWriter.h"
#include "engine/SortProcedures.h"
#include "platform/FileActions.h"
#include "platform/FileFacts.h"
#include "ui/ComparisonPane.h"
#include "ui/FolderDialog.h"
#include "ui/MainComparisonView.h"
#include "ui/MainFrame.h"
#include "ui/PairListHold.h"
#include "ui/PairListModel.h"
#include "ui/RedrawPause.h"
#include "ui/ResultsViews.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include <algorithm>
#include <functional>
#include <utility>

namespace {

constexpr int kBottomPanelMin = 78;
constexpr int kSummaryPanelHeight = 52;
// Column widths in design units: the two path columns share what is left between these bounds.
constexpr int kPathColumnMin = 100;
constexpr int kPathColumnMax = 800;
constexpr int kSimilarityColumnWidth = 100;
constexpr int kSimilarityColumnMin = 50;
constexpr int kRowHeight = 21;

}  // namespace

TResultsBrowser::TResultsBrowser(TMainFrame& frame, TFolderDialog& folderDialog, TDesignScale scale,
                                 QWidget* centralPanel, QWidget* parent)
    : QObject(parent), frame_(frame), folderDialog_(folderDialog), S(scale) {
    pane_ = new TComparisonView(S, centralPanel);
    pane_->ShowSample();
    connect(pane_, &TComparisonView::pictureClicked, this, &TResultsBrowser::pictureClicked);
    connect(pane_, &TComparisonView::swapClicked, this, &TResultsBrowser::swapClicked);
    connect(pane_, &TComparisonView::moveClicked, this, &TResultsBrowser::moveClicked);
    connect(pane_, &TComparisonView::browseClicked, this, &TResultsBrowser::browseClicked);
    connect(pane_, &TComparisonView::deleteClicked, this, &TResultsBrowser::deleteClicked);

    bottomPanel_ = MakePanel(parent, "BottomPanel", false);
    bottomPanel_->setMinimumHeight(S(kBottomPanelMin));
    bottomPanel_->onResize = [this] { layoutBottom(); };

    summaryPanel_ = MakePanel(bottomPanel_, "SummaryPanel", true);
    summaryPanel_->SetColour(kPanelColour, kPanelText);
    const SummaryCountTexts start = SummaryCountsAtStart();
    scanned_ = MakeLabel(summaryPanel_, "ScannedCountLabel", start.Scanned, S.Font(15));
    duplicates_ = MakeLabel(summaryPanel_, "DuplicatesFoundLabel", start.Duplicates, S.Font(15));
    diskUsage_ = MakeLabel(summaryPanel_, "DiskUsageLabel", start.DiskUsage, S.Font(15));
    diskUsage_->hide();
    for (QLabel* label : {scanned_, duplicates_, diskUsage_})
        SetTextColour(label, kPanelText);

    list_ = new QTableView(bottomPanel_);
    list_->setObjectName(QStringLiteral("ListView1"));
    setupList();
    views_ = new TResultsViews(frame_, *model_, list_, folderDialog_, bottomPanel_);
    connect(views_, &TResultsViews::pairChosen, this, &TResultsBrowser::showChosenPair);
    connect(views_, &TResultsViews::notDuplicatesAsked, this, &TResultsBrowser::GroupNotDuplicates);
    connect(views_, &TResultsViews::minSimilarityChanged, this, &TResultsBrowser::filterChanged);
    connect(views_, &TResultsViews::batchFinished, this,
            [this] { refreshAfterFileAction(std::max(0, list_->currentIndex().row())); });
    setupMarkActions();
}

void TResultsBrowser::setupMarkActions() {
    // Marking from the pair list: the file of either column of the selected row.
    const auto markAction = [this](const char* name, const QString& text, PairSide side) {
        auto* action = new QAction(text, list_);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, [this, side] {
            if (const std::optional<ActionTarget> target = targetOf(side))
                views_->ToggleMark(target->PicIndex);
        });
        list_->addAction(action);
    };
    markAction("MarkOriginal1", QStringLiteral("Mark or unmark the original image"), PairSide::Left);
    markAction("MarkDuplicate1", QStringLiteral("Mark or unmark the duplicate image"), PairSide::Right);
    list_->actions().constLast()->setShortcut(QKeySequence(Qt::Key_Space));
    list_->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void TResultsBrowser::AddMenus(QMenuBar* menuBar, QAction* before) {
    // The shown pair's commands, with the keys that give them from the list.
    auto* menu = new QMenu(QStringLiteral("&Picture"), menuBar);
    menu->setObjectName(QStringLiteral("Picture1"));
    const auto command = [this, menu](const char* name, const QString& text, const QList<QKeySequence>& keys,
                                      auto&& handler) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    command("OpenDuplicate1", QStringLiteral("Open the duplicate image"),
            {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)},
            [this] { emit pictureClicked(PairSide::Right); });
    command("OpenOriginal1", QStringLiteral("Open the original image"), {},
            [this] { emit pictureClicked(PairSide::Left); });
    command("SwapImages1", QStringLiteral("Swap Images"), {QKeySequence(Qt::CTRL | Qt::Key_R)},
            [this] { emit swapClicked(); });
    menu->addSeparator();
    command("DeleteDuplicate1", QStringLiteral("Delete the duplicate image"), {QKeySequence(Qt::Key_Delete)},
            [this] { emit deleteClicked(PairSide::Right); });
    command("DeleteDuplicatePermanently1", QStringLiteral("Delete the duplicate image permanently"),
            {QKeySequence(Qt::SHIFT | Qt::Key_Delete)}, [this] { emit permanentDeleteClicked(PairSide::Right); });
    menu->addSeparator();
    command("NotADuplicate1", QStringLiteral("Not a duplicate"), {}, [this] { emit notADuplicateClicked(); });
    menu->addSeparator();
    for (QAction* mark : list_->actions())
        menu->addAction(mark);
    menuBar->insertMenu(before, menu);
    views_->AddMenus(menuBar, before);
}

bool TResultsBrowser::HasKeyboard(const QWidget* focus) const {
    return focus && (focus == list_ || list_->isAncestorOf(focus));
}

QWidget* TResultsBrowser::BottomPanel() const {
    return bottomPanel_;
}

void TResultsBrowser::setupList() {
    model_ = new TPairListModel(frame_.State().catalogue, frame_.State().SystemNumberFormat, this);
    model_->setObjectName(QStringLiteral("ListView1Model"));
    list_->setModel(model_);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSortingEnabled(false);
    list_->setWordWrap(false);
    // A long path is cut at its end, so that it still reads from its root.
    list_->setTextElideMode(Qt::ElideRight);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(S(kRowHeight));
    QHeaderView* header = list_->horizontalHeader();
    header->setSectionsClickable(true);
    // The sorted column shows its direction; none until the list is sorted.
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    // Tab moves on to the next control rather than from cell to cell.
    list_->setTabKeyNavigation(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(std::min(S(kSimilarityColumnMin), S(kPathColumnMin)));
    header->setMaximumSectionSize(S(kPathColumnMax));
    // The user may drag every column; until then the two path columns share the width the list has.
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->resizeSection(2, S(kSimilarityColumnWidth));
    connect(header, &QHeaderView::sectionResized, this, [this] {
        if (!sharingColumns_)
            columnsDragged_ = true;
    });

    // A click on the row already shown refreshes it; a press that moved the selection has shown it already.
    connect(list_, &QTableView::clicked, this, [this] {
        if (!shownSincePress_)
            emit listClicked();
    });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TResultsBrowser::selectionMoved);
    connect(header, &QHeaderView::sectionClicked, this, &TResultsBrowser::headerClicked);
    list_->installEventFilter(this);
    // Kept, not asked for: while the list is torn down its viewport still sends events, and the list is no
    // longer a scroll area to ask.
    viewport_ = list_->viewport();
    viewport_->installEventFilter(this);
}

bool TResultsBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewport_ && event->type() == QEvent::MouseButtonPress)
        shownSincePress_ = false;
    // The viewport narrows when the scroll bar appears: the shared widths follow it, not the list's frame.
    if (watched == viewport_ && event->type() == QEvent::Resize)
        shareColumns();
    if (watched == list_ && event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // A held key repeats its release; the list reacts once, when the key really comes up.
        if (!key->isAutoRepeat())
            emit listKeyReleased(key->key());
    }
    return false;
}

void TResultsBrowser::layoutBottom() {
    const int w = bottomPanel_->width();
    const int h = bottomPanel_->height();
    const int summaryHeight = S(kSummaryPanelHeight);
    summaryPanel_->setGeometry(0, 0, w, summaryHeight);
    list_->setGeometry(views_->Place(QRect(0, summaryHeight, w, std::max(0, h - summaryHeight))));

    // Long counts push the next label along instead of running into it.
    const int gap = S(16);
    const int textTop = S(14);
    const int lineHeight = S(20);
    const int scannedWidth = scanned_->sizeHint().width();
    scanned_->setGeometry(S(20), textTop, scannedWidth, lineHeight);
    const int duplicatesLeft = std::max(S(165), S(20) + scannedWidth + gap);
    const int duplicatesWidth = duplicates_->sizeHint().width();
    duplicates_->setGeometry(duplicatesLeft, textTop, duplicatesWidth, lineHeight);
    diskUsage_->setGeometry(std::max(S(328), duplicatesLeft + duplicatesWidth + gap), textTop,
                            diskUsage_->sizeHint().width(), lineHeight);
}

void TResultsBrowser::shareColumns() {
    if (columnsDragged_)
        return;
    QHeaderView* header = list_->horizontalHeader();
    const int width = list_->viewport()->width();
    const int each = std::clamp((width - S(kSimilarityColumnWidth)) / 2, S(kPathColumnMin), S(kPathColumnMax));
    sharingColumns_ = true;
    header->resizeSection(0, each);
    header->resizeSection(1, each);
    // Past the path columns' widest, the similarity column takes the rest, so the header has no empty end.
    header->resizeSection(2, std::max(S(kSimilarityColumnWidth), width - 2 * each));
    sharingColumns_ = false;
}

std::vector<int> TResultsBrowser::DraggedColumnWidths() const {
    std::vector<int> widths;
    if (!columnsDragged_)
        return widths;
    for (int column = 0; column < TPairListModel::kColumnCount; ++column)
        widths.push_back(list_->horizontalHeader()->sectionSize(column));
    return widths;
}

void TResultsBrowser::RestoreColumnWidths(const std::vector<int>& widths) {
    if (widths.size() != static_cast<size_t>(TPairListModel::kColumnCount))
        return;
    for (int column = 0; column < TPairListModel::kColumnCount; ++column)
        list_->horizontalHeader()->resizeSection(column, widths[static_cast<size_t>(column)]);
    columnsDragged_ = true;
}

void TResultsBrowser::LayoutPane(int top) {
    pane_->Layout(top);
}

void TResultsBrowser::SetGroupEnabled(TControl group, bool on) {
    if (group == TControl::ResultsList) {
        list_->setEnabled(on);
        views_->SetEnabled(on);
    }
    pane_->SetGroupEnabled(group, on);
}

void TResultsBrowser::ResetForSearch() {
    SetSummaryLabels(SummaryCountsAtStart());
    clearPane();
}

void TResultsBrowser::clearPane() {
    pane_->SetTexts(QStringLiteral("No Image"), QStringLiteral("No Image"), QStringLiteral("0%"));
    pane_->ClearPictures();
    shown_.reset();
}

void TResultsBrowser::SetSummaryLabels(const SummaryCountTexts& texts) {
    scanned_->setText(texts.Scanned);
    duplicates_->setText(texts.Duplicates);
    diskUsage_->setText(texts.DiskUsage);
    layoutBottom();
}

int TResultsBrowser::ResultRowCount() const {
    return model_->rowCount();
}

int TResultsBrowser::SelectedRow() const {
    const QItemSelectionModel* selection = list_->selectionModel();
    if (!selection)
        return -1;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

int TResultsBrowser::selectedPair() const {
    return model_->PairOfRow(SelectedRow());
}

void TResultsBrowser::BeginResultsUpdate() {
    views_->SearchStarted();
    // A new search lists its pairs in the order found.
    listSorted_ = false;
    showSortIndicator();
    // The list stays empty until the pairs are final, so it may go on painting (a resize during the search
    // would otherwise leave it black).
    model_->SetRowCount(0);
}

void TResultsBrowser::SetResultRowCount(int rows) {
    // After a close the pairs are released (or about to be): the list stays empty.
    model_->SetRowCount(frame_.WindowState() == TWindowState::Closing ? 0 : rows);
    views_->PairsChanged();
}

void TResultsBrowser::filterChanged(int percent) {
    if (!PairListFree(frame_.WindowState()))
        return;
    const int pair = selectedPair();
    const int row = SelectedRow();
    model_->SetMinSimilarity(percent);
    views_->PairsChanged();
    const int shownRow = model_->RowOfPair(pair);
    const int next = shownRow >= 0 ? shownRow : RowAfterFileAction(ResultRowCount(), std::max(0, row));
    if (next < 0) {
        clearPane();
        return;
    }
    list_->selectRow(next);
}

void TResultsBrowser::showChosenPair(int pair) {
    const int row = model_->RowOfPair(pair);
    if (row < 0)
        return;
    list_->selectRow(row);
    list_->scrollTo(model_->index(row, 0));
}

// Nothing to resume: the list never stopped painting.
void TResultsBrowser::EndResultsUpdate() {}

void TResultsBrowser::SelectFirstRowAndShow() {
    if (frame_.WindowState() == TWindowState::Closing || ResultRowCount() < 1)
        return;
    list_->selectRow(0);
    showSelectedPair();
}

void TResultsBrowser::ShowSelectedPair() {
    if (PairListFree(frame_.WindowState()))
        showSelectedPair();
}

bool TResultsBrowser::paneShowsSelectedPair() const {
    const Catalogue& cat = frame_.State().catalogue;
    const std::optional<TPicturePair> pair = PairAtRow(cat, cat.PairCapacity, selectedPair());
    return pair && shown_ && shown_->Left == pair->PicIndex1 && shown_->Right == pair->PicIndex2;
}

void TResultsBrowser::showSelectedPair() {
    if (!paneShowsSelectedPair())
        ListView1Click();
}

void TResultsBrowser::ListView1Click() {
    const Catalogue& cat = frame_.State().catalogue;
    const std::optional<TPicturePair> pair = PairAtRow(cat, cat.PairCapacity, selectedPair());
    if (!pair) {
        // Nothing left to show: a deleted or moved picture must not stay on screen.
        if (ResultRowCount() < 1)
            clearPane();
        return;
    }
    // From here the pane is this pair's, even if a preview below fails and leaves the old texts.
    shown_ = ShownPair{pair->PicIndex1, pair->PicIndex2};
    shownSincePress_ = true;
    const TPicInfo& a = cat.Pictures[static_cast<size_t>(pair->PicIndex1)];
    const TPicInfo& b = cat.Pictures[static_cast<size_t>(pair->PicIndex2)];
    const QLocale& locale = frame_.State().SystemNumberFormat;

    // Each preview replaces its picture as soon as it is decoded: a failure on the right leaves the new left
    // picture with the old texts, and goes on to the general error report.
    const bool turned = frame_.State().settings.FollowOrientation;
    QImage left = LoadPreview(cat.PicturePath(pair->PicIndex1), a.Width, a.Height, turned);
    pane_->SetPicture(PairSide::Left, left);
    QImage right = LoadPreview(cat.PicturePath(pair->PicIndex2), b.Width, b.Height, turned);
    pane_->SetPicture(PairSide::Right, right);
    // Two names of one file pair as byte-identical, but deleting either frees nothing: the pane says so.
    const std::optional<FileFacts> factsA = ReadFileFacts(cat.PicturePath(pair->PicIndex1));
    const std::optional<FileFacts> factsB = ReadFileFacts(cat.PicturePath(pair->PicIndex2));
    const QString link = factsA && factsB && SameFile(*factsA, *factsB) ? QStringLiteral("  hard link") : QString();
    pane_->SetTexts(PictureInfoText(a, locale) + link, PictureInfoText(b, locale) + link,
                    PercentText(pair->Similarity, locale));
    DrawImageFrame(left);
    pane_->SetPicture(PairSide::Left, left);
    DrawImageFrame(right);
    pane_->SetPicture(PairSide::Right, right);
}

void TResultsBrowser::ListView1ColumnClick(int column) {
    AppState& state = frame_.State();
    Catalogue& cat = state.catalogue;
    if (!PairListFree(frame_.WindowState()) || cat.PairCapacity <= 0 || column < 0 ||
        column >= TPairListModel::kColumnCount) {
        showSortIndicator();  // the header turns its arrow on a click; a refused click leaves the list as it was
        return;
    }
    state.SortDescending = column == state.SortColumn ? !state.SortDescending : false;
    {
        RedrawPause pause(list_);
        TPairListHold busy(frame_);
        const std::function<void()> processMessages = [this] { frame_.ProcessMessages(); };
        switch (column) {
        case 0:
            SortPairsByPath(cat.Pictures, cat.PicturePairs, cat.FolderPaths, 0, cat.LastPairIndex, CompareByFirstPath,
                            state.SortDescending, processMessages);
            break;
        case 1:
            SortPairsByPath(cat.Pictures, cat.PicturePairs, cat.FolderPaths, 0, cat.LastPairIndex, CompareBySecondPath,
                            state.SortDescending, processMessages);
            break;
        default:
            SortPairsBySimilarity(cat.PicturePairs, 0, cat.LastPairIndex, CompareBySimilarity, state.SortDescending,
                                  processMessages);
            break;
        }
    }
    // The same count redraws the rows in place. The selection goes with the pair the pane shows to its new
    // row, so that the pane and the actions under it still agree. A close during the sort has released the
    // pairs by now, and the list ends empty.
    SetResultRowCount(cat.PairCapacity);
    state.SortColumn = column;
    listSorted_ = true;
    showSortIndicator();
    const int row = shown_ ? model_->RowOfPair(PairIndexOf(cat, shown_->Left, shown_->Right)) : -1;
    if (row >= 0) {
        list_->selectRow(row);
        list_->scrollTo(model_->index(row, 0));
    } else {
        showSelectedPair();
    }
}

void TResultsBrowser::showSortIndicator() {
    const AppState& state = frame_.State();
    list_->horizontalHeader()->setSortIndicator(listSorted_ ? state.SortColumn : -1,
                                                state.SortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TResultsBrowser::ListView1KeyUp(int key) {
    if (ResultRowCount() < 1)
        return;
    // The list has already moved its selection when the key comes up; other keys leave the pane alone.
    if (key == Qt::Key_Up || key == Qt::Key_Down)
        showSelectedPair();
}

std::optional<ActionTarget> TResultsBrowser::targetOf(PairSide side) {
    if (!paneShowsSelectedPair()) {
        // The pane lags behind the selection: show what the action would touch and let the user press again.
        showSelectedPair();
        return std::nullopt;
    }
    std::optional<ActionTarget> target =
        ActionTargetOf(frame_.State().catalogue, frame_.State().catalogue.PairCapacity, selectedPair(), side);
    // The action comes back to the row it started from, which under the filter is not the pair's number.
    if (target)
        target->Row = SelectedRow();
    return target;
}

// Reveal and open neither change the pair list, so a sort in progress does not hold them back.
void TResultsBrowser::OpenPicture(PairSide side) {
    const std::optional<ActionTarget> target = targetOf(side);
    if (!target)
        return;
    const QString path = frame_.State().catalogue.PicturePath(target->PicIndex);
    if (QFileInfo::exists(path))
        frame_.Services().OpenOrReport(frame_.Window(), path, QFileInfo(path).fileName());
}

void TResultsBrowser::RevealPicture(PairSide side) {
    const std::optional<ActionTarget> target = targetOf(side);
    if (!target)
        return;
    const QString path = frame_.State().catalogue.PicturePath(target->PicIndex);
    if (!frame_.Services().RevealFile(path))
        frame_.Services().ShowMessage(frame_.Window(), MessageKind::Error,
                                      QStringLiteral("Cannot show ") + QFileInfo(path).fileName() +
                                          QStringLiteral(" in the file manager"),
                                      MessageButtons::Ok);
}

void TResultsBrowser::SwapImagesButtonClick() {
    if (!PairListFree(frame_.WindowState()))
        return;
    const int row = SelectedRow();
    const int pairIndex = selectedPair();
    if (row < 0) {
        const QImage left = pane_->Picture(PairSide::Left);
        pane_->SetPicture(PairSide::Left, pane_->Picture(PairSide::Right));
        pane_->SetPicture(PairSide::Right, left);
        if (shown_)
            std::swap(shown_->Left, shown_->Right);
        return;
    }
    Catalogue& cat = frame_.State().catalogue;
    if (pairIndex < 0 || pairIndex > cat.LastPairIndex)
        return;
    TPicturePair& pair = cat.PicturePairs[static_cast<size_t>(pairIndex)];
    std::swap(pair.PicIndex1, pair.PicIndex2);
    model_->RowChanged(row);
    views_->PairsChanged();
    ListView1Click();
}

void TResultsBrowser::SavelistofdupliacatestoCSV1Click() {
    // Half way through a sort the list is in no order worth saving.
    if (!PairListFree(frame_.WindowState()))
        return;
    PlatformServices& services = frame_.Services();
    if (ResultRowCount() < 1) {
        services.ShowMessage(frame_.Window(), MessageKind::Error, QStringLiteral("The list of duplicates is empty."),
                             MessageButtons::Ok);
        return;
    }
    // With the filter on, the file holds the pairs shown, and the dialog says so.
    QString title = QStringLiteral("Save your list of Duplicates to CSV file");
    if (model_->FilterOn())
        title += QStringLiteral(" (only the pairs shown: at least %1 %)").arg(model_->MinSimilarity());
    const SaveChoice choice =
        services.ChooseSaveFile(frame_.Window(), title,
                                QStringLiteral("CSV files (*.csv);;Any file (*)"), QStringLiteral("csv"));
    if (!choice.accepted || choice.path.isEmpty())
        return;
    if (QFileInfo::exists(choice.path) &&
        services.ShowMessage(frame_.Window(), MessageKind::Information,
                             QStringLiteral("The file \"") + choice.path +
                                 QStringLiteral("\" exists. Replace it with a new one?"),
                             MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    // The old file is not deleted first: the new one replaces it only once it is complete, so a failed
    // write (reported by the general error report) leaves the old file as it was.
    const Catalogue& cat = frame_.State().catalogue;
    const QLocale& locale = frame_.State().SystemNumberFormat;
    WriteFileAtomically(choice.path, model_->FilterOn() ? PairListCsv(cat, locale, model_->ShownPairs())
                                                        : PairListCsv(cat, locale));
}
