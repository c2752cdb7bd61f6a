// The update window against a small HTTP server on the loopback address: every final state, the request it
// sends, the automatic check at start-up, closing during the request, and the reply shown as plain text.
#include "ui/CheckUpdatesUnit.h"
#include "ui/FakePlatformServices.h"
#include "ui/SiteAddresses.h"

#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
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

const QString kCaption = QStringLiteral("Checking for Update");
const QString kUpToDate = QStringLiteral("No updates available at the time.");
const QString kFailed = QStringLiteral("Error. Can't connect to website.");

QByteArray HttpResponse(const QByteArray& statusLine, const QByteArray& body, const QByteArray& extraHeaders = {}) {
    return "HTTP/1.1 " + statusLine + "\r\nContent-Type: text/plain\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
}

// Answers every request on 127.0.0.1 with one canned response, or never answers at all.
class VersionServer : public QObject {
public:
    QByteArray response;          // sent once a request's headers are complete; empty: never answer
    QList<QByteArray> requests;   // each request's head, as received
    int disconnects = 0;          // connections the client has dropped or that ended

    VersionServer() {
        connect(&server_, &QTcpServer::newConnection, this, &VersionServer::Accept);
    }
    bool Listen() { return server_.listen(QHostAddress::LocalHost, 0); }
    QUrl Url(const QString& path = QStringLiteral("/update/photo_version.txt")) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
    }

private:
    void Accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            auto* buffer = new QByteArray;
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
                buffer->append(socket->readAll());
                const qsizetype end = buffer->indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                requests.append(buffer->left(end));
                buffer->clear();
                if (response.isEmpty())
                    return;
                socket->write(response);
                socket->disconnectFromHost();
            });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket, buffer] {
                ++disconnects;
                delete buffer;
                socket->deleteLater();
            });
        }
    }

    QTcpServer server_;
};

// An address on which nothing listens: a port that was just bound and released.
QUrl ClosedPortUrl() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return {};
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1/update/photo_version.txt").arg(port));
}

int Design(const QWidget& w, int units) { return qRound(units * w.logicalDpiX() / 120.0); }

bool OkCentred(const TUpdateForm& form) {
    const QPushButton* ok = Child<QPushButton>(form, "OKButton");
    return ok->x() == (form.width() - ok->width()) / 2;
}

}  // namespace

class TestUpdateCheck : public QObject {
    Q_OBJECT
private slots:
    void siteAddresses();
    void layoutBeforeShowing();
    void manualCheck_data();
    void manualCheck();
    void requestIsOneGetWithTheFixedHeaders();
    void redirectIsNotFollowed();
    void closedPortFails();
    void enterAndEscapeClose();
    void silentServerFailsAfterTimeLimit();
    void dotsRunAndCloseAbortsTheRequest();
    void closedBeforeTheRequestSendsNone();
    void destroyedDuringRequest();
    void automaticCheckClosesByItself_data();
    void automaticCheckClosesByItself();
    void automaticCheckStaysOpen_data();
    void automaticCheckStaysOpen();
    void downloadButtonOpensTheSiteRoot();
    void everyShowingStartsAgain();
};

void TestUpdateCheck::siteAddresses() {
    QCOMPARE(DefaultVersionUrl(), QUrl(QStringLiteral("http://voralin.example.org/update/photo_version.txt")));
    QCOMPARE(SiteAddresses::DownloadPageUrl(), QStringLiteral("https://voralin.example.org/"));
    QCOMPARE(SiteAddresses::WebsiteUrl(), QStringLiteral("https://voralin.example.org/photo.html"));
    QCOMPARE(SiteAddresses::AboutSiteUrl(), QStringLiteral("http://voralin.example.org/photo.html"));
    QCOMPARE(SiteAddresses::SupportMailUrl(), QStringLiteral("mailto:support@voralin.example.org"));
}

