// The settings dialog: filling from the settings, the size edits' key filter, OK's order of storing and its
// integer errors, Cancel and the close box.
#include "ui/FakePlatformServices.h"
#include "ui/DesignUnits.h"
#include "ui/SettingsUnit.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// A control of a dialog, found by the name it carries as objectName; a missing one ends the test run.
template <typename T> T* Child(const QObject& root, const char* name) {
    T* found = root.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("the dialog has no control named %s", name);
    return found;
}

struct CheckBinding {
    const char* name;
    const char* caption;
    bool TSettings::*field;
};

// Every check box, its caption (leading blanks included) and the setting it edits.
const CheckBinding kChecks[] = {
    {"BMPCheckBox", " BMP", &TSettings::SearchBMP},
    {"JPGCheckBox", " JPG", &TSettings::SearchJPG},
    {"GIFCheckBox", " GIF", &TSettings::SearchGIF},
    {"PNGCheckBox", " PNG", &TSettings::SearchPNG},
    {"TIFFCheckBox", " TIFF", &TSettings::SearchTIFF},
    {"CR2CheckBox", "Canon CR2", &TSettings::SearchCR2},
    {"WEBPCheckBox", " WebP", &TSettings::SearchWEBP},
    {"HEICCheckBox", " HEIC / HEIF", &TSettings::SearchHEIC},
    {"AVIFCheckBox", " AVIF", &TSettings::SearchAVIF},
    {"JXLCheckBox", " JPEG XL", &TSettings::SearchJXL},
    {"RAWCheckBox", " Camera RAW", &TSettings::SearchRAW},
    {"RecycleCheckBox", " Move Files to Trash", &TSettings::MoveToRecycle},
    {"SilentDeleteCheckBox", " Delete Files without Confirmation", &TSettings::DeleteWithoutAsking},
    {"OnlyIdenticalCheckBox", " Search Only 100% Identical Pictures", &TSettings::SearchOnlyIdentical},
    {"CheckUpdatesCheckBox", " Automatically Check for Updates", &TSettings::AutoCheckUpdates},
};

// A record in which every field differs from its default, so filling from defaults would show.
TSettings UnusualSettings() {
    TSettings s;
    s.SearchJPG = false;
    s.SearchBMP = false;
    s.SearchGIF = false;
    s.SearchPNG = false;
    s.SearchTIFF = true;
    s.SearchCR2 = true;
    s.SearchWEBP = false;
    s.SearchAVIF = false;
    s.SearchRAW = true;
    s.MoveToRecycle = false;
    s.DeleteWithoutAsking = true;
    s.SearchOnlyIdentical = true;
    s.AutoCheckUpdates = true;
    s.MinPicWidth = 640;
    s.MinPicHeight = 0;
    return s;
}

bool SameSettings(const TSettings& a, const TSettings& b) {
    for (const CheckBinding& c : kChecks) {
        if (a.*c.field != b.*c.field)
            return false;
    }
    return a.MinPicWidth == b.MinPicWidth && a.MinPicHeight == b.MinPicHeight && a.SearchSimilar == b.SearchSimilar &&
           a.ScanSubfolders == b.ScanSubfolders;
}

QCheckBox* Check(TSettingsForm& form, const char* name) { return Child<QCheckBox>(form, name); }

// Flips every check box, so a test can see which ones were stored.
void FlipAllChecks(TSettingsForm& form) {
    for (const CheckBinding& c : kChecks)
        Check(form, c.name)->toggle();
}

}  // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void showFillsControlsFromSettings();
    void layoutAndTabOrder();
    void keyFilterLetsOnlyDigitsAndBackspaceThrough_data();
    void keyFilterLetsOnlyDigitsAndBackspaceThrough();
    void keyboardPasteIsDroppedButContextMenuPasteIsNot();
    void fontAsReadableAsTheRest();
    void enterPressesOkAndEscapeCancels_data();
    void enterPressesOkAndEscapeCancels();
    void okStoresEverything_data();
    void okStoresEverything();
    void emptyWidthReportsErrorAndKeepsCheckBoxesStored();
    void failingHeightKeepsUnclampedWidthStored();
    void numberBeyondRangeIsAnError();
    void cancelAndCloseBoxDiscardChanges();
    void okWritesNoFile();

