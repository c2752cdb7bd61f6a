// The results browser driven through the main window: header sorting in every order, the comparison pane's
// previews and texts, keys, opening and swapping pictures, delete, move and reveal, and the CSV export.
// Most tests fill the catalogue by hand over real picture files in a temporary tree.
#include "core/PictureFixtures.h"
#include "engine/CsvWriter.h"
#include "engine/Formatting.h"
#include "engine/SortProcedures.h"
#include "picture/PictureLoader.h"
#include "ui/ComparisonPane.h"
#include "ui/FakePlatformServices.h"
#include "ui/FolderDialog.h"
#include "ui/MainControls.h"
#include "ui/MainUnit.h"
#include "ui/MainWidgets.h"
#include "ui/PairListModel.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QDialog>
#include <QTreeWidget>
#include <QToolButton>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The fake desktop, with a trash that can be made to refuse.
class TestServices : public FakePlatformServices {
public:
    int trashError = 0;
    FileOpResult MoveToTrash(const QString& path) override {
        if (trashError == 0)
            return FakePlatformServices::MoveToTrash(path);
        trashed.append(path);
        return {false, trashError};
    }
};

// A picture with a diagonal gradient and a disc, quick to make at any size.
QImage GradientPicture(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb((x * 255 / std::max(1, width - 1) + seed * 40) & 255, (y * 255 / std::max(1, height - 1)) & 255,
                           (seed * 70) & 255);
    }
    QPainter painter(&image);
    painter.setBrush(QColor((seed * 90) & 255, 200, 60));
    painter.drawEllipse(QPoint(width / 3, height / 2), width / 5 + 1, height / 5 + 1);
    return image;
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return f.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    fixtures::WriteBytes(path, bytes);
}

QStringList Texts(const QList<ShownMessage>& messages) {
    QStringList texts;
    for (const ShownMessage& m : messages)
        texts.append(m.text);
    return texts;
}

int SelectedRow(const TMainForm& w) {
    const QModelIndexList rows = Ctl(w).ListView1->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ClickRow(TMainForm& w, int row) {
    const QRect cell = Ctl(w).ListView1->visualRect(Ctl(w).ListView1->model()->index(row, 0));
    QVERIFY(cell.isValid());
    QTest::mouseClick(Ctl(w).ListView1->viewport(), Qt::LeftButton, {}, cell.center());
}

void ClickHeader(TMainForm& w, int column) {
    QHeaderView* header = Ctl(w).ListView1->horizontalHeader();
    const QPoint where(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, where);
}

QString RowText(const TMainForm& w, int row, int column) {
    return Ctl(w).ListView1->model()->index(row, column).data().toString();
}

bool IsWhite(const QImage& image, int x, int y) {
    return image.pixel(x, y) == qRgb(255, 255, 255);
}

}  // namespace

class TestResults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Pane parts without a window
    void previewScale_data();
    void previewScale();
    void previewsDecodeAtTheirScale_data();
    void previewsDecodeAtTheirScale();
    void framePens_data();
    void framePens();
    void frameIsDrawnOnThePreview();
    void infoAndPercentTexts();
    void bitmapsBecomeImages();
    void pairListModelPassesTheTester();

    // The list
    void headerClicksInEveryOrder_data();
    void headerClicksInEveryOrder();
    void headerClickWithoutPairsChangesNothing();
    void sortTakesTheSelectionWithTheShownPair();
    void everyActionNamesAFileOfTheShownPair();
    void sortStateSurvivesANewSearch();
    void commandsWaitWhileTheSortLetsEventsRun();
    void closeWhileTheSortLetsEventsRun();
    void everyKeyThatMovesTheSelectionRefreshesThePane();

    // The pane
    void paneShowsAJpegAndPngPair();
    void paneSaysHardLink();
    void previewThatFailsKeepsWhatWasReplaced();
    void picturesOpenWhenTheirFilesExist();
    void swapWithASelectedRowSwapsThePair();
    void swapWithoutASelectionSwapsOnlyThePictures();
    void captionsLightUpUnderThePointer();

    // File actions
    void deleteRemovesEveryPairOfThePicture();
    void deleteFromTheLastRow();
    void deleteTheOnlyPair();
    void noToTheConfirmationChangesNothing();
    void deleteOfAMissingFile();
    void permanentDeleteOfAReadOnlyFile();
    void refusedDeleteKeepsThePairs();
    void moveSucceeds();
    void undoPutsBackDeletesAndMoves();
    void historyRestoresAnOlderStep();
    void keysOfThePictureMenuActOnTheShownPair();
    void moveOntoAnExistingName();
    void moveCancelled();
    void revealNeedsNoFile();

    // CSV export
    void csvBytesInSortedOrder();
    void csvRefusesAnEmptyList();
    void csvReplaceQuestion();
    void csvWriteFailureIsReported();

private:
    std::unique_ptr<TMainForm> NewWindow();
    // Catalogue records over files made in the tree; the file is written unless `write` is false.
    int AddFolder(TMainForm& w, const QString& relative);
    int AddPicture(TMainForm& w, int folder, const QString& name, int width = 120, int height = 90,
                   bool write = true);
    // Gives the catalogue these pairs and the list their count; with `show`, row 0 is selected and shown.
    void SetPairs(TMainForm& w, const std::vector<TPicturePair>& pairs, bool show = true);
    QString PathOf(TMainForm& w, int picture) const { return w.State().catalogue.PicturePath(picture); }
    // Three pictures a, b, c and the pairs a-b, a-c, b-c; with a fourth pair d-e in front.
    struct Triangle {
        int a, b, c, d, e;
    };
    Triangle MakeTriangle(TMainForm& w);

    QTemporaryDir configHome_;
    QTemporaryDir dataHome_;
    std::unique_ptr<QTemporaryDir> work_;
    TestServices services_;
};

void TestResults::initTestCase() {
    QVERIFY(configHome_.isValid() && dataHome_.isValid());
    qputenv("XDG_CONFIG_HOME", configHome_.path().toLocal8Bit());
    // Deletes to the trash land under this temporary data folder.
    qputenv("XDG_DATA_HOME", dataHome_.path().toLocal8Bit());
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

void TestResults::init() {
    services_ = TestServices();
    work_ = std::make_unique<QTemporaryDir>();
    QVERIFY(work_->isValid());
}

void TestResults::cleanup() {
    work_.reset();
}

std::unique_ptr<TMainForm> TestResults::NewWindow() {
    auto w = std::make_unique<TMainForm>(services_);
    w->show();
    w->State().settings.DeleteWithoutAsking = false;
    w->State().settings.MoveToRecycle = true;
    return w;
}

int TestResults::AddFolder(TMainForm& w, const QString& relative) {
    const QString folder = work_->path() + QLatin1Char('/') + relative + QLatin1Char('/');
    QDir().mkpath(folder);
    Catalogue& cat = w.State().catalogue;
    cat.FolderPaths.push_back(folder);
    cat.LastPathIndex = static_cast<int32_t>(cat.FolderPaths.size()) - 1;
    cat.PathCapacity = cat.LastPathIndex + 1;
    return cat.LastPathIndex;
}

int TestResults::AddPicture(TMainForm& w, int folder, const QString& name, int width, int height, bool write) {
    Catalogue& cat = w.State().catalogue;
    const QString path = cat.FolderPaths[static_cast<size_t>(folder)] + name;
    const int seed = static_cast<int>(cat.Pictures.size()) + 1;
    if (write) {
        const QImage image = GradientPicture(width, height, seed);
        const QString suffix = QFileInfo(name).suffix().toLower();
        if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
            fixtures::WriteJpeg(path, image);
        else
            fixtures::WriteImage(path, image, suffix == QLatin1String("bmp") ? "bmp" : "png");
    }
    TPicInfo info;
    info.FileName = name;
    info.PathInd = folder;
    info.Width = width;
    info.Height = height;
    info.Size = write ? QFileInfo(path).size() : 1000;
    cat.Pictures.push_back(info);
    cat.LastPicIndex = static_cast<int32_t>(cat.Pictures.size()) - 1;
    cat.PicCapacity = cat.LastPicIndex + 1;
    return cat.LastPicIndex;
}

void TestResults::SetPairs(TMainForm& w, const std::vector<TPicturePair>& pairs, bool show) {
    Catalogue& cat = w.State().catalogue;
    cat.PicturePairs = pairs;
    cat.LastPairIndex = static_cast<int32_t>(pairs.size()) - 1;
    cat.PairCapacity = cat.LastPairIndex + 1;
    w.SetResultRowCount(cat.PairCapacity);
    if (show && !pairs.empty()) {
        Ctl(w).ListView1->selectRow(0);
        w.ListView1Click();
    }
}

TestResults::Triangle TestResults::MakeTriangle(TMainForm& w) {
    const int f = AddFolder(w, QStringLiteral("tri"));
    Triangle t{};
    t.d = AddPicture(w, f, QStringLiteral("d.png"), 100, 80);
    t.e = AddPicture(w, f, QStringLiteral("e.png"), 101, 80);
    t.a = AddPicture(w, f, QStringLiteral("a.png"), 130, 90);
    t.b = AddPicture(w, f, QStringLiteral("b.jpg"), 140, 90);
    t.c = AddPicture(w, f, QStringLiteral("c.png"), 150, 90);
    SetPairs(w, {{t.d, t.e, 91}, {t.a, t.b, 92}, {t.a, t.c, 93}, {t.b, t.c, 94}});
    return t;
}

// ---------------------------------------------------------------------------------------------------------
// Pane parts without a window

void TestResults::previewScale_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("scale");
    QTest::newRow("1000 x 1000 full") << 1000 << 1000 << 1;
    QTest::newRow("1001 wide half") << 1001 << 1000 << 2;
    QTest::newRow("1001 high half") << 1000 << 1001 << 2;
    QTest::newRow("2000 x 1500 half") << 2000 << 1500 << 2;
    QTest::newRow("2001 wide quarter") << 2001 << 1500 << 4;
    QTest::newRow("1501 high quarter") << 900 << 1501 << 4;
    QTest::newRow("3000 x 2000 quarter") << 3000 << 2000 << 4;
    QTest::newRow("800 x 600 full") << 800 << 600 << 1;
    QTest::newRow("nothing recorded full") << 0 << 0 << 1;
}