void TestUpdateCheck::layoutBeforeShowing() {
    FakePlatformServices services;
    bool startup = false;
    TUpdateForm form(services, startup, nullptr, ClosedPortUrl());
    QCOMPARE(form.windowTitle(), QStringLiteral("CheckUpdatesForm"));
    QCOMPARE(form.size(), QSize(Design(form, 538), Design(form, 142)));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(Child<QPushButton>(form, "DownloadButton")->geometry(),
             QRect(Design(form, 107), Design(form, 55), Design(form, 190), Design(form, 43)));
    QCOMPARE(Child<QPushButton>(form, "DownloadButton")->text(), QStringLiteral("Go to Download Page"));
    QCOMPARE(Child<QPushButton>(form, "DownloadButton")->nextInFocusChain(), Child<QPushButton>(form, "OKButton"));
    QCOMPARE(Child<QLabel>(form, "UpdateStatusLabel")->textFormat(), Qt::PlainText);
    QCOMPARE(Child<QTimer>(form, "Timer1")->interval(), 250);
}

void TestUpdateCheck::manualCheck_data() {
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<bool>("newer");
    QTest::addColumn<int>("expectedState");

    const auto ok = [](const QByteArray& body) { return HttpResponse("200 OK", body); };
    QTest::newRow("same version") << ok("1.2.1") << kUpToDate << false << int(TUpdateForm::kReplied);
    QTest::newRow("same version and a line break")
        << ok("1.2.1\r\n") << QStringLiteral("A new version of Voralin 1.2.1\r\n is available!") << true
        << int(TUpdateForm::kReplied);
    QTest::newRow("higher version") << ok("1.3.0") << QStringLiteral("A new version of Voralin 1.3.0 is available!")
                                    << true << int(TUpdateForm::kReplied);
    QTest::newRow("lower version") << ok("1.0") << QStringLiteral("A new version of Voralin 1.0 is available!")
                                   << true << int(TUpdateForm::kReplied);
    QTest::newRow("empty body") << ok("") << QStringLiteral("A new version of Voralin  is available!") << true
                                << int(TUpdateForm::kReplied);
    QTest::newRow("markup is shown as text")
        << ok("<b>x</b>") << QStringLiteral("A new version of Voralin <b>x</b> is available!") << true
        << int(TUpdateForm::kReplied);
    QTest::newRow("declared charset")
        << HttpResponse("200 OK", "1.2.1", "Content-Type: text/plain; charset=utf-8\r\n") << kUpToDate << false
        << int(TUpdateForm::kReplied);
    QTest::newRow("largest accepted body")
        << ok(QByteArray(4096, 'a')) << QStringLiteral("A new version of Voralin %1 is available!").arg(QString(4096, u'a'))
        << true << int(TUpdateForm::kReplied);
    QTest::newRow("body over 4 KiB") << ok(QByteArray(4097, 'a')) << kFailed << false << int(TUpdateForm::kFailed);
    QTest::newRow("body over 4 KiB without a declared length")
        << ("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + QByteArray(64 * 1024, 'a')) << kFailed << false
        << int(TUpdateForm::kFailed);
    QTest::newRow("not found") << HttpResponse("404 Not Found", "1.2.1") << kFailed << false
                               << int(TUpdateForm::kFailed);
    QTest::newRow("server error") << HttpResponse("500 Internal Server Error", "1.2.1") << kFailed << false
                                  << int(TUpdateForm::kFailed);
    QTest::newRow("not modified") << HttpResponse("304 Not Modified", "") << kFailed << false
                                  << int(TUpdateForm::kFailed);
    QTest::newRow("broken transfer") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n1.2") << kFailed
                                     << false << int(TUpdateForm::kFailed);
}

void TestUpdateCheck::manualCheck() {
    QFETCH(QByteArray, response);
    QFETCH(QString, expectedText);
    QFETCH(bool, newer);
    QFETCH(int, expectedState);

    VersionServer server;
    QVERIFY(server.Listen());
    server.response = response;
    FakePlatformServices services;
    bool startup = false;
    TUpdateForm form(services, startup, nullptr, server.Url());
    form.show();
    QCOMPARE(form.UpdateCheckState(), int(TUpdateForm::kChecking));
    QTRY_VERIFY(form.UpdateCheckState() != TUpdateForm::kChecking);

    QCOMPARE(form.UpdateCheckState(), expectedState);
    QCOMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), expectedText);
    QCOMPARE(form.windowTitle(), kCaption);
    QVERIFY(form.isVisible());
    QVERIFY(Child<QPushButton>(form, "OKButton")->isVisible());
    QCOMPARE(Child<QPushButton>(form, "DownloadButton")->isVisible(), newer);
    if (newer) {
        QCOMPARE(Child<QPushButton>(form, "OKButton")->text(), QStringLiteral("Cancel"));
        QCOMPARE(Child<QPushButton>(form, "OKButton")->x(), Design(form, 305));
    } else {
        QCOMPARE(Child<QPushButton>(form, "OKButton")->text(), QStringLiteral("Close"));
        QVERIFY(OkCentred(form));
    }
    QVERIFY(!Child<QTimer>(form, "Timer1")->isActive());
    QVERIFY(!startup);
    QCOMPARE(server.requests.size(), 1);
    QVERIFY(services.messages.isEmpty());

    QTest::mouseClick(Child<QPushButton>(form, "OKButton"), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.UpdateCheckState(), int(TUpdateForm::kReplied));  // every close request sets it
    QVERIFY(services.openedUrls.isEmpty());
}

