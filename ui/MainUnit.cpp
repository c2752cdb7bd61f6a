// The main window's frame: building and placing the controls, the menus, start-up and shut-down, and the
// window side of a search (its two states, the elapsed-time timer, the messages).
#include "ui/MainUnit.h"

#include "engine/Formatting.h"
#include "settings/SettingsStore.h"
#include "ui/DesignUnits.h"
#include "ui/ErrorReport.h"
#include "ui/FolderDialog.h"
#include "ui/HelpPage.h"
#include "ui/MainWidgets.h"
#include "ui/SiteAddresses.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <unistd.h>

static void InitVoralinResources() {
    // The resources live in a static library; without this call the linker may drop them.
    Q_INIT_RESOURCE(voralin);
}

namespace {

// The grey-blue of the panels (colour value 8743520) and the text on it.
const QColor kPanelColour(96, 106, 133);
const QColor kPanelText(255, 255, 255);
// Caption labels under the picture buttons, until the pointer lights them up.
const QColor kCaptionGrey(128, 128, 128);

// The design's resolution: every size below is in pixels at this many dots per inch.
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
constexpr int kTopPanelMin = 78;
constexpr int kSplitterHeight = 12;
constexpr int kCentralPanelMin = 131;
constexpr int kBottomPanelHeight = 204;
constexpr int kBottomPanelMin = 78;
constexpr int kPanel2Height = 63;
constexpr int kSummaryPanelHeight = 52;

// Comparison pane.
constexpr int kBetweenImagesWidth = 79;
constexpr int kImagePanelsGap = 60;  // ImagePanel1 takes (width - 60) div 2
constexpr int kPictureMargin = 7;
constexpr int kImageTextHeight = 97;
constexpr int kImageLabelHeight = 29;
constexpr int kButtonGroupWidth = 179;
constexpr int kButtonGroupHeight = 68;
constexpr int kButtonGroupTop = 21;

// Search panel: the first label sits this far above the middle, the others follow at this step.
constexpr int kSearchLabelsAboveMiddle = 64;
constexpr int kSearchLabelStep = 32;
constexpr int kSearchLabelHeight = 34;

// The window states pause briefly, so that the change is seen before the work starts or the message opens.
constexpr unsigned long kStatePauseMs = 100;
constexpr int kTimerIntervalMs = 1000;

const QString kPlaceholderAtStart =
    QStringLiteral("       You can drag directories here from the Windows Explorer");
const QString kPlaceholderLater = QStringLiteral("       You can drag directories from the Windows Explorer");

// The system tick counter in milliseconds, 32 bits wide; differences survive its wrap.
uint32_t TickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

template <typename F> void TMainForm::Guarded(F&& body) {
    RunGuarded(services_, this, std::forward<F>(body));
}

TMainForm::TMainForm(PlatformServices& services, QWidget* parent) : QMainWindow(parent), services_(services) {
    InitVoralinResources();
    setObjectName(QStringLiteral("MainForm"));
    scale_ = DesignScale(this);
    setWindowTitle(QStringLiteral("Voralin"));
    setWindowIcon(QIcon(QStringLiteral(":/voralin/voralin.svg")));
    setFont(DesignFont(14));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerIntervalMs);
    connect(Timer1, &QTimer::timeout, this, [this] { Guarded([this] { Timer1Timer(); }); });

    SetupMenus();
    auto* client = new QWidget(this);
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    MainSplitter = new QSplitter(Qt::Vertical, client);
    MainSplitter->setObjectName(QStringLiteral("MainSplitter"));
    MainSplitter->setChildrenCollapsible(false);
    MainSplitter->setHandleWidth(S(kSplitterHeight));
    clientLayout->addWidget(MainSplitter);
    setCentralWidget(client);

    SetupTopPanel();
    SetupCentralPanel();
    SetupBottomPanel();
    MainSplitter->addWidget(TopPanel);
    MainSplitter->addWidget(CentralPanel);
    MainSplitter->addWidget(BottomPanel);
    MainSplitter->setStretchFactor(0, 0);
    MainSplitter->setStretchFactor(1, 1);
    MainSplitter->setStretchFactor(2, 0);
    Splitter1 = MainSplitter->handle(1);
    Splitter2 = MainSplitter->handle(2);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    const int centralHeight =
        S(kClientHeight) - S(kTopPanelHeight) - S(kBottomPanelHeight) - 2 * S(kSplitterHeight);
    MainSplitter->setSizes({S(kTopPanelHeight), centralHeight, S(kBottomPanelHeight)});

    AddFolderDialog = new TFolderDialog(services_, this);
    AddFolderDialog->setObjectName(QStringLiteral("AddFolderDialog"));
    AddFolderDialog->Options = TFolderOption::fdoReturnOnlyFSDirs | TFolderOption::fdoNewDialogStyle;

