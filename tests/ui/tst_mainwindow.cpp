// The main window driven as the user drives it: start-up and close, the folder list, searches over a
// generated picture tree (with a stop and a close in the middle), the menus and the about box.
#include "core/PictureFixtures.h"
#include "settings/PictureTypeTable.h"
#include "settings/SettingsStore.h"
#include "ui/AboutUnit.h"
#include "ui/FakePlatformServices.h"
#include "ui/FolderDialog.h"
#include "ui/MainControls.h"
#include "ui/MainUnit.h"
#include "ui/MainWidgets.h"
#include "ui/RememberedPairsDialog.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <functional>
#include <memory>
#include <random>

namespace {

// A control of a dialog, found by the name it carries as objectName; a missing one ends the test run.
template <typename T> T* Child(const QObject& root, const char* name) {
    T* found = root.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("the dialog has no control named %s", name);
    return found;
}

const QString kAddFolders = QStringLiteral("Please, add one or more directories to search.");
const QString kChooseTypes = QStringLiteral("Please, choose one or more file types in Settings menu.");
const QString kPlaceholderAtStart =
    QStringLiteral("       You can drag directories here from the file manager");
const QString kPlaceholderLater = QStringLiteral("       You can drag directories from the file manager");
const QString kSummaryPadding = QString(36, QLatin1Char(' '));

// A picture of blocky random noise: pictures from different seeds share no signature.
QImage NoisePicture(uint32_t seed, int width = 200, int height = 160) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> value(0, 255);
    QImage image(width, height, QImage::Format_RGB32);
    const int cell = 8;
    for (int by = 0; by < height; by += cell)
        for (int bx = 0; bx < width; bx += cell) {
            const QRgb c = qRgb(value(rng), value(rng), value(rng));
            for (int y = by; y < std::min(height, by + cell); ++y)
                for (int x = bx; x < std::min(width, bx + cell); ++x)
                    image.setPixel(x, y, c);
        }
    return image;
}

void SavePicture(const QImage& image, const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QVERIFY2(image.save(path, "PNG"), qPrintable(path));
}

void CopyFile(const QString& from, const QString& to) {
    QDir().mkpath(QFileInfo(to).absolutePath());
    QVERIFY(QFile::copy(from, to));
}