void TestResults::previewScale() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, scale);
    QCOMPARE(PreviewScale(width, height), scale);
}

void TestResults::previewsDecodeAtTheirScale_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QSize>("decoded");
    QTest::newRow("JPEG 1000 wide at full size") << "full.jpg" << 1000 << 1000 << QSize(1000, 1000);
    QTest::newRow("JPEG 1001 wide at half, rounded up") << "half.jpg" << 1001 << 601 << QSize(501, 301);
    QTest::newRow("JPEG 2000 x 1500 at half") << "half2.jpg" << 2000 << 1500 << QSize(1000, 750);
    QTest::newRow("JPEG 3000 x 2000 at a quarter") << "quarter.jpg" << 3000 << 2000 << QSize(750, 500);
    QTest::newRow("PNG 800 x 600 at full size") << "plain.png" << 800 << 600 << QSize(800, 600);
    QTest::newRow("PNG 1200 x 900 at half") << "big.PNG" << 1200 << 900 << QSize(600, 450);
}

void TestResults::previewsDecodeAtTheirScale() {
    QFETCH(QString, name);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QSize, decoded);
    const QString path = work_->path() + QLatin1Char('/') + name;
    if (name.endsWith(QLatin1String(".jpg")))
        fixtures::WriteJpeg(path, GradientPicture(width, height, 3));
    else
        fixtures::WriteImage(path, GradientPicture(width, height, 3), "png");
    const QImage preview = LoadPreview(path, width, height);
    QCOMPARE(preview.size(), decoded);
}

void TestResults::framePens_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("pen");
    QTest::newRow("30 x 30 raised to 2") << 30 << 30 << 2;
    QTest::newRow("400 x 300") << 400 << 300 << 15;
    QTest::newRow("thin strip") << 1000 << 19 << 2;
    QTest::newRow("59 x 59") << 59 << 59 << 2;
    QTest::newRow("60 x 60") << 60 << 60 << 3;
    QTest::newRow("750 x 500") << 750 << 500 << 25;
}

void TestResults::framePens() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, pen);
    QCOMPARE(FramePenWidth(width, height), pen);
}

void TestResults::frameIsDrawnOnThePreview() {
    struct Case {
        int width, height;
        int inside;  // columns and rows from each edge that must be white
    };
    // About half of the pen lies inside: 1 of 2, 7 of 15.
    for (const Case& c : {Case{30, 30, 1}, Case{400, 300, 7}}) {
        QImage image(c.width, c.height, QImage::Format_RGB32);
        image.fill(Qt::black);
        DrawImageFrame(image);
        QCOMPARE(image.size(), QSize(c.width, c.height));
        for (int k = 0; k < c.inside; ++k) {
            QVERIFY(IsWhite(image, k, c.height / 2));
            QVERIFY(IsWhite(image, c.width - 1 - k, c.height / 2));
            QVERIFY(IsWhite(image, c.width / 2, k));
            QVERIFY(IsWhite(image, c.width / 2, c.height - 1 - k));
        }
        QVERIFY(IsWhite(image, 0, 0) && IsWhite(image, c.width - 1, c.height - 1));
        // Nothing beyond the pen's inner half.
        QVERIFY(!IsWhite(image, c.inside + 1, c.height / 2));
        QVERIFY(!IsWhite(image, c.width - 2 - c.inside, c.height / 2));
        QVERIFY(!IsWhite(image, c.width / 2, c.height / 2));
    }
    QImage none;
    DrawImageFrame(none);
    QVERIFY(none.isNull());
}

void TestResults::infoAndPercentTexts() {
    const QLocale c = QLocale::c();
    TPicInfo p;
    p.FileName = QStringLiteral("photo.jpg");
    p.Width = 220;
    p.Height = 290;
    p.Size = 17 * 1024 + 100;
    QCOMPARE(PictureInfoText(p, c), QStringLiteral("JPG  220 x 290  17 KB"));
    p.FileName = QStringLiteral("archive.v2.Tiff");
    p.Width = 3000;
    p.Height = 2000;
    p.Size = 3 * 1048576;
    QCOMPARE(PictureInfoText(p, c), QStringLiteral("TIFF  3000 x 2000  3.00 MB"));
    p.FileName = QStringLiteral("noextension");
    p.Size = 12;
    QCOMPARE(PictureInfoText(p, c), QStringLiteral("  3000 x 2000  12 B"));
    QCOMPARE(PercentText(62.8, c), QStringLiteral("63%"));
    QCOMPARE(PercentText(62.5, c), QStringLiteral("63%"));
    QCOMPARE(PercentText(100, c), QStringLiteral("100%"));
    QCOMPARE(PercentText(1, c), QStringLiteral("1%"));
}

void TestResults::bitmapsBecomeImages() {
    TBitmap colour;
    colour.Reset(2, 1, PixelFormat::Bgr24);
    const uint8_t bgr[6] = {10, 20, 30, 200, 100, 0};
    std::copy(bgr, bgr + 6, colour.Pixels.begin());
    const QImage image = BitmapToImage(colour);
    QCOMPARE(image.size(), QSize(2, 1));
    QCOMPARE(image.pixel(0, 0), qRgb(30, 20, 10));
    QCOMPARE(image.pixel(1, 0), qRgb(0, 100, 200));

    TBitmap grey;
    grey.Reset(1, 2, PixelFormat::Grey8);
    grey.Pixels = {0, 77};
    const QImage greyImage = BitmapToImage(grey);
    QCOMPARE(greyImage.pixel(0, 1), qRgb(77, 77, 77));

    QVERIFY(BitmapToImage(TBitmap{}).isNull());
}

void TestResults::pairListModelPassesTheTester() {
    Catalogue cat;
    cat.FolderPaths = {QStringLiteral("/p/"), QStringLiteral("/q/")};
    cat.LastPathIndex = 1;
    TPicInfo a;
    a.FileName = QStringLiteral("a.jpg");
    TPicInfo b;
    b.FileName = QStringLiteral("b.png");
    b.PathInd = 1;
    cat.Pictures = {a, b};
    cat.LastPicIndex = 1;
    cat.PicturePairs = {{0, 1, 62.8}, {1, 0, 1234.5}, {0, 7, 50}};
    cat.LastPairIndex = 2;
    cat.PairCapacity = 3;
    const QLocale locale = QLocale::c();
    TPairListModel model(cat, locale);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QCOMPARE(model.rowCount(), 0);
    model.SetRowCount(3);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("/p/a.jpg"));
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("/q/b.png"));
    QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("63"));
    QCOMPARE(model.index(1, 2).data().toString(), QStringLiteral("1,235"));
    // A picture index that leads nowhere gives an empty text, not a crash.
    QCOMPARE(model.index(2, 1).data().toString(), QString());
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsSelectable);
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Similarity"));

    std::swap(cat.PicturePairs[0].PicIndex1, cat.PicturePairs[0].PicIndex2);
    model.RowChanged(0);
    model.RowChanged(7);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("/q/b.png"));
    model.SetRowCount(3);
    // More rows than pairs (a release at close in between) show blank rows.
    model.SetRowCount(5);
    QCOMPARE(model.index(4, 0).data().toString(), QString());
    model.SetRowCount(-2);
    QCOMPARE(model.rowCount(), 0);
}

// ---------------------------------------------------------------------------------------------------------
// The list

void TestResults::headerClicksInEveryOrder_data() {
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("descending");
    QTest::newRow("first click on Original Image sorts descending") << QList<int>{0} << 0 << true;
    QTest::newRow("first click on Duplicate Image sorts ascending") << QList<int>{1} << 1 << false;
    QTest::newRow("first click on Similarity sorts ascending") << QList<int>{2} << 2 << false;
    QTest::newRow("Original Image twice") << QList<int>{0, 0} << 0 << false;
    QTest::newRow("Duplicate Image three times") << QList<int>{1, 1, 1} << 1 << false;
    QTest::newRow("Similarity twice") << QList<int>{2, 2} << 2 << true;
    QTest::newRow("another header starts ascending") << QList<int>{2, 2, 0} << 0 << false;
    QTest::newRow("back and forth") << QList<int>{0, 1, 0} << 0 << false;
    QTest::newRow("Duplicate Image after a descending Similarity") << QList<int>{2, 2, 1} << 1 << false;
    QTest::newRow("Similarity twice after Original Image") << QList<int>{0, 2, 2} << 2 << true;
}

