// The groups view and the actions on marked files; the decisions are the results library's, this file wires
// them to widgets and asks the user.
#include "ui/ResultsViews.h"

#include "engine/SearchTexts.h"
#include "history/RecordedActions.h"
#include "platform/FileActions.h"
#include "results/BatchTexts.h"
#include "results/KeepRules.h"
#include "results/PairFilter.h"
#include "ui/ErrorReport.h"
#include "ui/FolderDialog.h"
#include "ui/GroupListModel.h"
#include "ui/KeepRulesDialog.h"
#include "ui/MainFrame.h"
#include "ui/PairListHold.h"
#include "ui/PairListModel.h"

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>
#include <cerrno>
#include <set>

namespace {

// Batches shorter than this finish before a progress dialog would be worth showing.
constexpr int kProgressDelayMs = 400;

// The group orders the view offers, in the box's order; every one but the first puts the larger first.
struct GroupOrderChoice {
    const char* Text;
    GroupOrder Order;
};
constexpr GroupOrderChoice kGroupOrders[] = {
    {"Groups in list order", GroupOrder::PairList},
    {"Most files first", GroupOrder::Size},
    {"Most bytes freed first", GroupOrder::Bytes},
    {"Most similar first", GroupOrder::Similarity},
};

// A progress dialog with Cancel for the length of one batch; pending events run between files, so the window
// keeps drawing and the Cancel button is heard.
class BatchProgressDialog : public BatchProgress {
public:
    BatchProgressDialog(TMainFrame& frame, const QString& label, int total)
        : frame_(frame), dialog_(label, QStringLiteral("Cancel"), 0, total, frame.Window()) {
        dialog_.setObjectName(QStringLiteral("BatchProgress"));
        dialog_.setWindowTitle(QStringLiteral("Voralin"));
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setMinimumDuration(kProgressDelayMs);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setValue(0);
    }
    void Advanced(int32_t done, int32_t) override {
        dialog_.setValue(done);
        frame_.ProcessMessages();
    }
    bool CancelRequested() override { return dialog_.wasCanceled(); }

private:
    TMainFrame& frame_;
    QProgressDialog dialog_;
};

QString FolderOf(const Catalogue& cat, int32_t picture) {
    return cat.FolderPaths[static_cast<size_t>(cat.Pictures[static_cast<size_t>(picture)].PathInd)];
}

}  // namespace

template <typename F> void TResultsViews::guarded(F&& body) {
    RunGuarded(frame_.Services(), frame_.Window(), std::forward<F>(body));
}

TResultsViews::TResultsViews(TMainFrame& frame, TPairListModel& pairModel, QWidget* pairList,
                             TFolderDialog& folderDialog, QWidget* parent)
    : QObject(parent), frame_(frame), pairModel_(pairModel), pairList_(pairList), folderDialog_(folderDialog) {
    pairModel_.SetMarks(&marks_);
    setupGroupsView(parent);
    setupControls(parent);
    setupActions();
}