// Sends a drop of local paths to the window, as the file manager would.
bool DropPaths(QWidget* target, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls.append(QUrl::fromLocalFile(p));
    data.setUrls(urls);
    const QPointF where(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(where.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return true;
}

QStringList Items(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items.append(list->item(i)->text());
    return items;
}

// Stands in for the update window: counts how often it is shown modally.
class CountingDialog : public QDialog {
public:
    int shown = 0;
    int exec() override {
        ++shown;
        return QDialog::Rejected;
    }
};

// What the searching state looks like, captured while a search runs.
struct SearchingLook {
    bool captured = false;
    QString startCaption, menuCaption;
    bool anyControlEnabled = true;
    bool settingsEnabled = true, aboutEnabled = true;
    bool leftImageEnabled = true;
    bool searchPanelCovers = false;
    QString imageLabel1, percent;
    bool labelWorksWhileDisabled = false;
    bool labelsFollowResize = false;
    QStringList listAfterDrop;
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void controlsAreNamedAndPlaced();
    void resultsListGrowsAndItsColumnsAreTheUsers();
    void windowRemembersItsUserAcrossRuns();
    void notADuplicateIsPassedOverUntilForgotten();
    void tabReachesEveryControl();
    void startRefusesWithoutFolders();
    void startRefusesWithoutTypes();
    void searchShowsStatesSummaryAndFirstPair();
    void stopDuringSearchInterrupts();
    void closeDuringSearchSavesSettingsAndStops();
    void placeholderStates();
    void addFolderThroughPicker();
    void deleteKeyLeavesEmptyEnabledList();
    void eachPressRemovesOneChosenFolder_data();
    void eachPressRemovesOneChosenFolder();
    void dropsOfFoldersAndFiles();
    void dropsAtTheFileSystemRoot();
    void droppedFolderRules();
    void moveUpAndDownAtTheEnds();
    void labelTogglesTheCheckBox();
    void settingsWrittenAtCloseAndReadAtStart();
    void failedSaveIsReportedAndTheWindowCloses();
    void exitDoesWhatTheCloseBoxDoes();
    void automaticUpdateCheckAtFirstShowing();
    void menusOpenThePagesAndWindows();
    void aboutBoxLinks();
    void progressBarFollowsTheProgressLine();
    void timerShowsElapsedTimeOnlyWhileSearching();

private:
    std::unique_ptr<TMainForm> NewWindow();
    QString SettingsFile() const { return configHome_.path() + QStringLiteral("/Voralin/Voralin.ini"); }
    void MakePictureTree();

    QTemporaryDir configHome_;
    QTemporaryDir dataHome_;
    std::unique_ptr<QTemporaryDir> work_;
    QString treeRoot_;
    FakePlatformServices services_;
};

void TestMainWindow::initTestCase() {
    QVERIFY(configHome_.isValid());
    qputenv("XDG_CONFIG_HOME", configHome_.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", dataHome_.path().toLocal8Bit());
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

void TestMainWindow::init() {
    QFile::remove(SettingsFile());
    services_ = FakePlatformServices();
    work_ = std::make_unique<QTemporaryDir>();
    QVERIFY(work_->isValid());
}

void TestMainWindow::cleanup() {
    work_.reset();
}

std::unique_ptr<TMainForm> TestMainWindow::NewWindow() {
    auto window = std::make_unique<TMainForm>(services_);
    window->show();
    return window;
}

// root/a.png, root/b.png (a copy of a), root/e.png (unrelated), root/sub/c.png, root/sub/d.png (a copy of c),
// root/small.png (recorded, but too small to compare).
void TestMainWindow::MakePictureTree() {
    treeRoot_ = work_->path() + QStringLiteral("/tree");
    SavePicture(NoisePicture(1), treeRoot_ + QStringLiteral("/a.png"));
    CopyFile(treeRoot_ + QStringLiteral("/a.png"), treeRoot_ + QStringLiteral("/b.png"));
    SavePicture(NoisePicture(2), treeRoot_ + QStringLiteral("/e.png"));
    SavePicture(NoisePicture(3, 60, 60), treeRoot_ + QStringLiteral("/small.png"));
    SavePicture(NoisePicture(4), treeRoot_ + QStringLiteral("/sub/c.png"));
    CopyFile(treeRoot_ + QStringLiteral("/sub/c.png"), treeRoot_ + QStringLiteral("/sub/d.png"));
}

void TestMainWindow::controlsAreNamedAndPlaced() {
    auto w = NewWindow();
    const char* const names[] = {
        "TopPanel", "DirectoriesListBox", "Panel2", "FoldersCaptionLabel", "AddFolderButton", "RemoveFolderButton",
        "MoveFolderUpButton", "MoveFolderDownButton", "ClearDirectoriesButton", "StartButton",
        "ScanSubfoldersCheckBox", "Label1", "Splitter1", "Splitter2", "CentralPanel", "SearchPanel",
        "FilesCountLabel", "CurrentDuplicatesFoundLabel", "TimeLabel", "SearchProgressBar", "ImagePanel1",
        "BetweenImagesPanel", "ImagePanel2", "LeftImage", "RightImage", "ImageTextPanel1", "ImageTextPanel2",
        "ImageLabel1", "ImageLabel2", "ImageButtonsPanel1", "ImageButtonsPanel2", "MoveImageButton1",
        "BrowseImageButton1", "DeleteImageButton1", "MoveImageButton2", "BrowseImageButton2", "DeleteImageButton2",
        "MoveImageLabel1", "BrowseImageLabel1", "DeleteImageLabel1", "MoveImageLabel2", "BrowseImageLabel2",
        "DeleteImageLabel2", "SimilarityLabel", "PercentLabel", "SwapImagesButton", "BottomPanel", "SummaryPanel",
        "ScannedCountLabel", "DuplicatesFoundLabel", "DiskUsageLabel", "ListView1", "AddFolderDialog", "Timer1",
        "StartSearch1", "SavelistofdupliacatestoCSV1", "Exit1", "Settings1", "Howtouse1", "CheckforUpdates1",
        "Visitprogramswebsite1", "About1"};
    for (const char* name : names)
        QVERIFY2(w->findChild<QObject*>(QLatin1String(name)) != nullptr, name);

    QCOMPARE(w->windowTitle(), QStringLiteral("Voralin"));
    QCOMPARE(Ctl(w).StartButton->text(), QStringLiteral("Start Search"));
    QCOMPARE(Ctl(w).StartSearch1->text(), QStringLiteral("Start Search"));
    QCOMPARE(Ctl(w).SavelistofdupliacatestoCSV1->text(), QStringLiteral("Save list of duplicates to CSV"));
    QCOMPARE(Ctl(w).Label1->text(), QStringLiteral(" Scan Subdirectories"));
    QCOMPARE(Ctl(w).AddFolderButton->toolTip(), QStringLiteral("Add Folder"));
    QCOMPARE(Ctl(w).RemoveFolderButton->toolTip(), QStringLiteral("Remove Selected Folder"));
    QCOMPARE(Ctl(w).ClearDirectoriesButton->toolTip(), QStringLiteral("Clear All"));
    QCOMPARE(Ctl(w).SwapImagesButton->toolTip(), QStringLiteral("Swap Images"));
    QVERIFY(Ctl(w).ScanSubfoldersCheckBox->isChecked());
    QVERIFY(Ctl(w).DiskUsageLabel->isHidden());
    QVERIFY(!Ctl(w).DirectoriesListBox->isEnabled());
    QVERIFY(Ctl(w).SearchPanel->isHidden());

    // The samples shown at start.
    QCOMPARE(Ctl(w).LeftImage->Picture().size(), QSize(220, 290));
    QCOMPARE(Ctl(w).RightImage->Picture().size(), QSize(220, 290));
    QCOMPARE(Ctl(w).ImageLabel1->text(), QStringLiteral("JPG  220 x 290  17 KB"));
    QCOMPARE(Ctl(w).ImageLabel2->text(), QStringLiteral("JPG  220 x 290  12 KB"));
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("56%"));
    QFile sample1(QStringLiteral(":/voralin/sample1.jpg"));
    QFile sample2(QStringLiteral(":/voralin/sample2.jpg"));
    QVERIFY(sample1.open(QIODevice::ReadOnly) && sample2.open(QIODevice::ReadOnly));
    QCOMPARE(qRound(sample1.size() / 1024.0), 17);
    QCOMPARE(qRound(sample2.size() / 1024.0), 12);

    // Results list columns and look.
    const QAbstractItemModel* model = Ctl(w).ListView1->model();
    QCOMPARE(model->columnCount(), 3);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Original Image"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Duplicate Image"));
    QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Similarity"));
    QCOMPARE(model->rowCount(), 0);
    QVERIFY(Ctl(w).ListView1->showGrid());
    QCOMPARE(Ctl(w).ListView1->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(Ctl(w).ListView1->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(Ctl(w).ListView1->editTriggers(), QAbstractItemView::NoEditTriggers);

    // Labels show their texts as they are, never as markup.
    for (QLabel* label : w->findChildren<QLabel*>())
        QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));

    // The comparison pane splits its width as designed: the left panel takes (width - 60) div 2.
    QCOMPARE(Ctl(w).ImagePanel1->width(), (Ctl(w).CentralPanel->width() - w->S(60)) / 2);
    QCOMPARE(Ctl(w).BetweenImagesPanel->width(), w->S(79));
    QCOMPARE(Ctl(w).ImagePanel1->width() + Ctl(w).BetweenImagesPanel->width() + Ctl(w).ImagePanel2->width(),
             Ctl(w).CentralPanel->width());
    QCOMPARE(Ctl(w).TopPanel->height(), w->S(157));
    QVERIFY(w->minimumWidth() > 0 && w->minimumHeight() > 0);

    // At the narrowest window the check box's label still shows whole, clear of the Start button.
    w->resize(w->minimumSize());
    QCoreApplication::processEvents();
    QCOMPARE(w->width(), w->minimumWidth());
    QVERIFY(Ctl(w).Label1->geometry().right() < Ctl(w).Panel2->width());
    QVERIFY(Ctl(w).Label1->sizeHint().width() <= Ctl(w).Label1->width());
    QVERIFY(Ctl(w).ScanSubfoldersCheckBox->geometry().left() > Ctl(w).StartButton->geometry().right());

    // The shared picker is set up for folders only.
    QCOMPARE(Ctl(w).AddFolderDialog->Flags(), 0x41u);
    QCOMPARE(Ctl(w).AddFolderDialog->DialogPosition, TDialogPosition::fdpDefault);
    QVERIFY(Ctl(w).AddFolderDialog->Title.isEmpty());
}

void TestMainWindow::startRefusesWithoutFolders() {
    auto w = NewWindow();
    // With the placeholder shown.
    QTest::mouseClick(Ctl(w).StartButton, Qt::LeftButton);
    QCOMPARE(services_.messages.size(), 1);
    QCOMPARE(services_.messages.last().kind, MessageKind::Error);
    QCOMPARE(services_.messages.last().text, kAddFolders);
    QCOMPARE(Ctl(w).StartButton->text(), QStringLiteral("Start Search"));
    QVERIFY(w->SearchStopped());
    QVERIFY(Ctl(w).SearchPanel->isHidden());
    QCOMPARE(Ctl(w).ImageLabel1->text(), QStringLiteral("JPG  220 x 290  17 KB"));

    // With an empty, enabled list (the last folder removed with the Delete key), through the menu item.
    w->FormDropFiles({work_->path()});
    Ctl(w).DirectoriesListBox->setCurrentRow(0);
    QTest::keyClick(Ctl(w).DirectoriesListBox, Qt::Key_Delete);
    QCOMPARE(Ctl(w).DirectoriesListBox->count(), 0);
    Ctl(w).StartSearch1->trigger();
    QCOMPARE(services_.messages.size(), 2);
    QCOMPARE(services_.messages.last().text, kAddFolders);
    QVERIFY(w->SearchStopped());
}

void TestMainWindow::startRefusesWithoutTypes() {
    auto w = NewWindow();
    w->FormDropFiles({work_->path()});
    TSettings& s = w->State().settings;
    for (const PictureType& type : PictureTypes())
        s.*type.EnabledBy = false;
    QTest::mouseClick(Ctl(w).StartButton, Qt::LeftButton);
    QCOMPARE(services_.messages.size(), 1);
    QCOMPARE(services_.messages.last().kind, MessageKind::Error);
    QCOMPARE(services_.messages.last().text, kChooseTypes);
    QCOMPARE(Ctl(w).StartButton->text(), QStringLiteral("Start Search"));
    QVERIFY(w->SearchStopped());
}

void TestMainWindow::searchShowsStatesSummaryAndFirstPair() {
    MakePictureTree();
    auto w = NewWindow();
    w->FormDropFiles({treeRoot_});
    QCOMPARE(Items(Ctl(w).DirectoriesListBox), QStringList{treeRoot_ + QLatin1Char('/')});

    SearchingLook look;
    // Runs at the search's first message-processing point.
    QTimer::singleShot(0, w.get(), [&] {
        look.captured = true;
        look.startCaption = Ctl(w).StartButton->text();
        look.menuCaption = Ctl(w).StartSearch1->text();
        look.anyControlEnabled = false;
        for (QWidget* c : std::initializer_list<QWidget*>{
                 Ctl(w).DirectoriesListBox, Ctl(w).AddFolderButton, Ctl(w).RemoveFolderButton, Ctl(w).MoveFolderUpButton,
                 Ctl(w).MoveFolderDownButton, Ctl(w).ClearDirectoriesButton, Ctl(w).SwapImagesButton, Ctl(w).MoveImageButton1,
                 Ctl(w).BrowseImageButton1, Ctl(w).DeleteImageButton1, Ctl(w).MoveImageButton2, Ctl(w).BrowseImageButton2,
                 Ctl(w).DeleteImageButton2, Ctl(w).ListView1, Ctl(w).ScanSubfoldersCheckBox})
            look.anyControlEnabled = look.anyControlEnabled || c->isEnabled();
        look.settingsEnabled = Ctl(w).Settings1->isEnabled();
        look.aboutEnabled = Ctl(w).About1->isEnabled();
        look.leftImageEnabled = Ctl(w).LeftImage->isEnabled();
        look.searchPanelCovers = !Ctl(w).SearchPanel->isHidden() &&
                                 Ctl(w).SearchPanel->geometry() == Ctl(w).CentralPanel->rect();
        look.imageLabel1 = Ctl(w).ImageLabel1->text();
        look.percent = Ctl(w).PercentLabel->text();
        // The label still works while its box is disabled; toggle twice to leave the search as it was.
        QTest::mouseClick(Ctl(w).Label1, Qt::LeftButton);
        const bool toggled = !Ctl(w).ScanSubfoldersCheckBox->isChecked();
        QTest::mouseClick(Ctl(w).Label1, Qt::LeftButton);
        look.labelWorksWhileDisabled = toggled && Ctl(w).ScanSubfoldersCheckBox->isChecked();
        // The pane can be resized during a search: the search panel keeps covering it, the labels follow.
        QList<int> sizes = Ctl(w).MainSplitter->sizes();
        sizes[1] -= 40;
        sizes[2] += 40;
        Ctl(w).MainSplitter->setSizes(sizes);
        const int filesTop = Ctl(w).SearchPanel->height() / 2 - w->S(64);
        look.labelsFollowResize = Ctl(w).SearchPanel->height() == Ctl(w).CentralPanel->height() &&
                                  Ctl(w).FilesCountLabel->y() == filesTop &&
                                  Ctl(w).CurrentDuplicatesFoundLabel->y() == filesTop + w->S(32) &&
                                  Ctl(w).TimeLabel->y() == filesTop + 2 * w->S(32);
        // Drops still arrive; the running search keeps the folders it started with.
        w->FormDropFiles({treeRoot_ + QStringLiteral("/sub")});
        look.listAfterDrop = Items(Ctl(w).DirectoriesListBox);
    });
    QString timeAtSummary;
    services_.onMessage = [&](const ShownMessage&) { timeAtSummary = Ctl(w).TimeLabel->text(); };

    QTest::mouseClick(Ctl(w).StartButton, Qt::LeftButton);

    QVERIFY(look.captured);
    QCOMPARE(look.startCaption, QStringLiteral("Stop Search"));
    QCOMPARE(look.menuCaption, QStringLiteral("Stop Search"));
    QVERIFY(!look.anyControlEnabled);
    QVERIFY(!look.settingsEnabled);
    QVERIFY(!look.aboutEnabled);
    QVERIFY(!look.leftImageEnabled);
    QVERIFY(look.searchPanelCovers);
    QCOMPARE(look.imageLabel1, QStringLiteral("No Image"));
    QCOMPARE(look.percent, QStringLiteral("0%"));
    QVERIFY(look.labelWorksWhileDisabled);
    QVERIFY(look.labelsFollowResize);
    QCOMPARE(look.listAfterDrop, (QStringList{treeRoot_ + QLatin1Char('/'), treeRoot_ + QStringLiteral("/sub/")}));

    // The summary, as an information box.
    QCOMPARE(services_.messages.size(), 1);
    const ShownMessage& summary = services_.messages.last();
    QCOMPARE(summary.kind, MessageKind::Information);
    QCOMPARE(summary.buttons, MessageButtons::Ok);
    QVERIFY(QRegularExpression(QStringLiteral("^Elapsed time: \\d\\d:\\d\\d:\\d\\d$")).match(timeAtSummary).hasMatch());
    const QString expected = QStringLiteral("Search finished.") + kSummaryPadding + QStringLiteral("\n\r\n\r") +
                             QStringLiteral("Total pictures scanned: 6 / 6\n\r") +
                             QStringLiteral("Similar pairs found: 2\n\r") + timeAtSummary + QStringLiteral("\n\r");
    QCOMPARE(summary.text, expected);

    // Idle again.
    QCOMPARE(Ctl(w).StartButton->text(), QStringLiteral("Start Search"));
    QCOMPARE(Ctl(w).StartSearch1->text(), QStringLiteral("Start Search"));
    QVERIFY(Ctl(w).SearchPanel->isHidden());
    QCOMPARE(Ctl(w).SearchPanel->height(), 0);
    QVERIFY(Ctl(w).DirectoriesListBox->isEnabled());
    QVERIFY(Ctl(w).ListView1->isEnabled());
    QVERIFY(Ctl(w).Settings1->isEnabled());
    QVERIFY(Ctl(w).About1->isEnabled());
    QVERIFY(Ctl(w).LeftImage->isEnabled());
    QVERIFY(w->SearchStopped());
    QCOMPARE(Ctl(w).ScannedCountLabel->text(), QStringLiteral("Files scanned: 6"));
    QCOMPARE(Ctl(w).DuplicatesFoundLabel->text(), QStringLiteral("Duplicates found: 2"));
    QVERIFY(!Ctl(w).Timer1->isActive());

    // The pairs in discovery order, the first selected.
    const QAbstractItemModel* model = Ctl(w).ListView1->model();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->index(0, 0).data().toString(), treeRoot_ + QStringLiteral("/a.png"));
    QCOMPARE(model->index(0, 1).data().toString(), treeRoot_ + QStringLiteral("/b.png"));
    QCOMPARE(model->index(0, 2).data().toString(), QStringLiteral("100"));
    QCOMPARE(model->index(1, 0).data().toString(), treeRoot_ + QStringLiteral("/sub/c.png"));
    QCOMPARE(model->index(1, 1).data().toString(), treeRoot_ + QStringLiteral("/sub/d.png"));
    const QModelIndexList selected = Ctl(w).ListView1->selectionModel()->selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().row(), 0);

    // A second search starts afresh and gives the same.
    services_.messages.clear();
    QTest::mouseClick(Ctl(w).StartButton, Qt::LeftButton);
    QCOMPARE(services_.messages.size(), 1);
    QVERIFY(services_.messages.last().text.startsWith(QStringLiteral("Search finished.")));
    QCOMPARE(Ctl(w).ListView1->model()->rowCount(), 2);
}