void TestResults::headerClicksInEveryOrder() {
    QFETCH(QList<int>, clicks);
    QFETCH(int, column);
    QFETCH(bool, descending);
    auto w = NewWindow();
    const int f = AddFolder(*w, QStringLiteral("Sort"));
    const int g = AddFolder(*w, QStringLiteral("sort/Deeper"));
    // Names that differ in case only where the fold makes them order as letters, an accented capital that
    // sorts after every ASCII letter, and a name that is a prefix of another.
    const QStringList names = {QStringLiteral("beta.png"),  QStringLiteral("Alpha.png"), QStringLiteral("\u00C9lan.png"),
                               QStringLiteral("alpha2.png"), QStringLiteral("Gamma.png"), QStringLiteral("delta.png"),
                               QStringLiteral("zulu.png"),  QStringLiteral("Kilo.png")};
    std::vector<int> pics;
    for (int i = 0; i < names.size(); ++i)
        pics.push_back(AddPicture(*w, i % 2 ? g : f, names[i], 120, 90, false));
    const double similarities[] = {55, 100, 71.2, 12, 88, 63.5, 99, 40};
    std::vector<TPicturePair> pairs;
    for (int i = 0; i < 8; ++i)
        pairs.push_back({pics[static_cast<size_t>(i)], pics[static_cast<size_t>((i * 3 + 1) % 8)], similarities[i]});
    SetPairs(*w, pairs, false);

    for (int click : clicks)
        ClickHeader(*w, click);
    QCOMPARE(w->State().SortColumn, column);
    QCOMPARE(w->State().SortDescending, descending);

    const Catalogue& cat = w->State().catalogue;
    QCOMPARE(cat.PicturePairs.size(), pairs.size());
    QVERIFY(std::is_permutation(cat.PicturePairs.begin(), cat.PicturePairs.end(), pairs.begin()));
    for (size_t i = 0; i + 1 < cat.PicturePairs.size(); ++i) {
        const TPicturePair& x = cat.PicturePairs[i];
        const TPicturePair& y = cat.PicturePairs[i + 1];
        int order = 0;
        if (column == 0)
            order = ComparePathText(cat.PicturePath(x.PicIndex1), cat.PicturePath(y.PicIndex1));
        else if (column == 1)
            order = ComparePathText(cat.PicturePath(x.PicIndex2), cat.PicturePath(y.PicIndex2));
        else
            order = x.Similarity < y.Similarity ? -1 : (x.Similarity > y.Similarity ? 1 : 0);
        QVERIFY2(descending ? order > 0 : order < 0, qPrintable(QStringLiteral("rows %1 and %2").arg(i).arg(i + 1)));
    }
    // The list shows the pairs where they now lie.
    for (int row = 0; row < 8; ++row) {
        const TPicturePair& p = cat.PicturePairs[static_cast<size_t>(row)];
        QCOMPARE(RowText(*w, row, 0), cat.PicturePath(p.PicIndex1));
        QCOMPARE(RowText(*w, row, 1), cat.PicturePath(p.PicIndex2));
        QCOMPARE(RowText(*w, row, 2), FormatCount(p.Similarity, w->State().SystemNumberFormat));
    }
    QVERIFY(!(w->WindowState() == TWindowState::Sorting));
    QVERIFY(Ctl(w).StartButton->isEnabled());
}

void TestResults::headerClickWithoutPairsChangesNothing() {
    auto w = NewWindow();
    for (int column : {1, 2, 0, 0})
        ClickHeader(*w, column);
    QCOMPARE(w->State().SortColumn, 0);
    QVERIFY(!w->State().SortDescending);
    // So the first click once there are pairs is still the first one.
    const int f = AddFolder(*w, QStringLiteral("x"));
    const int a = AddPicture(*w, f, QStringLiteral("a.png"), 120, 90, false);
    const int b = AddPicture(*w, f, QStringLiteral("b.png"), 120, 90, false);
    SetPairs(*w, {{a, b, 50}, {b, a, 60}}, false);
    ClickHeader(*w, 0);
    QVERIFY(w->State().SortDescending);
    QCOMPARE(w->State().catalogue.PicturePairs.front().PicIndex1, b);
}

void TestResults::sortTakesTheSelectionWithTheShownPair() {
    auto w = NewWindow();
    const int f = AddFolder(*w, QStringLiteral("keep"));
    const int a = AddPicture(*w, f, QStringLiteral("a.png"));
    const int b = AddPicture(*w, f, QStringLiteral("b.png"));
    const int c = AddPicture(*w, f, QStringLiteral("c.png"));
    SetPairs(*w, {{a, b, 30}, {b, c, 20}, {a, c, 10}});
    ClickRow(*w, 1);
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("20%"));
    const QString label = Ctl(w).ImageLabel1->text();
    QHeaderView* header = Ctl(w).ListView1->horizontalHeader();
    QCOMPARE(header->sortIndicatorSection(), -1);  // the order found, not a sort
    ClickHeader(*w, 0);  // first paths a, b, a descending: b-c moves to row 0
    QCOMPARE(header->sortIndicatorSection(), 0);
    QCOMPARE(w->State().catalogue.PicturePairs[0].Similarity, 20.0);
    QCOMPARE(SelectedRow(*w), 0);
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("20%"));
    QCOMPARE(Ctl(w).ImageLabel1->text(), label);
    ClickHeader(*w, 2);  // similarity ascending: b-c in the middle
    QCOMPARE(header->sortIndicatorSection(), 2);
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    const QModelIndex cell = Ctl(w).ListView1->model()->index(0, 1);
    QCOMPARE(cell.data(Qt::ToolTipRole), cell.data(Qt::DisplayRole));
    QVERIFY(!Ctl(w).ListView1->model()->index(0, 2).data(Qt::ToolTipRole).isValid());
    QCOMPARE(SelectedRow(*w), 1);
    QCOMPARE(RowText(*w, SelectedRow(*w), 2), QStringLiteral("20"));
    QVERIFY(services_.messages.isEmpty());
}

// After sorts and moves of the selection by keys, every action under the pane names a file the pane shows.
void TestResults::everyActionNamesAFileOfTheShownPair() {
    auto w = NewWindow();
    const Triangle t = MakeTriangle(*w);  // d-e 91, a-b 92, a-c 93, b-c 94
    const QString destination = work_->path() + QStringLiteral("/elsewhere");
    QDir().mkpath(destination);
    const auto expectShown = [&](int left, int right, const QString& percent) {
        QCOMPARE(Ctl(w).PercentLabel->text(), percent);
        const TPicturePair& pair = w->State().catalogue.PicturePairs[size_t(SelectedRow(*w))];
        QCOMPARE(pair.PicIndex1, left);
        QCOMPARE(pair.PicIndex2, right);
    };
    const auto pressEveryAction = [&](int left, int right) {
        const QString leftName = w->State().catalogue.Pictures[size_t(left)].FileName;
        const QString rightName = w->State().catalogue.Pictures[size_t(right)].FileName;
        for (const bool trash : {true, false}) {
            w->State().settings.MoveToRecycle = trash;
            services_.messages.clear();
            services_.answers.clear();
            services_.answers << MessageAnswer::No << MessageAnswer::No;
            QTest::mouseClick(Ctl(w).DeleteImageButton1, Qt::LeftButton);
            QTest::mouseClick(Ctl(w).DeleteImageButton2, Qt::LeftButton);
            QCOMPARE(Texts(services_.messages),
                     (QStringList{QStringLiteral("Do you really want to delete") + kMessageLineBreak + leftName,
                                  QStringLiteral("Do you really want to delete") + kMessageLineBreak + rightName}));
        }
        services_.folderCaptions.clear();
        QTest::mouseClick(Ctl(w).MoveImageButton1, Qt::LeftButton);
        QTest::mouseClick(Ctl(w).MoveImageButton2, Qt::LeftButton);
        QCOMPARE(services_.folderCaptions,
                 (QStringList{QStringLiteral("Move ") + leftName + QStringLiteral(" to selected folder"),
                              QStringLiteral("Move ") + rightName + QStringLiteral(" to selected folder")}));
        services_.revealed.clear();
        QTest::mouseClick(Ctl(w).BrowseImageButton1, Qt::LeftButton);
        QTest::mouseClick(Ctl(w).BrowseImageButton2, Qt::LeftButton);
        QCOMPARE(services_.revealed, (QStringList{PathOf(*w, left), PathOf(*w, right)}));
        services_.openedUrls.clear();
        QTest::mouseClick(Ctl(w).LeftImage, Qt::LeftButton);
        QTest::mouseClick(Ctl(w).RightImage, Qt::LeftButton);
        QCOMPARE(services_.openedUrls, (QStringList{PathOf(*w, left), PathOf(*w, right)}));
    };

    ClickRow(*w, 1);
    expectShown(t.a, t.b, QStringLiteral("92%"));
    ClickHeader(*w, 2);
    ClickHeader(*w, 2);  // similarity descending: a-b moves from row 1 to row 2
    QCOMPARE(SelectedRow(*w), 2);
    expectShown(t.a, t.b, QStringLiteral("92%"));
    pressEveryAction(t.a, t.b);

    // Keys other than Up and Down move the selection too, and the pane goes with it.
    Ctl(w).ListView1->setFocus();
    QTest::keyClick(Ctl(w).ListView1, Qt::Key_Home, Qt::ControlModifier);
    expectShown(t.b, t.c, QStringLiteral("94%"));
    QTest::keyClick(Ctl(w).ListView1, Qt::Key_End, Qt::ControlModifier);
    expectShown(t.d, t.e, QStringLiteral("91%"));
    pressEveryAction(t.d, t.e);

    QTest::mouseClick(Ctl(w).SwapImagesButton, Qt::LeftButton);
    expectShown(t.e, t.d, QStringLiteral("91%"));
    pressEveryAction(t.e, t.d);

    // A real move from a sorted list takes the file the pane showed, and nothing else moves.
    ClickHeader(*w, 0);
    expectShown(t.e, t.d, QStringLiteral("91%"));
    services_.folderChoices.enqueue({true, destination});
    QTest::mouseClick(Ctl(w).MoveImageButton2, Qt::LeftButton);
    QVERIFY(QFileInfo::exists(destination + QStringLiteral("/d.png")));
    QCOMPARE(QDir(destination).entryList(QDir::Files), QStringList{QStringLiteral("d.png")});
    for (const int kept : {t.a, t.b, t.c, t.e})
        QVERIFY(QFileInfo::exists(PathOf(*w, kept)));
}