private:
    QTemporaryDir configHome_;
};

void TestSettingsDialog::initTestCase() {
    QVERIFY(configHome_.isValid());
    qputenv("XDG_CONFIG_HOME", configHome_.path().toLocal8Bit());
}

void TestSettingsDialog::showFillsControlsFromSettings() {
    TSettings settings = UnusualSettings();
    FakePlatformServices services;
    TSettingsForm form(settings, services);
    QCOMPARE(Child<QGroupBox>(form, "GroupBox1")->title(), QStringLiteral("File Types to Scan"));
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Settings"));
    QCOMPARE(Child<QGroupBox>(form, "GroupBox1")->title(), QStringLiteral("Scan the following types"));
    QCOMPARE(Child<QGroupBox>(form, "GroupBox2")->title(), QStringLiteral("Delete Options"));
    QCOMPARE(Child<QGroupBox>(form, "GroupBox3")->title(), QStringLiteral("Search Options"));
    QCOMPARE(Child<QGroupBox>(form, "GroupBox4")->title(), QStringLiteral("Application"));
    QCOMPARE(Child<QGroupBox>(form, "GroupBox5")->title(), QStringLiteral("More types"));
    for (const CheckBinding& c : kChecks) {
        QCheckBox* box = Check(form, c.name);
        QVERIFY2(box, c.name);
        QCOMPARE(box->text(), QString::fromLatin1(c.caption));
        QVERIFY2(box->isChecked() == settings.*c.field, c.name);
    }
    QCOMPARE(Child<QLineEdit>(form, "MinWidthEdit")->text(), QStringLiteral("640"));
    QCOMPARE(Child<QLineEdit>(form, "MinHeightEdit")->text(), QStringLiteral("0"));
    QCOMPARE(Child<QLabel>(form, "Label1")->text(), QStringLiteral("Minimum Picture Width"));
    QCOMPARE(Child<QLabel>(form, "Label2")->text(), QStringLiteral("Minimum Picture Height"));
    QCOMPARE(Child<QLabel>(form, "Label3")->text(), QStringLiteral("pixels"));
    QCOMPARE(Child<QLabel>(form, "Label4")->text(), QStringLiteral("pixels"));
    QCOMPARE(Child<QPushButton>(form, "OKButton")->text(), QStringLiteral("OK"));
    QCOMPARE(Child<QPushButton>(form, "CancelButton")->text(), QStringLiteral("Cancel"));
    QVERIFY(SameSettings(settings, UnusualSettings()));  // showing changes nothing
}

void TestSettingsDialog::layoutAndTabOrder() {
    TSettings settings;
    FakePlatformServices services;
    TSettingsForm form(settings, services);
    const double scale = form.logicalDpiX() / 120.0;
    // The specified 548 x 425, widened by the "More types" column on the right.
    QCOMPARE(form.size(), QSize(qRound(744 * scale), qRound(425 * scale)));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(Child<QPushButton>(form, "OKButton")->geometry(),
             QRect(qRound(120 * scale), qRound(364 * scale), qRound(148 * scale), qRound(43 * scale)));
    // Whatever font stands in for Tahoma, no caption is cut off and no label runs into its edit.
    for (const CheckBinding& c : kChecks) {
        const QCheckBox* box = Check(form, c.name);
        QVERIFY2(box->sizeHint().width() <= box->width(), c.name);
    }
    QVERIFY(Child<QLabel>(form, "Label1")->geometry().right() < Child<QLineEdit>(form, "MinWidthEdit")->x());
    QVERIFY(Child<QLabel>(form, "Label2")->geometry().right() < Child<QLineEdit>(form, "MinHeightEdit")->x());
    QCOMPARE(Child<QLineEdit>(form, "MinHeightEdit")->parentWidget(), Child<QGroupBox>(form, "GroupBox3"));
    QCOMPARE(Child<QCheckBox>(form, "CR2CheckBox")->parentWidget(), Child<QGroupBox>(form, "GroupBox1"));

    // The file types, then OK and Cancel, then the delete, search and application groups.
    QList<QWidget*> expected;
    for (const char* name : {"BMPCheckBox", "JPGCheckBox", "GIFCheckBox", "PNGCheckBox", "TIFFCheckBox", "CR2CheckBox",
                             "OKButton", "CancelButton", "RecycleCheckBox", "SilentDeleteCheckBox",
                             "OnlyIdenticalCheckBox", "MinWidthEdit", "MinHeightEdit", "CheckUpdatesCheckBox"})
        expected << Child<QWidget>(form, name);
    QWidget* w = expected.front();
    for (qsizetype i = 1; i < expected.size(); ++i) {
        w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus))
            w = w->nextInFocusChain();
        QCOMPARE(w->objectName(), expected[i]->objectName());
    }
}

