// The comparison pane over pairs of the newer picture types: a real search of files made here with the formats'
// own tools, then the type and size texts and the previews the pane shows for the pair it found.
#include "core/FormatTools.h"
#include "core/PictureFixtures.h"
#include "engine/Formatting.h"
#include "ui/FakePlatformServices.h"
#include "ui/MainControls.h"
#include "ui/MainUnit.h"
#include "ui/MainWidgets.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

using Encoder = QString (*)(const QStringList& inputs, const QString& output, bool lossless);

// AVIF's encoder takes options of its own besides; none are wanted here.
QString EncodeAvif(const QStringList& inputs, const QString& output, bool lossless)
{
    return fixtures::EncodeAvif(inputs, output, lossless);
}

// The distinct colours of a picture, up to `enough`: a decoded photograph has many, a blank area one.
int Colours(const QImage& image, int enough)
{
    QSet<QRgb> seen;
    for (int y = 0; y < image.height() && seen.size() < enough; y += 3)
        for (int x = 0; x < image.width() && seen.size() < enough; x += 3)
            seen.insert(image.pixel(x, y));
    return static_cast<int>(seen.size());
}

}  // namespace

Q_DECLARE_METATYPE(Encoder)

class TestNewerTypes : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void paneShowsAPairOfTheType_data();
    void paneShowsAPairOfTheType();

private:
    QTemporaryDir configHome_;
    QTemporaryDir dataHome_;
    QTemporaryDir cacheHome_;
    FakePlatformServices services_;
};

void TestNewerTypes::initTestCase() {
    QVERIFY(configHome_.isValid() && dataHome_.isValid() && cacheHome_.isValid());
    qputenv("XDG_CONFIG_HOME", configHome_.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", dataHome_.path().toLocal8Bit());
    // The search keeps signatures in the cache folder; this run's stay apart from the developer's.
    qputenv("XDG_CACHE_HOME", cacheHome_.path().toLocal8Bit());
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

void TestNewerTypes::paneShowsAPairOfTheType_data() {
    QTest::addColumn<QString>("extension");
    QTest::addColumn<Encoder>("encode");
    QTest::addColumn<QString>("type");
    QTest::newRow("webp") << QStringLiteral("webp") << Encoder(fixtures::EncodeWebp) << QStringLiteral("WEBP");
    QTest::newRow("heic") << QStringLiteral("heic") << Encoder(fixtures::EncodeHeif) << QStringLiteral("HEIC");
    // An upper-case name is read as its lower-case form and shown as it is named.
    QTest::newRow("avif") << QStringLiteral("AVIF") << Encoder(EncodeAvif) << QStringLiteral("AVIF");
    QTest::newRow("jxl") << QStringLiteral("jxl") << Encoder(fixtures::EncodeJxl) << QStringLiteral("JXL");
}

// The same photograph at two sizes, one lossy and one lossless, pairs; each side of the pane then shows its
// own file's type, full size and file size, and a decoded preview of that size with content in it.
void TestNewerTypes::paneShowsAPairOfTheType() {
    QFETCH(QString, extension);
    QFETCH(Encoder, encode);
    QFETCH(QString, type);

    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString folder = work.path() + QStringLiteral("/pictures");
    const QString sources = work.path() + QStringLiteral("/sources");
    QVERIFY(QDir().mkpath(folder) && QDir().mkpath(sources));
    const QImage large = fixtures::MakeNaturalPicture(640, 480, 17);
    const QImage small = large.scaled(320, 240, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    struct Made {
        QString path;
        QSize size;
    };
    const Made made[] = {
        {folder + QStringLiteral("/a.") + extension, large.size()},
        {folder + QStringLiteral("/b.") + extension, small.size()},
    };
    fixtures::WriteImage(sources + QStringLiteral("/a.png"), large, "png");
    fixtures::WriteImage(sources + QStringLiteral("/b.png"), small, "png");
    QCOMPARE(encode({sources + QStringLiteral("/a.png")}, made[0].path, false), QString());
    QCOMPARE(encode({sources + QStringLiteral("/b.png")}, made[1].path, true), QString());

    auto w = std::make_unique<TMainForm>(services_);
    w->show();
    services_.messages.clear();
    w->FormDropFiles({folder});
    QTest::mouseClick(Ctl(w).StartButton, Qt::LeftButton);

    QCOMPARE(services_.messages.size(), 1);
    QVERIFY(services_.messages.last().text.startsWith(QStringLiteral("Search finished.")));
    QCOMPARE(w->ResultRowCount(), 1);
    const Catalogue& cat = w->State().catalogue;
    const TPicturePair& pair = cat.PicturePairs.front();
    const QLocale& locale = w->State().SystemNumberFormat;

    struct Side {
        int32_t picture;
        QLabel* label;
        TPictureView* view;
    };
    const Side sides[] = {{pair.PicIndex1, Ctl(w).ImageLabel1, Ctl(w).LeftImage},
                          {pair.PicIndex2, Ctl(w).ImageLabel2, Ctl(w).RightImage}};
    QSet<QString> shown;
    for (const Side& side : sides) {
        const QString path = cat.PicturePath(side.picture);
        const Made* file = path == made[0].path ? &made[0] : path == made[1].path ? &made[1] : nullptr;
        QVERIFY2(file, qPrintable(path));
        shown.insert(path);
        const QString expected = QStringLiteral("%1  %2 x %3  %4")
                                     .arg(type)
                                     .arg(file->size.width())
                                     .arg(file->size.height())
                                     .arg(FormatSize(QFileInfo(path).size(), locale));
        QCOMPARE(side.label->text(), expected);
        // Below 1000 pixels a preview is decoded at full size; the frame covers its edges only.
        const QImage preview = side.view->Picture();
        QCOMPARE(preview.size(), file->size);
        QVERIFY(!side.view->PictureRect().isEmpty());
        QVERIFY2(Colours(preview.copy(preview.rect().adjusted(30, 30, -30, -30)), 50) >= 50, qPrintable(path));
    }
    QCOMPARE(shown.size(), 2);
    QVERIFY(Ctl(w).PercentLabel->text().endsWith(QLatin1Char('%')));
    QVERIFY(Ctl(w).PercentLabel->text() != QStringLiteral("0%"));
}

QTEST_MAIN(TestNewerTypes)
#include "tst_newertypes.moc"