void TResultsViews::setupGroupsView(QWidget* parent) {
    AppState& state = frame_.State();
    groupsModel_ =
        new TGroupListModel(state.catalogue, groups_, marks_, reference_, facts_, state.SystemNumberFormat, this);
    groupsView_ = new QTreeView(parent);
    groupsView_->setObjectName(QStringLiteral("GroupsView"));
    groupsView_->setModel(groupsModel_);
    groupsView_->setUniformRowHeights(true);  // with no widget per row the view stays fast at 100 000 files
    groupsView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    groupsView_->setSelectionMode(QAbstractItemView::SingleSelection);
    groupsView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    groupsView_->setTextElideMode(Qt::ElideMiddle);
    groupsView_->setAllColumnsShowFocus(true);
    QHeaderView* header = groupsView_->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(TGroupListModel::FileColumn, QHeaderView::Stretch);
    for (int column = TGroupListModel::PixelsColumn; column < TGroupListModel::ColumnCount; ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    groupsView_->hide();
    connect(groupsModel_, &TGroupListModel::marksEdited, this, &TResultsViews::marksChanged);
    connect(groupsView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { guarded([this, &current] { chooseFile(current); }); });
}

void TResultsViews::setupControls(QWidget* parent) {
    controls_ = new QWidget(parent);
    controls_->setObjectName(QStringLiteral("ResultsControls"));
    auto* row = new QHBoxLayout(controls_);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(4);
    const auto toggle = [this](const char* name, const QString& text) {
        auto* button = new QToolButton(controls_);
        button->setObjectName(QLatin1String(name));
        button->setText(text);
        button->setCheckable(true);
        button->setAutoRaise(false);
        return button;
    };
    pairsButton_ = toggle("PairsViewButton", QStringLiteral("Pairs"));
    pairsButton_->setChecked(true);
    groupsButton_ = toggle("GroupsViewButton", QStringLiteral("Groups"));
    auto* exclusive = new QButtonGroup(controls_);
    exclusive->addButton(pairsButton_);
    exclusive->addButton(groupsButton_);
    groupOrder_ = new QComboBox(controls_);
    groupOrder_->setObjectName(QStringLiteral("GroupOrderBox"));
    for (const GroupOrderChoice& choice : kGroupOrders)
        groupOrder_->addItem(QString::fromUtf8(choice.Text));
    groupOrder_->setEnabled(false);
    minSimilarity_ = new QSpinBox(controls_);
    minSimilarity_->setObjectName(QStringLiteral("MinSimilaritySpinBox"));
    minSimilarity_->setRange(kNoSimilarityFilter, 100);
    minSimilarity_->setPrefix(QStringLiteral("at least "));
    minSimilarity_->setSuffix(QStringLiteral(" %"));
    minSimilarity_->setSpecialValueText(QStringLiteral("all pairs"));
    minSimilarity_->setToolTip(QStringLiteral("Hide the pairs below this similarity"));
    minSimilarity_->setKeyboardTracking(false);
    row->addWidget(pairsButton_);
    row->addWidget(groupsButton_);
    row->addWidget(groupOrder_);
    row->addSpacing(8);
    row->addWidget(minSimilarity_);
    row->addStretch(1);

    connect(pairsButton_, &QToolButton::clicked, this, [this] { guarded([this] { ShowGroups(false); }); });
    connect(groupsButton_, &QToolButton::clicked, this, [this] { guarded([this] { ShowGroups(true); }); });
    connect(groupOrder_, &QComboBox::currentIndexChanged, this, [this] {
        applyGroupOrder();
        groupsModel_->Reset();
        groupsView_->expandAll();
    });
    connect(minSimilarity_, &QSpinBox::valueChanged, this, [this](int percent) {
        // Half way through a sort or a batch the filter waits: the box goes back to what the list shows.
        if (batchRunning_ || !PairListFree(frame_.WindowState())) {
            const QSignalBlocker quiet(minSimilarity_);
            minSimilarity_->setValue(pairModel_.MinSimilarity());
            return;
        }
        guarded([this, percent] { emit minSimilarityChanged(percent); });
    });
}

void TResultsViews::setupActions() {
    groupsAction_ = new QAction(QStringLiteral("Show Groups"), this);
    groupsAction_->setObjectName(QStringLiteral("ShowGroups1"));
    groupsAction_->setCheckable(true);
    connect(groupsAction_, &QAction::triggered, this, [this](bool on) { guarded([this, on] { ShowGroups(on); }); });

    auto* row = static_cast<QHBoxLayout*>(controls_->layout());
    // Each command is one action, run from its button and its menu item alike.
    const auto command = [this, row](const char* name, const QString& text, void (TResultsViews::*run)(),
                                     const char* buttonName) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, [this, run] { guarded([this, run] { (this->*run)(); }); });
        commands_.append(action);
        if (!buttonName)
            return;
        auto* button = new QPushButton(text, controls_);
        button->setObjectName(QLatin1String(buttonName));
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::enabledChanged, button, &QPushButton::setEnabled);
        row->addWidget(button);
    };
    command("MarkDuplicates1", QStringLiteral("Mark duplicates…"), &TResultsViews::MarkDuplicates,
            "MarkDuplicatesButton");
    command("UnmarkAll1", QStringLiteral("Unmark all"), &TResultsViews::UnmarkAll, "UnmarkAllButton");
    command("DeleteMarked1", QStringLiteral("Delete marked"), &TResultsViews::DeleteMarked, "DeleteMarkedButton");
    command("MoveMarked1", QStringLiteral("Move marked to…"), &TResultsViews::MoveMarked, "MoveMarkedButton");

    invertAction_ = new QAction(QStringLiteral("Invert marks in this group"), this);
    invertAction_->setObjectName(QStringLiteral("InvertGroupMarks1"));
    inFolderAction_ = new QAction(QStringLiteral("Mark all in this file's folder"), this);
    inFolderAction_->setObjectName(QStringLiteral("MarkAllInFolder1"));
    connect(invertAction_, &QAction::triggered, this, [this] { guarded([this] { InvertCurrentGroup(); }); });
    connect(inFolderAction_, &QAction::triggered, this, [this] { guarded([this] { MarkAllInCurrentFolder(); }); });
    notDuplicatesAction_ = new QAction(QStringLiteral("Not duplicates: this whole group"), this);
    notDuplicatesAction_->setObjectName(QStringLiteral("GroupNotDuplicates1"));
    connect(notDuplicatesAction_, &QAction::triggered, this, [this] { guarded([this] { CurrentGroupNotDuplicates(); }); });
    groupsView_->addAction(invertAction_);
    groupsView_->addAction(inFolderAction_);
    groupsView_->addAction(notDuplicatesAction_);
    groupsView_->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void TResultsViews::AddMenus(QMenuBar* menuBar, QAction* before) {
    viewMenu_ = new QMenu(QStringLiteral("&View"), menuBar);
    viewMenu_->setObjectName(QStringLiteral("View1"));
    viewMenu_->addAction(groupsAction_);
    marksMenu_ = new QMenu(QStringLiteral("&Marks"), menuBar);
    marksMenu_->setObjectName(QStringLiteral("Marks1"));
    marksMenu_->addAction(commands_[0]);
    marksMenu_->addAction(inFolderAction_);
    marksMenu_->addAction(invertAction_);
    marksMenu_->addAction(notDuplicatesAction_);
    marksMenu_->addAction(commands_[1]);
    marksMenu_->addSeparator();
    marksMenu_->addAction(commands_[2]);
    marksMenu_->addAction(commands_[3]);
    menuBar->insertMenu(before, viewMenu_);
    menuBar->insertMenu(before, marksMenu_);
}

