#include "tests/update/UpdateTestEnv.h"
#include "update/src/UpdateCheck.h"
#include "update/src/UpdateFiles.h"

#include <QNetworkReply>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

// The update check: the version rule, the reply format, the folder id, and UpdateMain against a
// loopback cloud.
class TestUpdateCheck : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void versionRule_data();
    void versionRule();
    void folderId_data();
    void folderId();
    void updateFolders();
    void sizeValue_data();
    void sizeValue();
    void packageUrl_data();
    void packageUrl();
    void packageFileName_data();
    void packageFileName();
    void md5Text();
    void checkThroughCloud_data();
    void checkThroughCloud();
    void requestAndExeName();
    void fiveGiBReportedExactly();
    void failedCheckKeepsLastResult();
    void unansweredCheckEndsQuietly();

private:
    UpdateTestEnv m_env;
};

namespace {

// Waits until every check request of main has been answered and handled.
bool checksSettled(UpdateMain &main)
{
    return QTest::qWaitFor([&] { return main.findChildren<QNetworkReply *>().isEmpty(); }, 10000);
}

} // namespace

void TestUpdateCheck::initTestCase()
{
    QVERIFY(m_env.start());
}

void TestUpdateCheck::versionRule_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("force");
    QTest::addColumn<int>("state");
    // Running version 1.0.6; -1: fewer than three parts, the state stays.
    QTest::newRow("1.0.7") << "1.0.7" << 0 << 1;
    QTest::newRow("1.1.0") << "1.1.0" << 0 << 1;
    QTest::newRow("2.0.0") << "2.0.0" << 0 << 1;
    QTest::newRow("1.0.6") << "1.0.6" << 0 << 0;
    QTest::newRow("1.0.6.9: fourth part ignored") << "1.0.6.9" << 0 << 0;
    QTest::newRow("0.9.9") << "0.9.9" << 0 << 0;
    QTest::newRow("1.0.7 forced") << "1.0.7" << 1 << 2;
    QTest::newRow("1.0.6 forced") << "1.0.6" << 1 << 0;
    QTest::newRow("1..7: empty part counts 0") << "1..7" << 0 << 1;
    QTest::newRow("1. .7: one-space part dropped") << "1. .7" << 0 << -1;
    QTest::newRow("1.0") << "1.0" << 0 << -1;
    QTest::newRow("numbers, not text: 1.0.10") << "1.0.10" << 0 << 1;
    QTest::newRow("not numbers count 0") << "a.b.c" << 0 << 0;
    QTest::newRow("force other than 1") << "1.0.7" << 2 << 1;
}

void TestUpdateCheck::versionRule()
{
    QFETCH(QString, server);
    QFETCH(int, force);
    QFETCH(int, state);
    QCOMPARE(UpdateCheck::evaluateState(server, "1", "0", "6", force), state);
}

void TestUpdateCheck::folderId_data()
{
    QTest::addColumn<QString>("appDir");
    QTest::addColumn<QString>("id");
    QTest::newRow("C:/a") << "C:/a"
                          << "QzovYQ";
    QTest::newRow("Linux folder") << "/opt/qnlyn"
                                  << "L29wdC9xbmx5bg";
    QTest::newRow("slash in Base64 removed") << "?>?"
                                             << "Pz4";
    QTest::newRow("plus in Base64 removed") << "~~~"
                                            << "fn5";
    QTest::newRow("UTF-8 text") << QString::fromUtf8("/home/\xe8\x80\x81\xe5\xb8\x88") << "L2hvbWUv6ICB5biI";
}

void TestUpdateCheck::folderId()
{
    QFETCH(QString, appDir);
    QFETCH(QString, id);
    QCOMPARE(UpdateFiles::folderId(appDir), id);
}

void TestUpdateCheck::updateFolders()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QVERIFY(data.startsWith(m_env.home.path()));
    QCOMPARE(UpdateFiles::updateDir("C:/a"), data + "/update/QzovYQ");
    QCOMPARE(UpdateFiles::stagedUpdateProgram("C:/a"), data + "/update/QzovYQ/update");
    UpdateMain main;
    main.setEnvironment(m_env.environment());
    QCOMPARE(main.updateDir(), UpdateFiles::updateDir(m_env.appDir()));
    QVERIFY(QFileInfo(data + "/update").isDir()); // the parent is made at construction
}

