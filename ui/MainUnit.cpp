// The main window's frame: the menus and the splitter over the regions, start-up and shut-down, the window
// state with its table of enabled controls, and the window's memory between runs. Its side of a search is in
// MainSearchSide.cpp.
#include "ui/MainUnit.h"

#include "history/WindowMemory.h"
#include "platform/Trash.h"
#include "settings/SettingsStore.h"
#include "ui/DesignUnits.h"
#include "ui/ErrorReport.h"
#include "ui/FolderDialog.h"
#include "ui/HelpPage.h"
#include "ui/MainFolderList.h"
#include "ui/MainResults.h"
#include "ui/ResultsViews.h"
#include "ui/MainSearchPanel.h"
#include "ui/RememberedPairsDialog.h"
#include "ui/MainWidgets.h"
#include "ui/SiteAddresses.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSplitter>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

static void InitVoralinResources() {
    // The resources live in a static library; without this call the linker may drop them.
    Q_INIT_RESOURCE(voralin);
}

namespace {

// Client area at the design resolution, and the smallest outer size the window may take.
constexpr int kClientWidth = 1035;
constexpr int kClientHeight = 861;
constexpr int kMinOuterWidth = 785;
constexpr int kMinOuterHeight = 615;
// What the outer size adds to the client area on the desktop the design was made on (frame and caption);
// Qt's minimum size applies to the client area.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 39;

constexpr int kTopPanelHeight = 157;
constexpr int kSplitterHeight = 12;
constexpr int kCentralPanelMin = 131;
constexpr int kBottomPanelHeight = 204;

}  // namespace

// The frame's own controls: the menus, the splitter, the middle panel the pane and the search panel share,
// and the folder picker of the add and move commands.
struct TMainForm::Frame {
    QMenu* File1 = nullptr;
    QAction* StartSearch1 = nullptr;
    QAction* SavelistofdupliacatestoCSV1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Edit1 = nullptr;
    QAction* Undo1 = nullptr;
    QAction* NotDuplicates1 = nullptr;
    QAction* History1 = nullptr;
    QAction* Settings1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* Howtouse1 = nullptr;
    QAction* CheckforUpdates1 = nullptr;
    QAction* Visitprogramswebsite1 = nullptr;
    QAction* About1 = nullptr;
    // The three regions are the panes of one vertical splitter, whose two handles are Splitter1 and Splitter2.
    QSplitter* MainSplitter = nullptr;
    TPanel* CentralPanel = nullptr;
    TFolderDialog* AddFolderDialog = nullptr;
};

template <typename F> void TMainForm::Guarded(F&& body) {
    RunGuarded(services_, this, std::forward<F>(body));
}

