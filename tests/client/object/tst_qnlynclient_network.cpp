// The client object on the live network notices, in a private network namespace with two uplinks:
// failover from one connection to the other and a new address on a connection leave the client on
// the address of the adapter now in use.
#include "tests/fixtures/client/ClientTestUtil.h"
#include "tests/fixtures/netns/QnNetnsTestMain.h"

#include "common/network/RtcNetworkDeviceNotify.h"

#include <QGuiApplication>

#include <cstdio>
#include <unistd.h>

using namespace ClientTestUtil;

class TstQnLynClientNetwork : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void failoverAndReaddressing();

private:
    static bool ip(const QStringList &args) { return QnSimNetns::run("ip", args); }
    QString m_a, m_b, m_c, m_d;
};

void TstQnLynClientNetwork::initTestCase()
{
    QVERIFY2(QnSimNetns::onlyOwnInterfaces(), "not in a private namespace");
    const qint64 pid = ::getpid();
    m_a = QStringLiteral("qn%1a").arg(pid);
    m_b = QStringLiteral("qn%1b").arg(pid);
    m_c = QStringLiteral("qn%1c").arg(pid);
    m_d = QStringLiteral("qn%1d").arg(pid);
    // A: 10.99.0.1/24, default route via 10.99.0.2. C: 10.98.0.1/24, default route via 10.98.0.2.
    QVERIFY(QnSimNetns::addUplink(m_a, m_b));
    for (const QStringList &command : QnSimNetns::secondUplinkCommands(m_c, m_d))
        QVERIFY(ip(command));
}

void TstQnLynClientNetwork::cleanupTestCase()
{
    ip({"link", "del", m_a});
    ip({"link", "del", m_c});
}

void TstQnLynClientNetwork::failoverAndReaddressing()
{
    ClientRig rig;
    QnLynClientConfig config = rig.config();
    config.adapters = nullptr; // the live adapters of this namespace
    config.networkNotices = true;
    rig.make(config);
    QnLynClientObject *c = rig.client.get();
    auto own = [c] { return c->getCurrentIp().value("ip").toString(); };
    auto adapter = [c] { return QString::fromStdString(c->getNetworkInfo().adapterName); };
    QSignalSpy lost(c, &QnLynClientObject::networkDisconnection);
    QSignalSpy gained(c, &QnLynClientObject::networkConnection);

    // Both carry the network; the client uses the first in address order: C.
    QCOMPARE(own(), QString("10.98.0.1"));
    QCOMPARE(adapter(), m_c);

    // C loses its carrier: the client moves to A.
    QVERIFY(ip({"link", "set", m_d, "down"}));
    QTRY_COMPARE_WITH_TIMEOUT(own(), QString("10.99.0.1"), 10000);
    QCOMPARE(adapter(), m_a);
    QVERIFY(!lost.isEmpty());

    // A is given a new address in place of its old one: the client follows it.
    QVERIFY(ip({"addr", "flush", "dev", m_a}));
    QVERIFY(ip({"addr", "add", "10.99.0.7/24", "dev", m_a}));
    QVERIFY(ip({"route", "add", "default", "via", "10.99.0.2", "dev", m_a}));
    QTRY_COMPARE_WITH_TIMEOUT(own(), QString("10.99.0.7"), 10000);
    QCOMPARE(adapter(), m_a);

    // C comes back: it is first in address order again.
    const int before = gained.count();
    QVERIFY(ip({"link", "set", m_d, "up"}));
    QTRY_COMPARE_WITH_TIMEOUT(own(), QString("10.98.0.1"), 10000);
    QVERIFY(gained.count() > before);
    QCOMPARE(adapter(), m_c);
}

int main(int argc, char **argv)
{
    return qnNetnsTestMain<TstQnLynClientNetwork, QGuiApplication>(argc, argv, [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    });
}
#include "tst_qnlynclient_network.moc"
