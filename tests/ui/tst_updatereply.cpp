// The update check's verdict on a finished reply, for replies no test server sends easily: every status
// class, missing and odd character sets, bodies at and past the limit, bytes that are not text.
#include "ui/UpdateReply.h"

#include <QTest>

namespace {

constexpr qint64 kLimit = 4096;

}  // namespace

class TestUpdateReply : public QObject {
    Q_OBJECT
private slots:
    void verdict_data();
    void verdict();
};

void TestUpdateReply::verdict_data()
{
    QTest::addColumn<bool>("networkError");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("tooLarge");
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("replied");
    QTest::addColumn<QString>("version");

    const QByteArray atLimit(kLimit, '7');
    QTest::newRow("plain") << false << 200 << false << "text/plain" << QByteArray("1.2.1") << true << "1.2.1";
    QTest::newRow("any 2xx") << false << 299 << false << "" << QByteArray("2.0") << true << "2.0";
    QTest::newRow("redirect") << false << 301 << false << "text/html" << QByteArray("moved") << false << "";
    QTest::newRow("not found") << false << 404 << false << "text/html" << QByteArray("1.2.1") << false << "";
    QTest::newRow("no status") << false << 0 << false << "" << QByteArray("1.2.1") << false << "";
    QTest::newRow("network error") << true << 200 << false << "" << QByteArray("1.2.1") << false << "";
    QTest::newRow("stopped as too large") << false << 200 << true << "" << QByteArray("1") << false << "";
    QTest::newRow("body at the limit") << false << 200 << false << "" << atLimit << true << QString::fromLatin1(atLimit);
    QTest::newRow("body past the limit") << false << 200 << false << "" << atLimit + '7' << false << "";
    QTest::newRow("utf-8 declared") << false << 200 << false << "text/plain; charset=\"UTF-8\""
                                    << QByteArray("2.0 \xE2\x80\x94") << true << QStringLiteral("2.0 \u2014");
    QTest::newRow("utf-16 declared") << false << 200 << false << "text/plain;CHARSET=utf-16"
                                     << QByteArray("\xFF\xFE\x32\0.\0\x30\0", 8) << true << "2.0";
    QTest::newRow("unknown charset is latin-1") << false << 200 << false << "text/plain; charset=x-nonsense"
                                                << QByteArray("\xE9") << true << QStringLiteral("\u00E9");
    QTest::newRow("empty charset is latin-1") << false << 200 << false << "text/plain; charset="
                                              << QByteArray("\xFF") << true << QStringLiteral("\u00FF");
    QTest::newRow("invalid utf-8 is replaced") << false << 200 << false << "text/plain; charset=utf-8"
                                               << QByteArray("1\xFF") << true << QStringLiteral("1\uFFFD");
    QTest::newRow("nul bytes kept") << false << 200 << false << "" << QByteArray("1\0002", 3) << true
                                    << QString::fromLatin1("1\0002", 3);
}

void TestUpdateReply::verdict()
{
    QFETCH(bool, networkError);
    QFETCH(int, status);
    QFETCH(bool, tooLarge);
    QFETCH(QString, contentType);
    QFETCH(QByteArray, body);
    QFETCH(bool, replied);
    QFETCH(QString, version);

    UpdateReplyFacts facts;
    facts.NetworkError = networkError;
    facts.HttpStatus = status;
    facts.TooLarge = tooLarge;
    facts.ContentType = contentType;
    facts.Body = body;
    const std::optional<QString> result = EvaluateUpdateReply(facts, kLimit);
    QCOMPARE(result.has_value(), replied);
    if (replied)
        QCOMPARE(*result, version);
}

QTEST_GUILESS_MAIN(TestUpdateReply)
#include "tst_updatereply.moc"
