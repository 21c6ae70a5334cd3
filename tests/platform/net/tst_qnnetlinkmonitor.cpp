#include "platform/net/QnNetAdapter.h"
#include "platform/net/QnNetLinkMonitor.h"

#include "tests/fixtures/netns/QnNetnsTestMain.h"
#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

// Live: the process runs in a private network namespace holding only loopback and its own veth
// pair, so the changes below touch nothing else.
class TestQnNetLinkMonitor : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void noticesOnChanges_data();
    void noticesOnChanges();
    void liveAdapterList();

private:
    static bool ip(const QStringList &args) { return QnSimNetns::run("ip", args); }
    QString m_a;
    QString m_b;
};

void TestQnNetLinkMonitor::initTestCase()
{
    QVERIFY2(QnSimNetns::onlyOwnInterfaces(), "not in a private namespace");
    m_a = QStringLiteral("qm%1a").arg(::getpid());
    m_b = QStringLiteral("qm%1b").arg(::getpid());
    QVERIFY(QnSimNetns::addUplink(m_a, m_b));
}

void TestQnNetLinkMonitor::cleanupTestCase()
{
    ip({"link", "del", m_a});
}

void TestQnNetLinkMonitor::noticesOnChanges_data()
{
    QTest::addColumn<QStringList>("change");
    QTest::addColumn<QStringList>("undo");
    QTest::newRow("route") << QStringList{"route", "del", "default"}
                           << QStringList{"route", "add", "default", "via", "10.99.0.2", "dev", "A"};
    QTest::newRow("address") << QStringList{"addr", "add", "10.99.1.1/24", "dev", "A"}
                             << QStringList{"addr", "del", "10.99.1.1/24", "dev", "A"};
    QTest::newRow("link") << QStringList{"link", "set", "B", "down"} << QStringList{"link", "set", "B", "up"};
}

void TestQnNetLinkMonitor::noticesOnChanges()
{
    QFETCH(QStringList, change);
    QFETCH(QStringList, undo);
    change.replaceInStrings(QRegularExpression("^A$"), m_a).replaceInStrings(QRegularExpression("^B$"), m_b);
    undo.replaceInStrings(QRegularExpression("^A$"), m_a).replaceInStrings(QRegularExpression("^B$"), m_b);
    QnNetLinkMonitor monitor;
    QVERIFY(monitor.start());
    QVERIFY(monitor.isRunning());
    QSignalSpy spy(&monitor, &QnNetLinkMonitor::changed);
    QVERIFY(ip(change));
    QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 1, 10000);
    spy.clear();
    QVERIFY(ip(undo));
    QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 1, 10000);
    monitor.stop();
    QVERIFY(!monitor.isRunning());
    spy.clear();
    QVERIFY(ip(change));
    QVERIFY(ip(undo));
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 0);
}

void TestQnNetLinkMonitor::liveAdapterList()
{
    const auto source = qnCreateSystemAdapterSource();
    QList<QnNetAdapter> list;
    const auto find = [&](const QString &name) {
        for (const QnNetAdapter &a : list) {
            if (a.name == name)
                return a;
        }
        return QnNetAdapter{};
    };
    // A new veth's operational state follows its peer's a moment after "ip link set up".
    QTRY_VERIFY_WITH_TIMEOUT((list = source->adapters(), find(m_a).linkUp), 5000);
    const QnNetAdapter a = find(m_a);
    QCOMPARE(a.name, m_a);
    QCOMPARE(a.type, QnNetAdapterType::Ethernet);
    QVERIFY(a.isVirtual);
    QCOMPARE(a.description, QString("veth"));
    QVERIFY(a.linkUp);
    QVERIFY(a.hasDefaultRoute);
    QCOMPARE(a.gateway, QString("10.99.0.2"));
    QCOMPARE(a.ipv4, QStringList{"10.99.0.1"});
    QCOMPARE(a.mac.size(), 17);
    QVERIFY(source->isLinkUp(a.index));
    const QnNetAdapter lo = find("lo");
    QCOMPARE(lo.type, QnNetAdapterType::Other);
    const QnNetAdapter b = find(m_b);
    QVERIFY(!b.hasDefaultRoute);
    QVERIFY(b.gateway.isEmpty());
    QCOMPARE(source->interfaceName(a.mac), m_a);
}

int main(int argc, char **argv)
{
    return qnNetnsTestMain<TestQnNetLinkMonitor, QCoreApplication>(argc, argv);
}
#include "tst_qnnetlinkmonitor.moc"