QRect TResultsViews::Place(const QRect& area) {
    const int controlsHeight = std::min(area.height(), controls_->sizeHint().height());
    controls_->setGeometry(area.x(), area.y(), area.width(), controlsHeight);
    const QRect views(area.x(), area.y() + controlsHeight, area.width(), std::max(0, area.height() - controlsHeight));
    groupsView_->setGeometry(views);
    return views;
}

void TResultsViews::ShowGroups(bool on) {
    groupsShown_ = on;
    groupsButton_->setChecked(on);
    pairsButton_->setChecked(!on);
    groupsAction_->setChecked(on);
    groupOrder_->setEnabled(on && controls_->isEnabled());
    if (on && groupsStale_)
        rebuildGroups();
    pairList_->setVisible(!on);
    groupsView_->setVisible(on);
}

int TResultsViews::MinSimilarity() const {
    return minSimilarity_->value();
}

void TResultsViews::SetReferenceSource(std::function<QStringList()> source) {
    referenceSource_ = std::move(source);
}

void TResultsViews::readReferenceFolders() {
    reference_.SetFolders(referenceSource_ ? referenceSource_() : QStringList());
}

bool TResultsViews::IsReference(int32_t picture) {
    readReferenceFolders();
    return reference_.HoldsPicture(frame_.State().catalogue, picture);
}

void TResultsViews::ReferenceFoldersChanged() {
    readReferenceFolders();
    const Catalogue& cat = frame_.State().catalogue;
    // Marks already made on files of a new reference folder are taken back.
    for (const int32_t k : marks_.Marked()) {
        if (reference_.HoldsPicture(cat, k))
            marks_.Set(cat, reference_, k, false);
    }
    groupsModel_->Reset();
    groupsView_->expandAll();
    marksChanged();
}

void TResultsViews::SearchStarted() {
    marks_.Clear();
    facts_.Reset();
    groups_ = ResultGroups();
    groupsStale_ = true;
    groupsModel_->Reset();
    pairModel_.MarksChanged();
}

void TResultsViews::PairsChanged() {
    if (groupsShown_) {
        rebuildGroups();
        return;
    }
    // Hidden groups are built again only when something needs them.
    groups_ = ResultGroups();
    groupsStale_ = true;
    groupsModel_->Reset();
}

const ResultGroups& TResultsViews::Groups() {
    if (groupsStale_)
        rebuildGroups();
    return groups_;
}