    setMinimumSize(S(kMinOuterWidth - kFrameWidth), S(kMinOuterHeight - kFrameHeight));
    resize(S(kClientWidth), S(kClientHeight) + menuBar()->sizeHint().height());

    ConnectResultsBrowser();
    ShowSamplePictures();
    FormCreate();
}

TMainForm::~TMainForm() {
    // The controls go while the window is still whole: filters and handlers that refer back to it can run
    // as its children are torn down.
    delete centralWidget();
}

int TMainForm::S(int designUnits) const {
    return static_cast<int>(std::lround(designUnits * scale_));
}

QFont TMainForm::DesignFont(int characterHeight, bool bold) const {
    return ::DesignFont(S(characterHeight), bold);
}

void TMainForm::AttachWindows(QDialog* aboutForm, QDialog* settingsForm, QDialog* updateForm) {
    aboutForm_ = aboutForm;
    settingsForm_ = settingsForm;
    updateForm_ = updateForm;
}

// ---------------------------------------------------------------------------------------------------------
// Building the window

void TMainForm::SetupMenus() {
    auto named = [](QAction* action, const char* name) {
        action->setObjectName(QLatin1String(name));
        return action;
    };
    File1 = menuBar()->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    StartSearch1 = named(File1->addAction(QStringLiteral("Start Search")), "StartSearch1");
    SavelistofdupliacatestoCSV1 =
        named(File1->addAction(QStringLiteral("Save list of dupliacates to CSV")), "SavelistofdupliacatestoCSV1");
    File1->addSeparator();
    Exit1 = named(File1->addAction(QStringLiteral("Exit")), "Exit1");
    Settings1 = named(menuBar()->addAction(QStringLiteral("&Settings")), "Settings1");
    Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    Howtouse1 = named(Help1->addAction(QStringLiteral("How to use")), "Howtouse1");
    CheckforUpdates1 = named(Help1->addAction(QStringLiteral("Check for Updates")), "CheckforUpdates1");
    Visitprogramswebsite1 =
        named(Help1->addAction(QStringLiteral("Visit the program's website")), "Visitprogramswebsite1");
    Help1->addSeparator();
    About1 = named(Help1->addAction(QStringLiteral("About")), "About1");

    connect(StartSearch1, &QAction::triggered, this, [this] { StartButtonClick(); });
    connect(SavelistofdupliacatestoCSV1, &QAction::triggered, this,
            [this] { Guarded([this] { SavelistofdupliacatestoCSV1Click(); }); });
    connect(Exit1, &QAction::triggered, this, [this] { Guarded([this] { Exit1Click(); }); });
    connect(Settings1, &QAction::triggered, this, [this] { Guarded([this] { Settings1Click(); }); });
    connect(Howtouse1, &QAction::triggered, this, [this] { Guarded([this] { Howtouse1Click(); }); });
    connect(CheckforUpdates1, &QAction::triggered, this, [this] { Guarded([this] { CheckforUpdates1Click(); }); });
    connect(Visitprogramswebsite1, &QAction::triggered, this,
            [this] { Guarded([this] { Visitprogramswebsite1Click(); }); });
    connect(About1, &QAction::triggered, this, [this] { Guarded([this] { About1Click(); }); });
}

namespace {

QToolButton* MakePictureButton(QWidget* parent, const char* name, const QString& hint, const QString& icon) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    button->setToolTip(hint);
    button->setIcon(QIcon(icon));
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setAlignment(alignment);
    return label;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Disabled, QPalette::WindowText, colour);
    widget->setPalette(p);
}

TPanel* MakePanel(QWidget* parent, const char* name, bool bordered) {
    auto* panel = new TPanel(parent);
    panel->setObjectName(QLatin1String(name));
    if (bordered) {
        panel->setFrameShape(QFrame::Box);
        panel->setFrameShadow(QFrame::Plain);
        panel->setLineWidth(1);
    }
    return panel;
}

}  // namespace