void TestUpdateCheck::sizeValue_data()
{
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<qint64>("size");
    QTest::newRow("number") << QJsonValue(1048576) << qint64(1048576);
    QTest::newRow("5 GiB") << QJsonValue(5368709120.0) << qint64(5368709120);
    QTest::newRow("rounded") << QJsonValue(1.6) << qint64(2);
    QTest::newRow("digits") << QJsonValue("1048576") << qint64(1048576);
    QTest::newRow("5 GiB digits") << QJsonValue("5368709120") << qint64(5368709120);
    QTest::newRow("negative") << QJsonValue(-5) << qint64(0);
    QTest::newRow("signed text") << QJsonValue("-1") << qint64(0);
    QTest::newRow("text") << QJsonValue("12MB") << qint64(0);
    QTest::newRow("missing") << QJsonValue() << qint64(0);
    QTest::newRow("huge") << QJsonValue(1e300) << qint64(0);
}

void TestUpdateCheck::sizeValue()
{
    QFETCH(QJsonValue, value);
    QFETCH(qint64, size);
    QCOMPARE(UpdateCheck::sizeValue(value), size);
}

void TestUpdateCheck::packageUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("http") << "http://cdn.example/setup.deb" << true;
    QTest::newRow("https") << "https://cdn.example/a/setup.bin?x=1" << true;
    QTest::newRow("HTTPS upper case") << "HTTPS://cdn.example/setup.deb" << true;
    QTest::newRow("ftp") << "ftp://cdn.example/setup.deb" << false;
    QTest::newRow("file") << "file:///etc/passwd" << false;
    QTest::newRow("no host") << "http:///setup.deb" << false;
    QTest::newRow("user information") << "http://user:pw@cdn.example/setup.deb" << false;
    QTest::newRow("relative") << "/setup.deb" << false;
    QTest::newRow("empty") << "" << false;
}

void TestUpdateCheck::packageUrl()
{
    QFETCH(QString, url);
    QFETCH(bool, accepted);
    QCOMPARE(UpdateFiles::isPackageUrl(QUrl(url)), accepted);
}

void TestUpdateCheck::packageFileName_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "http://h/dl/setup.exe"
                           << "setup.exe";
    QTest::newRow("query left out") << "http://h/dl/setup.deb?token=a/b&x=../../y"
                                    << "setup.deb";
    QTest::newRow("encoded separators") << "http://h/dl/..%2F..%2Fbashrc"
                                        << "bashrc";
    QTest::newRow("dot-dot") << "http://h/dl/.."
                             << "package";
    QTest::newRow("hidden name") << "http://h/dl/.profile"
                                 << "profile";
    QTest::newRow("folder") << "http://h/dl/"
                            << "package";
    QTest::newRow("odd characters") << "http://h/dl/a%20b$%5C.deb"
                                    << "a_b__.deb";
    QTest::newRow("long name keeps its suffix")
        << "http://h/" + QString(300, 'a') + ".deb" << QString(124, 'a') + ".deb";
}

void TestUpdateCheck::packageFileName()
{
    QFETCH(QString, url);
    QFETCH(QString, name);
    QCOMPARE(UpdateFiles::packageFileName(QUrl(url)), name);
}

void TestUpdateCheck::md5Text()
{
    QVERIFY(UpdateFiles::isMd5Hex("d41d8cd98f00b204e9800998ecf8427e"));
    QVERIFY(UpdateFiles::isMd5Hex("D41D8CD98F00B204E9800998ECF8427E"));
    QVERIFY(!UpdateFiles::isMd5Hex("d41d8cd98f00b204e9800998ecf8427"));
    QVERIFY(!UpdateFiles::isMd5Hex("g41d8cd98f00b204e9800998ecf8427e"));
    QVERIFY(!UpdateFiles::isMd5Hex(""));
}

void TestUpdateCheck::checkThroughCloud_data()
{
    QTest::addColumn<QJsonObject>("reply");
    QTest::addColumn<int>("httpStatus");
    QTest::addColumn<bool>("signalled");
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("packageMode");
    const QJsonObject info{{"app_url", "http://h/setup.deb"},
                           {"app_version", "1.0.7"},
                           {"app_update_desc", "n"},
                           {"app_size", 3145728},
                           {"md5", "d41d8cd98f00b204e9800998ecf8427e"}};
    const auto reply = [](const QJsonObject &updateInfo, int code = 200, bool has = true) {
        return QJsonObject{{"code", code},
                           {"data", QJsonObject{{"has_update", has}, {"update_info", updateInfo}}}};
    };
    QJsonObject forced = info;
    forced["app_force_update"] = 1;
    QJsonObject spaced = info;
    spaced["app_version"] = "1. .7";
    QTest::newRow("newer") << reply(info) << 200 << true << 1 << true;
    QTest::newRow("forced") << reply(forced) << 200 << true << 2 << true;
    QTest::newRow("fewer parts: old state, still signalled") << reply(spaced) << 200 << true << 0 << true;
    QTest::newRow("code 500") << reply(info, 500) << 200 << false << 0 << false;
    QTest::newRow("has_update false") << reply(info, 200, false) << 200 << false << 0 << false;
    QTest::newRow("HTTP 404") << reply(info) << 404 << false << 0 << false;
    QTest::newRow("not an object") << QJsonObject() << 200 << false << 0 << false;
}