void TestMainWindow::stopDuringSearchInterrupts() {
    MakePictureTree();
    auto w = NewWindow();
    w->FormDropFiles({treeRoot_});
    bool clicked = false;
    QTimer::singleShot(0, w.get(), [&] {
        clicked = true;
        QTest::mouseClick(Ctl(w).StartButton, Qt::LeftButton);
        // A second click while stopping never starts another search.
        QTest::mouseClick(Ctl(w).StartButton, Qt::LeftButton);
    });
    QTest::mouseClick(Ctl(w).StartButton, Qt::LeftButton);
    QVERIFY(clicked);
    QCOMPARE(services_.messages.size(), 1);
    QCOMPARE(services_.messages.last().kind, MessageKind::Information);
    QVERIFY2(services_.messages.last().text.startsWith(QStringLiteral("Search interrupted.") + kSummaryPadding +
                                                       QStringLiteral("\n\r\n\r")),
             qPrintable(services_.messages.last().text));
    QCOMPARE(Ctl(w).DuplicatesFoundLabel->text(), QStringLiteral("Duplicates found: 0"));
    QCOMPARE(Ctl(w).ListView1->model()->rowCount(), 0);
    QCOMPARE(Ctl(w).StartButton->text(), QStringLiteral("Start Search"));
    QVERIFY(w->SearchStopped());
    QVERIFY(Ctl(w).SearchPanel->isHidden());
}