void TestSettingsDialog::keyFilterLetsOnlyDigitsAndBackspaceThrough_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("letters") << QStringLiteral("abcXYZ") << QStringLiteral("12");
    QTest::newRow("minus") << QStringLiteral("-") << QStringLiteral("12");
    QTest::newRow("plus and dollar") << QStringLiteral("+$") << QStringLiteral("12");
    QTest::newRow("space") << QStringLiteral(" ") << QStringLiteral("12");
    QTest::newRow("punctuation") << QStringLiteral(".,x") << QStringLiteral("12");
    QTest::newRow("digits") << QStringLiteral("0789") << QStringLiteral("120789");
    QTest::newRow("mixed") << QStringLiteral("3a-4 5") << QStringLiteral("12345");
}

void TestSettingsDialog::keyFilterLetsOnlyDigitsAndBackspaceThrough() {
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    TSettings settings;
    FakePlatformServices services;
    TSettingsForm form(settings, services);
    form.show();
    for (QLineEdit* edit : {Child<QLineEdit>(form, "MinWidthEdit"), Child<QLineEdit>(form, "MinHeightEdit")}) {
        edit->setText(QStringLiteral("12"));
        edit->setFocus();
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), expected);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), expected.chopped(1));
        // Keys that type nothing still move the cursor and delete.
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClick(edit, Qt::Key_Delete);
        QCOMPARE(edit->text(), expected.chopped(1).mid(1));
    }
}

void TestSettingsDialog::keyboardPasteIsDroppedButContextMenuPasteIsNot() {
    TSettings settings;
    FakePlatformServices services;
    TSettingsForm form(settings, services);
    form.show();
    QLineEdit* width = Child<QLineEdit>(form, "MinWidthEdit");
    width->setText(QStringLiteral("7"));
    width->setFocus();
    width->end(false);
    QGuiApplication::clipboard()->setText(QStringLiteral("-20"));
    QTest::keyClick(width, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(width->text(), QStringLiteral("7"));
    QTest::keyClick(width, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(width, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(width->text(), QStringLiteral("7"));
    // The context menu's Paste acts on the edit directly and is not filtered.
    width->paste();
    QCOMPARE(width->text(), QStringLiteral("7-20"));
}

// With the fonts the program installs, the dialog reads at the size of the other windows: the captions fit
// without shrinking it much.
void TestSettingsDialog::fontAsReadableAsTheRest() {
    TSettings settings;
    FakePlatformServices services;
    TSettingsForm form(settings, services);
    const int designed = DesignFont(DesignPixels(&form, 14)).pixelSize();
    QVERIFY2(form.font().pixelSize() * 10 >= designed * 9,
             qPrintable(QStringLiteral("%1 px of %2").arg(form.font().pixelSize()).arg(designed)));
}

void TestSettingsDialog::enterPressesOkAndEscapeCancels_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("stored");
    for (const char* focus : {"JPGCheckBox", "MinWidthEdit", "OKButton"}) {
        QTest::addRow("Return on %s", focus) << QString::fromLatin1(focus) << int(Qt::Key_Return) << true;
        QTest::addRow("Enter on %s", focus) << QString::fromLatin1(focus) << int(Qt::Key_Enter) << true;
        QTest::addRow("Escape on %s", focus) << QString::fromLatin1(focus) << int(Qt::Key_Escape) << false;
    }
    // The button that has the keyboard is the one Enter presses.
    QTest::addRow("Return on CancelButton") << QStringLiteral("CancelButton") << int(Qt::Key_Return) << false;
}

void TestSettingsDialog::enterPressesOkAndEscapeCancels() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, stored);
    TSettings settings;
    FakePlatformServices services;
    TSettingsForm form(settings, services);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Child<QCheckBox>(form, "JPGCheckBox")->toggle();
    QWidget* target = form.findChild<QWidget*>(focus);
    QVERIFY(target);
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key));
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), stored ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QCOMPARE(settings.SearchJPG, !stored);
    QVERIFY(services.messages.isEmpty());
}