TMainForm::TMainForm(PlatformServices& services, PictureSupplyOptions supply, QWidget* parent)
    : QMainWindow(parent), services_(services), supply_(std::move(supply)), frame_(std::make_unique<Frame>()) {
    InitVoralinResources();
    setObjectName(QStringLiteral("MainForm"));
    scale_ = DesignScale(this);
    setWindowTitle(QStringLiteral("Voralin"));
    setWindowIcon(QIcon(QStringLiteral(":/voralin/voralin.svg")));
    setFont(DesignFont(S(14)));

    SetupMenus();
    SetupRegions();
    results_->AddMenus(menuBar(), frame_->Settings1);
    results_->Views().MarksMenu()->addSeparator();
    results_->Views().MarksMenu()->addAction(folders_->ReferenceAction());
    setMinimumSize(S(kMinOuterWidth - kFrameWidth), S(kMinOuterHeight - kFrameHeight));
    resize(S(kClientWidth), S(kClientHeight) + menuBar()->sizeHint().height());
    ConnectRegions();
    // Enter, Space and Delete are the Picture menu's only while the pair list has the keyboard.
    qApp->installEventFilter(this);
    FormCreate();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool listKey = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                             key->key() == Qt::Key_Space || key->key() == Qt::Key_Delete;
        QWidget* focus = QApplication::focusWidget();
        if (listKey && focus && watched == focus && isAncestorOf(focus) && !results_->HasKeyboard(focus)) {
            // Accepted here, the key goes to the focused control (a folder list's Delete, a button's Space).
            event->accept();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

TMainForm::~TMainForm() {
    // The controls go while the window is still whole: filters and handlers that refer back to it can run
    // as its children are torn down.
    delete centralWidget();
}

int TMainForm::S(int designUnits) const {
    return TDesignScale(scale_)(designUnits);
}

void TMainForm::AttachWindows(QDialog* aboutForm, QDialog* settingsForm, QDialog* updateForm) {
    aboutForm_ = aboutForm;
    settingsForm_ = settingsForm;
    updateForm_ = updateForm;
}

// ---------------------------------------------------------------------------------------------------------
// Building the window

void TMainForm::SetupMenus() {
    Frame& f = *frame_;
    auto named = [](QAction* action, const char* name) {
        action->setObjectName(QLatin1String(name));
        return action;
    };
    f.File1 = menuBar()->addMenu(QStringLiteral("&File"));
    f.File1->setObjectName(QStringLiteral("File1"));
    f.StartSearch1 = named(f.File1->addAction(QStringLiteral("Start Search")), "StartSearch1");
    f.SavelistofdupliacatestoCSV1 = named(f.File1->addAction(QStringLiteral("Save list of duplicates to CSV")),
                                          "SavelistofdupliacatestoCSV1");
    f.File1->addSeparator();
    f.Exit1 = named(f.File1->addAction(QStringLiteral("Exit")), "Exit1");
    f.Edit1 = menuBar()->addMenu(QStringLiteral("&Edit"));
    f.Edit1->setObjectName(QStringLiteral("Edit1"));
    f.Undo1 = named(f.Edit1->addAction(QStringLiteral("Undo")), "Undo1");
    f.Undo1->setShortcut(QKeySequence::Undo);
    f.History1 = named(f.Edit1->addAction(QStringLiteral("History…")), "History1");
    f.Edit1->addSeparator();
    f.NotDuplicates1 = named(f.Edit1->addAction(QStringLiteral("Not duplicates…")), "NotDuplicates1");
    f.StartSearch1->setShortcut(QKeySequence(Qt::Key_F5));
    f.SavelistofdupliacatestoCSV1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    f.Settings1 = named(menuBar()->addAction(QStringLiteral("&Settings")), "Settings1");
    f.Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
    f.Help1->setObjectName(QStringLiteral("Help1"));
    f.Howtouse1 = named(f.Help1->addAction(QStringLiteral("How to use")), "Howtouse1");
    f.CheckforUpdates1 = named(f.Help1->addAction(QStringLiteral("Check for Updates")), "CheckforUpdates1");
    f.Visitprogramswebsite1 =
        named(f.Help1->addAction(QStringLiteral("Visit the program's website")), "Visitprogramswebsite1");
    f.Help1->addSeparator();
    f.About1 = named(f.Help1->addAction(QStringLiteral("About")), "About1");

    const auto guarded = [this](void (TMainForm::*handler)()) {
        return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
    };
    connect(f.StartSearch1, &QAction::triggered, this, [this] { StartButtonClick(); });
    connect(f.SavelistofdupliacatestoCSV1, &QAction::triggered, this,
            guarded(&TMainForm::SavelistofdupliacatestoCSV1Click));
    connect(f.Exit1, &QAction::triggered, this, guarded(&TMainForm::Exit1Click));
    connect(f.Undo1, &QAction::triggered, this, guarded(&TMainForm::Undo1Click));
    connect(f.NotDuplicates1, &QAction::triggered, this, guarded(&TMainForm::NotDuplicates1Click));
    connect(f.History1, &QAction::triggered, this, guarded(&TMainForm::History1Click));
    connect(f.Settings1, &QAction::triggered, this, guarded(&TMainForm::Settings1Click));
    connect(f.Howtouse1, &QAction::triggered, this, guarded(&TMainForm::Howtouse1Click));
    connect(f.CheckforUpdates1, &QAction::triggered, this, guarded(&TMainForm::CheckforUpdates1Click));
    connect(f.Visitprogramswebsite1, &QAction::triggered, this, guarded(&TMainForm::Visitprogramswebsite1Click));
    connect(f.About1, &QAction::triggered, this, guarded(&TMainForm::About1Click));
}

void TMainForm::SetupRegions() {
    Frame& f = *frame_;
    const TDesignScale scale(scale_);
    auto* client = new QWidget(this);
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    f.MainSplitter = new QSplitter(Qt::Vertical, client);
    f.MainSplitter->setObjectName(QStringLiteral("MainSplitter"));
    f.MainSplitter->setChildrenCollapsible(false);
    f.MainSplitter->setHandleWidth(S(kSplitterHeight));
    clientLayout->addWidget(f.MainSplitter);
    setCentralWidget(client);

    f.AddFolderDialog = new TFolderDialog(services_, this);
    f.AddFolderDialog->setObjectName(QStringLiteral("AddFolderDialog"));
    f.AddFolderDialog->Options = TFolderOption::fdoReturnOnlyFSDirs | TFolderOption::fdoNewDialogStyle;

    folders_ = new TFolderList(*this, *f.AddFolderDialog, scale, this);
    f.CentralPanel = MakePanel(this, "CentralPanel", false);
    f.CentralPanel->SetColour(kPanelColour, kPanelText);
    f.CentralPanel->setMinimumHeight(S(kCentralPanelMin));
    f.CentralPanel->onResize = [this] { LayoutCentralPanel(); };
    results_ = new TResultsBrowser(*this, *f.AddFolderDialog, scale, f.CentralPanel, this);
    // Created after the pane, so that it lies above the pane it covers.
    searchPanel_ = new TSearchPanel(scale, f.CentralPanel);

    f.MainSplitter->addWidget(folders_->Panel());
    f.MainSplitter->addWidget(f.CentralPanel);
    f.MainSplitter->addWidget(results_->BottomPanel());
    f.MainSplitter->setStretchFactor(0, 0);
    f.MainSplitter->setStretchFactor(1, 1);
    // The results list and the pictures share the window's growth in the proportion they have.
    f.MainSplitter->setStretchFactor(2, 1);
    f.MainSplitter->handle(1)->setObjectName(QStringLiteral("Splitter1"));
    f.MainSplitter->handle(2)->setObjectName(QStringLiteral("Splitter2"));
    const int centralHeight =
        S(kClientHeight) - S(kTopPanelHeight) - S(kBottomPanelHeight) - 2 * S(kSplitterHeight);
    f.MainSplitter->setSizes({S(kTopPanelHeight), centralHeight, S(kBottomPanelHeight)});
}

void TMainForm::ConnectRegions() {
    const auto guarded = [this](void (TMainForm::*handler)()) {
        return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
    };
    const auto guardedInt = [this](void (TMainForm::*handler)(int)) {
        return [this, handler](int value) { Guarded([this, handler, value] { (this->*handler)(value); }); };
    };
    const auto bySide = [this](void (TMainForm::*left)(), void (TMainForm::*right)()) {
        return [this, left, right](PairSide side) {
            Guarded([this, side, left, right] { (this->*(side == PairSide::Left ? left : right))(); });
        };
    };
    connect(folders_, &TFolderList::addClicked, this, guarded(&TMainForm::AddFolderButtonClick));
    connect(folders_, &TFolderList::removeClicked, this, guarded(&TMainForm::RemoveFolderButtonClick));
    connect(folders_, &TFolderList::upClicked, this, guarded(&TMainForm::MoveFolderUpButtonClick));
    connect(folders_, &TFolderList::downClicked, this, guarded(&TMainForm::MoveFolderDownButtonClick));
    connect(folders_, &TFolderList::clearClicked, this, guarded(&TMainForm::ClearDirectoriesButtonClick));
    connect(folders_, &TFolderList::startClicked, this, [this] { StartButtonClick(); });
    connect(folders_, &TFolderList::scanLabelClicked, this, guarded(&TMainForm::Label1Click));
    connect(folders_, &TFolderList::deleteKeyPressed, this, guardedInt(&TMainForm::DirectoriesListBoxKeyDown));

    connect(results_, &TResultsBrowser::listClicked, this, guarded(&TMainForm::ListView1Click));
    connect(results_, &TResultsBrowser::headerClicked, this, guardedInt(&TMainForm::ListView1ColumnClick));
    connect(results_, &TResultsBrowser::listKeyReleased, this, guardedInt(&TMainForm::ListView1KeyUp));
    connect(results_, &TResultsBrowser::selectionMoved, this, [this] { Guarded([this] { results_->ShowSelectedPair(); }); });
    connect(results_, &TResultsBrowser::pictureClicked, this,
            bySide(&TMainForm::LeftImageClick, &TMainForm::RightImageClick));
    connect(results_, &TResultsBrowser::swapClicked, this, guarded(&TMainForm::SwapImagesButtonClick));
    connect(results_, &TResultsBrowser::moveClicked, this,
            bySide(&TMainForm::MoveImageButton1Click, &TMainForm::MoveImageButton2Click));
    connect(results_, &TResultsBrowser::browseClicked, this,
            bySide(&TMainForm::BrowseImageButton1Click, &TMainForm::BrowseImageButton2Click));
    connect(results_, &TResultsBrowser::deleteClicked, this,
            bySide(&TMainForm::DeleteImageButton1Click, &TMainForm::DeleteImageButton2Click));
    connect(results_, &TResultsBrowser::notADuplicateClicked, this,
            [this] { Guarded([this] { results_->NotADuplicate(); }); });
    connect(results_, &TResultsBrowser::permanentDeleteClicked, this,
            [this](PairSide side) { Guarded([this, side] { results_->DeletePicture(side, true); }); });

    results_->Views().SetReferenceSource([this] { return folders_->ReferenceFolders(); });
    connect(folders_, &TFolderList::referenceFoldersChanged, this,
            [this] { Guarded([this] { results_->Views().ReferenceFoldersChanged(); }); });

    connect(searchPanel_, &TSearchPanel::timerTicked, this, guarded(&TMainForm::Timer1Timer));
}

void TMainForm::LayoutCentralPanel() {
    CentralPanelResize();
    FormResize();
    searchPanel_->Raise();
}

void TMainForm::FormResize() {
    results_->LayoutPane(searchPanel_->CoveredHeight());
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainForm::CentralPanelResize() {
    searchPanel_->FollowCentralPanel(windowState_ == TWindowState::Searching);
}

// ---------------------------------------------------------------------------------------------------------
// The window state

void TMainForm::SetGroupEnabled(TControl group, bool on) {
    folders_->SetGroupEnabled(group, on);
    results_->SetGroupEnabled(group, on);
    if (group == TControl::StartCommand)
        frame_->StartSearch1->setEnabled(on);
    if (group == TControl::SettingsMenu) {
        frame_->Settings1->setEnabled(on);
        frame_->About1->setEnabled(on);
    }
}

void TMainForm::ApplyControlTable(TWindowState state, bool everyGroup) {
    for (size_t i = 0; i < kControlGroups; ++i) {
        const auto group = static_cast<TControl>(i);
        const bool on = ControlEnabled(state, group);
        if (everyGroup || on != ControlEnabled(windowState_, group))
            SetGroupEnabled(group, on);
    }
}

void TMainForm::ChangeWindowState(TWindowState state) {
    // A closing window keeps its controls as they are; what follows only unwinds.
    if (state != TWindowState::Closing)
        ApplyControlTable(state, false);
    windowState_ = state;
}

bool TMainForm::SearchStopped() const {
    return driver_->SearchStopped();
}

void TMainForm::ShowStartCaption(bool searching) {
    folders_->ShowStartCaption(searching);
    frame_->StartSearch1->setText(searching ? QStringLiteral("Stop Search") : QStringLiteral("Start Search"));
    // Escape stops a search, and F5 still does; Escape means nothing else here.
    frame_->StartSearch1->setShortcuts(searching ? QList<QKeySequence>{QKeySequence(Qt::Key_Escape), QKeySequence(Qt::Key_F5)}
                                                 : QList<QKeySequence>{QKeySequence(Qt::Key_F5)});
}

// ---------------------------------------------------------------------------------------------------------
// Start-up and shut-down

void TMainForm::FormCreate() {
    state_.RecycleFolderName = UserTrashFolderName() + QLatin1Char('/');
    setAcceptDrops(true);
    state_.SystemNumberFormat = QLocale::system();
    driver_ = std::make_unique<SearchDriver>(state_.catalogue, state_.settings, *this, state_.SystemNumberFormat,
                                             supply_);
    state_.SortColumn = 0;
    state_.SortDescending = false;
    state_.PlaceholderShown = true;
    state_.SettingsFolder = DetermineSettingsFolder();
    state_.Journal = std::make_unique<ActionJournal>(ActionJournal::DefaultFile());
    state_.Remembered = std::make_unique<RememberedPairs>(RememberedPairs::DefaultFile());
    LoadSettings(state_.settings, state_.SettingsFolder);
    folders_->SetScanSubfolders(state_.settings.ScanSubfolders);
    EnterIdleState();
    // The idle state enables the list without regard to its placeholder.
    folders_->DisableWhilePlaceholder();
    state_.StartupUpdateCheck = state_.settings.AutoCheckUpdates;
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Qt sends this before the window reaches the screen, so the update window comes first.
    if (shownOnce_)
        return;
    shownOnce_ = true;
    Guarded([this] { FormShow(); });
}

void TMainForm::FormShow() {
    if (state_.StartupUpdateCheck && state_.settings.AutoCheckUpdates && updateForm_)
        updateForm_->exec();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!Closed())
        FormCloseQuery();
    event->accept();
}

void TMainForm::FormCloseQuery() {
    SetResultRowCount(0);
    ChangeWindowState(TWindowState::Closing);
    driver_->RequestStop();
    // The close is allowed whatever follows: a settings file that cannot be written is reported, and the
    // catalogue is released all the same, so that a search still unwinding ends and nothing is left holding
    // memory for a window that is going away.
    state_.settings.ScanSubfolders = folders_->ScanSubfolders();
    if (rememberWindow_)
        saveWindowMemory();
    try {
        SaveSettings(state_.settings, state_.SettingsFolder);
    } catch (const std::exception& e) {
        ShowGeneralError(services_, this, QString::fromUtf8(e.what()));
    }
    state_.catalogue.Release();
}

bool TMainForm::RememberWindow() {
    rememberWindow_ = true;
    const std::optional<WindowMemory> memory = ReadWindowMemory(WindowMemoryFile(state_.SettingsFolder));
    if (!memory)
        return false;
    folders_->RestoreFolders(memory->Folders);
    if (const auto splitter = memory->Splitters.find(frame_->MainSplitter->objectName());
        splitter != memory->Splitters.end())
        frame_->MainSplitter->restoreState(splitter->second);
    if (const auto columns = memory->Columns.find(QStringLiteral("ListView1")); columns != memory->Columns.end())
        results_->RestoreColumnWidths(columns->second);
    if (memory->SortColumn >= 0 && memory->SortColumn < 3) {
        state_.SortColumn = memory->SortColumn;
        state_.SortDescending = memory->SortDescending;
    }
    results_->Views().ShowGroups(memory->View == QStringLiteral("groups"));
    return !memory->Geometry.isEmpty() && restoreGeometry(memory->Geometry);
}

void TMainForm::saveWindowMemory() {
    WindowMemory memory;
    memory.Folders = folders_->RememberedFolders();
    memory.Geometry = saveGeometry();
    memory.Splitters[frame_->MainSplitter->objectName()] = frame_->MainSplitter->saveState();
    if (const std::vector<int> widths = results_->DraggedColumnWidths(); !widths.empty())
        memory.Columns[QStringLiteral("ListView1")] = widths;
    memory.SortColumn = state_.SortColumn;
    memory.SortDescending = state_.SortDescending;
    memory.View = results_->Views().GroupsShown() ? QStringLiteral("groups") : QStringLiteral("pairs");
    // What the window looked like is no one's data: a state that cannot be written is simply not kept.
    WriteWindowMemory(WindowMemoryFile(state_.SettingsFolder), memory);
}

void TMainForm::Exit1Click() {
    if (close())
        QCoreApplication::quit();
}

// ---------------------------------------------------------------------------------------------------------
// Menu commands

void TMainForm::StartButtonClick() {
    // While a search runs the command only stops it, however often it comes.
    if (SearchRunning(windowState_) || driver_->Running()) {
        if (windowState_ == TWindowState::Searching)
            ChangeWindowState(TWindowState::Stopping);
        driver_->RequestStop();
        return;
    }
    Guarded([this] {
        // A veto of its own for each search: it reads each file's content at most once per search.
        driver_->SetVeto(nullptr);
        veto_.reset();
        if (state_.Remembered && !state_.Remembered->Empty())
            driver_->SetVeto(&veto_.emplace(*state_.Remembered));
        driver_->StartButtonClick();
    });
}

void TMainForm::Settings1Click() {
    if (settingsForm_)
        settingsForm_->exec();
}

void TMainForm::About1Click() {
    if (aboutForm_)
        aboutForm_->exec();
}

void TMainForm::CheckforUpdates1Click() {
    if (updateForm_)
        updateForm_->exec();
}

void TMainForm::Howtouse1Click() {
    const QString page = FindHelpPage(QCoreApplication::applicationDirPath());
    if (page.isEmpty()) {
        services_.ShowMessage(this, MessageKind::Error,
                              QStringLiteral("Cannot find the help page ") + QLatin1String(kHelpPageName),
                              MessageButtons::Ok);
        return;
    }
    services_.OpenOrReport(this, page, QStringLiteral("the help page ") + page);
}

void TMainForm::Visitprogramswebsite1Click() {
    services_.OpenOrReport(this, SiteAddresses::WebsiteUrl(), SiteAddresses::WebsiteUrl());
}

// ---------------------------------------------------------------------------------------------------------
// The folder list, the results browser and the search panel: the handlers keep the window's names and
// hand over to their region.

void TMainForm::AddFolderButtonClick() { folders_->AddFolderButtonClick(); }
void TMainForm::RemoveFolderButtonClick() { folders_->RemoveFolderButtonClick(); }
void TMainForm::MoveFolderUpButtonClick() { folders_->MoveFolderUpButtonClick(); }
void TMainForm::MoveFolderDownButtonClick() { folders_->MoveFolderDownButtonClick(); }
void TMainForm::ClearDirectoriesButtonClick() { folders_->ClearDirectoriesButtonClick(); }
void TMainForm::DirectoriesListBoxKeyDown(int key) { folders_->DirectoriesListBoxKeyDown(key); }
void TMainForm::Label1Click() { folders_->Label1Click(); }
void TMainForm::FormDropFiles(const QStringList& paths) { folders_->FormDropFiles(paths); }
QString TMainForm::DroppedFolder(const QString& path) { return TFolderList::DroppedFolder(path); }
int TMainForm::SelectedFolderIndex() const { return folders_->SelectedFolderIndex(); }
QStringList TMainForm::ReferenceFolders() const { return folders_->ReferenceFolders(); }

void TMainForm::ListView1Click() { results_->ListView1Click(); }
void TMainForm::ListView1ColumnClick(int column) { results_->ListView1ColumnClick(column); }
void TMainForm::ListView1KeyUp(int key) { results_->ListView1KeyUp(key); }
void TMainForm::LeftImageClick() { results_->OpenPicture(PairSide::Left); }
void TMainForm::RightImageClick() { results_->OpenPicture(PairSide::Right); }
void TMainForm::SwapImagesButtonClick() { results_->SwapImagesButtonClick(); }
void TMainForm::MoveImageButton1Click() { results_->MovePicture(PairSide::Left); }
void TMainForm::MoveImageButton2Click() { results_->MovePicture(PairSide::Right); }
void TMainForm::BrowseImageButton1Click() { results_->RevealPicture(PairSide::Left); }
void TMainForm::BrowseImageButton2Click() { results_->RevealPicture(PairSide::Right); }
void TMainForm::DeleteImageButton1Click() { results_->DeletePicture(PairSide::Left); }
void TMainForm::DeleteImageButton2Click() { results_->DeletePicture(PairSide::Right); }
void TMainForm::SavelistofdupliacatestoCSV1Click() { results_->SavelistofdupliacatestoCSV1Click(); }
void TMainForm::Undo1Click() { results_->UndoLastStep(); }
void TMainForm::History1Click() { results_->ShowHistory(); }
void TMainForm::NotDuplicates1Click() {
    if (!state_.Remembered)
        return;
    TRememberedPairsDialog dialog(*state_.Remembered, services_, this);
    services_.RunDialog(dialog);
}
int TMainForm::ResultRowCount() const { return results_->ResultRowCount(); }

void TMainForm::Timer1Timer() { searchPanel_->Tick(windowState_ == TWindowState::Searching); }
QString TMainForm::TimeText() const { return searchPanel_->TimeText(); }

// ---------------------------------------------------------------------------------------------------------
// Drops

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasUrls())
        return;
    const QList<QUrl> urls = event->mimeData()->urls();
    if (std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    event->acceptProposedAction();
    Guarded([this, &paths] { FormDropFiles(paths); });
}