void TestMainWindow::closeDuringSearchSavesSettingsAndStops() {
    MakePictureTree();
    auto w = NewWindow();
    w->FormDropFiles({treeRoot_});
    QVERIFY(!QFile::exists(SettingsFile()));
    bool closedInside = false;
    QTimer::singleShot(0, w.get(), [&] { closedInside = w->close(); });
    QTest::mouseClick(Ctl(w).StartButton, Qt::LeftButton);

    QVERIFY(closedInside);
    QVERIFY(w->Closed());
    QVERIFY(!w->isVisible());
    // No summary after a close, and nothing else either.
    QCOMPARE(services_.messages.size(), 0);
    QVERIFY(QFile::exists(SettingsFile()));
    QCOMPARE(Ctl(w).ListView1->model()->rowCount(), 0);
    // The release waited for the search to let go, and then took place.
    const Catalogue& cat = w->State().catalogue;
    QVERIFY(cat.Pictures.empty());
    QVERIFY(cat.FolderPaths.empty());
    QVERIFY(cat.PicturePairs.empty());
    QCOMPARE(cat.LastPairIndex, -1);
    QVERIFY(w->SearchStopped());
    w.reset();
}

void TestMainWindow::placeholderStates() {
    auto w = NewWindow();
    QCOMPARE(Items(Ctl(w).DirectoriesListBox), (QStringList{QString(), QString(), kPlaceholderAtStart}));
    QVERIFY(!Ctl(w).DirectoriesListBox->isEnabled());
    QVERIFY(w->PlaceholderShown());

    // Remove, moves and Clear All do nothing to the placeholder.
    w->RemoveFolderButtonClick();
    w->MoveFolderUpButtonClick();
    w->MoveFolderDownButtonClick();
    w->ClearDirectoriesButtonClick();
    QCOMPARE(Items(Ctl(w).DirectoriesListBox), (QStringList{QString(), QString(), kPlaceholderAtStart}));

    w->FormDropFiles({work_->path()});
    QCOMPARE(Items(Ctl(w).DirectoriesListBox), QStringList{work_->path() + QLatin1Char('/')});
    QVERIFY(Ctl(w).DirectoriesListBox->isEnabled());
    QVERIFY(!w->PlaceholderShown());

    // Clear All brings it back, without "here".
    QTest::mouseClick(Ctl(w).ClearDirectoriesButton, Qt::LeftButton);
    QCOMPARE(Items(Ctl(w).DirectoriesListBox), (QStringList{QString(), QString(), kPlaceholderLater}));
    QVERIFY(!Ctl(w).DirectoriesListBox->isEnabled());
    QVERIFY(w->PlaceholderShown());

    // Remove without a selection removes nothing; Remove of the last folder shows the placeholder.
    w->FormDropFiles({work_->path()});
    w->FormDropFiles({work_->path()});
    Ctl(w).DirectoriesListBox->clearSelection();
    QTest::mouseClick(Ctl(w).RemoveFolderButton, Qt::LeftButton);
    QCOMPARE(Ctl(w).DirectoriesListBox->count(), 2);
    Ctl(w).DirectoriesListBox->setCurrentRow(1);
    QTest::mouseClick(Ctl(w).RemoveFolderButton, Qt::LeftButton);
    QCOMPARE(Ctl(w).DirectoriesListBox->count(), 1);
    Ctl(w).DirectoriesListBox->setCurrentRow(0);
    QTest::mouseClick(Ctl(w).RemoveFolderButton, Qt::LeftButton);
    QCOMPARE(Items(Ctl(w).DirectoriesListBox), (QStringList{QString(), QString(), kPlaceholderLater}));
    QVERIFY(w->PlaceholderShown());
}