void TResultsViews::rebuildGroups() {
    readReferenceFolders();
    const Catalogue& cat = frame_.State().catalogue;
    const std::vector<int32_t> shown = pairModel_.ShownPairs();
    groups_ = ResultGroups::Build(cat, shown, facts_);
    facts_.Load(cat, groups_.AllFiles());
    // The freed bytes of each group need the file identities just read.
    groups_ = ResultGroups::Build(cat, shown, facts_);
    applyGroupOrder();
    groupsStale_ = false;
    groupsModel_->Reset();
    groupsView_->expandAll();
}

void TResultsViews::applyGroupOrder() {
    const int k = std::clamp(groupOrder_->currentIndex(), 0, static_cast<int>(std::size(kGroupOrders)) - 1);
    const GroupOrder order = kGroupOrders[k].Order;
    groups_.Sort(order, order != GroupOrder::PairList);
}

void TResultsViews::SetEnabled(bool on) {
    controls_->setEnabled(on);
    groupOrder_->setEnabled(on && groupsShown_);
    groupsView_->setEnabled(on);
    groupsAction_->setEnabled(on);
    invertAction_->setEnabled(on);
    inFolderAction_->setEnabled(on);
    notDuplicatesAction_->setEnabled(on);
    for (QAction* action : commands_)
        action->setEnabled(on);
}

void TResultsViews::marksChanged() {
    pairModel_.MarksChanged();
    groupsModel_->MarksChanged();
}

void TResultsViews::chooseFile(const QModelIndex& index) {
    const int32_t picture = groupsModel_->PictureAt(index);
    const int32_t g = groupsModel_->GroupAt(index);
    if (picture < 0 || g < 0)
        return;
    // The group's kept file is its first unmarked one; the pane shows the pair that joins the chosen file to
    // it, or else the first pair holding the chosen file.
    const PairGroup& group = groups_[static_cast<size_t>(g)];
    int32_t kept = -1;
    for (const int32_t k : group.Files) {
        if (!marks_.IsMarked(k) && k != picture) {
            kept = k;
            break;
        }
    }
    const Catalogue& cat = frame_.State().catalogue;
    int chosen = -1;
    for (const int32_t i : group.Pairs) {
        const TPicturePair& p = cat.PicturePairs[static_cast<size_t>(i)];
        const bool holds = p.PicIndex1 == picture || p.PicIndex2 == picture;
        if (holds && (p.PicIndex1 == kept || p.PicIndex2 == kept)) {
            chosen = i;
            break;
        }
        if (holds && chosen < 0)
            chosen = i;
    }
    if (chosen >= 0)
        emit pairChosen(chosen);
}

int32_t TResultsViews::currentPicture() const {
    return groupsModel_->PictureAt(groupsView_->currentIndex());
}

void TResultsViews::ToggleMark(int32_t picture) {
    if (batchRunning_)
        return;
    const Catalogue& cat = frame_.State().catalogue;
    readReferenceFolders();
    const bool marked = !marks_.IsMarked(picture);
    if (!marks_.Set(cat, reference_, picture, marked)) {
        frame_.Services().ShowMessage(frame_.Window(), MessageKind::Error,
                                      cat.Pictures[static_cast<size_t>(picture)].FileName +
                                          QStringLiteral(" lies in a reference folder and cannot be marked."),
                                      MessageButtons::Ok);
        return;
    }
    marksChanged();
}

void TResultsViews::MarkDuplicates() {
    if (batchRunning_)
        return;
    const ResultGroups& groups = Groups();
    if (groups.size() == 0)
        return;
    const Catalogue& cat = frame_.State().catalogue;
    QStringList folders = reference_.Folders();
    std::set<QString> types;
    for (const int32_t k : groups.AllFiles()) {
        const QString folder = FolderOf(cat, k);
        if (!folders.contains(folder))
            folders << folder;
        types.insert(QFileInfo(cat.Pictures[static_cast<size_t>(k)].FileName).suffix().toLower());
    }
    QStringList typeList;
    for (const QString& t : types)
        typeList << t;
    TKeepRulesDialog dialog(
        [this, &groups, &cat](const std::vector<KeepRule>& rules) {
            return PlanKeeping(cat, groups, facts_, reference_, rules);
        },
        folders, typeList, frame_.State().SystemNumberFormat, frame_.Window());
    if (frame_.Services().RunDialog(dialog) != QDialog::Accepted)
        return;
    const KeepPlan plan = PlanKeeping(cat, groups, facts_, reference_, dialog.Rules());
    ApplyKeeping(plan, cat, groups, reference_, marks_);
    marksChanged();
}

