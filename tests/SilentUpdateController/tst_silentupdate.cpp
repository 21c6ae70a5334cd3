#include "SilentUpdateController/QnSilentUpdateController.h"
#include "SilentUpdateController/QnUdpController.h"
#include "platform/system/QnFakeElevation.h"
#include "tests/fixtures/http/QnHttpFixture.h"
#include "tests/fixtures/updater_service/QnUpdaterServiceFixture.h"

#include <QFile>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The silent updater: the version rule, the updater-service datagram as the service stand-in on
// 127.0.0.1:32199 receives it, the checks on its fields, the service start by process name, and
// whole checks against the loopback cloud.
class TestSilentUpdate : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void newerVersion_data();
    void newerVersion();
    void datagramKeysAndValues();
    void twoJobsTwoDatagrams();
    void unsoundJobNotSent_data();
    void unsoundJobNotSent();
    void serviceRunningIsNotStarted();
    void serviceNotRunningIsStarted();
    void checkThroughCloud_data();
    void checkThroughCloud();
    void shortVersionAsksNothing();

private:
    UpdateJobInfo soundJob() const;
    QnSilentUpdateOptions options(const QString &process);

    QnUpdaterServiceFixture m_service;
    QnHttpFixture m_cloud;
    QnUdpController m_udp;
    std::shared_ptr<QnFakeElevation> m_elevation = std::make_shared<QnFakeElevation>();
    QTemporaryDir m_dir;
};

void TestSilentUpdate::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("QnLynClient"));
    QVERIFY(m_service.listen()); // 127.0.0.1:32199, inside the test's network namespace
    QVERIFY(m_cloud.listen());
}

UpdateJobInfo TestSilentUpdate::soundJob() const
{
    UpdateJobInfo job;
    job.installType = 1;
    job.appName = QStringLiteral("QnLynClient");
    job.url = QStringLiteral("https://cdn.example.com/qnlyn/QnLynClient_1.0.7_amd64.deb");
    job.version = QStringLiteral("1.0.7");
    job.context = QString::fromUtf8("修复若干问题");
    job.md5 = QStringLiteral("0123456789abcdef0123456789abcdef");
    job.totalSize = Q_INT64_C(5368709120); // 5 GiB: beyond 32 bits
    job.contextSaveDir = QStringLiteral("/home/t/.local/share/QnLynClient");
    return job;
}

QnSilentUpdateOptions TestSilentUpdate::options(const QString &process)
{
    QnSilentUpdateOptions o;
    o.serviceProcess = process;
    o.unitDirs = QStringList{m_dir.filePath(QStringLiteral("no-units"))};
    o.elevation = m_elevation;
    o.udp = &m_udp;
    o.dataDir = m_dir.path();
    return o;
}

void TestSilentUpdate::newerVersion_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("newer");
    // Against the running "1.0.6.0".
    QTest::newRow("1.0.7") << "1.0.7" << true;
    QTest::newRow("1.0.6.5: fourth part not compared") << "1.0.6.5" << false;
    QTest::newRow("1.0.6") << "1.0.6" << false;
    QTest::newRow("1.1: two parts") << "1.1" << false;
    QTest::newRow("1..7: empty part counts 0") << "1..7" << true;
    QTest::newRow("2.0.0") << "2.0.0" << true;
    QTest::newRow("0.9.9") << "0.9.9" << false;
    QTest::newRow("1.0.10") << "1.0.10" << true;
    QTest::newRow("1. .7: the space part stays and counts 0") << "1. .7" << true;
}

void TestSilentUpdate::newerVersion()
{
    QFETCH(QString, server);
    QFETCH(bool, newer);
    QCOMPARE(QnSilentUpdateController::isNewerVersion(server, "1.0.6.0"), newer);
    QVERIFY(!QnSilentUpdateController::isNewerVersion("2.0.0", "1.0"));
}