void TestMainWindow::addFolderThroughPicker() {
    auto w = NewWindow();
    const QString first = work_->path() + QStringLiteral("/one");
    QVERIFY(QDir().mkpath(first));

    // Cancelled: nothing changes; the picker opened at the current folder.
    QTest::mouseClick(Ctl(w).AddFolderButton, Qt::LeftButton);
    QVERIFY(w->PlaceholderShown());
    QCOMPARE(services_.folderCaptions.last(), QStringLiteral("Add folder to search"));
    QCOMPARE(services_.folderStartDirs.last(), QDir::currentPath());

    // Chosen twice: listed twice, with the delimiter added; the second run opens at the first choice.
    services_.folderChoices.enqueue({true, first});
    services_.folderChoices.enqueue({true, first});
    QTest::mouseClick(Ctl(w).AddFolderButton, Qt::LeftButton);
    QTest::mouseClick(Ctl(w).AddFolderButton, Qt::LeftButton);
    QCOMPARE(Items(Ctl(w).DirectoriesListBox), (QStringList{first + QLatin1Char('/'), first + QLatin1Char('/')}));
    QCOMPARE(services_.folderStartDirs.last(), first);
    QVERIFY(Ctl(w).DirectoriesListBox->isEnabled());

    // The root keeps its single delimiter.
    services_.folderChoices.enqueue({true, QStringLiteral("/")});
    QTest::mouseClick(Ctl(w).AddFolderButton, Qt::LeftButton);
    QCOMPARE(Ctl(w).DirectoriesListBox->item(2)->text(), QStringLiteral("/"));
}