void TestResults::sortStateSurvivesANewSearch() {
    auto w = NewWindow();
    // Two pairs of byte-identical pictures, found in the order the scanner walks the tree.
    const QString tree = work_->path() + QStringLiteral("/search");
    QDir().mkpath(tree);
    for (const char* pair : {"m", "k"}) {
        const QString first = tree + QLatin1Char('/') + QLatin1String(pair) + QStringLiteral("1.png");
        fixtures::WriteImage(first, fixtures::MakeNaturalPicture(200, 160, pair[0]), "png");
        QVERIFY(QFile::copy(first, tree + QLatin1Char('/') + QLatin1String(pair) + QStringLiteral("2.png")));
    }
    w->FormDropFiles({tree});
    w->StartButtonClick();
    QCOMPARE(w->ResultRowCount(), 2);
    const TPicturePairs discovery = w->State().catalogue.PicturePairs;

    ClickHeader(*w, 0);  // first click: descending
    QVERIFY(w->State().SortDescending);
    const Catalogue& cat = w->State().catalogue;
    QVERIFY(ComparePathText(cat.PicturePath(cat.PicturePairs[0].PicIndex1),
                            cat.PicturePath(cat.PicturePairs[1].PicIndex1)) > 0);

    w->StartButtonClick();
    QCOMPARE(w->State().catalogue.PicturePairs, discovery);  // no sort after a search
    QCOMPARE(w->State().SortColumn, 0);
    ClickHeader(*w, 0);  // the remembered direction is reversed
    QVERIFY(!w->State().SortDescending);
    QVERIFY(ComparePathText(cat.PicturePath(cat.PicturePairs[0].PicIndex1),
                            cat.PicturePath(cat.PicturePairs[1].PicIndex1)) < 0);
}

void TestResults::commandsWaitWhileTheSortLetsEventsRun() {
    auto w = NewWindow();
    w->State().settings.DeleteWithoutAsking = true;
    const int f = AddFolder(*w, QStringLiteral("busy"));
    std::vector<int> pics;
    for (int i = 0; i < 6; ++i)
        pics.push_back(AddPicture(*w, f, QStringLiteral("p%1.png").arg(i), 110, 100));
    std::vector<TPicturePair> pairs;
    for (int i = 0; i < 40; ++i)
        pairs.push_back({pics[static_cast<size_t>(i % 6)], pics[static_cast<size_t>((i + 1) % 6)], double((i * 37) % 100 + 1)});
    SetPairs(*w, pairs);
    services_.folderChoices.enqueue({true, work_->path()});
    services_.saveChoices.enqueue({true, work_->path() + QStringLiteral("/busy.csv")});
    services_.messages.clear();

    bool ran = false, busy = false, startEnabled = true, menuEnabled = true;
    QTimer::singleShot(0, w.get(), [&] {
        ran = true;
        busy = (w->WindowState() == TWindowState::Sorting);
        startEnabled = Ctl(w).StartButton->isEnabled();
        menuEnabled = Ctl(w).StartSearch1->isEnabled();
        w->ListView1ColumnClick(1);
        w->SwapImagesButtonClick();
        w->DeleteImageButton1Click();
        w->MoveImageButton2Click();
        w->SavelistofdupliacatestoCSV1Click();
    });
    ClickHeader(*w, 2);
    QVERIFY(ran);
    QVERIFY(busy);
    QVERIFY(!startEnabled && !menuEnabled);
    QVERIFY(Texts(services_.messages).isEmpty());
    QVERIFY(services_.folderCaptions.isEmpty());
    QVERIFY(services_.lastSaveTitle.isEmpty());
    QCOMPARE(w->State().SortColumn, 2);
    QVERIFY(!w->State().SortDescending);
    const TPicturePairs& now = w->State().catalogue.PicturePairs;
    QVERIFY(std::is_permutation(now.begin(), now.end(), pairs.begin()));
    QVERIFY(std::is_sorted(now.begin(), now.end(),
                           [](const TPicturePair& x, const TPicturePair& y) { return x.Similarity < y.Similarity; }));
    for (int p : pics)
        QVERIFY(QFileInfo::exists(PathOf(*w, p)));
    QVERIFY(!(w->WindowState() == TWindowState::Sorting));
    QVERIFY(Ctl(w).StartButton->isEnabled() && Ctl(w).StartSearch1->isEnabled());
}

void TestResults::closeWhileTheSortLetsEventsRun() {
    auto w = NewWindow();
    const int f = AddFolder(*w, QStringLiteral("close"));
    const int a = AddPicture(*w, f, QStringLiteral("a.png"), 120, 90, false);
    const int b = AddPicture(*w, f, QStringLiteral("b.png"), 120, 90, false);
    std::vector<TPicturePair> pairs;
    for (int i = 0; i < 50; ++i)
        pairs.push_back({i % 2 ? a : b, i % 2 ? b : a, double(100 - i)});
    SetPairs(*w, pairs, false);
    QTimer::singleShot(0, w.get(), [&] { w->close(); });
    ClickHeader(*w, 2);
    // The release waited for the sort to let go of the pairs; the list ends empty.
    QVERIFY(w->Closed());
    QCOMPARE(w->State().catalogue.PairCapacity, 0);
    QVERIFY(w->State().catalogue.PicturePairs.empty());
    QCOMPARE(w->ResultRowCount(), 0);
}

void TestResults::everyKeyThatMovesTheSelectionRefreshesThePane() {
    auto w = NewWindow();
    // Up on an empty list does nothing.
    QTest::keyClick(Ctl(w).ListView1, Qt::Key_Up);
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("56%"));

    const int f = AddFolder(*w, QStringLiteral("keys"));
    const int a = AddPicture(*w, f, QStringLiteral("a.png"));
    const int b = AddPicture(*w, f, QStringLiteral("b.png"));
    const int c = AddPicture(*w, f, QStringLiteral("c.png"));
    SetPairs(*w, {{a, b, 90}, {b, c, 80}, {a, c, 70}});
    Ctl(w).ListView1->setFocus();
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("90%"));
    QTest::keyClick(Ctl(w).ListView1, Qt::Key_Down);
    QCOMPARE(SelectedRow(*w), 1);
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("80%"));
    QTest::keyClick(Ctl(w).ListView1, Qt::Key_Up);
    QCOMPARE(SelectedRow(*w), 0);
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("90%"));
    QTest::keyClick(Ctl(w).ListView1, Qt::Key_PageDown);
    QCOMPARE(SelectedRow(*w), 2);
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("70%"));
    QVERIFY(services_.messages.isEmpty());
}

// ---------------------------------------------------------------------------------------------------------
// The pane

void TestResults::paneShowsAJpegAndPngPair() {
    auto w = NewWindow();
    const int f = AddFolder(*w, QStringLiteral("pane"));
    const int big = AddPicture(*w, f, QStringLiteral("big.jpg"), 3000, 2000);
    const int small = AddPicture(*w, f, QStringLiteral("small.PNG"), 800, 600);
    SetPairs(*w, {{big, small, 62.8}});
    const QLocale& locale = w->State().SystemNumberFormat;
    const TPicList& pics = w->State().catalogue.Pictures;

    QCOMPARE(Ctl(w).ImageLabel1->text(), QStringLiteral("JPG  3000 x 2000  ") + FormatSize(pics[size_t(big)].Size, locale));
    QCOMPARE(Ctl(w).ImageLabel2->text(), QStringLiteral("PNG  800 x 600  ") + FormatSize(pics[size_t(small)].Size, locale));
    QVERIFY(QRegularExpression(QStringLiteral("^JPG  3000 x 2000  \\d+ KB$")).match(Ctl(w).ImageLabel1->text()).hasMatch());
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("63%"));
    QCOMPARE(RowText(*w, 0, 2), QStringLiteral("63"));

    // The JPEG at a quarter, the PNG at full size, both framed in white.
    const QImage left = Ctl(w).LeftImage->Picture();
    const QImage right = Ctl(w).RightImage->Picture();
    QCOMPARE(left.size(), QSize(750, 500));
    QCOMPARE(right.size(), QSize(800, 600));
    for (const QImage& image : {left, right}) {
        QVERIFY(IsWhite(image, 0, 0));
        QVERIFY(IsWhite(image, image.width() - 1, image.height() / 2));
        QVERIFY(IsWhite(image, image.width() / 2, image.height() - 1));
        QVERIFY(!IsWhite(image, image.width() / 2, image.height() / 2));
    }
    // Shown within the picture area, centred and never enlarged.
    for (const TPictureView* view : {Ctl(w).LeftImage, Ctl(w).RightImage}) {
        const QRect shown = view->PictureRect();
        QVERIFY(view->rect().contains(shown));
        QVERIFY(shown.width() <= view->Picture().width() && shown.height() <= view->Picture().height());
        QVERIFY(std::abs(shown.left() - (view->width() - shown.right() - 1)) <= 1);
    }
}

