#include "common/network/ScreenUtil.h"

#include "platform/net/QnNetAdapter.h"

#include <QtTest>

namespace {

/// Adapters from the table; names of the connections from two small maps.
class FixtureSource : public QnNetAdapterSource
{
public:
    QList<QnNetAdapter> list;
    QMap<QString, QString> wifiNames; // mac -> network name
    QList<QnNetAdapter> adapters() const override { return list; }
    QString wifiNetworkName(const QString &mac) const override { return wifiNames.value(mac); }
    QString interfaceName(const QString &mac) const override
    {
        for (const QnNetAdapter &a : list) {
            if (a.mac == mac)
                return a.name;
        }
        return {};
    }
    bool isLinkUp(int index) const override
    {
        for (const QnNetAdapter &a : list) {
            if (a.index == index)
                return a.linkUp;
        }
        return false;
    }
};

/// "name type ip gateway [flags]" with flags: down, virtual, desc=<text>, ip2=<addr>, mac=<n>.
QnNetAdapter adapter(const QString &line)
{
    const QStringList f = line.split(' ');
    static int index = 1;
    QnNetAdapter a;
    a.index = ++index;
    a.name = f.value(0);
    a.type = f.value(1) == "eth"    ? QnNetAdapterType::Ethernet
             : f.value(1) == "wifi" ? QnNetAdapterType::Wireless
                                    : QnNetAdapterType::Other;
    if (f.value(2) != "-")
        a.ipv4 << f.value(2);
    a.gateway = f.value(3) == "-" ? QString() : f.value(3);
    a.hasDefaultRoute = !a.gateway.isEmpty();
    a.linkUp = true;
    a.description = "e1000e";
    a.mac = QStringLiteral("02:00:00:00:00:%1").arg(a.index, 2, 10, QLatin1Char('0'));
    for (const QString &flag : f.mid(4)) {
        if (flag == "down")
            a.linkUp = false;
        else if (flag == "virtual")
            a.isVirtual = true;
        else if (flag.startsWith("desc="))
            a.description = flag.mid(5).replace('_', ' ');
        else if (flag.startsWith("ip2="))
            a.ipv4 << flag.mid(4);
    }
    return a;
}

} // namespace

class TestScreenUtil : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void filters_data();
    void filters();
    void chooseAdapter_data();
    void chooseAdapter();
    void connectionNames();
};

void TestScreenUtil::filters_data()
{
    QTest::addColumn<QStringList>("adapters");
    QTest::addColumn<QStringList>("expected"); // "ip adapterName wifi" in map order

    QTest::newRow("wired and wifi both kept")
        << QStringList{"eth0 eth 192.168.1.20 192.168.1.1", "wlan0 wifi 10.0.0.5 10.0.0.1"}
        << QStringList{"10.0.0.5 wlan0 1", "192.168.1.20 eth0 0"};
    QTest::newRow("map order is the text order of the address")
        << QStringList{"eth0 eth 10.0.0.9 10.0.0.1", "eth1 eth 10.0.0.10 10.0.0.1"}
        << QStringList{"10.0.0.10 eth1 0", "10.0.0.9 eth0 0"};
    QTest::newRow("link down dropped though it has an address")
        << QStringList{"eth0 eth 192.168.1.20 192.168.1.1 down"} << QStringList{};
    QTest::newRow("no gateway dropped") << QStringList{"eth0 eth 192.168.1.20 -"} << QStringList{};
    QTest::newRow("gateway 0.0.0.0 dropped") << QStringList{"wg0 eth 10.8.0.2 0.0.0.0"} << QStringList{};
    QTest::newRow("other types dropped")
        << QStringList{"lo other 127.0.0.1 127.0.0.1", "tun0 other 10.8.0.2 10.8.0.1"} << QStringList{};
    QTest::newRow("Hyper-V description dropped")
        << QStringList{"eth0 eth 172.20.0.2 172.20.0.1 desc=Hyper-V_Virtual_Ethernet_Adapter"}
        << QStringList{};
    QTest::newRow("VMware description dropped")
        << QStringList{"eth0 eth 192.168.56.1 192.168.56.2 desc=VMware_Virtual_Ethernet_Adapter_for_VMnet8"}
        << QStringList{};
    QTest::newRow("Npcap loopback dropped")
        << QStringList{"eth0 eth 10.1.1.1 10.1.1.2 desc=Npcap_Loopback_Adapter"} << QStringList{};
    QTest::newRow("lower-case vmware is not matched")
        << QStringList{"eth0 eth 192.168.8.2 192.168.8.1 desc=vmware_adapter"}
        << QStringList{"192.168.8.2 eth0 0"};
    QTest::newRow("software bridge dropped")
        << QStringList{"virbr0 eth 192.168.122.1 192.168.122.254 virtual desc=bridge"} << QStringList{};
    QTest::newRow("veth of a namespace kept")
        << QStringList{"v0 eth 10.99.0.1 10.99.0.2 virtual desc=veth"} << QStringList{"10.99.0.1 v0 0"};
    QTest::newRow("no IPv4 address dropped") << QStringList{"eth0 eth - 192.168.1.1"} << QStringList{};
    QTest::newRow("first address is the ip")
        << QStringList{"eth0 eth 192.168.1.20 192.168.1.1 ip2=192.168.1.21"}
        << QStringList{"192.168.1.20 eth0 0"};
    QTest::newRow("same address twice: first adapter kept")
        << QStringList{"eth0 eth 192.168.1.20 192.168.1.1", "eth1 eth 192.168.1.20 192.168.1.1"}
        << QStringList{"192.168.1.20 eth0 0"};
    QTest::newRow("empty list") << QStringList{} << QStringList{};
}