void TestSilentUpdate::datagramKeysAndValues()
{
    m_service.clear();
    QVERIFY(m_udp.sendMsg(soundJob()));
    QTRY_COMPARE(m_service.datagrams().size(), 1);
    const QByteArray datagram = m_service.datagrams().at(0);
    // One compact object, keys in code-point order, the marker a string, the size whole.
    QCOMPARE(datagram,
             QString::fromUtf8("{\"QnUpdaterTitle\":\"508417\","
                               "\"appName\":\"QnLynClient\","
                               "\"context\":\"修复若干问题\","
                               "\"contextSaveDir\":\"/home/t/.local/share/QnLynClient\","
                               "\"installType\":1,"
                               "\"md5\":\"0123456789abcdef0123456789abcdef\","
                               "\"totalSize\":5368709120,"
                               "\"url\":\"https://cdn.example.com/qnlyn/QnLynClient_1.0.7_amd64.deb\","
                               "\"version\":\"1.0.7\"}")
                 .toUtf8());
    const QJsonObject object = QJsonDocument::fromJson(datagram).object();
    QCOMPARE(object.size(), 9);
    QVERIFY(object.value("QnUpdaterTitle").isString());
    QCOMPARE(object.value("totalSize").toVariant().toLongLong(), Q_INT64_C(5368709120));
}

void TestSilentUpdate::twoJobsTwoDatagrams()
{
    m_service.clear();
    UpdateJobInfo second = soundJob();
    second.version = QStringLiteral("1.0.8");
    QVERIFY(m_udp.sendMsg(soundJob()));
    QVERIFY(m_udp.sendMsg(second));
    QTRY_COMPARE(m_service.datagrams().size(), 2);
    QCOMPARE(QJsonDocument::fromJson(m_service.datagrams().at(0)).object().value("version").toString(),
             "1.0.7");
    QCOMPARE(QJsonDocument::fromJson(m_service.datagrams().at(1)).object().value("version").toString(),
             "1.0.8");
}

void TestSilentUpdate::unsoundJobNotSent_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::newRow("ftp url") << "url"
                             << "ftp://cdn.example.com/a.deb";
    QTest::newRow("file url") << "url"
                              << "file:///etc/shadow";
    QTest::newRow("no host") << "url"
                             << "https:///a.deb";
    QTest::newRow("user information") << "url"
                                      << "https://u:p@cdn.example.com/a.deb";
    QTest::newRow("backslash url") << "url"
                                   << "https:\\\\cdn.example.com\\a.deb";
    QTest::newRow("relative url") << "url"
                                  << "a.deb";
    QTest::newRow("short md5") << "md5"
                               << "0123456789abcdef";
    QTest::newRow("md5 not hexadecimal") << "md5"
                                         << "0123456789abcdef0123456789abcdeg";
    QTest::newRow("version with other text") << "version"
                                             << "1.0.7; rm -rf /";
    QTest::newRow("empty version") << "version"
                                   << "";
    QTest::newRow("no size") << "totalSize"
                             << "0";
    QTest::newRow("relative data folder") << "contextSaveDir"
                                          << "data";
    QTest::newRow("no application name") << "appName"
                                         << "";
    QTest::newRow("notes too large for a datagram") << "context" << QString(70000, 'x');
}

void TestSilentUpdate::unsoundJobNotSent()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    UpdateJobInfo job = soundJob();
    if (field == "url")
        job.url = value;
    else if (field == "md5")
        job.md5 = value;
    else if (field == "version")
        job.version = value;
    else if (field == "totalSize")
        job.totalSize = value.toLongLong();
    else if (field == "contextSaveDir")
        job.contextSaveDir = value;
    else if (field == "appName")
        job.appName = value;
    else
        job.context = value;
    QVERIFY(QnUdpController::checkJob(soundJob()).isEmpty());
    QVERIFY(!QnUdpController::checkJob(job).isEmpty());
    m_service.clear();
    QVERIFY(!m_udp.sendMsg(job));
    QVERIFY(m_udp.sendMsg(soundJob())); // a later sound job arrives alone
    QTRY_COMPARE(m_service.datagrams().size(), 1);
    QCOMPARE(QJsonDocument::fromJson(m_service.datagrams().at(0)).object().value("url").toString(),
             soundJob().url);
}

