// The reply envelope rule, the redaction of logged bodies, and the web page address.

#include "qnloginbase/src/Interface/AccountServiceConstants.h"
#include "qnloginbase/src/Interface/SessionReply.h"

#include <QtTest>

class TestSessionReply : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void envelope_data();
    void envelope();
    void redaction();
    void registerWebUrl();
};

void TestSessionReply::envelope_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("msg");
    QTest::addColumn<QString>("dataString");
    QTest::addColumn<bool>("dataObject");

    QTest::newRow("success with string data")
        << QByteArray(R"({"code":200,"msg":"ok","errorMsg":"e","data":"0"})") << true << 200 << "ok"
        << "0" << false;
    QTest::newRow("success without data") << QByteArray(R"({"code":200})") << true << 200 << ""
                                          << "" << false;
    QTest::newRow("object data") << QByteArray(R"({"code":200,"data":{"token":"t"}})") << true << 200 << ""
                                 << "" << true;
    QTest::newRow("numeric data") << QByteArray(R"({"code":200,"data":1})") << true << 200 << ""
                                  << "1" << false;
    QTest::newRow("code as string") << QByteArray(R"({"code":"200","data":"1"})") << false << 0 << ""
                                    << "1" << false;
    QTest::newRow("missing code") << QByteArray(R"({"msg":"x"})") << false << 0 << "x"
                                  << "" << false;
    QTest::newRow("code 2008") << QByteArray(R"({"code":2008,"msg":"gone"})") << false << 2008 << "gone"
                               << "" << false;
    QTest::newRow("not json") << QByteArray("<html>") << false << 0 << "json format error"
                              << "" << false;
    QTest::newRow("empty body") << QByteArray() << false << 0 << "json format error"
                                << "" << false;
    QTest::newRow("json array") << QByteArray("[1,2]") << false << 0 << "json format error"
                                << "" << false;
}

void TestSessionReply::envelope()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, ok);
    QFETCH(int, code);
    QFETCH(QString, msg);
    QFETCH(QString, dataString);
    QFETCH(bool, dataObject);
    SessionReply reply;
    QCOMPARE(parseReply(body, reply), ok);
    QCOMPARE(reply.ok(), ok);
    QCOMPARE(reply.code, code);
    QCOMPARE(reply.msg, msg);
    QCOMPARE(reply.dataString(), dataString);
    QCOMPARE(!reply.dataObject().isEmpty(), dataObject);
}

void TestSessionReply::redaction()
{
    const QByteArray body = R"({"code":200,"username":"138","password":"Pw-1","data":{"app_token":"Tk-2",)"
                            R"("user":{"name":"N"},"list":[{"newPassword":"Np-3","oldPassword":"Op-4"}]},)"
                            R"("captcha":"Ca-5","verCode":"Vc-6","qrCodeId":"Qr-7"})";
    const QString logged = QnAccountService::redactedForLog(body);
    for (const char *secret : {"Pw-1", "Tk-2", "Np-3", "Op-4", "Ca-5", "Vc-6", "Qr-7"})
        QVERIFY2(!logged.contains(secret), secret);
    QVERIFY(logged.contains("\"code\":200")); // the envelope's status stays readable
    QVERIFY(logged.contains("138"));
    QVERIFY(logged.contains("\"name\":\"N\""));
    // A verification code travels as text under "code".
    QVERIFY(!QnAccountService::redactedForLog(QJsonObject{{"code", "123456"}}).contains("123456"));
    // A body that is not JSON is logged by its size only.
    QCOMPARE(QnAccountService::redactedForLog(QByteArray("password=Pw-1")),
             QString("<13 bytes, not a JSON object>"));
    QVERIFY(QnAccountService::redactedForLog(QJsonObject{{"n", QString(2000, 'x')}}, 100).size() < 140);
}

void TestSessionReply::registerWebUrl()
{
    QCOMPARE(QnAccountService::registerWebUrl("https://web.example"),
             QString("https://web.example/skorra/#/register?source=1&platformCode=203"));
}

QTEST_GUILESS_MAIN(TestSessionReply)
#include "tst_sessionreply.moc"
