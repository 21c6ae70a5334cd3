#include "common/http/QnLynInterNetWorkManager.h"
#include "common/settings/COption.h"
#include "tests/fixtures/http/QnHttpFixture.h"
#include "tests/fixtures/receiver_sim/http/QnSimMultipart.h"

#include <QFile>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kUploadContentType = "multipart/form-data;boundary=--------GI3Ef1ei4KM7KM7ae0ei4ei4ei4ae0";

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace

// The cloud client against the loopback HTTP fixture, which stands in for the service.
class TestInterNetWorkManager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void headers_data();
    void headers();
    void statusAndBody_data();
    void statusAndBody();
    void getAppendsSuffixAndHostOverridesBase();
    void emptyCallbackStillSends();
    void goneContextIsNotCalledBack();
    void uploadProgressThenOneFinished();
    void uploadHttpErrorReportsErrorThenFinished();
    void uploadOfUnreadableFileSendsNothing();
    void downloadsThroughTheClient();
    void addressFromSettings();

private:
    HttpResultInfo waitPost(const QString &path, const QJsonObject &body, const QString &token = QString());

    std::unique_ptr<QnHttpFixture> m_server;
    std::unique_ptr<QnLynInterNetWorkManager> m_client;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestInterNetWorkManager::init()
{
    m_server = std::make_unique<QnHttpFixture>();
    QVERIFY(m_server->listen());
    m_client = std::make_unique<QnLynInterNetWorkManager>(m_server->baseUrl());
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestInterNetWorkManager::cleanup()
{
    m_client.reset();
    m_server.reset();
    m_dir.reset();
}

HttpResultInfo TestInterNetWorkManager::waitPost(const QString &path, const QJsonObject &body,
                                                 const QString &token)
{
    HttpResultInfo got;
    int calls = 0;
    m_client->httpPost(
        path, body,
        [&](HttpResultInfo &r) {
            got = r;
            ++calls;
        },
        token);
    if (!QTest::qWaitFor([&] { return calls > 0; }, 20000))
        return got;
    got.requestPath = calls == 1 ? got.requestPath : QStringLiteral("<%1 calls>").arg(calls);
    return got;
}

void TestInterNetWorkManager::headers_data()
{
    QTest::addColumn<bool>("isGet");
    QTest::addColumn<QString>("token");
    QTest::newRow("POST with token") << false << "tok-123";
    QTest::newRow("POST without token") << false << "";
    QTest::newRow("GET") << true << "";
}

void TestInterNetWorkManager::headers()
{
    QFETCH(bool, isGet);
    QFETCH(QString, token);
    m_server->setRoute("", "/gateway/basic/x", QnHttpResponse::json({{"code", 200}}));
    int calls = 0;
    auto cb = [&](HttpResultInfo &) { ++calls; };
    const QJsonObject body{{"phone", "13800000000"}, {"n", 1}};
    if (isGet)
        m_client->httpGet("/basic/x", "", cb);
    else
        m_client->httpPost("/basic/x", body, cb, token);
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 20000);

    QCOMPARE(m_server->requests().size(), 1);
    const QnHttpRecordedRequest r = m_server->requests().first();
    QCOMPARE(r.path, QString("/gateway/basic/x"));
    if (isGet) {
        QCOMPARE(r.method, QByteArray("GET"));
        QVERIFY(!r.hasHeader("access_token"));
        QVERIFY(!r.hasHeader("device_type"));
        QVERIFY(!r.hasHeader("content-type"));
        QVERIFY(r.body.isEmpty());
        return;
    }
    QCOMPARE(r.method, QByteArray("POST"));
    QCOMPARE(r.header("content-type"), QByteArray("application/json"));
    QCOMPARE(r.header("device_type"), QByteArray("client"));
    QCOMPARE(r.hasHeader("access_token"), !token.isEmpty());
    if (!token.isEmpty())
        QCOMPARE(r.header("access_token"), token.toLatin1());
    QCOMPARE(r.body, QJsonDocument(body).toJson(QJsonDocument::Compact));
}

void TestInterNetWorkManager::statusAndBody_data()
{
    QTest::addColumn<QnHttpResponse>("response");
    QTest::addColumn<int>("status");
    QTest::addColumn<QJsonObject>("object");
    const QJsonObject ok{{"code", 200}, {"msg", "ok"}, {"data", QJsonObject{{"id", 7}}}};
    const QJsonObject bad{{"code", 500}, {"msg", "broken"}};
    QTest::newRow("200 JSON") << QnHttpResponse::json(ok) << 200 << ok;
    QTest::newRow("500 JSON") << QnHttpResponse::json(bad, 500) << 500 << bad;
    QTest::newRow("200 not JSON") << QnHttpResponse::raw(200, "<html>") << 200 << QJsonObject();
    QTest::newRow("200 JSON array") << QnHttpResponse::raw(200, "[1,2]", "application/json") << 200
                                    << QJsonObject();
    QTest::newRow("404 without route") << QnHttpResponse() << 404 << QJsonObject();
    QTest::newRow("redirect not followed") << QnHttpResponse::redirect("/elsewhere") << 302 << QJsonObject();
    QTest::newRow("dropped connection") << QnHttpResponse::dropped() << 0 << QJsonObject();
}