void TestSilentUpdate::serviceRunningIsNotStarted()
{
    // A copy of sleep under the service's process name stands in for the running service.
    const QString program = m_dir.filePath(QStringLiteral("ZoVazevoZuzeriz"));
    QFile::remove(program);
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), program));
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcess service;
    service.start(program, {QStringLiteral("60")});
    QVERIFY(service.waitForStarted());

    m_elevation->clear();
    QnSilentUpdateController controller(options(QStringLiteral("ZoVazevoZuzeriz")));
    QVERIFY(controller.serviceWasRunning());
    QVERIFY(m_elevation->calls().isEmpty());
    QnSilentUpdateOptions installed = options(QStringLiteral("ZoVazevoZuzeriz"));
    installed.startCommand = QStringList{"/opt/zv/start-service"};
    QnSilentUpdateController again(installed);
    QVERIFY(m_elevation->calls().isEmpty());
    service.kill();
    service.waitForFinished();
}

void TestSilentUpdate::serviceNotRunningIsStarted()
{
    // Not installed: nothing is asked for.
    m_elevation->clear();
    QnSilentUpdateController notInstalled(options(QStringLiteral("ZoVazevoZuzeriz")));
    QVERIFY(!notInstalled.serviceWasRunning());
    QVERIFY(m_elevation->calls().isEmpty());

    // Installed (its unit file present): started through systemctl with administrator rights.
    QTemporaryDir units;
    QFile unit(units.filePath(QStringLiteral("zovazevozuzeriz.service")));
    QVERIFY(unit.open(QIODevice::WriteOnly));
    unit.close();
    QnSilentUpdateOptions installed = options(QStringLiteral("ZoVazevoZuzeriz"));
    installed.unitDirs = QStringList{units.path()};
    QnSilentUpdateController controller(installed);
    QVERIFY(!controller.serviceWasRunning());
    const QList<QnFakeElevation::Call> calls = m_elevation->calls();
    QCOMPARE(calls.size(), 1);
    QVERIFY(calls.at(0).elevated);
    QCOMPARE(calls.at(0).start.program, QStringLiteral("systemctl"));
    QCOMPARE(calls.at(0).start.arguments, (QStringList{"start", "zovazevozuzeriz.service"}));

    // The start command is configurable.
    m_elevation->clear();
    QnSilentUpdateOptions o = options(QStringLiteral("ZoVazevoZuzeriz"));
    o.startCommand = QStringList{"/opt/zv/start-service", "--quiet"};
    QnSilentUpdateController other(o);
    QCOMPARE(m_elevation->calls().value(0).start.program, QStringLiteral("/opt/zv/start-service"));
    QCOMPARE(m_elevation->calls().value(0).start.arguments, QStringList{"--quiet"});
}

