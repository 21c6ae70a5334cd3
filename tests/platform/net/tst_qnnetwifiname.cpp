#include "platform/net/QnNetWifiName.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QThread>
#include <QtTest>

namespace {

const QString kNm = QStringLiteral("org.freedesktop.NetworkManager");

/// A small NetworkManager: four devices, two Wi-Fi ones activated. Answers GetDevices and
/// Properties.Get. It lives on a thread of its own: the code under test blocks its caller.
class FakeNetworkManager : public QDBusVirtualObject
{
public:
    struct Device
    {
        uint type;
        uint state;
        QString hw;
        QString connectionId;
    };
    QList<Device> devices{{2, 100, "02:00:00:00:00:01", "Classroom"},
                          {1, 100, "02:00:00:00:00:02", "Wired connection 1"},
                          {2, 30, "02:00:00:00:00:03", ""},
                          {2, 100, "02:00:00:00:00:04", "Staff"},
                          {2, 100, "02:00:00:00:00:0A", "Lab"}};

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        const QString path = message.path();
        if (message.member() == "GetDevices") {
            QList<QDBusObjectPath> paths;
            for (int i = 0; i < devices.size(); ++i)
                paths << QDBusObjectPath(QStringLiteral("/org/freedesktop/NetworkManager/Devices/%1").arg(i));
            connection.send(message.createReply(QVariant::fromValue(paths)));
            return true;
        }
        if (message.member() != "Get" || message.arguments().size() != 2)
            return false;
        const QString iface = message.arguments().at(0).toString();
        const QString name = message.arguments().at(1).toString();
        const int index = path.section('/', -1).toInt();
        if (index < 0 || index >= devices.size())
            return false;
        const Device &d = devices.at(index);
        QVariant value;
        if (path.contains("/ActiveConnection/") && name == "Id")
            value = d.connectionId;
        else if (iface == kNm + ".Device" && name == "DeviceType")
            value = d.type;
        else if (iface == kNm + ".Device" && name == "State")
            value = d.state;
        else if (iface == kNm + ".Device" && name == "ActiveConnection")
            value = QVariant::fromValue(QDBusObjectPath(
                d.state == 100
                    ? QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/%1").arg(index)
                    : QStringLiteral("/")));
        else if (iface == kNm + ".Device.Wireless" && name == "HwAddress")
            value = d.hw;
        else
            return false;
        connection.send(message.createReply(QVariant::fromValue(QDBusVariant(value))));
        return true;
    }
};

} // namespace

// NetworkManager's answers decide the Wi-Fi network name; a private bus stands in for the system bus.
class TestQnNetWifiName : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void withoutNetworkManager();
    void names_data();
    void names();

private:
    QProcess m_bus;
    QThread m_thread;
    std::unique_ptr<FakeNetworkManager> m_nm;
};

void TestQnNetWifiName::initTestCase()
{
    m_bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    QVERIFY(m_bus.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_bus.canReadLine(), 10000);
    const QByteArray address = m_bus.readLine().trimmed();
    QVERIFY(!address.isEmpty());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address); // before the first use of the system bus
    m_thread.setObjectName("fake-nm");
    m_thread.start();
}

void TestQnNetWifiName::cleanupTestCase()
{
    m_thread.quit();
    m_thread.wait();
    if (m_nm) {
        QDBusConnection server(QStringLiteral("fake-nm"));
        server.unregisterObject("/org/freedesktop/NetworkManager", QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-nm"));
        m_nm.reset();
    }
    QDBusConnection::disconnectFromBus(QDBusConnection::systemBus().name());
    m_bus.kill();
    m_bus.waitForFinished();
}

void TestQnNetWifiName::withoutNetworkManager()
{
    QCOMPARE(qnNmWifiNetworkName("02:00:00:00:00:04"), QString());
}

void TestQnNetWifiName::names_data()
{
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("name");
    QTest::newRow("adapter with this MAC") << "02:00:00:00:00:04"
                                           << "Staff";
    QTest::newRow("MAC in lower case") << "02:00:00:00:00:0a"
                                       << "Lab";
    QTest::newRow("unknown MAC: first activated Wi-Fi") << "02:00:00:00:00:99"
                                                        << "Classroom";
    QTest::newRow("wired device's MAC is not Wi-Fi") << "02:00:00:00:00:02"
                                                     << "Classroom";
    QTest::newRow("inactive Wi-Fi device") << "02:00:00:00:00:03"
                                           << "Classroom";
    QTest::newRow("no MAC") << ""
                            << "Classroom";
}

void TestQnNetWifiName::names()
{
    QFETCH(QString, mac);
    QFETCH(QString, name);
    if (!m_nm) {
        // Served from a connection of its own.
        m_nm = std::make_unique<FakeNetworkManager>();
        QDBusConnection server = QDBusConnection::connectToBus(qgetenv("DBUS_SYSTEM_BUS_ADDRESS"), "fake-nm");
        QVERIFY(server.isConnected());
        QVERIFY(server.registerVirtualObject("/org/freedesktop/NetworkManager", m_nm.get(),
                                             QDBusConnection::SubPath));
        m_nm->moveToThread(&m_thread);
        QVERIFY(server.registerService(kNm));
    }
    QCOMPARE(qnNmWifiNetworkName(mac), name);
}

QTEST_GUILESS_MAIN(TestQnNetWifiName)
#include "tst_qnnetwifiname.moc"