void TMainForm::SetupTopPanel() {
    TopPanel = MakePanel(this, "TopPanel", false);
    TopPanel->setMinimumHeight(S(kTopPanelMin));
    TopPanel->onResize = [this] { LayoutTopPanel(); };

    DirectoriesListBox = new QListWidget(TopPanel);
    DirectoriesListBox->setObjectName(QStringLiteral("DirectoriesListBox"));
    DirectoriesListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    DirectoriesListBox->setFont(DesignFont(15));
    DirectoriesListBox->setUniformItemSizes(true);
    DirectoriesListBox->setTextElideMode(Qt::ElideMiddle);
    DirectoriesListBox->installEventFilter(this);
    // The invitation the list opens with.
    DirectoriesListBox->addItems({QString(), QString(), kPlaceholderAtStart});
    for (int i = 0; i < DirectoriesListBox->count(); ++i)
        DirectoriesListBox->item(i)->setSizeHint(QSize(0, S(18)));
    {
        QPalette p = DirectoriesListBox->palette();
        p.setColor(QPalette::Disabled, QPalette::Text, p.color(QPalette::Disabled, QPalette::WindowText));
        DirectoriesListBox->setPalette(p);
    }

    Panel2 = MakePanel(TopPanel, "Panel2", true);
    Panel2->SetColour(kPanelColour, kPanelText);
    FoldersCaptionLabel = MakeLabel(Panel2, "FoldersCaptionLabel", QStringLiteral("Folders:"), DesignFont(28));
    SetTextColour(FoldersCaptionLabel, kPanelText);

    AddFolderButton = MakePictureButton(Panel2, "AddFolderButton", QStringLiteral("Add Folder"),
                                        QStringLiteral(":/voralin/add-folder.svg"));
    RemoveFolderButton = MakePictureButton(Panel2, "RemoveFolderButton", QStringLiteral("Remove Selected Folder"),
                                           QStringLiteral(":/voralin/remove-folder.svg"));
    MoveFolderUpButton = MakePictureButton(Panel2, "MoveFolderUpButton", QStringLiteral("Move Up"),
                                           QStringLiteral(":/voralin/move-up.svg"));
    MoveFolderDownButton = MakePictureButton(Panel2, "MoveFolderDownButton", QStringLiteral("Move Down"),
                                             QStringLiteral(":/voralin/move-down.svg"));
    ClearDirectoriesButton = MakePictureButton(Panel2, "ClearDirectoriesButton", QStringLiteral("Clear All"),
                                               QStringLiteral(":/voralin/clear-all.svg"));

    StartButton = new QPushButton(QStringLiteral("Start Search"), Panel2);
    StartButton->setObjectName(QStringLiteral("StartButton"));
    StartButton->setFont(DesignFont(15, true));
    StartButton->setIcon(QIcon(QStringLiteral(":/voralin/search.svg")));

    ScanSubfoldersCheckBox = new QCheckBox(QStringLiteral(" "), Panel2);
    ScanSubfoldersCheckBox->setObjectName(QStringLiteral("ScanSubfoldersCheckBox"));
    ScanSubfoldersCheckBox->setChecked(true);
    Label1 = new TClickLabel(QStringLiteral(" Scan Subdirectories"), Panel2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(DesignFont(15));
    Label1->setCursor(Qt::PointingHandCursor);
    SetTextColour(Label1, kPanelText);

    connect(AddFolderButton, &QToolButton::clicked, this, [this] { Guarded([this] { AddFolderButtonClick(); }); });
    connect(RemoveFolderButton, &QToolButton::clicked, this,
            [this] { Guarded([this] { RemoveFolderButtonClick(); }); });
    connect(MoveFolderUpButton, &QToolButton::clicked, this,
            [this] { Guarded([this] { MoveFolderUpButtonClick(); }); });
    connect(MoveFolderDownButton, &QToolButton::clicked, this,
            [this] { Guarded([this] { MoveFolderDownButtonClick(); }); });
    connect(ClearDirectoriesButton, &QToolButton::clicked, this,
            [this] { Guarded([this] { ClearDirectoriesButtonClick(); }); });
    connect(StartButton, &QPushButton::clicked, this, [this] { StartButtonClick(); });
    connect(Label1, &TClickLabel::clicked, this, [this] { Guarded([this] { Label1Click(); }); });
    connect(ScanSubfoldersCheckBox, &QCheckBox::toggled, this, [this](bool on) { state_.settings.ScanSubfolders = on; });
}

void TMainForm::LayoutTopPanel() {
    const int w = TopPanel->width();
    const int h = TopPanel->height();
    const int stripHeight = S(kPanel2Height);
    DirectoriesListBox->setGeometry(0, 0, w, std::max(0, h - stripHeight));
    Panel2->setGeometry(0, h - stripHeight, w, stripHeight);

    const int captionWidth = std::max(S(99), FoldersCaptionLabel->sizeHint().width());
    FoldersCaptionLabel->setGeometry(S(20), S(12), captionWidth, S(34));
    const int iconSide = S(34);
    struct Placed {
        QToolButton* button;
        int left, width;
    };
    for (const Placed& p : {Placed{AddFolderButton, 143, 47}, Placed{RemoveFolderButton, 197, 48},
                            Placed{MoveFolderUpButton, 252, 47}, Placed{MoveFolderDownButton, 307, 47},
                            Placed{ClearDirectoriesButton, 362, 47}}) {
        p.button->setGeometry(S(p.left), S(5), S(p.width), S(47));
        p.button->setIconSize(QSize(iconSide, iconSide));
    }
    StartButton->setGeometry(S(433), S(8), S(148), S(44));
    StartButton->setIconSize(QSize(S(22), S(22)));
    // In a window at its narrowest the label would run past the strip's edge; the check box and label then
    // close up on the Start button, as far as the gap between them allows.
    const int labelWidth = std::max(S(130), Label1->sizeHint().width());
    const int gap = S(625) - StartButton->geometry().right() - S(8);
    const int shift = std::clamp(S(647) + labelWidth - (w - S(4)), 0, std::max(gap, 0));
    ScanSubfoldersCheckBox->setGeometry(S(625) - shift, S(18), S(26), S(23));
    Label1->setGeometry(S(647) - shift, S(20), labelWidth, S(18));
}

void TMainForm::SetupCentralPanel() {
    CentralPanel = MakePanel(this, "CentralPanel", false);
    CentralPanel->SetColour(kPanelColour, kPanelText);
    CentralPanel->setMinimumHeight(S(kCentralPanelMin));
    CentralPanel->onResize = [this] { LayoutCentralPanel(); };

    ImagePanel1 = MakePanel(CentralPanel, "ImagePanel1", true);
    BetweenImagesPanel = MakePanel(CentralPanel, "BetweenImagesPanel", false);
    ImagePanel2 = MakePanel(CentralPanel, "ImagePanel2", true);
    for (TPanel* panel : {ImagePanel1, BetweenImagesPanel, ImagePanel2})
        panel->SetColour(kPanelColour, kPanelText);
    {
        // A thin frame a shade lighter than the panel, as the design's flat border shows on the grey-blue.
        QPalette p = ImagePanel1->palette();
        p.setColor(QPalette::WindowText, QColor(140, 150, 175));
        ImagePanel1->setPalette(p);
        ImagePanel2->setPalette(p);
    }
    SetupImagePanel(1);
    SetupImagePanel(2);

    SimilarityLabel = MakeLabel(BetweenImagesPanel, "SimilarityLabel", QStringLiteral("Similarity:"), DesignFont(15),
                                Qt::AlignCenter);
    PercentLabel = MakeLabel(BetweenImagesPanel, "PercentLabel", QStringLiteral("56%"), DesignFont(23, true),
                             Qt::AlignCenter);
    SetTextColour(SimilarityLabel, kPanelText);
    SetTextColour(PercentLabel, kPanelText);
    SwapImagesButton = MakePictureButton(BetweenImagesPanel, "SwapImagesButton", QStringLiteral("Swap Images"),
                                         QStringLiteral(":/voralin/swap.svg"));
    BetweenImagesPanel->onResize = [this] {
        const int w = BetweenImagesPanel->width();
        SimilarityLabel->setGeometry(S(4), S(21), w - 2 * S(4), S(17));
        PercentLabel->setGeometry(S(4), S(46), w - 2 * S(4), S(42));
        SwapImagesButton->setGeometry(S(13), S(95), S(47), S(48));
        SwapImagesButton->setIconSize(QSize(S(34), S(34)));
    };

    // Created last so that it lies above the pane it covers.
    SearchPanel = MakePanel(CentralPanel, "SearchPanel", true);
    SearchPanel->SetColour(kPanelColour, kPanelText);
    SearchPanel->onResize = [this] { LayoutSearchPanel(); };
    FilesCountLabel = MakeLabel(SearchPanel, "FilesCountLabel", QStringLiteral("Total pictures scanned: 0 / 0"),
                                DesignFont(23), Qt::AlignCenter);
    CurrentDuplicatesFoundLabel = MakeLabel(SearchPanel, "CurrentDuplicatesFoundLabel",
                                            QStringLiteral("Similar pairs found: 0"), DesignFont(23), Qt::AlignCenter);
    TimeLabel = MakeLabel(SearchPanel, "TimeLabel", QStringLiteral("Elapsed time: 00:00:00"), DesignFont(23),
                          Qt::AlignCenter);
    for (QLabel* label : {FilesCountLabel, CurrentDuplicatesFoundLabel, TimeLabel})
        SetTextColour(label, kPanelText);
    SearchProgressBar = new QProgressBar(SearchPanel);
    SearchProgressBar->setObjectName(QStringLiteral("SearchProgressBar"));
    SearchProgressBar->setTextVisible(false);
    SearchProgressBar->setRange(0, 0);
    SearchPanel->setGeometry(0, 0, 0, 0);
    SearchPanel->hide();
}

void TMainForm::SetupImagePanel(int side) {
    TPanel* panel = side == 1 ? ImagePanel1 : ImagePanel2;
    auto name = [side](const char* base) { return QByteArray(base) + QByteArray::number(side); };

    auto* picture = new TPictureView(panel);
    picture->setObjectName(side == 1 ? QStringLiteral("LeftImage") : QStringLiteral("RightImage"));
    TPanel* textPanel = MakePanel(panel, name("ImageTextPanel").constData(), false);
    textPanel->SetColour(kPanelColour, kPanelText);
    QLabel* info = MakeLabel(textPanel, name("ImageLabel").constData(), QStringLiteral("No Image"), DesignFont(14),
                             Qt::AlignCenter);
    info->setWordWrap(true);
    SetTextColour(info, kPanelText);
    TPanel* buttons = MakePanel(textPanel, name("ImageButtonsPanel").constData(), false);
    buttons->SetColour(kPanelColour, kPanelText);

    struct PictureButton {
        const char* button;
        const char* label;
        const char* hint;
        const char* caption;
        const char* icon;
    };
    const PictureButton buttonSet[3] = {{"MoveImageButton", "MoveImageLabel", "Move file", "move", ":/voralin/move-file.svg"},
                           {"BrowseImageButton", "BrowseImageLabel", "Browse file", "browse",
                            ":/voralin/browse-file.svg"},
                           {"DeleteImageButton", "DeleteImageLabel", "Delete file", "delete",
                            ":/voralin/delete-file.svg"}};
    QToolButton* made[3];
    QLabel* captions[3];
    // The three captions stand 55 apart; a narrow face keeps "browse" from running into its neighbours where
    // the design's own face is missing.
    QFont captionFont = DesignFont(15);
    QStringList families = captionFont.families();
    families.insert(families.size() - 1, QStringLiteral("DejaVu Sans Condensed"));
    captionFont.setFamilies(families);
    for (int i = 0; i < 3; ++i) {
        made[i] = MakePictureButton(buttons, name(buttonSet[i].button).constData(), QLatin1String(buttonSet[i].hint),
                                    QLatin1String(buttonSet[i].icon));
        captions[i] = MakeLabel(buttons, name(buttonSet[i].label).constData(), QLatin1String(buttonSet[i].caption),
                                captionFont, Qt::AlignHCenter | Qt::AlignTop);
        SetTextColour(captions[i], kCaptionGrey);
    }

    if (side == 1) {
        LeftImage = picture;
        ImageTextPanel1 = textPanel;
        ImageLabel1 = info;
        ImageButtonsPanel1 = buttons;
        MoveImageButton1 = made[0];
        BrowseImageButton1 = made[1];
        DeleteImageButton1 = made[2];
        MoveImageLabel1 = captions[0];
        BrowseImageLabel1 = captions[1];
        DeleteImageLabel1 = captions[2];
    } else {
        RightImage = picture;
        ImageTextPanel2 = textPanel;
        ImageLabel2 = info;
        ImageButtonsPanel2 = buttons;
        MoveImageButton2 = made[0];
        BrowseImageButton2 = made[1];
        DeleteImageButton2 = made[2];
        MoveImageLabel2 = captions[0];
        BrowseImageLabel2 = captions[1];
        DeleteImageLabel2 = captions[2];
    }
    panel->onResize = [this, side] { LayoutImagePanel(side); };
}

void TMainForm::LayoutImagePanel(int side) {
    TPanel* panel = side == 1 ? ImagePanel1 : ImagePanel2;
    TPictureView* picture = side == 1 ? LeftImage : RightImage;
    TPanel* textPanel = side == 1 ? ImageTextPanel1 : ImageTextPanel2;
    QLabel* info = side == 1 ? ImageLabel1 : ImageLabel2;
    TPanel* buttons = side == 1 ? ImageButtonsPanel1 : ImageButtonsPanel2;
    QToolButton* made[3] = {side == 1 ? MoveImageButton1 : MoveImageButton2,
                            side == 1 ? BrowseImageButton1 : BrowseImageButton2,
                            side == 1 ? DeleteImageButton1 : DeleteImageButton2};
    QLabel* captions[3] = {side == 1 ? MoveImageLabel1 : MoveImageLabel2,
                           side == 1 ? BrowseImageLabel1 : BrowseImageLabel2,
                           side == 1 ? DeleteImageLabel1 : DeleteImageLabel2};

    const QRect inside = panel->contentsRect();
    const int textHeight = S(kImageTextHeight);
    const int margin = S(kPictureMargin);
    textPanel->setGeometry(inside.left(), inside.bottom() + 1 - textHeight, inside.width(), textHeight);
    picture->setGeometry(inside.left() + margin, inside.top() + margin, std::max(0, inside.width() - 2 * margin),
                         std::max(0, inside.height() - textHeight - 2 * margin));

    info->setGeometry(0, 0, textPanel->width(), S(kImageLabelHeight));
    buttons->setGeometry((textPanel->width() - S(kButtonGroupWidth)) / 2, S(kButtonGroupTop), S(kButtonGroupWidth),
                         S(kButtonGroupHeight));
    const int lefts[3] = {12, 67, 122};
    for (int i = 0; i < 3; ++i) {
        made[i]->setGeometry(S(lefts[i]), S(4), S(47), S(47));
        made[i]->setIconSize(QSize(S(32), S(32)));
        // The caption is a little wider than its button and centred under it.
        captions[i]->setGeometry(S(lefts[i] - 6), S(47), S(59), S(20));
    }
}

void TMainForm::LayoutCentralPanel() {
    CentralPanelResize();
    const int w = CentralPanel->width();
    const int h = CentralPanel->height();
    SearchPanel->setGeometry(0, 0, w, std::min(SearchPanel->height(), h));
    FormResize();
    SearchPanel->raise();
}

void TMainForm::FormResize() {
    // The two picture panels share the width the between panel leaves, the left one rounded down.
    const int w = CentralPanel->width();
    const int top = SearchPanel->isHidden() ? 0 : SearchPanel->height();
    const int h = std::max(0, CentralPanel->height() - top);
    const int left = std::max(0, (w - S(kImagePanelsGap)) / 2);
    const int between = S(kBetweenImagesWidth);
    ImagePanel1->setGeometry(0, top, left, h);
    BetweenImagesPanel->setGeometry(left, top, between, h);
    ImagePanel2->setGeometry(left + between, top, std::max(0, w - left - between), h);
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainForm::CentralPanelResize() {
    if (!driver_ || driver_->SearchStopped)
        return;
    SearchPanel->setGeometry(0, 0, CentralPanel->width(), CentralPanel->height());
    const int filesTop = SearchPanel->height() / 2 - S(kSearchLabelsAboveMiddle);
    FilesCountLabel->move(FilesCountLabel->x(), filesTop);
    CurrentDuplicatesFoundLabel->move(CurrentDuplicatesFoundLabel->x(), filesTop + S(kSearchLabelStep));
    TimeLabel->move(TimeLabel->x(), filesTop + 2 * S(kSearchLabelStep));
    LayoutSearchPanel();
}

void TMainForm::LayoutSearchPanel() {
    // The labels keep their design margins on both sides and centre their text; a text wider than that
    // takes the margins rather than being cut.
    const int w = SearchPanel->width();
    struct Placed {
        QLabel* label;
        int margin;
    };
    for (const Placed& p : {Placed{FilesCountLabel, 230}, Placed{CurrentDuplicatesFoundLabel, 295},
                            Placed{TimeLabel, 319}}) {
        const int needed = p.label->fontMetrics().horizontalAdvance(p.label->text()) + S(8);
        const int margin = std::max(0, std::min(S(p.margin), (w - needed) / 2));
        p.label->setGeometry(margin, p.label->y(), std::max(0, w - 2 * margin), S(kSearchLabelHeight));
    }
    const int barMargin = std::max(S(8), std::min(S(295), (w - S(260)) / 2));
    SearchProgressBar->setGeometry(barMargin, TimeLabel->y() + S(kSearchLabelHeight) + S(14),
                                   std::max(0, w - 2 * barMargin), S(18));
}

void TMainForm::SetupBottomPanel() {
    BottomPanel = MakePanel(this, "BottomPanel", false);
    BottomPanel->setMinimumHeight(S(kBottomPanelMin));
    BottomPanel->onResize = [this] { LayoutBottomPanel(); };

    SummaryPanel = MakePanel(BottomPanel, "SummaryPanel", true);
    SummaryPanel->SetColour(kPanelColour, kPanelText);
    ScannedCountLabel = MakeLabel(SummaryPanel, "ScannedCountLabel", QStringLiteral("Files scanned: 0"), DesignFont(15));
    DuplicatesFoundLabel =
        MakeLabel(SummaryPanel, "DuplicatesFoundLabel", QStringLiteral("Duplicates found: 0"), DesignFont(15));
    DiskUsageLabel =
        MakeLabel(SummaryPanel, "DiskUsageLabel", QStringLiteral("Disk Space Usage: 0 MB"), DesignFont(15));
    DiskUsageLabel->hide();
    for (QLabel* label : {ScannedCountLabel, DuplicatesFoundLabel, DiskUsageLabel})
        SetTextColour(label, kPanelText);

    ListView1 = new QTableView(BottomPanel);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    SetupResultsList();
}

void TMainForm::LayoutBottomPanel() {
    const int w = BottomPanel->width();
    const int h = BottomPanel->height();
    const int summaryHeight = S(kSummaryPanelHeight);
    SummaryPanel->setGeometry(0, 0, w, summaryHeight);
    ListView1->setGeometry(0, summaryHeight, w, std::max(0, h - summaryHeight));

    // Long counts push the next label along instead of running into it.
    const int gap = S(16);
    const int textTop = S(14);
    const int lineHeight = S(20);
    const int scannedWidth = ScannedCountLabel->sizeHint().width();
    ScannedCountLabel->setGeometry(S(20), textTop, scannedWidth, lineHeight);
    const int duplicatesLeft = std::max(S(165), S(20) + scannedWidth + gap);
    const int duplicatesWidth = DuplicatesFoundLabel->sizeHint().width();
    DuplicatesFoundLabel->setGeometry(duplicatesLeft, textTop, duplicatesWidth, lineHeight);
    DiskUsageLabel->setGeometry(std::max(S(328), duplicatesLeft + duplicatesWidth + gap), textTop,
                                DiskUsageLabel->sizeHint().width(), lineHeight);
}

void TMainForm::ShowSamplePictures() {
    LeftImage->SetPicture(QImage(QStringLiteral(":/voralin/sample1.jpg")));
    RightImage->SetPicture(QImage(QStringLiteral(":/voralin/sample2.jpg")));
    ImageLabel1->setText(QStringLiteral("JPG  220 x 290  17 KB"));
    ImageLabel2->setText(QStringLiteral("JPG  220 x 290  12 KB"));
    PercentLabel->setText(QStringLiteral("56%"));
}

// ---------------------------------------------------------------------------------------------------------
// Start-up and shut-down

void TMainForm::FormCreate() {
    state_.RecycleFolderName = QStringLiteral(".Trash-%1/").arg(getuid());
    setAcceptDrops(true);
    state_.SystemNumberFormat = QLocale::system();
    driver_ = std::make_unique<SearchDriver>(state_.catalogue, state_.settings, *this, state_.SystemNumberFormat);
    driver_->SearchStopped = true;
    state_.SortColumn = 0;
    state_.SortDescending = false;
    state_.PlaceholderShown = true;
    state_.SettingsFolder = DetermineSettingsFolder();
    LoadSettings(state_.settings, state_.SettingsFolder);
    ScanSubfoldersCheckBox->setChecked(state_.settings.ScanSubfolders);
    EnterIdleState();
    // The idle state enables the list without regard to its placeholder.
    DirectoriesListBox->setEnabled(false);
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
    if (!closed_)
        FormCloseQuery();
    event->accept();
}

void TMainForm::FormCloseQuery() {
    SetResultRowCount(0);
    closed_ = true;
    driver_->SearchStopped = true;
    // The close is allowed whatever follows: a settings file that cannot be written is reported, and the
    // catalogue is released all the same, so that a search still unwinding ends and nothing is left holding
    // memory for a window that is going away.
    state_.settings.ScanSubfolders = ScanSubfoldersCheckBox->isChecked();
    try {
        SaveSettings(state_.settings, state_.SettingsFolder);
    } catch (const std::exception& e) {
        ShowGeneralError(services_, this, QString::fromUtf8(e.what()));
    }
    state_.catalogue.Release();
}

void TMainForm::Exit1Click() {
    if (close())
        QCoreApplication::quit();
}

// ---------------------------------------------------------------------------------------------------------
// Menu commands

void TMainForm::StartButtonClick() {
    Guarded([this] { driver_->StartButtonClick(); });
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
// Drops and keys

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

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DirectoriesListBox && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            Guarded([this, key] { DirectoriesListBoxKeyDown(key->key()); });
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------------------
// The window side of a search

void TMainForm::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool TMainForm::SearchStopped() const {
    return driver_->SearchStopped;
}

bool TMainForm::ScanSubfolders() const {
    return ScanSubfoldersCheckBox->isChecked();
}

void TMainForm::SetFilesCountText(const QString& text) {
    FilesCountLabel->setText(text);
    UpdateProgressBar(text);
    if (!SearchPanel->isHidden())
        LayoutSearchPanel();
}

void TMainForm::UpdateProgressBar(const QString& filesCountText) {
    // "Total pictures scanned: i / n": i stays 0 while the folders are walked (n counts what was found), so
    // the bar only shows activity until the first picture has been compared.
    static const QRegularExpression progress(QStringLiteral("(\\d+) / (\\d+)$"));
    const QRegularExpressionMatch m = progress.match(filesCountText);
    const qint64 done = m.hasMatch() ? m.captured(1).toLongLong() : 0;
    const qint64 total = m.hasMatch() ? m.captured(2).toLongLong() : 0;
    if (done <= 0 || total <= 0 || total > std::numeric_limits<int>::max()) {
        SearchProgressBar->setRange(0, 0);
        return;
    }
    SearchProgressBar->setRange(0, static_cast<int>(total));
    SearchProgressBar->setValue(static_cast<int>(std::min(done, total)));
}

void TMainForm::SetCurrentDuplicatesText(const QString& text) {
    CurrentDuplicatesFoundLabel->setText(text);
}

QStringList TMainForm::FolderListItems() const {
    QStringList items;
    for (int i = 0; i < DirectoriesListBox->count(); ++i)
        items.append(DirectoriesListBox->item(i)->text());
    return items;
}

bool TMainForm::PlaceholderShown() const {
    return state_.PlaceholderShown;
}

void TMainForm::ShowError(const QString& text) {
    services_.ShowMessage(this, MessageKind::Error, text, MessageButtons::Ok);
}

void TMainForm::ShowSummary(const QString& text) {
    // After a close the window is going away: nobody is left to read the outcome.
    if (closed_)
        return;
    services_.ShowMessage(this, MessageKind::Information, text, MessageButtons::Ok);
}

void TMainForm::SetControlsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             DirectoriesListBox, AddFolderButton, RemoveFolderButton, MoveFolderUpButton, MoveFolderDownButton,
             ClearDirectoriesButton, SwapImagesButton, MoveImageButton1, BrowseImageButton1, DeleteImageButton1,
             MoveImageButton2, BrowseImageButton2, DeleteImageButton2, ListView1, ScanSubfoldersCheckBox})
        w->setEnabled(enabled);
    Settings1->setEnabled(enabled);
    About1->setEnabled(enabled);
}