void TestSilentUpdate::checkThroughCloud_data()
{
    QTest::addColumn<QJsonObject>("reply");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<qint64>("totalSize");
    const QJsonObject info{{"app_url", "https://cdn.example.com/QnLynClient_1.0.7_amd64.deb"},
                           {"app_version", "1.0.7"},
                           {"app_update_desc", "notes"},
                           {"app_size", 5368709120.0},
                           {"md5", "0123456789abcdef0123456789abcdef"},
                           {"app_force_update", 1}};
    const auto reply = [](const QJsonObject &i, int code = 200, bool has = true) {
        return QJsonObject{{"code", code}, {"data", QJsonObject{{"has_update", has}, {"update_info", i}}}};
    };
    const auto with = [&info](const QString &key, const QJsonValue &value) {
        QJsonObject i = info;
        i[key] = value;
        return i;
    };
    QTest::newRow("forced 1.0.7") << reply(info) << true << qint64(5368709120);
    QTest::newRow("1.0.6.5: not newer") << reply(with("app_version", "1.0.6.5")) << false << qint64(0);
    QTest::newRow("not forced") << reply(with("app_force_update", 0)) << false << qint64(0);
    QTest::newRow("1.1: two parts") << reply(with("app_version", "1.1")) << false << qint64(0);
    QTest::newRow("1..7 forced") << reply(with("app_version", "1..7")) << true << qint64(5368709120);
    QTest::newRow("has_update false still sent") << reply(info, 200, false) << true << qint64(5368709120);
    QTest::newRow("size as digits") << reply(with("app_size", "1048576")) << true << qint64(1048576);
    QTest::newRow("code 500") << reply(info, 500) << false << qint64(0);
    QTest::newRow("ftp package refused")
        << reply(with("app_url", "ftp://cdn.example.com/a.deb")) << false << qint64(0);
    QTest::newRow("bad md5 refused") << reply(with("md5", "not-a-hash")) << false << qint64(0);
}

void TestSilentUpdate::checkThroughCloud()
{
    QFETCH(QJsonObject, reply);
    QFETCH(bool, sent);
    QFETCH(qint64, totalSize);

    m_cloud.setRoute("GET", "/classroom/v1/appmanager/getupdate", QnHttpResponse::json(reply));
    m_cloud.clearRequests();
    QnSilentUpdateController controller(options(QStringLiteral("ZoVazevoZuzeriz")));
    m_service.clear();
    controller.checkUpdate(1, "1.0.6.0", "0c5a6b1e-2f3d-4a5b-8c7d-9e0f1a2b3c4d", m_cloud.baseUrl());
    QVERIFY(QTest::qWaitFor([&] { return !m_cloud.requests().isEmpty(); }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return controller.findChildren<QNetworkReply *>().isEmpty(); }, 5000));
    QCOMPARE(m_cloud.requests().at(0).query, QByteArray("appid=0c5a6b1e-2f3d-4a5b-8c7d-9e0f1a2b3c4d"));
    if (sent) {
        QTRY_COMPARE(m_service.datagrams().size(), 1);
        const QJsonObject job = QJsonDocument::fromJson(m_service.datagrams().at(0)).object();
        QCOMPARE(job.value("QnUpdaterTitle").toString(), QStringLiteral("508417"));
        QCOMPARE(job.value("installType").toInt(), 1);
        QCOMPARE(job.value("appName").toString(), QStringLiteral("QnLynClient"));
        const QJsonObject info = reply.value("data").toObject().value("update_info").toObject();
        QCOMPARE(job.value("version").toString(), info.value("app_version").toString());
        QCOMPARE(job.value("url").toString(), info.value("app_url").toString());
        QCOMPARE(job.value("md5").toString(), info.value("md5").toString());
        QCOMPARE(job.value("context").toString(), QStringLiteral("notes"));
        QCOMPARE(job.value("totalSize").toVariant().toLongLong(), totalSize);
        QCOMPARE(job.value("contextSaveDir").toString(), m_dir.path());
    } else {
        // A datagram to loopback is queued at once; give the event loop a turn to read it.
        QTest::qWait(100);
        QCOMPARE(m_service.datagrams().size(), 0);
    }
}

void TestSilentUpdate::shortVersionAsksNothing()
{
    m_cloud.clearRequests();
    QnSilentUpdateController controller(options(QStringLiteral("ZoVazevoZuzeriz")));
    controller.checkUpdate(1, "1.0", "id", m_cloud.baseUrl());
    QTest::qWait(100);
    QCOMPARE(m_cloud.requests().size(), 0);
}

QTEST_GUILESS_MAIN(TestSilentUpdate)
#include "tst_silentupdate.moc"