// Two names of one file pair as byte-identical; the pane says they are one file.
void TestResults::paneSaysHardLink() {
    auto w = NewWindow();
    const int f = AddFolder(*w, QStringLiteral("links"));
    const int a = AddPicture(*w, f, QStringLiteral("a.png"));
    const int copy = AddPicture(*w, f, QStringLiteral("copy.png"));
    QCOMPARE(::link(QFile::encodeName(PathOf(*w, a)).constData(),
                    QFile::encodeName(PathOf(*w, a).replace(QStringLiteral("a.png"), QStringLiteral("b.png"))).constData()),
             0);
    const int b = AddPicture(*w, f, QStringLiteral("b.png"), 120, 90, false);
    w->State().catalogue.Pictures[size_t(b)].Size = QFileInfo(PathOf(*w, a)).size();
    SetPairs(*w, {{a, b, 100}, {a, copy, 90}});
    QVERIFY2(Ctl(w).ImageLabel1->text().endsWith(QStringLiteral("  hard link")), qPrintable(Ctl(w).ImageLabel1->text()));
    QVERIFY(Ctl(w).ImageLabel2->text().endsWith(QStringLiteral("  hard link")));
    ClickRow(*w, 1);
    QVERIFY(!Ctl(w).ImageLabel1->text().contains(QStringLiteral("hard link")));
}

void TestResults::previewThatFailsKeepsWhatWasReplaced() {
    auto w = NewWindow();
    const int f = AddFolder(*w, QStringLiteral("broken"));
    const int a = AddPicture(*w, f, QStringLiteral("a.png"), 120, 90);
    const int b = AddPicture(*w, f, QStringLiteral("b.png"), 130, 90);
    const int c = AddPicture(*w, f, QStringLiteral("c.jpg"), 200, 150);
    const int bad = AddPicture(*w, f, QStringLiteral("bad.png"), 120, 90);
    WriteFile(PathOf(*w, bad), "this is no picture at all");
    SetPairs(*w, {{a, b, 77}, {c, bad, 44}});
    const QString label1 = Ctl(w).ImageLabel1->text();
    const QString label2 = Ctl(w).ImageLabel2->text();
    QCOMPARE(Ctl(w).LeftImage->Picture().size(), QSize(120, 90));
    services_.messages.clear();

    ClickRow(*w, 1);
    QCOMPARE(services_.messages.size(), 1);
    QCOMPARE(services_.messages.first().kind, MessageKind::Error);
    QCOMPARE(services_.messages.first().caption, QStringLiteral("Voralin"));
    // The left preview already shows the new pair; the texts still show the old one.
    QCOMPARE(Ctl(w).LeftImage->Picture().size(), QSize(200, 150));
    QCOMPARE(Ctl(w).ImageLabel1->text(), label1);
    QCOMPARE(Ctl(w).ImageLabel2->text(), label2);
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("77%"));
}

void TestResults::picturesOpenWhenTheirFilesExist() {
    auto w = NewWindow();
    const int f = AddFolder(*w, QStringLiteral("open"));
    const int a = AddPicture(*w, f, QStringLiteral("a.png"));
    const int b = AddPicture(*w, f, QStringLiteral("b.png"));
    SetPairs(*w, {{a, b, 50}});
    QTest::mouseClick(Ctl(w).LeftImage, Qt::LeftButton);
    QTest::mouseClick(Ctl(w).RightImage, Qt::LeftButton);
    QCOMPARE(services_.openedUrls, (QStringList{PathOf(*w, a), PathOf(*w, b)}));

    QVERIFY(QFile::remove(PathOf(*w, b)));
    QTest::mouseClick(Ctl(w).RightImage, Qt::LeftButton);
    Ctl(w).ListView1->clearSelection();
    QTest::mouseClick(Ctl(w).LeftImage, Qt::LeftButton);
    QCOMPARE(services_.openedUrls.size(), 2);
    QVERIFY(services_.messages.isEmpty());

    ClickRow(*w, 0);
    services_.messages.clear();  // the pane's word on the removed file
    services_.nothingOpens = true;
    QTest::mouseClick(Ctl(w).LeftImage, Qt::LeftButton);
    QCOMPARE(Texts(services_.messages).join("|"), QStringLiteral("Cannot open a.png"));
}

void TestResults::swapWithASelectedRowSwapsThePair() {
    auto w = NewWindow();
    const int f = AddFolder(*w, QStringLiteral("swap"));
    const int a = AddPicture(*w, f, QStringLiteral("a.png"), 120, 90);
    const int b = AddPicture(*w, f, QStringLiteral("b.jpg"), 150, 100);
    const int c = AddPicture(*w, f, QStringLiteral("c.png"), 110, 100);
    SetPairs(*w, {{c, a, 80}, {a, b, 70}});
    ClickRow(*w, 1);
    QVERIFY(Ctl(w).ImageLabel1->text().startsWith(QStringLiteral("PNG  120 x 90")));

    QTest::mouseClick(Ctl(w).SwapImagesButton, Qt::LeftButton);
    const TPicturePair swapped = w->State().catalogue.PicturePairs[1];
    QCOMPARE(swapped.PicIndex1, b);
    QCOMPARE(swapped.PicIndex2, a);
    QCOMPARE(RowText(*w, 1, 0), PathOf(*w, b));
    QCOMPARE(RowText(*w, 1, 1), PathOf(*w, a));
    QVERIFY(Ctl(w).ImageLabel1->text().startsWith(QStringLiteral("JPG  150 x 100")));
    QVERIFY(Ctl(w).ImageLabel2->text().startsWith(QStringLiteral("PNG  120 x 90")));
    QCOMPARE(Ctl(w).LeftImage->Picture().size(), QSize(150, 100));

    // The export sees the pair in its new order.
    const QString csv = work_->path() + QStringLiteral("/swap.csv");
    services_.saveChoices.enqueue({true, csv});
    Ctl(w).SavelistofdupliacatestoCSV1->trigger();
    const QList<QByteArray> lines = ReadFile(csv).split('\n');
    QCOMPARE(lines.value(3), ("2;" + PathOf(*w, b) + ";70;\r").toUtf8());
    QCOMPARE(lines.value(4), ("2;" + PathOf(*w, a) + ";70;\r").toUtf8());
}

void TestResults::swapWithoutASelectionSwapsOnlyThePictures() {
    auto w = NewWindow();
    const int f = AddFolder(*w, QStringLiteral("swap"));
    const int a = AddPicture(*w, f, QStringLiteral("a.png"), 120, 90);
    const int b = AddPicture(*w, f, QStringLiteral("b.png"), 150, 100);
    SetPairs(*w, {{a, b, 70}});
    Ctl(w).ListView1->clearSelection();
    const QImage left = Ctl(w).LeftImage->Picture();
    const QImage right = Ctl(w).RightImage->Picture();
    const QString label1 = Ctl(w).ImageLabel1->text();

    QTest::mouseClick(Ctl(w).SwapImagesButton, Qt::LeftButton);
    QCOMPARE(Ctl(w).LeftImage->Picture(), right);
    QCOMPARE(Ctl(w).RightImage->Picture(), left);
    QCOMPARE(Ctl(w).ImageLabel1->text(), label1);
    QCOMPARE(w->State().catalogue.PicturePairs.front().PicIndex1, a);
    QCOMPARE(RowText(*w, 0, 0), PathOf(*w, a));
}

void TestResults::captionsLightUpUnderThePointer() {
    auto w = NewWindow();
    const std::pair<QToolButton*, QLabel*> buttons[] = {
        {Ctl(w).MoveImageButton1, Ctl(w).MoveImageLabel1},     {Ctl(w).BrowseImageButton1, Ctl(w).BrowseImageLabel1},
        {Ctl(w).DeleteImageButton1, Ctl(w).DeleteImageLabel1}, {Ctl(w).MoveImageButton2, Ctl(w).MoveImageLabel2},
        {Ctl(w).BrowseImageButton2, Ctl(w).BrowseImageLabel2}, {Ctl(w).DeleteImageButton2, Ctl(w).DeleteImageLabel2}};
    const QColor grey(128, 128, 128);
    for (const auto& [button, label] : buttons) {
        QCOMPARE(label->palette().color(QPalette::WindowText), grey);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)));
        QCoreApplication::sendEvent(button, &enter);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::white));
        for (const auto& [other, otherLabel] : buttons) {
            if (other != button)
                QCOMPARE(otherLabel->palette().color(QPalette::WindowText), grey);
        }
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(button, &leave);
        QCOMPARE(label->palette().color(QPalette::WindowText), grey);
    }
}

// ---------------------------------------------------------------------------------------------------------
// File actions