void TMainForm::EnterSearchingState() {
    SetControlsEnabled(false);
    ScannedCountLabel->setText(QStringLiteral("Files scanned: 0"));
    DuplicatesFoundLabel->setText(QStringLiteral("Duplicates found: 0"));
    DiskUsageLabel->setText(QStringLiteral("Disk Space Usage: 0 MB"));
    LayoutBottomPanel();
    ImageLabel1->setText(QStringLiteral("No Image"));
    ImageLabel2->setText(QStringLiteral("No Image"));
    PercentLabel->setText(QStringLiteral("0%"));
    StartButton->setText(QStringLiteral("Stop Search"));
    StartButton->setIcon(QIcon(QStringLiteral(":/voralin/stop.svg")));
    StartSearch1->setText(QStringLiteral("Stop Search"));
    LeftImage->setEnabled(false);
    LeftImage->ClearPicture();
    RightImage->setEnabled(false);
    RightImage->ClearPicture();
    SearchPanel->setGeometry(0, 0, CentralPanel->width(), CentralPanel->height());
    SearchPanel->show();
    SearchPanel->raise();
    FilesCountLabel->setText(QStringLiteral("Total pictures scanned: 0 / 0"));
    CurrentDuplicatesFoundLabel->setText(QStringLiteral("Similar pairs found: 0"));
    TimeLabel->setText(QStringLiteral("Elapsed time: 00:00:00"));
    UpdateProgressBar(FilesCountLabel->text());
    CentralPanelResize();
    FormResize();
    QThread::msleep(kStatePauseMs);
}