void TestInterNetWorkManager::statusAndBody()
{
    QFETCH(QnHttpResponse, response);
    QFETCH(int, status);
    QFETCH(QJsonObject, object);
    if (QString(QTest::currentDataTag()) != QLatin1String("404 without route"))
        m_server->setRoute("POST", "/gateway/p", response);
    const HttpResultInfo r = waitPost("/p", {{"a", 1}});
    QCOMPARE(r.requestPath, QString("/p"));
    QCOMPARE(r.statusCode, status);
    QCOMPARE(r.replyObject, object);
}

void TestInterNetWorkManager::getAppendsSuffixAndHostOverridesBase()
{
    m_server->setRoute("GET", "/gateway/user/check/13800000000", QnHttpResponse::json({{"code", 200}}));
    m_server->setRoute("GET", "/other/path", QnHttpResponse::json({{"code", 201}}));
    QList<HttpResultInfo> got;
    auto cb = [&](HttpResultInfo &r) { got << r; };
    m_client->httpGet("/user/check/", "13800000000", cb);
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), 1, 20000);
    m_client->httpGet("/other/path", "", cb, m_server->baseUrl());
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), 2, 20000);
    QCOMPARE(got.at(0).statusCode, 200);
    QCOMPARE(got.at(0).requestPath, QString("/user/check/"));
    QCOMPARE(got.at(1).replyObject.value("code").toInt(), 201);

    // The service unreachable: status 0 and an empty object.
    m_client->setSiteAddress(QStringLiteral("http://127.0.0.1:%1").arg(closedPort()));
    m_client->httpGet("/user/check/", "1", cb);
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), 3, 20000);
    QCOMPARE(got.at(2).statusCode, 0);
    QVERIFY(got.at(2).replyObject.isEmpty());
}

void TestInterNetWorkManager::emptyCallbackStillSends()
{
    m_server->setRoute("POST", "/gateway/fire", QnHttpResponse::json({{"code", 200}}));
    m_client->httpPost("/fire", {{"x", 1}}, HttpResultCallback());
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests().size(), 1, 20000);
}

void TestInterNetWorkManager::goneContextIsNotCalledBack()
{
    m_server->setRoute("", "/gateway/slow", [] {
        QnHttpResponse r = QnHttpResponse::json({{"code", 200}});
        r.delayMs = 300;
        return r;
    }());
    int goneCalls = 0;
    int aliveCalls = 0;
    auto *page = new QObject;
    QObject alive;
    m_client->httpPost(page, "/slow", {}, [&](HttpResultInfo &) { ++goneCalls; });
    m_client->httpGet(page, "/slow", "", [&](HttpResultInfo &) { ++goneCalls; });
    m_client->httpPost(&alive, "/slow", {}, [&](HttpResultInfo &) { ++aliveCalls; });
    m_client->httpGet(&alive, "/slow", "", [&](HttpResultInfo &) { ++aliveCalls; });
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests().size(), 4, 20000);
    delete page; // the page closes while its requests are out
    QTRY_COMPARE_WITH_TIMEOUT(aliveCalls, 2, 20000);
    QTest::qWait(500); // the gone page's replies come with the same delay
    QCOMPARE(goneCalls, 0);
}

void TestInterNetWorkManager::uploadProgressThenOneFinished()
{
    m_server->setRoute("POST", "/gateway/avatar",
                       QnHttpResponse::json({{"code", 200}, {"data", "http://x/a.png"}}));
    const QString path = m_dir->filePath("head.png");
    QByteArray bytes("\x89PNG\r\n\x1a\n", 8);
    bytes.append(QByteArray(200 * 1024, 'p'));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QList<HttpFileResult> reports;
    m_client->uploadFile("/avatar", path, [&](const HttpFileResult &r) { reports << r; });
    QTRY_VERIFY_WITH_TIMEOUT(!reports.isEmpty() && reports.last().finished, 20000);
    QTest::qWait(100);

    QVERIFY(reports.size() >= 2);
    for (int i = 0; i < reports.size() - 1; ++i) {
        QCOMPARE(reports.at(i).finished, false);
        QCOMPARE(reports.at(i).statusCode, 200);
        QCOMPARE(reports.at(i).filePath, path);
        QVERIFY(reports.at(i).current <= reports.at(i).total);
    }
    QVERIFY(std::any_of(reports.begin(), reports.end() - 1,
                        [](const HttpFileResult &r) { return r.total > 0 && r.current == r.total; }));
    const HttpFileResult last = reports.last();
    QCOMPARE(last.statusCode, 200);
    QCOMPARE(last.requestPath, QString("/avatar"));
    QCOMPARE(last.replyObject.value("data").toString(), QString("http://x/a.png"));

    const QnHttpRecordedRequest req = m_server->requests().first();
    QCOMPARE(req.header("content-type"), kUploadContentType);
    QList<QnSimFormPart> parts;
    QCOMPARE(qnSimParseMultipart(req.body, qnSimBoundary(req.header("content-type")), &parts),
             QnSimParseResult::Ok);
    QCOMPARE(parts.size(), 1);
    QCOMPARE(parts.first().name, QString("file"));
    QCOMPARE(parts.first().fileName, QString("head.png"));
    QCOMPARE(parts.first().contentType, QByteArray("image/png"));
    QCOMPARE(parts.first().body, bytes);
}