void TestResults::deleteRemovesEveryPairOfThePicture() {
    auto w = NewWindow();
    const Triangle t = MakeTriangle(*w);
    const QString pathA = PathOf(*w, t.a);
    const QByteArray bytesA = ReadFile(pathA);
    ClickRow(*w, 1);  // a-b
    services_.messages.clear();
    services_.answers.enqueue(MessageAnswer::Yes);

    QTest::mouseClick(Ctl(w).DeleteImageButton1, Qt::LeftButton);
    QCOMPARE(services_.messages.size(), 1);
    QCOMPARE(services_.messages[0].kind, MessageKind::Confirmation);
    QCOMPARE(services_.messages[0].buttons, MessageButtons::YesNo);
    QCOMPARE(services_.messages[0].text, QStringLiteral("Do you really want to delete\n\ra.png"));

    const Catalogue& cat = w->State().catalogue;
    QCOMPARE(cat.PicturePairs, (TPicturePairs{{t.d, t.e, 91}, {t.b, t.c, 94}}));
    QCOMPARE(cat.LastPairIndex, 1);
    QCOMPARE(cat.PairCapacity, 2);
    QVERIFY(cat.Pictures[size_t(t.a)].Deleted);
    QVERIFY(!cat.Pictures[size_t(t.b)].Deleted);
    QCOMPARE(cat.Pictures[size_t(t.a)].FileName, QStringLiteral("a.png"));
    QCOMPARE(w->ResultRowCount(), 2);
    QCOMPARE(SelectedRow(*w), 1);
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("94%"));
    QCOMPARE(RowText(*w, 1, 0), PathOf(*w, t.b));

    // Gone to the trash, from which the user can put it back.
    QVERIFY(!QFileInfo::exists(pathA));
    QCOMPARE(services_.trashed, QStringList{pathA});
    const QString inTrash = dataHome_.path() + QStringLiteral("/Trash/files/a.png");
    QCOMPARE(ReadFile(inTrash), bytesA);
    QVERIFY(QFile::rename(inTrash, pathA));
    QFile::remove(dataHome_.path() + QStringLiteral("/Trash/info/a.png.trashinfo"));
}

void TestResults::deleteFromTheLastRow() {
    auto w = NewWindow();
    w->State().settings.DeleteWithoutAsking = true;
    const Triangle t = MakeTriangle(*w);
    ClickRow(*w, 3);  // b-c
    services_.messages.clear();
    QTest::mouseClick(Ctl(w).DeleteImageButton2, Qt::LeftButton);  // c: removes a-c and b-c
    QVERIFY(services_.messages.isEmpty());  // no question asked
    QCOMPARE(w->State().catalogue.PicturePairs, (TPicturePairs{{t.d, t.e, 91}, {t.a, t.b, 92}}));
    QCOMPARE(SelectedRow(*w), 1);
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("92%"));
    QVERIFY(!QFileInfo::exists(PathOf(*w, t.c)));
}

void TestResults::deleteTheOnlyPair() {
    auto w = NewWindow();
    w->State().settings.DeleteWithoutAsking = true;
    const int f = AddFolder(*w, QStringLiteral("one"));
    const int a = AddPicture(*w, f, QStringLiteral("a.png"), 120, 90);
    const int b = AddPicture(*w, f, QStringLiteral("b.png"), 150, 100);
    SetPairs(*w, {{a, b, 66}});
    const QString label1 = Ctl(w).ImageLabel1->text();
    QTest::mouseClick(Ctl(w).DeleteImageButton1, Qt::LeftButton);
    QCOMPARE(w->ResultRowCount(), 0);
    QCOMPARE(SelectedRow(*w), -1);
    QVERIFY(w->State().catalogue.PicturePairs.empty());
    QCOMPARE(w->State().catalogue.LastPairIndex, -1);
    // The deleted picture does not stay on screen.
    QVERIFY(Ctl(w).ImageLabel1->text() != label1);
    QCOMPARE(Ctl(w).ImageLabel1->text(), QStringLiteral("No Image"));
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("0%"));
    QVERIFY(Ctl(w).LeftImage->Picture().isNull() && Ctl(w).RightImage->Picture().isNull());
    // With no row left, the buttons do nothing.
    services_.messages.clear();
    QTest::mouseClick(Ctl(w).DeleteImageButton2, Qt::LeftButton);
    QVERIFY(services_.messages.isEmpty());
    QVERIFY(QFileInfo::exists(PathOf(*w, b)));
}

void TestResults::noToTheConfirmationChangesNothing() {
    auto w = NewWindow();
    const Triangle t = MakeTriangle(*w);
    const TPicturePairs before = w->State().catalogue.PicturePairs;
    ClickRow(*w, 2);
    services_.messages.clear();
    services_.answers.enqueue(MessageAnswer::No);
    QTest::mouseClick(Ctl(w).DeleteImageButton2, Qt::LeftButton);
    QCOMPARE(Texts(services_.messages), QStringList{QStringLiteral("Do you really want to delete\n\rc.png")});
    QCOMPARE(w->State().catalogue.PicturePairs, before);
    QVERIFY(!w->State().catalogue.Pictures[size_t(t.c)].Deleted);
    QVERIFY(QFileInfo::exists(PathOf(*w, t.c)));
    QVERIFY(services_.trashed.isEmpty());
    QCOMPARE(SelectedRow(*w), 2);
    QVERIFY(Ctl(w).ListView1->updatesEnabled());
}

void TestResults::deleteOfAMissingFile() {
    auto w = NewWindow();
    const Triangle t = MakeTriangle(*w);
    const TPicturePairs before = w->State().catalogue.PicturePairs;
    ClickRow(*w, 1);
    QVERIFY(QFile::remove(PathOf(*w, t.b)));
    services_.messages.clear();
    QTest::mouseClick(Ctl(w).DeleteImageButton2, Qt::LeftButton);
    QCOMPARE(services_.messages.size(), 1);
    QCOMPARE(services_.messages[0].kind, MessageKind::Error);
    QCOMPARE(services_.messages[0].text, QStringLiteral("Cannot find this file:\n\rb.jpg"));
    QCOMPARE(w->State().catalogue.PicturePairs, before);
    QCOMPARE(SelectedRow(*w), 1);
}

void TestResults::permanentDeleteOfAReadOnlyFile() {
    auto w = NewWindow();
    w->State().settings.DeleteWithoutAsking = true;
    w->State().settings.MoveToRecycle = false;
    const Triangle t = MakeTriangle(*w);
    const QString path = PathOf(*w, t.e);
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    services_.messages.clear();
    QTest::mouseClick(Ctl(w).DeleteImageButton2, Qt::LeftButton);  // row 0: d-e
    QVERIFY(services_.messages.isEmpty());
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(services_.trashed.isEmpty());
    QVERIFY(!QFileInfo::exists(dataHome_.path() + QStringLiteral("/Trash/files/e.png")));
    QCOMPARE(w->State().catalogue.PairCapacity, 3);
    QCOMPARE(SelectedRow(*w), 0);
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("92%"));
}

void TestResults::refusedDeleteKeepsThePairs() {
    auto w = NewWindow();
    w->State().settings.DeleteWithoutAsking = true;
    const Triangle t = MakeTriangle(*w);
    const TPicturePairs before = w->State().catalogue.PicturePairs;
    ClickRow(*w, 2);
    services_.trashError = EACCES;
    services_.messages.clear();
    QTest::mouseClick(Ctl(w).DeleteImageButton1, Qt::LeftButton);
    QCOMPARE(Texts(services_.messages),
             QStringList{QStringLiteral("Cannot delete file a.png\n\rError code = %1").arg(EACCES)});
    QCOMPARE(services_.messages[0].kind, MessageKind::Error);
    QCOMPARE(w->State().catalogue.PicturePairs, before);
    QVERIFY(!w->State().catalogue.Pictures[size_t(t.a)].Deleted);
    QCOMPARE(SelectedRow(*w), 2);
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("93%"));
    QVERIFY(Ctl(w).ListView1->updatesEnabled());
}

void TestResults::moveSucceeds() {
    auto w = NewWindow();
    const Triangle t = MakeTriangle(*w);
    const QString from = PathOf(*w, t.a);
    const QByteArray bytes = ReadFile(from);
    const QString destination = work_->path() + QStringLiteral("/kept");
    QDir().mkpath(destination);
    ClickRow(*w, 2);  // a-c
    services_.messages.clear();
    services_.folderChoices.enqueue({true, destination});

    QTest::mouseClick(Ctl(w).MoveImageButton1, Qt::LeftButton);
    QCOMPARE(services_.folderCaptions, QStringList{QStringLiteral("Move a.png to selected folder")});
    QCOMPARE(Texts(services_.messages), QStringList{QStringLiteral("a.png moved successfully")});
    QCOMPARE(services_.messages[0].kind, MessageKind::Information);
    QVERIFY(!QFileInfo::exists(from));
    QCOMPARE(ReadFile(destination + QStringLiteral("/a.png")), bytes);
    const Catalogue& cat = w->State().catalogue;
    QCOMPARE(cat.PicturePairs, (TPicturePairs{{t.d, t.e, 91}, {t.b, t.c, 94}}));
    QVERIFY(cat.Pictures[size_t(t.a)].Deleted);
    QCOMPARE(PathOf(*w, t.a), from);  // the record keeps its old folder
    QCOMPARE(SelectedRow(*w), 1);
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("94%"));
    // The picker opens there next time.
    QCOMPARE(Ctl(w).AddFolderDialog->Directory, destination);
}