void TestMainWindow::deleteKeyLeavesEmptyEnabledList() {
    auto w = NewWindow();
    w->FormDropFiles({work_->path()});
    // No selection: nothing deleted.
    Ctl(w).DirectoriesListBox->clearSelection();
    QTest::keyClick(Ctl(w).DirectoriesListBox, Qt::Key_Delete);
    QCOMPARE(Ctl(w).DirectoriesListBox->count(), 1);
    // With a modifier held it deletes all the same, and never shows the placeholder.
    Ctl(w).DirectoriesListBox->setCurrentRow(0);
    QTest::keyClick(Ctl(w).DirectoriesListBox, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(Ctl(w).DirectoriesListBox->count(), 0);
    QVERIFY(Ctl(w).DirectoriesListBox->isEnabled());
    QVERIFY(!w->PlaceholderShown());

    // Clear All and Remove on the empty list show the placeholder.
    QTest::mouseClick(Ctl(w).ClearDirectoriesButton, Qt::LeftButton);
    QCOMPARE(Items(Ctl(w).DirectoriesListBox), (QStringList{QString(), QString(), kPlaceholderLater}));
    w->FormDropFiles({work_->path()});
    Ctl(w).DirectoriesListBox->setCurrentRow(0);
    QTest::keyClick(Ctl(w).DirectoriesListBox, Qt::Key_Delete);
    QTest::mouseClick(Ctl(w).RemoveFolderButton, Qt::LeftButton);
    QCOMPARE(Items(Ctl(w).DirectoriesListBox), (QStringList{QString(), QString(), kPlaceholderLater}));
}

void TestMainWindow::eachPressRemovesOneChosenFolder_data() {
    QTest::addColumn<bool>("byKey");
    QTest::newRow("Remove") << false;
    QTest::newRow("Delete key") << true;
}

void TestMainWindow::eachPressRemovesOneChosenFolder() {
    QFETCH(bool, byKey);
    auto w = NewWindow();
    QStringList folders;
    for (const char* name : {"one", "two", "three"}) {
        folders.append(work_->path() + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(QDir().mkpath(folders.last()));
    }
    w->FormDropFiles(folders);
    QListWidget* list = Ctl(w).DirectoriesListBox;
    const auto press = [&] {
        if (byKey)
            QTest::keyClick(list, Qt::Key_Delete);
        else
            QTest::mouseClick(Ctl(w).RemoveFolderButton, Qt::LeftButton);
    };
    list->setCurrentRow(1);
    press();
    QCOMPARE(Items(list), (QStringList{folders[0] + QLatin1Char('/'), folders[2] + QLatin1Char('/')}));
    QCOMPARE(w->SelectedFolderIndex(), -1);
    press();  // nothing chosen: nothing removed
    QCOMPARE(list->count(), 2);
}

void TestMainWindow::dropsOfFoldersAndFiles() {
    auto w = NewWindow();
    const QString folder = work_->path() + QStringLiteral("/dropped");
    const QString other = work_->path() + QStringLiteral("/other");
    QVERIFY(QDir().mkpath(folder));
    SavePicture(NoisePicture(7), other + QStringLiteral("/x.png"));
    SavePicture(NoisePicture(8), other + QStringLiteral("/y.png"));

    QVERIFY(DropPaths(w.get(), {folder, other + QStringLiteral("/x.png"), other + QStringLiteral("/y.png")}));
    QCOMPARE(Items(Ctl(w).DirectoriesListBox),
             (QStringList{folder + QLatin1Char('/'), other + QLatin1Char('/')}));
    QVERIFY(Ctl(w).DirectoriesListBox->isEnabled());

    // Only unusable items onto the placeholder: an empty, enabled list; Start refuses; Clear All restores.
    QTest::mouseClick(Ctl(w).ClearDirectoriesButton, Qt::LeftButton);
    QVERIFY(DropPaths(w.get(), {work_->path() + QStringLiteral("/missing/z.png")}));
    QCOMPARE(Ctl(w).DirectoriesListBox->count(), 0);
    QVERIFY(Ctl(w).DirectoriesListBox->isEnabled());
    QVERIFY(!w->PlaceholderShown());
    QTest::mouseClick(Ctl(w).StartButton, Qt::LeftButton);
    QCOMPARE(services_.lastText(), kAddFolders);
    QTest::mouseClick(Ctl(w).ClearDirectoriesButton, Qt::LeftButton);
    QVERIFY(w->PlaceholderShown());

    // Drops that carry no local file are not taken.
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://voralin.example.org/a.jpg"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &enter);
    QVERIFY(!enter.isAccepted());
}

void TestMainWindow::dropsAtTheFileSystemRoot() {
    auto w = NewWindow();
    // A file at the root (it need not exist: only its folder counts) and the root itself: one folder.
    QVERIFY(DropPaths(w.get(), {QStringLiteral("/voralin-no-such-picture.jpg"), QStringLiteral("/")}));
    QCOMPARE(Items(Ctl(w).DirectoriesListBox), QStringList{QStringLiteral("/")});
}

void TestMainWindow::droppedFolderRules() {
    const QString base = work_->path();
    QVERIFY(QDir().mkpath(base + QStringLiteral("/f")));
    struct Case {
        const char* name;
        QString path;
        QString expected;
    };
    const Case cases[] = {
        {"folder", base + QStringLiteral("/f"), base + QStringLiteral("/f/")},
        {"folder with delimiter", base + QStringLiteral("/f/"), base + QStringLiteral("/f/")},
        {"file in folder", base + QStringLiteral("/f/p.jpg"), base + QStringLiteral("/f/")},
        {"file at root", QStringLiteral("/p.jpg"), QStringLiteral("/")},
        {"root", QStringLiteral("/"), QStringLiteral("/")},
        {"missing folder", base + QStringLiteral("/gone/p.jpg"), QString()},
        {"no folder part", QStringLiteral("p.jpg"), QString()},
        {"empty", QString(), QString()},
    };
    for (const Case& c : cases)
        QVERIFY2(TMainForm::DroppedFolder(c.path) == c.expected, c.name);
}

void TestMainWindow::moveUpAndDownAtTheEnds() {
    auto w = NewWindow();
    QStringList folders;
    for (const char* name : {"a", "b", "c"}) {
        const QString f = work_->path() + QLatin1Char('/') + QLatin1String(name);
        QVERIFY(QDir().mkpath(f));
        folders.append(f + QLatin1Char('/'));
    }
    w->FormDropFiles({folders[0].chopped(1), folders[1].chopped(1), folders[2].chopped(1)});
    QCOMPARE(Items(Ctl(w).DirectoriesListBox), folders);

    struct Step {
        const char* name;
        int select;
        bool up;
        QStringList expected;
        int selectedAfter;
    };
    const QStringList& f = folders;
    const Step steps[] = {
        {"up on the first", 0, true, {f[0], f[1], f[2]}, 0},
        {"down on the last", 2, false, {f[0], f[1], f[2]}, 2},
        {"down on the first", 0, false, {f[1], f[0], f[2]}, 1},
        {"up on the last", 2, true, {f[1], f[2], f[0]}, 1},
        {"no selection", -1, true, {f[1], f[2], f[0]}, -1},
    };
    for (const Step& s : steps) {
        Ctl(w).DirectoriesListBox->clearSelection();
        if (s.select >= 0)
            Ctl(w).DirectoriesListBox->setCurrentRow(s.select);
        QTest::mouseClick(s.up ? Ctl(w).MoveFolderUpButton : Ctl(w).MoveFolderDownButton, Qt::LeftButton);
        QVERIFY2(Items(Ctl(w).DirectoriesListBox) == s.expected, s.name);
        QVERIFY2(w->SelectedFolderIndex() == s.selectedAfter, s.name);
    }
}

void TestMainWindow::labelTogglesTheCheckBox() {
    auto w = NewWindow();
    QVERIFY(Ctl(w).ScanSubfoldersCheckBox->isChecked());
    QTest::mouseClick(Ctl(w).Label1, Qt::LeftButton);
    QVERIFY(!Ctl(w).ScanSubfoldersCheckBox->isChecked());
    QVERIFY(!w->ScanSubfolders());
    QVERIFY(!w->State().settings.ScanSubfolders);
    QTest::mouseClick(Ctl(w).Label1, Qt::LeftButton);
    QVERIFY(Ctl(w).ScanSubfoldersCheckBox->isChecked());
    // Also while the box is disabled.
    Ctl(w).ScanSubfoldersCheckBox->setEnabled(false);
    QTest::mouseClick(Ctl(w).Label1, Qt::LeftButton);
    QVERIFY(!Ctl(w).ScanSubfoldersCheckBox->isChecked());
}

void TestMainWindow::settingsWrittenAtCloseAndReadAtStart() {
    {
        auto w = NewWindow();
        QCOMPARE(w->State().SettingsFolder, configHome_.path() + QStringLiteral("/Voralin/"));
        QTest::mouseClick(Ctl(w).Label1, Qt::LeftButton);
        w->State().settings.MinPicWidth = 321;
        QVERIFY(w->close());
    }
    QFile file(SettingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    QVERIFY2(text.contains(QStringLiteral("ScanSubfolders=0")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("MinPicWidth=321")), qPrintable(text));
    file.close();

    auto w = NewWindow();
    QVERIFY(!Ctl(w).ScanSubfoldersCheckBox->isChecked());
    QCOMPARE(w->State().settings.MinPicWidth, 321);
    // Closing writes even when nothing changed.
    QVERIFY(QFile::remove(SettingsFile()));
    QVERIFY(w->close());
    QVERIFY(QFile::exists(SettingsFile()));
}

void TestMainWindow::failedSaveIsReportedAndTheWindowCloses() {
    MakePictureTree();
    auto w = NewWindow();
    w->FormDropFiles({treeRoot_});
    QTest::mouseClick(Ctl(w).StartButton, Qt::LeftButton);
    QCOMPARE(Ctl(w).ListView1->model()->rowCount(), 2);
    services_.messages.clear();
    // A folder where the settings file should be: the save cannot replace it.
    QVERIFY(QDir().mkpath(SettingsFile()));
    QVERIFY(w->close());
    QCOMPARE(services_.messages.size(), 1);
    QCOMPARE(services_.messages.last().kind, MessageKind::Error);
    QCOMPARE(services_.messages.last().caption, QStringLiteral("Voralin"));
    QCOMPARE(services_.messages.last().text, QStringLiteral("Unable to write to ") + SettingsFile() + QLatin1Char('.'));
    QVERIFY(!w->isVisible());
    QVERIFY(w->State().catalogue.Pictures.empty());
    QVERIFY(w->State().catalogue.PicturePairs.empty());
    QCOMPARE(Ctl(w).ListView1->model()->rowCount(), 0);
    QVERIFY(QDir().rmdir(SettingsFile()));
}

void TestMainWindow::exitDoesWhatTheCloseBoxDoes() {
    auto w = NewWindow();
    QVERIFY(!QFile::exists(SettingsFile()));
    Ctl(w).Exit1->trigger();
    QVERIFY(w->Closed());
    QVERIFY(!w->isVisible());
    QVERIFY(QFile::exists(SettingsFile()));
}

void TestMainWindow::automaticUpdateCheckAtFirstShowing() {
    struct Case {
        const char* name;
        bool autoCheck;
        int expectedShowings;
    };
    for (const Case c : {Case{"on", true, 1}, Case{"off", false, 0}}) {
        QDir().mkpath(QFileInfo(SettingsFile()).absolutePath());
        TSettings s;
        s.AutoCheckUpdates = c.autoCheck;
        SaveSettings(s, QFileInfo(SettingsFile()).absolutePath() + QLatin1Char('/'));

        TMainForm w(services_);
        CountingDialog update;
        w.AttachWindows(nullptr, nullptr, &update);
        QCOMPARE(w.State().StartupUpdateCheck, c.autoCheck);
        w.show();
        QVERIFY2(update.shown == c.expectedShowings, c.name);
        // Only the first showing checks.
        w.hide();
        w.show();
        QVERIFY2(update.shown == c.expectedShowings, c.name);
        // The menu item always shows it.
        Ctl(w).CheckforUpdates1->trigger();
        QVERIFY2(update.shown == c.expectedShowings + 1, c.name);
        w.AttachWindows(nullptr, nullptr, nullptr);
    }
}

void TestMainWindow::menusOpenThePagesAndWindows() {
    auto w = NewWindow();
    CountingDialog about, settings;
    w->AttachWindows(&about, &settings, nullptr);
    Ctl(w).Howtouse1->trigger();
    Ctl(w).Visitprogramswebsite1->trigger();
    // The help page copied into the build tree, where the installed layout has it too.
    const QString help = QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/doc/voralin/help.html");
    QVERIFY(QFileInfo(help).isFile());
    QCOMPARE(services_.openedUrls, (QStringList{help, QStringLiteral("https://voralin.example.org/photo.html")}));
    QVERIFY(services_.messages.isEmpty());

    // Without a program for them, each says what it could not open.
    services_.nothingOpens = true;
    Ctl(w).Howtouse1->trigger();
    Ctl(w).Visitprogramswebsite1->trigger();
    QCOMPARE(services_.messages.size(), 2);
    QCOMPARE(services_.messages[0].text, "Cannot open the help page " + help);
    QCOMPARE(services_.messages[1].text, QStringLiteral("Cannot open https://voralin.example.org/photo.html"));
    QCOMPARE(services_.messages.first().kind, MessageKind::Error);
    services_.nothingOpens = false;
    Ctl(w).Settings1->trigger();
    Ctl(w).About1->trigger();
    QCOMPARE(settings.shown, 1);
    QCOMPARE(about.shown, 1);
    // "Settings" is a command of the menu bar itself.
    QVERIFY(Ctl(w).Settings1->menu() == nullptr);
    w->AttachWindows(nullptr, nullptr, nullptr);
}

void TestMainWindow::aboutBoxLinks() {
    TAboutForm about(services_);
    QCOMPARE(about.windowTitle(), QStringLiteral("About Voralin"));
    QCOMPARE(Child<QLabel>(about, "Label1")->text(), QStringLiteral("Voralin"));
    QCOMPARE(Child<QLabel>(about, "Version")->text(), QStringLiteral("Version 1.2.1"));
    QVERIFY(Child<QLabel>(about, "Image1")->pixmap().width() > 0);
    QTest::mouseClick(Child<TClickLabel>(about, "SiteLabel"), Qt::LeftButton);
    QTest::mouseClick(Child<TClickLabel>(about, "Label3"), Qt::LeftButton);
    QCOMPARE(services_.openedUrls, (QStringList{QStringLiteral("http://voralin.example.org/photo.html"),
                                               QStringLiteral("mailto:support@voralin.example.org")}));
    QCOMPARE(Child<TClickLabel>(about, "Label3")->text(), QStringLiteral("support@voralin.example.org"));
}

void TestMainWindow::progressBarFollowsTheProgressLine() {
    auto w = NewWindow();
    struct Case {
        SearchProgress progress;
        const char* text;
        int minimum, maximum, value;
    };
    const Case cases[] = {
        {{SearchPhase::Walking, 0, 0, 0}, "Total pictures scanned: 0 / 0", 0, 0, -1},
        {{SearchPhase::Walking, 0, 21, 0}, "Total pictures scanned: 0 / 21", 0, 0, -1},
        {{SearchPhase::Matching, 7, 20, 0}, "Total pictures scanned: 7 / 20", 0, 20, 7},
        {{SearchPhase::Matching, 20, 20, 0}, "Total pictures scanned: 20 / 20", 0, 20, 20},
    };
    for (const Case& c : cases) {
        w->ReportProgress(c.progress, ProgressLine::Pictures);
        QCOMPARE(Ctl(w).FilesCountLabel->text(), QLatin1String(c.text));
        QVERIFY2(Ctl(w).SearchProgressBar->minimum() == c.minimum && Ctl(w).SearchProgressBar->maximum() == c.maximum, c.text);
        if (c.value >= 0)
            QVERIFY2(Ctl(w).SearchProgressBar->value() == c.value, c.text);
    }
}

void TestMainWindow::timerShowsElapsedTimeOnlyWhileSearching() {
    auto w = NewWindow();
    QCOMPARE(Ctl(w).Timer1->interval(), 1000);
    QVERIFY(!Ctl(w).Timer1->isActive());
    w->EnterSearchingState();
    w->StartElapsedTimer();
    QVERIFY(Ctl(w).Timer1->isActive());
    Ctl(w).TimeLabel->setText(QStringLiteral("x"));
    w->Timer1Timer();
    QCOMPARE(Ctl(w).TimeLabel->text(), QStringLiteral("Elapsed time: 00:00:00"));
    QCOMPARE(w->TimeText(), Ctl(w).TimeLabel->text());
    // Once a stop was asked for, the time stands still.
    w->StartButtonClick();
    Ctl(w).TimeLabel->setText(QStringLiteral("x"));
    w->Timer1Timer();
    QCOMPARE(Ctl(w).TimeLabel->text(), QStringLiteral("x"));
    w->StopElapsedTimer();
    QVERIFY(!Ctl(w).Timer1->isActive());
}

QTEST_MAIN(TestMainWindow)
void TestMainWindow::resultsListGrowsAndItsColumnsAreTheUsers() {
    auto w = NewWindow();
    QTableView* list = Ctl(w).ListView1;
    QHeaderView* header = list->horizontalHeader();
    QCOMPARE(list->textElideMode(), Qt::ElideRight);
    QVERIFY(!Ctl(w).PercentLabel->font().bold());
    for (int column = 0; column < 3; ++column)
        QCOMPARE(header->sectionResizeMode(column), QHeaderView::Interactive);
    // Until a drag, the path columns share the width.
    QCOMPARE(header->sectionSize(0), header->sectionSize(1));
    QVERIFY(header->sectionSize(0) + header->sectionSize(1) + header->sectionSize(2) <= list->viewport()->width());

    const QSize before = list->size();
    w->resize(w->width() + 200, w->height() + 300);
    QCoreApplication::processEvents();
    // The list has its share of the growth (before, none at all).
    QVERIFY(list->height() >= before.height() + 75);
    QCOMPARE(header->sectionSize(0), header->sectionSize(1));

    // A width the user dragged stays through the next resize.
    header->resizeSection(0, 150);
    w->resize(w->width() - 100, w->height());
    QCoreApplication::processEvents();
    QCOMPARE(header->sectionSize(0), 150);
}

void TestMainWindow::windowRemembersItsUserAcrossRuns() {
    const QString stateFile = configHome_.path() + QStringLiteral("/Voralin/WindowState.json");
    QFile::remove(stateFile);
    const QString one = work_->path() + QStringLiteral("/one");
    const QString two = work_->path() + QStringLiteral("/two");
    QVERIFY(QDir().mkpath(one) && QDir().mkpath(two));
    {
        // Without being asked, a window neither reads nor writes the state.
        auto plain = NewWindow();
        plain->FormDropFiles({one});
        plain->close();
        QVERIFY(!QFileInfo::exists(stateFile));
    }
    {
        auto w = NewWindow();
        QVERIFY(!w->RememberWindow());
        w->FormDropFiles({one, two});
        Ctl(w).DirectoriesListBox->setCurrentRow(1);
        // The list's own menu item marks the selected folder as a reference folder.
        Ctl(w).DirectoriesListBox->actions().constFirst()->trigger();
        QCOMPARE(w->ReferenceFolders(), QStringList{two + QLatin1Char('/')});
        w->resize(1111, 777);
        QTest::mouseClick(w->findChild<QToolButton*>(QStringLiteral("GroupsViewButton")), Qt::LeftButton);
        Ctl(w).ListView1->horizontalHeader()->resizeSection(0, 222);
        w->State().SortColumn = 2;
        w->State().SortDescending = true;
        w->close();
    }
    QVERIFY(QFileInfo::exists(stateFile));
    {
        auto w = NewWindow();
        QVERIFY(w->RememberWindow());
        QCOMPARE(Items(Ctl(w).DirectoriesListBox), (QStringList{one + QLatin1Char('/'), two + QLatin1Char('/')}));
        QVERIFY(!w->PlaceholderShown());
        QCOMPARE(w->State().PlaceholderShown, false);
        QCOMPARE(w->size(), QSize(1111, 777));
        QVERIFY(w->findChild<QToolButton*>(QStringLiteral("GroupsViewButton"))->isChecked());
        QCOMPARE(Ctl(w).ListView1->horizontalHeader()->sectionSize(0), 222);
        QCOMPARE(w->State().SortColumn, 2);
        QCOMPARE(w->State().SortDescending, true);
        QCOMPARE(w->ReferenceFolders(), QStringList{two + QLatin1Char('/')});
        w->close();
    }
    // A damaged state is ignored as a whole: the window as on a first start.
    QFile f(stateFile);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("{\"format\": 1, \"folders\": [{\"path\": 7}]");
    f.close();
    auto w = NewWindow();
    QVERIFY(!w->RememberWindow());
    QVERIFY(w->PlaceholderShown());
    QCOMPARE(w->State().SortColumn, 0);
}

// "Not a duplicate" on a pair found by a real search: the pair leaves the list, the next search passes it over
// and says so, and once forgotten in the review the pair is found again.
void TestMainWindow::notADuplicateIsPassedOverUntilForgotten() {
    QTemporaryDir history;
    qputenv("XDG_DATA_HOME", history.path().toLocal8Bit());
    const QString root = work_->path() + QStringLiteral("/alike");
    QVERIFY(QDir().mkpath(root));
    const QImage picture = fixtures::MakeNaturalPicture(320, 240, 5);
    fixtures::WriteImage(root + QStringLiteral("/x.png"), picture, "png");
    fixtures::WriteJpeg(root + QStringLiteral("/x.jpg"), picture, 92);
    auto w = NewWindow();
    w->FormDropFiles({root});
    const auto search = [&] {
        services_.messages.clear();
        QTest::mouseClick(Ctl(w).StartButton, Qt::LeftButton);  // the search runs to its end in here
        return services_.lastText();
    };
    QVERIFY(!search().contains(QStringLiteral("passed over")));
    QCOMPARE(w->ResultRowCount(), 1);

    w->findChild<QAction*>(QStringLiteral("NotADuplicate1"))->trigger();
    QCOMPARE(w->ResultRowCount(), 0);
    QCOMPARE(Ctl(w).ImageLabel1->text(), QStringLiteral("No Image"));
    QVERIFY(QFileInfo::exists(history.path() + QStringLiteral("/Voralin/not-duplicates")));

    // Renamed since: remembered by content, still passed over.
    QVERIFY(QFile::rename(root + QStringLiteral("/x.jpg"), root + QStringLiteral("/renamed.jpg")));
    QVERIFY(search().contains(QStringLiteral("Pairs passed over as not duplicates: 1") + kMessageLineBreak));
    QCOMPARE(w->ResultRowCount(), 0);

    int listed = -1;
    services_.onDialog = [&](QDialog& dialog) {
        auto* review = qobject_cast<TRememberedPairsDialog*>(&dialog);
        if (!review)
            return int(QDialog::Rejected);
        listed = review->findChild<QListWidget*>(QStringLiteral("RememberedPairsList"))->count();
        services_.answers.enqueue(MessageAnswer::Yes);
        QTest::mouseClick(review->findChild<QPushButton*>(QStringLiteral("ForgetAllButton")), Qt::LeftButton);
        return int(QDialog::Rejected);
    };
    w->findChild<QAction*>(QStringLiteral("NotDuplicates1"))->trigger();
    services_.onDialog = nullptr;
    QCOMPARE(listed, 1);
    QVERIFY(!search().contains(QStringLiteral("passed over")));
    QCOMPARE(w->ResultRowCount(), 1);
    qputenv("XDG_DATA_HOME", dataHome_.path().toLocal8Bit());
}

// Every control the mouse can use is reachable from the keyboard, in one Tab cycle.
void TestMainWindow::tabReachesEveryControl() {
    auto w = NewWindow();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    w->FormDropFiles({work_->path()});
    Ctl(w).DirectoriesListBox->setFocus();
    QStringList reached;
    for (int i = 0; i < 60; ++i) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        reached << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    for (const char* name : {"DirectoriesListBox", "AddFolderButton", "RemoveFolderButton", "MoveFolderUpButton",
                             "MoveFolderDownButton", "ClearDirectoriesButton", "StartButton", "ScanSubfoldersCheckBox",
                             "MoveImageButton1", "BrowseImageButton1", "DeleteImageButton1", "MoveImageButton2",
                             "BrowseImageButton2", "DeleteImageButton2", "SwapImagesButton", "ListView1",
                             "PairsViewButton", "MinSimilaritySpinBox", "MarkDuplicatesButton", "DeleteMarkedButton",
                             "MoveMarkedButton"})
        QVERIFY2(reached.contains(QLatin1String(name)), name);
    // The pictures themselves open from the Picture menu, whose items the keyboard reaches.
    for (const char* name : {"OpenOriginal1", "OpenDuplicate1"})
        QVERIFY2(w->findChild<QAction*>(QLatin1String(name)), name);
}

#include "tst_mainwindow.moc"