void TestUpdateCheck::requestIsOneGetWithTheFixedHeaders() {
    VersionServer server;
    QVERIFY(server.Listen());
    server.response = HttpResponse("200 OK", "1.2.1");
    FakePlatformServices services;
    bool startup = false;
    TUpdateForm form(services, startup, nullptr, server.Url());
    form.show();
    QTRY_COMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), kUpToDate);
    QCOMPARE(server.requests.size(), 1);
    const QList<QByteArray> lines = server.requests.front().split('\n');
    QCOMPARE(lines.front().trimmed(), QByteArray("GET /update/photo_version.txt HTTP/1.1"));
    QVERIFY(lines.contains("Accept: text/html, */*\r"));
    QVERIFY(lines.contains("User-Agent: Mozilla/3.0 (compatible; Indy Library)\r"));
}

void TestUpdateCheck::redirectIsNotFollowed() {
    VersionServer target;
    QVERIFY(target.Listen());
    target.response = HttpResponse("200 OK", "1.2.1");
    VersionServer server;
    QVERIFY(server.Listen());
    server.response = HttpResponse("301 Moved Permanently", "", "Location: " + target.Url().toEncoded() + "\r\n");
    FakePlatformServices services;
    bool startup = false;
    TUpdateForm form(services, startup, nullptr, server.Url());
    form.show();
    QTRY_COMPARE(form.UpdateCheckState(), int(TUpdateForm::kFailed));
    QCOMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), kFailed);
    QCOMPARE(form.windowTitle(), kCaption);
    QVERIFY(OkCentred(form));
    QVERIFY(Child<QPushButton>(form, "OKButton")->isVisible());
    QVERIFY(!startup);
    QCOMPARE(server.requests.size(), 1);
    QVERIFY(target.requests.isEmpty());
}

void TestUpdateCheck::closedPortFails() {
    FakePlatformServices services;
    bool startup = false;
    const QUrl url = ClosedPortUrl();
    QVERIFY(url.isValid());
    TUpdateForm form(services, startup, nullptr, url);
    form.show();
    QTRY_COMPARE(form.UpdateCheckState(), int(TUpdateForm::kFailed));
    QCOMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), kFailed);
    QCOMPARE(form.windowTitle(), kCaption);
    QCOMPARE(Child<QPushButton>(form, "OKButton")->text(), QStringLiteral("Close"));
    QVERIFY(Child<QPushButton>(form, "OKButton")->isVisible());
    QVERIFY(OkCentred(form));
    QVERIFY(!Child<QPushButton>(form, "DownloadButton")->isVisible());
    QVERIFY(services.messages.isEmpty());
}

