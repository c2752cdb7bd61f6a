// The desktop services on Qt: the message boxes' kinds, captions, buttons and plain text, and the trash.
#include "ui/QtPlatformServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <functional>

namespace {

struct SeenBox {
    QString title, text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Once the box is open: records it and presses the given button.
void AnswerNextBox(SeenBox& seen, QMessageBox::StandardButton press) {
    QTimer::singleShot(0, [&seen, press] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.format = box->textFormat();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        seen.defaultButton = box->standardButton(box->defaultButton());
        box->button(press)->click();
    });
}

}  // namespace

class TestPlatformServices : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void messageBoxes();
    void moveToTrash();

private:
    QTemporaryDir dataHome_;
};

void TestPlatformServices::initTestCase() {
    QVERIFY(dataHome_.isValid());
    qputenv("XDG_DATA_HOME", dataHome_.path().toLocal8Bit());
}

void TestPlatformServices::messageBoxes() {
    QtPlatformServices services;
    const QString markup = QStringLiteral("Cannot delete <b>x</b>.jpg");
    // The program's line break shows as one.
    const QString twoLines = QStringLiteral("Do you really want to delete\n\rx.jpg");
    struct Case {
        const char* name;
        MessageKind kind;
        MessageButtons buttons;
        QString caption;
        QMessageBox::StandardButton press;
        QString expectedTitle;
        QMessageBox::Icon expectedIcon;
        QMessageBox::StandardButtons expectedButtons;
        MessageAnswer expectedAnswer;
        QMessageBox::StandardButton expectedDefault = QMessageBox::NoButton;
        QString text = {};
        QString expectedText = {};
    };
    const Case cases[] = {
        {"error", MessageKind::Error, MessageButtons::Ok, {}, QMessageBox::Ok, QStringLiteral("Error"),
         QMessageBox::Critical, QMessageBox::Ok, MessageAnswer::Ok},
        {"general error report", MessageKind::Error, MessageButtons::Ok, QStringLiteral("Voralin"), QMessageBox::Ok,
         QStringLiteral("Voralin"), QMessageBox::Critical, QMessageBox::Ok, MessageAnswer::Ok},
        {"information", MessageKind::Information, MessageButtons::Ok, {}, QMessageBox::Ok,
         QStringLiteral("Information"), QMessageBox::Information, QMessageBox::Ok, MessageAnswer::Ok},
        {"information question, no", MessageKind::Information, MessageButtons::YesNo, {}, QMessageBox::No,
         QStringLiteral("Information"), QMessageBox::Information, QMessageBox::Yes | QMessageBox::No,
         MessageAnswer::No},
        {"confirmation, yes", MessageKind::Confirmation, MessageButtons::YesNo, {}, QMessageBox::Yes,
         QStringLiteral("Confirm"), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, MessageAnswer::Yes,
         QMessageBox::Yes},
        {"deletion for good, no by default", MessageKind::Confirmation, MessageButtons::YesNoDefaultNo, {},
         QMessageBox::Yes, QStringLiteral("Confirm"), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
         MessageAnswer::Yes, QMessageBox::No, twoLines, QStringLiteral("Do you really want to delete\nx.jpg")},
    };
    for (const Case& c : cases) {
        SeenBox seen;
        AnswerNextBox(seen, c.press);
        const QString text = c.text.isEmpty() ? markup : c.text;
        const MessageAnswer answer = services.ShowMessage(nullptr, c.kind, text, c.buttons, c.caption);
        QVERIFY2(answer == c.expectedAnswer, c.name);
        QVERIFY2(seen.title == c.expectedTitle, c.name);
        QVERIFY2(seen.text == (c.expectedText.isEmpty() ? markup : c.expectedText), c.name);
        if (c.expectedDefault != QMessageBox::NoButton)
            QVERIFY2(seen.defaultButton == c.expectedDefault, c.name);
        QVERIFY2(seen.format == Qt::PlainText, c.name);
        QVERIFY2(seen.icon == c.expectedIcon, c.name);
        QVERIFY2(seen.buttons == c.expectedButtons, c.name);
    }
}

void TestPlatformServices::moveToTrash() {
    QtPlatformServices services;
    QTemporaryDir work;
    const QString path = work.filePath(QStringLiteral("doomed.jpg"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not really a picture");
    file.close();

    const FileOpResult moved = services.MoveToTrash(path);
    QVERIFY(moved.ok);
    QCOMPARE(moved.errorCode, 0);
    QVERIFY(!QFile::exists(path));
    // The file can be restored from the user's trash.
    QVERIFY(QFile::exists(dataHome_.path() + QStringLiteral("/Trash/files/doomed.jpg")));

    const FileOpResult missing = services.MoveToTrash(path);
    QVERIFY(!missing.ok);
    QCOMPARE(missing.errorCode, ENOENT);
}

QTEST_MAIN(TestPlatformServices)
#include "tst_platformservices.moc"
