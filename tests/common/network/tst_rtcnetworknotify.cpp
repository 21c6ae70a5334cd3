#include "common/network/RtcNetworkDeviceNotify.h"
#include "common/network/ScreenUtil.h"

#include "tests/fixtures/netns/QnNetnsTestMain.h"
#include <QNetworkInterface>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <unistd.h>

namespace {
/// Records every notice with the thread it came on.
class Recorder : public rtc::RtcNetworkListener
{
public:
    QStringList notices;
    QList<QThread *> threads;
    void networkDisconnect(const std::string &id) override
    {
        notices << "down " + QString::fromStdString(id);
        threads << QThread::currentThread();
    }
    void networkConnect(const std::string &id) override
    {
        notices << "up " + QString::fromStdString(id);
        threads << QThread::currentThread();
    }
};
} // namespace

// Live, in a private network namespace with one veth pair: A (10.99.0.1/24, default route via
// 10.99.0.2) and its peer B. Each change must give exactly one notice, on the GUI thread; changes
// that leave the state as it was give none.
class TestRtcNetworkNotify : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void oneNoticePerChange();
    void noListenerNoCall();
    void programInstanceBelongsToTheApplication();
    void liveLocalIps();
    void noticesPerConnection();

private:
    static bool ip(const QStringList &args) { return QnSimNetns::run("ip", args); }
    QString m_a;
    QString m_b;
};

void TestRtcNetworkNotify::initTestCase()
{
    QVERIFY2(QnSimNetns::onlyOwnInterfaces(), "not in a private namespace");
    m_a = QStringLiteral("qn%1a").arg(::getpid());
    m_b = QStringLiteral("qn%1b").arg(::getpid());
    QVERIFY(QnSimNetns::addUplink(m_a, m_b));
}

void TestRtcNetworkNotify::cleanupTestCase()
{
    ip({"link", "del", m_a});
}

void TestRtcNetworkNotify::oneNoticePerChange()
{
    rtc::RtcNetworkDeviceNotify notify(nullptr, 100);
    QVERIFY(notify.isWatching());
    QVERIFY(notify.isConnected());
    Recorder rec;
    notify.addListener(&rec);
    QSignalSpy evaluated(&notify, &rtc::RtcNetworkDeviceNotify::evaluated);
    const QString down = "down " + m_a;
    const QString up = "up " + m_a;

    struct Step
    {
        QStringList command;
        QString notice; // empty: the state does not change
    };
    const QList<Step> steps{
        {{"route", "del", "default"}, down},
        {{"route", "add", "default", "via", "10.99.0.2", "dev", m_a}, up},
        {{"link", "set", m_b, "down"}, down}, // the peer goes: no carrier
        {{"link", "set", m_b, "up"}, up},
        {{"link", "set", m_a, "down"}, down}, // the adapter itself; its routes go with it
        {{"link", "set", m_a, "up"}, {}},     // up, but no default route yet
        {{"route", "add", "default", "via", "10.99.0.2", "dev", m_a}, up},
        {{"addr", "add", "10.99.7.1/24", "dev", m_b}, {}},
    };
    QStringList expected;
    for (const Step &s : steps) {
        const int before = evaluated.count();
        QVERIFY(ip(s.command));
        if (!s.notice.isEmpty())
            expected << s.notice;
        // Wait until the notifier has re-read the adapters after this change.
        QTRY_VERIFY_WITH_TIMEOUT(evaluated.count() > before && rec.notices.size() >= expected.size(), 10000);
        QCOMPARE(rec.notices, expected);
        QCOMPARE(notify.isConnected(), expected.last().startsWith("up"));
    }
    // One more harmless change, fully evaluated: nothing late arrived.
    const int before = evaluated.count();
    QVERIFY(ip({"addr", "del", "10.99.7.1/24", "dev", m_b}));
    QTRY_VERIFY_WITH_TIMEOUT(evaluated.count() > before, 10000);
    QCOMPARE(rec.notices, expected);
    for (QThread *t : qAsConst(rec.threads))
        QCOMPARE(t, QCoreApplication::instance()->thread());
    notify.removeListener();
}