// Enter closes the window as Escape does.
void TestUpdateCheck::enterAndEscapeClose() {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        FakePlatformServices services;
        bool startup = false;
        TUpdateForm form(services, startup, nullptr, ClosedPortUrl());
        form.show();
        QTRY_COMPARE(form.UpdateCheckState(), int(TUpdateForm::kFailed));
        QTest::keyClick(&form, key);
        QVERIFY(!form.isVisible());
        QVERIFY(services.openedUrls.isEmpty());
    }
}

void TestUpdateCheck::silentServerFailsAfterTimeLimit() {
    VersionServer server;
    QVERIFY(server.Listen());  // accepts, reads the request, never answers
    FakePlatformServices services;
    bool startup = false;
    TUpdateForm form(services, startup, nullptr, server.Url());
    form.SetTimeLimit(std::chrono::milliseconds(300));
    form.show();
    QTRY_COMPARE(server.requests.size(), 1);
    QTRY_COMPARE(form.UpdateCheckState(), int(TUpdateForm::kFailed));
    QCOMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), kFailed);
    QCOMPARE(form.windowTitle(), kCaption);
    QVERIFY(Child<QPushButton>(form, "OKButton")->isVisible());
    QVERIFY(OkCentred(form));
    QTRY_COMPARE(server.disconnects, 1);  // the connection was dropped, not left hanging
}

void TestUpdateCheck::dotsRunAndCloseAbortsTheRequest() {
    VersionServer server;
    QVERIFY(server.Listen());
    FakePlatformServices services;
    bool startup = true;
    TUpdateForm form(services, startup, nullptr, server.Url());
    form.show();
    QCOMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), kCaption);
    QTRY_COMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), kCaption + QStringLiteral("."));
    QTRY_COMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), kCaption + QStringLiteral(".."));
    QTRY_COMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), kCaption + QStringLiteral("..."));
    QTRY_COMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), kCaption);
    QVERIFY(!Child<QPushButton>(form, "OKButton")->isVisible());
    QVERIFY(!Child<QPushButton>(form, "DownloadButton")->isVisible());
    QTRY_COMPARE(server.requests.size(), 1);

    QVERIFY(form.close());
    QVERIFY(!form.isVisible());
    QCOMPARE(form.UpdateCheckState(), int(TUpdateForm::kReplied));
    QVERIFY(!Child<QTimer>(form, "Timer1")->isActive());
    QVERIFY(!startup);
    QTRY_COMPARE(server.disconnects, 1);
    QVERIFY(services.messages.isEmpty());
}

void TestUpdateCheck::closedBeforeTheRequestSendsNone() {
    VersionServer server;
    QVERIFY(server.Listen());
    server.response = HttpResponse("200 OK", "1.2.1");
    FakePlatformServices services;
    bool startup = true;
    TUpdateForm form(services, startup, nullptr, server.Url());
    form.show();
    QVERIFY(form.close());
    QVERIFY(!startup);
    // The next showing makes its own request; the abandoned showing's request never goes out.
    form.show();
    QTRY_COMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), kUpToDate);
    QVERIFY(Child<QPushButton>(form, "OKButton")->isVisible());
    QCOMPARE(server.requests.size(), 1);
}

void TestUpdateCheck::destroyedDuringRequest() {
    VersionServer server;
    QVERIFY(server.Listen());
    FakePlatformServices services;
    bool startup = true;
    auto* form = new TUpdateForm(services, startup, nullptr, server.Url());
    form->show();
    QTRY_COMPARE(server.requests.size(), 1);
    delete form;
    QTRY_COMPARE(server.disconnects, 1);
}

void TestUpdateCheck::automaticCheckClosesByItself_data() {
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QString>("expectedText");
    QTest::newRow("up to date") << HttpResponse("200 OK", "1.2.1") << kUpToDate;
    // A site that cannot be reached is no news worth a window at every start.
    QTest::newRow("not found") << HttpResponse("404 Not Found", "") << kFailed;
}