void TestInterNetWorkManager::uploadHttpErrorReportsErrorThenFinished()
{
    m_server->setRoute("POST", "/gateway/avatar", QnHttpResponse::json({{"code", 500}}, 500));
    const QString path = m_dir->filePath("a.txt");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("abc");
    }
    QList<HttpFileResult> reports;
    m_client->uploadFile("/avatar", path, [&](const HttpFileResult &r) { reports << r; });
    QTRY_VERIFY_WITH_TIMEOUT(!reports.isEmpty() && reports.last().finished, 20000);
    QTest::qWait(100);
    QList<HttpFileResult> errors;
    std::copy_if(reports.begin(), reports.end(), std::back_inserter(errors),
                 [](const HttpFileResult &r) { return !r.finished && r.statusCode != 200; });
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.first().statusCode, int(QNetworkReply::InternalServerError));
    QCOMPARE(
        std::count_if(reports.begin(), reports.end(), [](const HttpFileResult &r) { return r.finished; }), 1);
    // The finished report carries the real status, so a failed upload never reads as a success.
    QCOMPARE(reports.last().statusCode, 500);
    QCOMPARE(reports.last().replyObject.value("code").toInt(), 500);

    // The service unreachable: the error number, then finished with that number.
    reports.clear();
    m_client->uploadFile(
        "/avatar", path, [&](const HttpFileResult &r) { reports << r; },
        QStringLiteral("http://127.0.0.1:%1").arg(closedPort()));
    QTRY_VERIFY_WITH_TIMEOUT(!reports.isEmpty() && reports.last().finished, 20000);
    QCOMPARE(reports.first().statusCode, int(QNetworkReply::ConnectionRefusedError));
    QCOMPARE(reports.last().statusCode, int(QNetworkReply::ConnectionRefusedError));
}

void TestInterNetWorkManager::uploadOfUnreadableFileSendsNothing()
{
    QList<HttpFileResult> reports;
    m_client->uploadFile("/avatar", m_dir->filePath("none.png"),
                         [&](const HttpFileResult &r) { reports << r; });
    QCOMPARE(reports.size(), 0); // never from inside the call
    QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, 5000);
    QCOMPARE(reports.first().finished, true);
    QCOMPARE(reports.first().statusCode, 0);
    QVERIFY(m_server->requests().isEmpty());
}

void TestInterNetWorkManager::downloadsThroughTheClient()
{
    m_server->setRoute("GET", "/heads/u1.png", QnHttpResponse::raw(200, "head", "image/png"));
    QList<HttpFileResult> reports;
    DownloadTask task;
    task.url = m_server->baseUrl() + "/heads/u1.png";
    task.savePath = m_dir->filePath("heads/u1.png");
    task.userData = QJsonObject{{"user", "u1"}};
    task.context = this;
    task.callback = [&](const HttpFileResult &r) {
        QCOMPARE(QThread::currentThread(), thread()); // reported on this thread through the context
        reports << r;
    };
    m_client->addDownloadTask(task);
    QTRY_VERIFY_WITH_TIMEOUT(!reports.isEmpty() && reports.last().finished, 20000);
    QCOMPARE(reports.last().statusCode, 200);
    QCOMPARE(reports.last().filePath, task.savePath);
    QCOMPARE(reports.last().userData.value("user").toString(), QString("u1"));
    QFile saved(task.savePath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("head"));
}

void TestInterNetWorkManager::addressFromSettings()
{
    qputenv("XDG_DATA_HOME", m_dir->path().toUtf8());
    {
        COption option(COption::configPath());
        option.setValue("system", "cloudUrl", m_server->baseUrl() + "/");
        option.setValue("system", "webUrl", "http://127.0.0.1:9/");
    }
    QCOMPARE(QnLynInterNetWorkManager::configuredSiteAddress(), m_server->baseUrl());
    QCOMPARE(QnLynInterNetWorkManager::configuredWebAddress(), QString("http://127.0.0.1:9"));
    QnLynInterNetWorkManager *client = QnLynInterNetWorkManager::instance();
    QCOMPARE(client, QnLynInterNetWorkManager::instance());
    QCOMPARE(client->baseAddress(), m_server->baseUrl() + "/gateway");
    QCOMPARE(client->webAddress(), QString("http://127.0.0.1:9"));
}

QTEST_GUILESS_MAIN(TestInterNetWorkManager)
#include "tst_qnlyninternetworkmanager.moc"