// Ctrl+Z after a delete to the trash and after a move: the file is back whole, its pairs are back in the list
// and shown; a name taken meanwhile is never replaced.
void TestResults::undoPutsBackDeletesAndMoves() {
    QTemporaryDir history;  // a journal of this test's own
    qputenv("XDG_DATA_HOME", history.path().toLocal8Bit());
    auto w = NewWindow();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    const auto undo = [&] {
        services_.messages.clear();
        QTest::keyClick(w.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(services_.messages.size(), 1);
    };
    undo();
    QCOMPARE(services_.lastText(), QStringLiteral("Nothing to undo."));

    const Triangle t = MakeTriangle(*w);
    const TPicturePairs before = w->State().catalogue.PicturePairs;
    const QString a = PathOf(*w, t.a);
    const QByteArray bytes = ReadFile(a);
    ClickRow(*w, 1);  // a-b
    QTest::mouseClick(Ctl(w).DeleteImageButton1, Qt::LeftButton);
    QVERIFY(!QFileInfo::exists(a));
    QCOMPARE(w->ResultRowCount(), 2);

    undo();
    QCOMPARE(services_.messages[0].kind, MessageKind::Information);
    QCOMPARE(services_.lastText(), QStringLiteral("Restored:") + kMessageLineBreak + a);
    QCOMPARE(ReadFile(a), bytes);
    QCOMPARE(w->State().catalogue.PicturePairs, before);
    QVERIFY(!w->State().catalogue.Pictures[size_t(t.a)].Deleted);
    QCOMPARE(SelectedRow(*w), 1);
    QCOMPARE(Ctl(w).PercentLabel->text(), QStringLiteral("92%"));

    // A move, and a new file under the old name before the undo: nothing is replaced.
    const QString destination = work_->path() + QStringLiteral("/kept");
    QDir().mkpath(destination);
    const QString c = PathOf(*w, t.c);
    const QByteArray cBytes = ReadFile(c);
    ClickRow(*w, 3);  // b-c
    services_.folderChoices.enqueue({true, destination});
    QTest::mouseClick(Ctl(w).MoveImageButton2, Qt::LeftButton);
    QVERIFY(!QFileInfo::exists(c));
    WriteFile(c, "a newer file");
    undo();
    QCOMPARE(services_.messages[0].kind, MessageKind::Error);
    QCOMPARE(services_.lastText(), QStringLiteral("Nothing was restored. These files stand in the way:") +
                                       kMessageLineBreak + c +
                                       QStringLiteral(": another file has its old name; cannot be restored"));
    QCOMPARE(ReadFile(c), QByteArray("a newer file"));
    QCOMPARE(ReadFile(destination + QStringLiteral("/c.png")), cBytes);

    // Once the name is free again, the same undo brings it back.
    QVERIFY(QFile::remove(c));
    undo();
    QCOMPARE(services_.lastText(), QStringLiteral("Restored:") + kMessageLineBreak + c);
    QCOMPARE(ReadFile(c), cBytes);
    QVERIFY(!QFileInfo::exists(destination + QStringLiteral("/c.png")));
    QCOMPARE(w->State().catalogue.PicturePairs, before);
    undo();  // the delete before was undone already
    QCOMPARE(services_.lastText(), QStringLiteral("Nothing to undo."));
    qputenv("XDG_DATA_HOME", dataHome_.path().toLocal8Bit());
}

// The History window lists the steps newest first and restores any one of them, not only the last.
void TestResults::historyRestoresAnOlderStep() {
    QTemporaryDir history;
    qputenv("XDG_DATA_HOME", history.path().toLocal8Bit());
    auto w = NewWindow();
    w->State().settings.DeleteWithoutAsking = true;
    const Triangle t = MakeTriangle(*w);
    const QString d = PathOf(*w, t.d);
    const QString c = PathOf(*w, t.c);
    ClickRow(*w, 0);  // d-e
    QTest::mouseClick(Ctl(w).DeleteImageButton1, Qt::LeftButton);
    ClickRow(*w, 1);  // a-c after the delete
    QTest::mouseClick(Ctl(w).DeleteImageButton2, Qt::LeftButton);
    QVERIFY(!QFileInfo::exists(d) && !QFileInfo::exists(c));

    QStringList states;
    services_.messages.clear();
    services_.onDialog = [&](QDialog& dialog) {
        auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("HistoryTree"));
        if (!tree || tree->topLevelItemCount() != 2)
            return int(QDialog::Rejected);
        QTreeWidgetItem* older = tree->topLevelItem(1)->child(0);
        states << tree->topLevelItem(0)->child(0)->text(0) << older->text(0) << older->text(2);
        tree->setCurrentItem(older);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("RestoreButton")), Qt::LeftButton);
        states << tree->topLevelItem(1)->child(0)->text(2);
        return int(QDialog::Rejected);
    };
    w->findChild<QAction*>(QStringLiteral("History1"))->trigger();
    services_.onDialog = nullptr;
    QCOMPARE(states, (QStringList{c, d, QStringLiteral("can be restored"), QStringLiteral("restored")}));
    QCOMPARE(Texts(services_.messages), QStringList{QStringLiteral("Restored:") + kMessageLineBreak + d});
    QVERIFY(QFileInfo::exists(d) && !QFileInfo::exists(c));
    QCOMPARE(w->State().catalogue.PicturePairs[0], (TPicturePair{t.d, t.e, 91}));
    qputenv("XDG_DATA_HOME", dataHome_.path().toLocal8Bit());
}