void TMainForm::EnterIdleState() {
    SetControlsEnabled(true);
    StartButton->setText(QStringLiteral("Start Search"));
    StartButton->setIcon(QIcon(QStringLiteral(":/voralin/search.svg")));
    StartSearch1->setText(QStringLiteral("Start Search"));
    LeftImage->setEnabled(true);
    RightImage->setEnabled(true);
    SearchPanel->setGeometry(0, 0, CentralPanel->width(), 0);
    SearchPanel->hide();
    FormResize();
    QThread::msleep(kStatePauseMs);
}

void TMainForm::StartElapsedTimer() {
    searchStartTick_ = TickCount();
    Timer1->start();
}

void TMainForm::StopElapsedTimer() {
    Timer1->stop();
}

void TMainForm::Timer1Timer() {
    if (driver_->SearchStopped)
        return;
    TimeLabel->setText(QStringLiteral("Elapsed time: ") + FormatElapsedTime(TickCount() - searchStartTick_));
}

QString TMainForm::TimeText() const {
    return TimeLabel->text();
}

void TMainForm::SetSummaryLabels(const QString& scanned, const QString& duplicates, const QString& diskUsage) {
    ScannedCountLabel->setText(scanned);
    DuplicatesFoundLabel->setText(duplicates);
    DiskUsageLabel->setText(diskUsage);
    LayoutBottomPanel();
}