void TestScreenUtil::filters()
{
    QFETCH(QStringList, adapters);
    QFETCH(QStringList, expected);
    FixtureSource source;
    for (const QString &line : adapters)
        source.list << adapter(line);
    QStringList got;
    for (const auto &entry : ScreenUtil::getLocalIps(source)) {
        QCOMPARE(QString::fromStdString(entry.first), QString::fromStdString(entry.second.ip));
        QVERIFY(entry.second.extra.empty());
        got << QStringLiteral("%1 %2 %3")
                   .arg(QString::fromStdString(entry.second.ip),
                        QString::fromStdString(entry.second.adapterName))
                   .arg(entry.second.wifi ? 1 : 0);
    }
    QCOMPARE(got, expected);
}

void TestScreenUtil::chooseAdapter_data()
{
    QTest::addColumn<QStringList>("adapters");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("wifi preferred over wired")
        << QStringList{"eth0 eth 10.0.0.2 10.0.0.1", "wlan0 wifi 192.168.1.5 192.168.1.1"} << "192.168.1.5";
    QTest::newRow("first wifi in address order")
        << QStringList{"wlan1 wifi 192.168.2.5 192.168.2.1", "wlan0 wifi 192.168.10.5 192.168.10.1"}
        << "192.168.10.5";
    QTest::newRow("first wired without wifi")
        << QStringList{"eth1 eth 10.0.0.9 10.0.0.1", "eth0 eth 10.0.0.10 10.0.0.1"} << "10.0.0.10";
    QTest::newRow("none") << QStringList{"eth0 eth 10.0.0.9 -"} << "";
}

void TestScreenUtil::chooseAdapter()
{
    QFETCH(QStringList, adapters);
    QFETCH(QString, chosen);
    FixtureSource source;
    for (const QString &line : adapters)
        source.list << adapter(line);
    const NetworkInfo info = ScreenUtil::chooseAdapter(ScreenUtil::getLocalIps(source));
    QCOMPARE(QString::fromStdString(info.ip), chosen);
}

void TestScreenUtil::connectionNames()
{
    FixtureSource source;
    source.list << adapter("wlan0 wifi 192.168.1.5 192.168.1.1") << adapter("eth0 eth 10.0.0.2 10.0.0.1");
    source.wifiNames.insert(source.list[0].mac, QStringLiteral("Classroom 5G"));
    const auto ips = ScreenUtil::getLocalIps(source);
    QCOMPARE(ips.size(), size_t(2));
    const NetworkInfo wifi = ips.at("192.168.1.5");
    QCOMPARE(wifi.name, std::string("Classroom 5G"));
    QCOMPARE(QString::fromStdString(wifi.mac), source.list[0].mac);
    QVERIFY(wifi.wifi);
    QCOMPARE(ips.at("10.0.0.2").name, std::string("eth0"));
    // A Wi-Fi adapter whose network name is unknown gets an empty name.
    QCOMPARE(ScreenUtil::getConnectionName(source, true, "02:00:00:00:00:99"), std::string());
    QCOMPARE(ScreenUtil::getConnectionName(source, false, "02:00:00:00:00:99"), std::string());
}

QTEST_GUILESS_MAIN(TestScreenUtil)
#include "tst_screenutil.moc"