void TResultsViews::UnmarkAll() {
    if (batchRunning_)
        return;
    marks_.Clear();
    marksChanged();
}

void TResultsViews::InvertCurrentGroup() {
    const int32_t g = groupsModel_->GroupAt(groupsView_->currentIndex());
    if (batchRunning_ || g < 0)
        return;
    readReferenceFolders();
    marks_.InvertGroup(frame_.State().catalogue, reference_, Groups()[static_cast<size_t>(g)]);
    marksChanged();
}

void TResultsViews::CurrentGroupNotDuplicates() {
    const int32_t g = groupsModel_->GroupAt(groupsView_->currentIndex());
    if (batchRunning_ || g < 0)
        return;
    emit notDuplicatesAsked(Groups()[static_cast<size_t>(g)].Pairs);
}

void TResultsViews::MarkAllInCurrentFolder() {
    const int32_t picture = currentPicture();
    if (batchRunning_ || picture < 0)
        return;
    readReferenceFolders();
    const Catalogue& cat = frame_.State().catalogue;
    marks_.MarkAllInFolder(cat, reference_, Groups(), FolderOf(cat, picture));
    marksChanged();
}

void TResultsViews::DeleteMarked() {
    runBatch(BatchKind::Delete, {});
}

void TResultsViews::MoveMarked() {
    if (batchRunning_ || !PairListFree(frame_.WindowState()) || marks_.Count() == 0)
        return;
    folderDialog_.Caption = QStringLiteral("Move marked files to selected folder");
    if (!folderDialog_.Execute())
        return;
    runBatch(BatchKind::Move, folderDialog_.Directory);
}

void TResultsViews::runBatch(BatchKind kind, const QString& destination) {
    if (batchRunning_ || !PairListFree(frame_.WindowState()))
        return;
    AppState& state = frame_.State();
    PlatformServices& services = frame_.Services();
    const ResultGroups& groups = Groups();
    const BatchPlan plan = PlanBatch(kind, state.catalogue, groups, marks_, reference_, facts_);
    if (plan.Files.empty()) {
        services.ShowMessage(frame_.Window(), MessageKind::Error,
                             QStringLiteral("No file of the pairs shown is marked."), MessageButtons::Ok);
        return;
    }
    BatchOptions options;
    options.ToTrash = state.settings.MoveToRecycle;
    options.Destination = destination;
    if (services.ShowMessage(frame_.Window(), MessageKind::Confirmation,
                             BatchConfirmationText(plan, options, state.SystemNumberFormat),
                             kind == BatchKind::Delete && !options.ToTrash ? MessageButtons::YesNoDefaultNo
                                                                           : MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    // A group never loses its last file on the way: only an explicit Yes lets such a batch delete it.
    if (kind == BatchKind::Delete && plan.WholeGroups > 0)
        options.WholeGroupsConfirmed =
            services.ShowMessage(frame_.Window(), MessageKind::Confirmation,
                                 WholeGroupsQuestionText(plan.WholeGroups, state.SystemNumberFormat),
                                 MessageButtons::YesNoDefaultNo) == MessageAnswer::Yes;

    // Recorded as one step, so that one Undo puts the whole batch back.
    RecordedFileActions actions(state.Journal.get());
    RecordedBatchOperations operations(actions, [&services](const QString& p) { return services.MoveToTrash(p); });
    BatchReport report;
    batchRunning_ = true;
    SetEnabled(false);
    {
        TPairListHold hold(frame_);
        BatchProgressDialog progress(frame_,
                                     kind == BatchKind::Move ? QStringLiteral("Moving the marked files…")
                                                             : QStringLiteral("Deleting the marked files…"),
                                     static_cast<int>(plan.Files.size()));
        report = RunBatch(plan, options, state.catalogue, marks_, reference_, facts_, operations, &progress);
    }
    batchRunning_ = false;
    // A close during the batch has released the catalogue: nothing more is shown.
    if (frame_.WindowState() == TWindowState::Closing)
        return;
    SetEnabled(ControlEnabled(frame_.WindowState(), TControl::ResultsList));
    services.ShowMessage(frame_.Window(), MessageKind::Information,
                         BatchSummaryText(report, kind, state.catalogue, state.SystemNumberFormat),
                         MessageButtons::Ok);
    // As after a single action: the browser gives the list its new rows (which builds the groups again),
    // selects the row at the old position and refreshes the pane.
    emit batchFinished();
    marksChanged();
}