// The keys of the Picture menu act on the pair the pane shows while the list has the keyboard; elsewhere the
// focused control keeps its keys (Delete in the folder list removes a folder, never a picture).
void TestResults::keysOfThePictureMenuActOnTheShownPair() {
    auto w = NewWindow();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    w->State().settings.DeleteWithoutAsking = true;
    const Triangle t = MakeTriangle(*w);
    ClickRow(*w, 1);  // a-b
    QTableView* list = Ctl(w).ListView1;
    list->setFocus();
    const QString b = PathOf(*w, t.b);

    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(services_.openedUrls, QStringList{b});
    QTest::keyClick(list, Qt::Key_Space);
    QVERIFY(list->model()->index(1, 1).data(Qt::FontRole).value<QFont>().strikeOut());
    QTest::keyClick(list, Qt::Key_Space);
    QVERIFY(!list->model()->index(1, 1).data(Qt::FontRole).value<QFont>().strikeOut());

    // A permanent delete by its key is always asked, and No is the default answer.
    services_.messages.clear();
    services_.answers.enqueue(MessageAnswer::No);
    QTest::keyClick(list, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(Texts(services_.messages),
             QStringList{QStringLiteral("Do you really want to delete permanently") + kMessageLineBreak + "b.jpg"});
    QCOMPARE(services_.messages[0].buttons, MessageButtons::YesNoDefaultNo);
    QVERIFY(QFileInfo::exists(b));

    QTest::keyClick(list, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(w->State().catalogue.PicturePairs[1].PicIndex1, t.b);
    QTest::keyClick(list, Qt::Key_R, Qt::ControlModifier);

    // Delete goes the way of the button under the right picture: to the trash, here without a question.
    services_.messages.clear();
    QTest::keyClick(list, Qt::Key_Delete);
    QVERIFY(services_.messages.isEmpty());
    QCOMPARE(services_.trashed, QStringList{b});
    QVERIFY(!QFileInfo::exists(b));

    // Tab leaves the list for the next control.
    QTest::keyClick(list, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != list);
    list->setFocus();

    // In the folder list Delete is the list's own.
    w->FormDropFiles({work_->path()});
    QListWidget* folders = Ctl(w).DirectoriesListBox;
    folders->setFocus();
    folders->setCurrentRow(0);
    const int pairs = w->ResultRowCount();
    QTest::keyClick(folders, Qt::Key_Delete);
    QCOMPARE(folders->count(), 0);
    QCOMPARE(w->ResultRowCount(), pairs);
    QCOMPARE(services_.trashed.size(), 1);

    // F5 starts a search (refused here: no folders), Ctrl+E asks where to save the list.
    services_.messages.clear();
    QTest::keyClick(w.get(), Qt::Key_F5);
    QCOMPARE(services_.lastText(), QStringLiteral("Please, add one or more directories to search."));
    services_.lastSaveTitle.clear();
    QTest::keyClick(w.get(), Qt::Key_E, Qt::ControlModifier);
    QVERIFY(!services_.lastSaveTitle.isEmpty());
}

void TestResults::moveOntoAnExistingName() {
    auto w = NewWindow();
    const Triangle t = MakeTriangle(*w);
    const QString from = PathOf(*w, t.b);
    const QByteArray bytes = ReadFile(from);
    const QString destination = work_->path() + QStringLiteral("/full/");
    WriteFile(destination + QStringLiteral("b.jpg"), "someone else's picture");
    const TPicturePairs before = w->State().catalogue.PicturePairs;
    ClickRow(*w, 3);
    services_.messages.clear();
    services_.folderChoices.enqueue({true, destination});

    QTest::mouseClick(Ctl(w).MoveImageButton1, Qt::LeftButton);
    QCOMPARE(Texts(services_.messages), QStringList{QStringLiteral("Cannot move file b.jpg\n\rError code = %1").arg(EEXIST)});
    QCOMPARE(services_.messages[0].kind, MessageKind::Error);
    QCOMPARE(ReadFile(from), bytes);
    QCOMPARE(ReadFile(destination + QStringLiteral("b.jpg")), QByteArray("someone else's picture"));
    QCOMPARE(w->State().catalogue.PicturePairs, before);
    QVERIFY(!w->State().catalogue.Pictures[size_t(t.b)].Deleted);
    QCOMPARE(SelectedRow(*w), 3);
    QVERIFY(Ctl(w).ListView1->updatesEnabled());
}

void TestResults::moveCancelled() {
    auto w = NewWindow();
    const Triangle t = MakeTriangle(*w);
    const TPicturePairs before = w->State().catalogue.PicturePairs;
    const QString directory = Ctl(w).AddFolderDialog->Directory;
    ClickRow(*w, 1);
    services_.messages.clear();
    QTest::mouseClick(Ctl(w).MoveImageButton2, Qt::LeftButton);  // the fake picker cancels
    QCOMPARE(services_.folderCaptions, QStringList{QStringLiteral("Move b.jpg to selected folder")});
    QVERIFY(services_.messages.isEmpty());
    QCOMPARE(w->State().catalogue.PicturePairs, before);
    QVERIFY(QFileInfo::exists(PathOf(*w, t.b)));
    QCOMPARE(Ctl(w).AddFolderDialog->Directory, directory);

    // A missing file is reported before the picker opens.
    QVERIFY(QFile::remove(PathOf(*w, t.b)));
    QTest::mouseClick(Ctl(w).MoveImageButton2, Qt::LeftButton);
    QCOMPARE(Texts(services_.messages), QStringList{QStringLiteral("Cannot find this file:\n\rb.jpg")});
    QCOMPARE(services_.folderCaptions.size(), 1);
}

void TestResults::revealNeedsNoFile() {
    auto w = NewWindow();
    const Triangle t = MakeTriangle(*w);
    ClickRow(*w, 1);
    QVERIFY(QFile::remove(PathOf(*w, t.b)));
    QTest::mouseClick(Ctl(w).BrowseImageButton1, Qt::LeftButton);
    QTest::mouseClick(Ctl(w).BrowseImageButton2, Qt::LeftButton);
    QCOMPARE(services_.revealed, (QStringList{PathOf(*w, t.a), PathOf(*w, t.b)}));
    QVERIFY(services_.messages.isEmpty());
    Ctl(w).ListView1->clearSelection();
    QTest::mouseClick(Ctl(w).BrowseImageButton1, Qt::LeftButton);
    QCOMPARE(services_.revealed.size(), 2);

    // No file manager and no folder handler: the user hears which file could not be shown.
    ClickRow(*w, 1);
    services_.messages.clear();  // the pane's word on the removed file
    services_.nothingOpens = true;
    QTest::mouseClick(Ctl(w).BrowseImageButton2, Qt::LeftButton);
    QCOMPARE(Texts(services_.messages).join("|"), QStringLiteral("Cannot show b.jpg in the file manager"));
    QCOMPARE(services_.messages.first().kind, MessageKind::Error);
}

// ---------------------------------------------------------------------------------------------------------
// CSV export

void TestResults::csvBytesInSortedOrder() {
    auto w = NewWindow();
    const int plain = AddFolder(*w, QStringLiteral("csv"));
    const int umlaut = AddFolder(*w, QStringLiteral("Bilder \u00C4rger"));
    const int semi = AddFolder(*w, QStringLiteral("semi;colon"));
    const int x = AddPicture(*w, plain, QStringLiteral("x.jpg"), 120, 90, false);
    const int y = AddPicture(*w, umlaut, QStringLiteral("na\u00EFve \u6F22.png"), 120, 90, false);
    const int z = AddPicture(*w, semi, QStringLiteral("say \"cheese\".png"), 120, 90, false);
    SetPairs(*w, {{x, y, 62.8}, {y, z, 100}, {z, x, 7.5}}, false);
    ClickHeader(*w, 2);  // similarity ascending
    const QString csvPath = work_->path() + QStringLiteral("/list.csv");
    services_.saveChoices.enqueue({true, csvPath});
    Ctl(w).SavelistofdupliacatestoCSV1->trigger();

    QCOMPARE(services_.lastSaveTitle, QStringLiteral("Save your list of Duplicates to CSV file"));
    QCOMPARE(services_.lastSaveFilter, QStringLiteral("CSV files (*.csv);;Any file (*)"));
    QCOMPARE(services_.lastSaveSuffix, QStringLiteral("csv"));
    QVERIFY(services_.messages.isEmpty());

    const QByteArray root = QFile::encodeName(work_->path());
    const QByteArray px = root + "/csv/x.jpg";
    const QByteArray py = root + "/Bilder \xC3\x84rger/na\xC3\xAFve \xE6\xBC\xA2.png";
    // The path holding ';' and '"' is quoted, its quotes doubled.
    const QByteArray pz = "\"" + root + "/semi;colon/say \"\"cheese\"\".png\"";
    const QByteArray expected = "\xEF\xBB\xBF"
                                "Group Num;Picture Filename;Similarity;\r\n"
                                "1;" + pz + ";8;\r\n"
                                "1;" + px + ";8;\r\n"
                                "2;" + px + ";63;\r\n"
                                "2;" + py + ";63;\r\n"
                                "3;" + py + ";100;\r\n"
                                "3;" + pz + ";100;\r\n";
    QCOMPARE(ReadFile(csvPath), expected);

    // Descending: the pair of 100 comes first.
    ClickHeader(*w, 2);
    services_.saveChoices.enqueue({true, csvPath});
    Ctl(w).SavelistofdupliacatestoCSV1->trigger();
    QVERIFY(ReadFile(csvPath).contains("Similarity;\r\n1;" + py + ";100;\r\n1;" + pz + ";100;\r\n2;"));
    QCOMPARE(services_.messages.size(), 1);  // the replace question
    QCOMPARE(services_.messages[0].text,
             QStringLiteral("The file \"") + csvPath + QStringLiteral("\" exists. Replace it with a new one?"));
}

void TestResults::csvRefusesAnEmptyList() {
    auto w = NewWindow();
    services_.saveChoices.enqueue({true, work_->path() + QStringLiteral("/empty.csv")});
    Ctl(w).SavelistofdupliacatestoCSV1->trigger();
    QCOMPARE(services_.messages.size(), 1);
    QCOMPARE(services_.messages[0].kind, MessageKind::Error);
    QCOMPARE(services_.messages[0].buttons, MessageButtons::Ok);
    QCOMPARE(services_.messages[0].text, QStringLiteral("The list of duplicates is empty."));
    QVERIFY(services_.lastSaveTitle.isEmpty());
    QVERIFY(!QFileInfo::exists(work_->path() + QStringLiteral("/empty.csv")));
}

void TestResults::csvReplaceQuestion() {
    auto w = NewWindow();
    const int f = AddFolder(*w, QStringLiteral("r"));
    const int a = AddPicture(*w, f, QStringLiteral("a.png"), 120, 90, false);
    const int b = AddPicture(*w, f, QStringLiteral("b.png"), 120, 90, false);
    SetPairs(*w, {{a, b, 50}}, false);
    const QString csvPath = work_->path() + QStringLiteral("/old.csv");
    WriteFile(csvPath, "old content");

    services_.saveChoices.enqueue({true, csvPath});
    services_.answers.enqueue(MessageAnswer::No);
    Ctl(w).SavelistofdupliacatestoCSV1->trigger();
    QCOMPARE(services_.messages.size(), 1);
    QCOMPARE(services_.messages[0].kind, MessageKind::Information);
    QCOMPARE(services_.messages[0].buttons, MessageButtons::YesNo);
    QCOMPARE(ReadFile(csvPath), QByteArray("old content"));

    // Cancelling the dialog writes nothing and asks nothing.
    Ctl(w).SavelistofdupliacatestoCSV1->trigger();
    QCOMPARE(services_.messages.size(), 1);
    QCOMPARE(ReadFile(csvPath), QByteArray("old content"));

    services_.saveChoices.enqueue({true, csvPath});
    services_.answers.enqueue(MessageAnswer::Yes);
    Ctl(w).SavelistofdupliacatestoCSV1->trigger();
    QCOMPARE(ReadFile(csvPath), PairListCsv(w->State().catalogue, w->State().SystemNumberFormat));
    QCOMPARE(QDir(work_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("old.csv")});
}

void TestResults::csvWriteFailureIsReported() {
    auto w = NewWindow();
    const int f = AddFolder(*w, QStringLiteral("r"));
    const int a = AddPicture(*w, f, QStringLiteral("a.png"), 120, 90, false);
    const int b = AddPicture(*w, f, QStringLiteral("b.png"), 120, 90, false);
    SetPairs(*w, {{a, b, 50}}, false);
    services_.saveChoices.enqueue({true, work_->path() + QStringLiteral("/no/such/folder/list.csv")});
    Ctl(w).SavelistofdupliacatestoCSV1->trigger();
    QCOMPARE(services_.messages.size(), 1);
    QCOMPARE(services_.messages[0].kind, MessageKind::Error);
    QCOMPARE(services_.messages[0].caption, QStringLiteral("Voralin"));
    QVERIFY(services_.messages[0].text.contains(QStringLiteral("list.csv")));
}

QTEST_MAIN(TestResults)
#include "tst_results.moc"
