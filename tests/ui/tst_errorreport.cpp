// The general error report at the application level: an exception escaping an event handler is shown in
// the "Voralin" error box, and the program goes on handling events.
#include "ui/FakePlatformServices.h"
#include "ui/VoralinApplication.h"

#include <QTest>
#include <QTimer>
#include <stdexcept>

namespace {

// Throws from its event handler, as a command handler with an unhandled failure would.
class ThrowingObject : public QObject {
public:
    QString message;
    int handled = 0;
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++handled;
        throw std::runtime_error(message.toStdString());
    }
};

}  // namespace

class TestErrorReport : public QObject {
    Q_OBJECT
public:
    explicit TestErrorReport(FakePlatformServices& services) : services_(services) {}

private slots:
    void init() { services_.messages.clear(); }
    void escapingErrorIsReportedWithFullStop();
    void messageEndingInPunctuationKeepsIt();
    void errorInTimerHandlerIsReportedAndEventsGoOn();

private:
    FakePlatformServices& services_;
};

void TestErrorReport::escapingErrorIsReportedWithFullStop() {
    ThrowingObject target;
    target.message = QStringLiteral("Unable to write to /x/Voralin.ini");
    QEvent event(QEvent::User);
    QCOMPARE(QCoreApplication::sendEvent(&target, &event), false);
    QCOMPARE(target.handled, 1);
    QCOMPARE(services_.messages.size(), 1);
    QCOMPARE(services_.messages.last().kind, MessageKind::Error);
    QCOMPARE(services_.messages.last().buttons, MessageButtons::Ok);
    QCOMPARE(services_.messages.last().caption, QStringLiteral("Voralin"));
    QCOMPARE(services_.messages.last().text, QStringLiteral("Unable to write to /x/Voralin.ini."));
}

void TestErrorReport::messageEndingInPunctuationKeepsIt() {
    ThrowingObject target;
    target.message = QStringLiteral("''  '' is not a valid integer value!");
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&target, &event);
    QCOMPARE(services_.messages.last().text, QStringLiteral("''  '' is not a valid integer value!"));
}

void TestErrorReport::errorInTimerHandlerIsReportedAndEventsGoOn() {
    bool later = false;
    QTimer::singleShot(0, this, [] { throw std::runtime_error("Cannot open file"); });
    QTimer::singleShot(5, this, [&later] { later = true; });
    QTRY_VERIFY(later);
    QCOMPARE(services_.messages.size(), 1);
    QCOMPARE(services_.messages.last().text, QStringLiteral("Cannot open file."));
}

int main(int argc, char** argv) {
    FakePlatformServices services;
    VoralinApplication app(argc, argv, services);
    TestErrorReport test(services);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_errorreport.moc"