void TestSettingsDialog::okStoresEverything_data() {
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<int>("expectedWidth");
    QTest::addColumn<int>("expectedHeight");
    QTest::newRow("plain") << QStringLiteral("320") << QStringLiteral("240") << 320 << 240;
    QTest::newRow("zeros") << QStringLiteral("0") << QStringLiteral("0") << 0 << 0;
    QTest::newRow("pasted -20 becomes 0") << QStringLiteral("-20") << QStringLiteral("-1") << 0 << 0;
    QTest::newRow("hexadecimal as in the file") << QStringLiteral("0x20") << QStringLiteral("$10") << 32 << 16;
    QTest::newRow("largest") << QStringLiteral("2147483647") << QStringLiteral("+5") << 2147483647 << 5;
    QTest::newRow("smallest clamps") << QStringLiteral("-2147483648") << QStringLiteral("007") << 0 << 7;
}

void TestSettingsDialog::okStoresEverything() {
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(int, expectedWidth);
    QFETCH(int, expectedHeight);
    TSettings settings;
    FakePlatformServices services;
    TSettingsForm form(settings, services);
    form.show();
    FlipAllChecks(form);
    Child<QLineEdit>(form, "MinWidthEdit")->setText(width);  // as pasted: setText bypasses the key filter
    Child<QLineEdit>(form, "MinHeightEdit")->setText(height);
    QTest::mouseClick(Child<QPushButton>(form, "OKButton"), Qt::LeftButton);
    QVERIFY(services.messages.isEmpty());
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
    const TSettings defaults;
    for (const CheckBinding& c : kChecks)
        QVERIFY2(settings.*c.field == !(defaults.*c.field), c.name);
    QCOMPARE(settings.MinPicWidth, expectedWidth);
    QCOMPARE(settings.MinPicHeight, expectedHeight);
    QCOMPARE(settings.SearchSimilar, defaults.SearchSimilar);
    QCOMPARE(settings.ScanSubfolders, defaults.ScanSubfolders);
}