void TestUpdateCheck::automaticCheckClosesByItself() {
    QFETCH(QByteArray, response);
    QFETCH(QString, expectedText);
    VersionServer server;
    QVERIFY(server.Listen());
    server.response = response;
    FakePlatformServices services;
    bool startup = true;
    TUpdateForm form(services, startup, nullptr, server.Url());
    // Shown the way the main window shows it; exec() must return without anyone pressing a button.
    bool rescued = false;
    QTimer rescue;
    rescue.setSingleShot(true);
    connect(&rescue, &QTimer::timeout, &form, [&] {
        rescued = true;
        form.reject();
    });
    rescue.start(20000);
    form.exec();
    QVERIFY(!rescued);
    QVERIFY(!form.isVisible());
    QVERIFY(!startup);
    QCOMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), expectedText);
    QCOMPARE(form.windowTitle(), kCaption);
    QVERIFY(Child<QPushButton>(form, "OKButton")->isHidden());
    QCOMPARE(form.UpdateCheckState(), int(TUpdateForm::kReplied));
    QVERIFY(services.messages.isEmpty());
}

void TestUpdateCheck::automaticCheckStaysOpen_data() {
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QString>("expectedText");
    QTest::newRow("newer version") << HttpResponse("200 OK", "1.3.0")
                                   << QStringLiteral("A new version of Voralin 1.3.0 is available!");
}

void TestUpdateCheck::automaticCheckStaysOpen() {
    QFETCH(QByteArray, response);
    QFETCH(QString, expectedText);
    VersionServer server;
    QVERIFY(server.Listen());
    server.response = response;
    FakePlatformServices services;
    bool startup = true;
    TUpdateForm form(services, startup, nullptr, server.Url());
    form.show();
    QTRY_COMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), expectedText);
    QVERIFY(!startup);
    QVERIFY(Child<QPushButton>(form, "OKButton")->isVisible());
    // Give a stray close request every chance to arrive.
    QTest::qWait(0);
    QCoreApplication::processEvents();
    QVERIFY(form.isVisible());
    QCOMPARE(form.windowTitle(), kCaption);
}

void TestUpdateCheck::downloadButtonOpensTheSiteRoot() {
    VersionServer server;
    QVERIFY(server.Listen());
    server.response = HttpResponse("200 OK", "2.0.0");
    FakePlatformServices services;
    bool startup = false;
    TUpdateForm form(services, startup, nullptr, server.Url());
    form.show();
    QTRY_VERIFY(Child<QPushButton>(form, "DownloadButton")->isVisible());
    QTest::mouseClick(Child<QPushButton>(form, "DownloadButton"), Qt::LeftButton);
    QCOMPARE(services.openedUrls, QStringList{QStringLiteral("https://voralin.example.org/")});
    QVERIFY(!form.isVisible());
}

void TestUpdateCheck::everyShowingStartsAgain() {
    VersionServer server;
    QVERIFY(server.Listen());
    server.response = HttpResponse("200 OK", "1.3.0");
    FakePlatformServices services;
    bool startup = false;
    TUpdateForm form(services, startup, nullptr, server.Url());
    form.show();
    QTRY_VERIFY(Child<QPushButton>(form, "DownloadButton")->isVisible());
    QTest::mouseClick(Child<QPushButton>(form, "OKButton"), Qt::LeftButton);

    server.response = HttpResponse("200 OK", "1.2.1");
    form.show();
    QCOMPARE(form.UpdateCheckState(), int(TUpdateForm::kChecking));
    QCOMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), kCaption);
    QVERIFY(Child<QPushButton>(form, "OKButton")->isHidden());
    QVERIFY(Child<QPushButton>(form, "DownloadButton")->isHidden());
    QCOMPARE(Child<QPushButton>(form, "OKButton")->text(), QStringLiteral("Close"));
    QTRY_COMPARE(Child<QLabel>(form, "UpdateStatusLabel")->text(), kUpToDate);
    QVERIFY(OkCentred(form));
    QVERIFY(Child<QPushButton>(form, "DownloadButton")->isHidden());
    QCOMPARE(server.requests.size(), 2);
}

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