void TestRtcNetworkNotify::noListenerNoCall()
{
    rtc::RtcNetworkDeviceNotify notify(nullptr, 50);
    Recorder rec;
    notify.addListener(&rec);
    notify.removeListener();
    QSignalSpy evaluated(&notify, &rtc::RtcNetworkDeviceNotify::evaluated);
    QVERIFY(ip({"route", "del", "default"}));
    QTRY_VERIFY_WITH_TIMEOUT(!evaluated.isEmpty() && !notify.isConnected(), 10000);
    QVERIFY(ip({"route", "add", "default", "via", "10.99.0.2", "dev", m_a}));
    QTRY_VERIFY_WITH_TIMEOUT(notify.isConnected(), 10000);
    QVERIFY(rec.notices.isEmpty());
}

void TestRtcNetworkNotify::programInstanceBelongsToTheApplication()
{
    rtc::RtcNetworkDeviceNotify *notify = rtc::RtcNetworkDeviceNotify::instance();
    QVERIFY(notify);
    QCOMPARE(notify, rtc::RtcNetworkDeviceNotify::instance());
    QCOMPARE(notify->parent(), QCoreApplication::instance());
    QVERIFY(notify->isWatching());
    QVERIFY(notify->isConnected());
}

void TestRtcNetworkNotify::liveLocalIps()
{
    // The namespace's veth with its gateway is the one usable adapter; its peer has no gateway.
    const auto ips = ScreenUtil::getLocalIps();
    QCOMPARE(ips.size(), size_t(1));
    const NetworkInfo info = ips.begin()->second;
    QCOMPARE(QString::fromStdString(info.ip), QString("10.99.0.1"));
    QCOMPARE(QString::fromStdString(info.adapterName), m_a);
    QCOMPARE(QString::fromStdString(info.name), m_a);
    QVERIFY(!info.wifi);
    const QNetworkInterface iface = QNetworkInterface::interfaceFromName(m_a);
    QCOMPARE(QString::fromStdString(info.mac), iface.hardwareAddress().toUpper());
    QVERIFY(ScreenUtil::isAdapterUp(static_cast<unsigned long>(iface.index())));
    QCOMPARE(QString::fromStdString(ScreenUtil::chooseAdapter(ips).ip), QString("10.99.0.1"));
    QVERIFY(!ScreenUtil::getComputerName().empty());
}

void TestRtcNetworkNotify::noticesPerConnection()
{
    // A second uplink C (10.98.0.1/24, its own default route) beside A: each connection is
    // reported on its own; changes of one say nothing about the other.
    const QString c = QStringLiteral("qn%1c").arg(::getpid());
    const QString d = QStringLiteral("qn%1d").arg(::getpid());
    rtc::RtcNetworkDeviceNotify notify(nullptr, 100);
    Recorder rec;
    notify.addListener(&rec);
    QSignalSpy evaluated(&notify, &rtc::RtcNetworkDeviceNotify::evaluated);
    struct Step
    {
        QList<QStringList> commands;
        QStringList notices; // in order: losses first, then gains
    };
    const QList<Step> steps{
        {QnSimNetns::secondUplinkCommands(c, d), {"up " + c}},
        {{{"link", "set", d, "down"}}, {"down " + c}}, // C loses its carrier; A stays up
        {{{"link", "set", d, "up"}}, {"up " + c}},
        {{{"addr", "add", "10.98.0.9/24", "dev", c}}, {"down " + c, "up " + c}}, // readdressed
        {{{"addr", "del", "10.99.0.1/24", "dev", m_a}}, {"down " + m_a}},        // A loses its address
        {{{"addr", "add", "10.99.0.1/24", "dev", m_a},
          {"route", "add", "default", "via", "10.99.0.2", "dev", m_a}},
         {"up " + m_a}},
        {{{"link", "del", c}}, {"down " + c}},
    };
    QStringList expected;
    for (const Step &step : steps) {
        for (const QStringList &command : step.commands)
            QVERIFY(ip(command));
        expected << step.notices;
        QTRY_VERIFY_WITH_TIMEOUT(rec.notices.size() >= expected.size(), 10000);
        // Let any late batch settle before comparing.
        const int before = evaluated.count();
        QVERIFY(ip({"addr", "add", "10.99.9.1/24", "dev", m_b}));
        QTRY_VERIFY_WITH_TIMEOUT(evaluated.count() > before, 10000);
        QVERIFY(ip({"addr", "del", "10.99.9.1/24", "dev", m_b}));
        QCOMPARE(rec.notices, expected);
        QVERIFY(notify.isConnected());
    }
    notify.removeListener();
}

int main(int argc, char **argv)
{
    return qnNetnsTestMain<TestRtcNetworkNotify, QCoreApplication>(argc, argv);
}
#include "tst_rtcnetworknotify.moc"