void TestSettingsDialog::emptyWidthReportsErrorAndKeepsCheckBoxesStored() {
    TSettings settings;
    FakePlatformServices services;
    TSettingsForm form(settings, services);
    form.show();
    FlipAllChecks(form);
    Child<QLineEdit>(form, "MinWidthEdit")->clear();
    Child<QLineEdit>(form, "MinHeightEdit")->setText(QStringLiteral("50"));
    QTest::mouseClick(Child<QPushButton>(form, "OKButton"), Qt::LeftButton);

    QCOMPARE(services.messages.size(), 1);
    const ShownMessage& m = services.messages.front();
    QCOMPARE(m.kind, MessageKind::Error);
    QCOMPARE(m.caption, QStringLiteral("Voralin"));
    QCOMPARE(m.buttons, MessageButtons::Ok);
    QCOMPARE(m.text, QStringLiteral("''") + QStringLiteral("''") + QStringLiteral(" is not a valid integer value."));
    QVERIFY(form.isVisible());
    const TSettings defaults;
    for (const CheckBinding& c : kChecks)
        QVERIFY2(settings.*c.field == !(defaults.*c.field), c.name);
    QCOMPARE(settings.MinPicWidth, 100);
    QCOMPARE(settings.MinPicHeight, 100);  // OK stopped before the height

    // A later Cancel does not undo what was stored.
    QTest::mouseClick(Child<QPushButton>(form, "CancelButton"), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    for (const CheckBinding& c : kChecks)
        QVERIFY2(settings.*c.field == !(defaults.*c.field), c.name);
}

void TestSettingsDialog::failingHeightKeepsUnclampedWidthStored() {
    TSettings settings;
    FakePlatformServices services;
    TSettingsForm form(settings, services);
    form.show();
    Child<QLineEdit>(form, "MinWidthEdit")->setText(QStringLiteral("-5"));
    Child<QLineEdit>(form, "MinHeightEdit")->setText(QStringLiteral("12ab"));
    QTest::mouseClick(Child<QPushButton>(form, "OKButton"), Qt::LeftButton);
    QCOMPARE(services.lastText(), QStringLiteral("''12ab'' is not a valid integer value."));
    QVERIFY(form.isVisible());
    QCOMPARE(settings.MinPicWidth, -5);
    QCOMPARE(settings.MinPicHeight, 100);

    // Corrected, OK completes and clamps.
    Child<QLineEdit>(form, "MinHeightEdit")->setText(QStringLiteral("12"));
    QTest::mouseClick(Child<QPushButton>(form, "OKButton"), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(settings.MinPicWidth, 0);
    QCOMPARE(settings.MinPicHeight, 12);
    QCOMPARE(services.messages.size(), 1);
}

void TestSettingsDialog::numberBeyondRangeIsAnError() {
    TSettings settings;
    FakePlatformServices services;
    TSettingsForm form(settings, services);
    form.show();
    Child<QLineEdit>(form, "MinWidthEdit")->setText(QStringLiteral("2147483648"));
    QTest::mouseClick(Child<QPushButton>(form, "OKButton"), Qt::LeftButton);
    QCOMPARE(services.lastText(), QStringLiteral("''2147483648'' is not a valid integer value."));
    QVERIFY(form.isVisible());
    QCOMPARE(settings.MinPicWidth, 100);
}

void TestSettingsDialog::cancelAndCloseBoxDiscardChanges() {
    TSettings settings = UnusualSettings();
    FakePlatformServices services;
    TSettingsForm form(settings, services);

    // Cancel, run as the main window runs it: modally.
    QTimer::singleShot(0, &form, [&form] {
        FlipAllChecks(form);
        Child<QLineEdit>(form, "MinWidthEdit")->setText(QStringLiteral("1"));
        Child<QLineEdit>(form, "MinHeightEdit")->setText(QStringLiteral("2"));
        QTest::mouseClick(Child<QPushButton>(form, "CancelButton"), Qt::LeftButton);
    });
    QCOMPARE(form.exec(), int(QDialog::Rejected));
    QVERIFY(SameSettings(settings, UnusualSettings()));

    // Reopening shows the stored values, not the cancelled ones.
    form.show();
    for (const CheckBinding& c : kChecks)
        QVERIFY2(Check(form, c.name)->isChecked() == settings.*c.field, c.name);
    QCOMPARE(Child<QLineEdit>(form, "MinWidthEdit")->text(), QStringLiteral("640"));
    QCOMPARE(Child<QLineEdit>(form, "MinHeightEdit")->text(), QStringLiteral("0"));

    // The title bar's close box.
    FlipAllChecks(form);
    Child<QLineEdit>(form, "MinWidthEdit")->setText(QStringLiteral("3"));
    QVERIFY(form.close());
    QVERIFY(!form.isVisible());
    QVERIFY(SameSettings(settings, UnusualSettings()));
    QVERIFY(services.messages.isEmpty());
}

void TestSettingsDialog::okWritesNoFile() {
    TSettings settings;
    FakePlatformServices services;
    TSettingsForm form(settings, services);
    form.show();
    Child<QCheckBox>(form, "SilentDeleteCheckBox")->toggle();
    QTest::mouseClick(Child<QPushButton>(form, "OKButton"), Qt::LeftButton);
    QCOMPARE(settings.DeleteWithoutAsking, true);
    const QDir config(configHome_.path());
    QVERIFY(config.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