void TestUpdateCheck::checkThroughCloud()
{
    QFETCH(QJsonObject, reply);
    QFETCH(int, httpStatus);
    QFETCH(bool, signalled);
    QFETCH(int, state);
    QFETCH(bool, packageMode);

    m_env.cloud.setRoute("GET", "/classroom/v1/appmanager/getupdate",
                         QnHttpResponse::json(reply, httpStatus));
    UpdateMain main;
    main.setEnvironment(m_env.environment());
    QSignalSpy checkState(&main, &UpdateMain::checkState);
    QSignalSpy updateInfo(&main, &UpdateMain::updateInfo);
    QCOMPARE(main.checkNewUpdate("1", "0", "6", "id"), 0);
    QVERIFY(checksSettled(main));
    QCOMPARE(checkState.size(), signalled ? 1 : 0);
    QCOMPARE(updateInfo.size(), signalled ? 1 : 0);
    QCOMPARE(main.packageMode(), packageMode);
    QCOMPARE(main.getUpdateInfo().value("state").toInt(), state);
    QCOMPARE(main.isForceUpdate(), state == 2);
    if (signalled) {
        QCOMPARE(checkState.at(0).at(0).toInt(), state);
        QCOMPARE(checkState.at(0).at(2).toString(), QStringLiteral("n"));
        QCOMPARE(updateInfo.at(0).at(0).toLongLong(), 3145728);
        QCOMPARE(
            main.getUpdateInfo().value("ver").toString(),
            reply.value("data").toObject().value("update_info").toObject().value("app_version").toString());
    }
}

void TestUpdateCheck::requestAndExeName()
{
    m_env.offer(QJsonObject{{"app_version", "1.0.7"}});
    m_env.cloud.clearRequests();
    UpdateMain main;
    main.setEnvironment(m_env.environment());
    main.setConfigDir(m_env.appDir());
    QVERIFY(UpdateTestEnv::check(main));
    const QnHttpRecordedRequest request = m_env.cloud.requests().value(0);
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.path, QStringLiteral("/classroom/v1/appmanager/getupdate"));
    QCOMPARE(request.query, QByteArray("appid=0c5a6b1e-2f3d-4a5b-8c7d-9e0f1a2b3c4d"));
    QCOMPARE(request.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
    QSettings ini(m_env.iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.value("exe/exeName").toString(), QCoreApplication::applicationName());
}

void TestUpdateCheck::fiveGiBReportedExactly()
{
    m_env.offer(
        QJsonObject{{"app_version", "1.0.7"}, {"app_size", 5368709120.0}, {"app_update_desc", "big"}});
    UpdateMain main;
    main.setEnvironment(m_env.environment());
    QSignalSpy updateInfo(&main, &UpdateMain::updateInfo);
    QVERIFY(UpdateTestEnv::check(main));
    QCOMPARE(updateInfo.at(0).at(0).toLongLong(), Q_INT64_C(5368709120));
    QCOMPARE(main.getUpdateInfo().value("totalsize").toLongLong(), Q_INT64_C(5368709120));
}

void TestUpdateCheck::failedCheckKeepsLastResult()
{
    m_env.offer(QJsonObject{{"app_version", "1.0.7"}, {"app_update_desc", "first"}, {"app_force_update", 1}});
    UpdateMain main;
    main.setEnvironment(m_env.environment());
    QVERIFY(UpdateTestEnv::check(main));
    m_env.cloud.setRoute("GET", "/classroom/v1/appmanager/getupdate", QnHttpResponse::json({{"code", 500}}));
    main.checkNewUpdate("1", "0", "6", "id");
    QVERIFY(checksSettled(main));
    const QVariantMap info = main.getUpdateInfo();
    QCOMPARE(info.value("state").toInt(), 2);
    QCOMPARE(info.value("ver").toString(), QStringLiteral("1.0.7"));
    QCOMPARE(info.value("content").toString(), QStringLiteral("first"));
}

void TestUpdateCheck::unansweredCheckEndsQuietly()
{
    m_env.cloud.setRoute("GET", "/classroom/v1/appmanager/getupdate", QnHttpResponse::silent());
    UpdateMain main;
    UpdateEnvironment env = m_env.environment();
    env.checkTimeoutMs = 300;
    main.setEnvironment(env);
    QSignalSpy checkState(&main, &UpdateMain::checkState);
    main.checkNewUpdate("1", "0", "6", "id");
    QVERIFY(checksSettled(main));
    QCOMPARE(checkState.size(), 0);
    QCOMPARE(main.getUpdateInfo().value("state").toInt(), 0);
}

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
