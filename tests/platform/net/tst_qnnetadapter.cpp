#include "platform/net/QnNetAdapter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(QnNetInterfaceEntry)

// Route parsing and the join of the interface list with sysfs, on fixture trees built per case.
class TestQnNetAdapter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parseDefaultRoutes_data();
    void parseDefaultRoutes();
    void merge_data();
    void merge();
    void gatewayOfLowestMetric();

private:
    /// Writes one interface folder under root: files given as name=value, "device/driver" as a
    /// symlink to a driver folder when driver is not empty.
    static void writeLink(const QString &root, const QString &name, const QMap<QString, QByteArray> &files,
                          const QString &driver);
};

static const QByteArray kHeader =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

void TestQnNetAdapter::parseDefaultRoutes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("expected"); // "iface gateway metric"

    QTest::newRow("default via gateway")
        << kHeader + "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        << QStringList{"eth0 192.168.1.1 100"};
    QTest::newRow("on-link network is not a default route")
        << kHeader + "eth0\t0001A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
        << QStringList{};
    QTest::newRow("default without gateway flag reads 0.0.0.0")
        << kHeader + "wg0\t00000000\t0101A8C0\t0001\t0\t0\t0\t00000000\t0\t0\t0\n"
        << QStringList{"wg0 0.0.0.0 0"};
    QTest::newRow("route not up is skipped")
        << kHeader + "eth0\t00000000\t0101A8C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n"
        << QStringList{};
    QTest::newRow("two defaults in order")
        << kHeader + "wlan0\t00000000\t0100000A\t0003\t0\t0\t600\t00000000\t0\t0\t0\n" +
               "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        << QStringList{"wlan0 10.0.0.1 600", "eth0 192.168.1.1 100"};
    QTest::newRow("truncated line") << kHeader + "eth0\t00000000\t0101A8C0\t0003" << QStringList{};
    QTest::newRow("bad hex") << kHeader + "eth0\t0000000Z\t0101A8C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
                             << QStringList{};
    QTest::newRow("short hex field") << kHeader + "eth0\t0\t0101A8C0\t0003\t0\t0\t0\t0\t0\t0\t0\n"
                                     << QStringList{};
    QTest::newRow("empty") << QByteArray() << QStringList{};
    QTest::newRow("header only") << kHeader << QStringList{};
}

void TestQnNetAdapter::parseDefaultRoutes()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, expected);
    QStringList got;
    for (const QnNetDefaultRoute &r : qnParseDefaultRoutes(text))
        got << QStringLiteral("%1 %2 %3").arg(r.iface, r.gateway).arg(r.metric);
    QCOMPARE(got, expected);
}

void TestQnNetAdapter::writeLink(const QString &root, const QString &name,
                                 const QMap<QString, QByteArray> &files, const QString &driver)
{
    const QString dir = root + "/" + name;
    QVERIFY(QDir().mkpath(dir));
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (it.value() == "<dir>") {
            QVERIFY(QDir().mkpath(dir + "/" + it.key()));
            continue;
        }
        QFile f(dir + "/" + it.key());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(it.value() + "\n");
    }
    if (!driver.isEmpty()) {
        const QString drv = root + "/../drivers/" + driver;
        QVERIFY(QDir().mkpath(drv));
        QVERIFY(QDir().mkpath(dir + "/device"));
        QVERIFY(QFile::link(drv, dir + "/device/driver"));
    }
}

using Files = QMap<QString, QByteArray>;

void TestQnNetAdapter::merge_data()
{
    QTest::addColumn<Files>("files");    // sysfs files of interface "x0" (empty: no folder)
    QTest::addColumn<QString>("driver"); // hardware driver link, empty for software devices
    QTest::addColumn<QnNetInterfaceEntry>("entry");
    QTest::addColumn<QString>("expected"); // "type virtual linkUp description"

    QnNetInterfaceEntry e;
    e.index = 7;
    e.name = "x0";
    e.up = true;
    e.running = true;
    e.kind = QnNetAdapterType::Ethernet;
    e.mac = "02:00:00:00:00:07";
    e.ipv4 = QStringList{"192.168.1.20"};
    const Files wired{{"ifindex", "7"},
                      {"iflink", "7"},
                      {"type", "1"},
                      {"flags", "0x1003"},
                      {"operstate", "up"},
                      {"carrier", "1"},
                      {"address", "02:00:00:00:00:07"}};

    QTest::newRow("wired hardware up") << wired << "e1000e" << e << "eth hw up e1000e";
    Files f = wired;
    f["wireless"] = "<dir>";
    QTest::newRow("wireless folder marks Wi-Fi") << f << "iwlwifi" << e << "wifi hw up iwlwifi";
    f = wired;
    f["type"] = "801";
    QTest::newRow("802.11 link type") << f << "mac80211_hwsim" << e << "wifi hw up mac80211_hwsim";
    f = wired;
    f["operstate"] = "down";
    QTest::newRow("operstate down") << f << "e1000e" << e << "eth hw down e1000e";
    f["operstate"] = "lowerlayerdown";
    QTest::newRow("lower layer down") << f << "e1000e" << e << "eth hw down e1000e";
    f["operstate"] = "dormant";
    QTest::newRow("dormant") << f << "e1000e" << e << "eth hw down e1000e";
    f["operstate"] = "unknown";
    QTest::newRow("unknown with carrier") << f << "e1000e" << e << "eth hw up e1000e";
    f["carrier"] = "0";
    QTest::newRow("unknown without carrier") << f << "e1000e" << e << "eth hw down e1000e";
    f = wired;
    f["uevent"] = "DEVTYPE=bridge\nINTERFACE=x0";
    QTest::newRow("bridge is virtual") << f << "" << e << "eth virtual up bridge";
    f = wired;
    f["iflink"] = "8";
    QTest::newRow("veth: software with a peer") << f << "" << e << "eth virtual up veth";
    f = wired;
    f["type"] = "65534";
    f["tun_flags"] = "0x1001";
    QTest::newRow("tun is other") << f << "" << e << "other virtual up tun";
    f = wired;
    f["type"] = "772";
    QTest::newRow("loopback type is other") << f << "" << e << "other virtual up virtual";
    QnNetInterfaceEntry live = e;
    live.driver = "vmxnet3";
    QTest::newRow("ethtool driver wins") << wired << "e1000e" << live << "eth hw up vmxnet3";

    // sysfs of another namespace: the folder belongs to a different interface of the same name.
    f = wired;
    f["ifindex"] = "2";
    QnNetInterfaceEntry veth = e;
    veth.driver = "veth";
    QTest::newRow("foreign sysfs: from the entry") << f << "e1000e" << veth << "eth virtual up veth";
    f = wired;
    f["address"] = "02:00:00:00:00:99";
    QTest::newRow("foreign sysfs by MAC") << f << "e1000e" << veth << "eth virtual up veth";
    QnNetInterfaceEntry noCarrier = veth;
    noCarrier.running = false;
    QTest::newRow("no sysfs, no carrier") << Files{} << "" << noCarrier << "eth virtual down veth";
    QnNetInterfaceEntry wifi = e;
    wifi.kind = QnNetAdapterType::Wireless;
    wifi.driver = "iwlwifi";
    QTest::newRow("no sysfs, wireless entry") << Files{} << "" << wifi << "wifi hw up iwlwifi";
}

void TestQnNetAdapter::merge()
{
    QFETCH(Files, files);
    QFETCH(QString, driver);
    QFETCH(QnNetInterfaceEntry, entry);
    QFETCH(QString, expected);
    QTemporaryDir tmp;
    const QString root = tmp.path() + "/class/net";
    QVERIFY(QDir().mkpath(root));
    if (!files.isEmpty())
        writeLink(root, "x0", files, driver);
    const QList<QnNetAdapter> out = qnMergeAdapters({entry}, root, {});
    QCOMPARE(out.size(), 1);
    const QnNetAdapter &a = out.first();
    const QString type = a.type == QnNetAdapterType::Ethernet   ? "eth"
                         : a.type == QnNetAdapterType::Wireless ? "wifi"
                                                                : "other";
    const QString got = QStringLiteral("%1 %2 %3 %4")
                            .arg(type, a.isVirtual ? "virtual" : "hw", a.linkUp ? "up" : "down",
                                 a.description.isEmpty() ? "virtual" : a.description);
    QCOMPARE(got, expected);
    QCOMPARE(a.ipv4, entry.ipv4);
    QCOMPARE(a.mac, entry.mac);
    QVERIFY(!a.hasDefaultRoute);
}

void TestQnNetAdapter::gatewayOfLowestMetric()
{
    QnNetInterfaceEntry e;
    e.index = 3;
    e.name = "eth0";
    QnNetInterfaceEntry other = e;
    other.index = 4;
    other.name = "eth1";
    const QList<QnNetDefaultRoute> routes{{"eth0", "10.0.0.1", 600}, {"eth0", "10.0.0.254", 100}};
    const QList<QnNetAdapter> out = qnMergeAdapters({e, other}, "/nonexistent", routes);
    QCOMPARE(out.size(), 2);
    QVERIFY(out[0].hasDefaultRoute);
    QCOMPARE(out[0].gateway, QString("10.0.0.254"));
    QVERIFY(!out[1].hasDefaultRoute);
    QVERIFY(out[1].gateway.isEmpty());
}

QTEST_GUILESS_MAIN(TestQnNetAdapter)
#include "tst_qnnetadapter.moc"
