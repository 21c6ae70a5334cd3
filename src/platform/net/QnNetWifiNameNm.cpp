// Wi-Fi network name from NetworkManager over the system D-Bus.
#include "platform/net/QnNetWifiName.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcNetWifi, "qn.net.wifi")

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
constexpr int kTimeoutMs = 500;
constexpr uint kDeviceTypeWifi = 2;
constexpr uint kDeviceStateActivated = 100;

QVariant property(const QDBusConnection &bus, const QString &path, const QString &iface, const QString &name)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << iface << name;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

} // namespace

QString qnNmWifiNetworkName(const QString &mac)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.interface())
        return {};
    const QDBusReply<bool> registered = bus.interface()->isServiceRegistered(kService);
    if (!registered.isValid() || !registered.value())
        return {};

    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/org/freedesktop/NetworkManager"), kService, QStringLiteral("GetDevices"));
    const QDBusReply<QList<QDBusObjectPath>> devices = bus.call(call, QDBus::Block, kTimeoutMs);
    if (!devices.isValid()) {
        qCDebug(lcNetWifi) << "NetworkManager GetDevices failed:" << devices.error().message();
        return {};
    }
    QString firstActive;
    for (const QDBusObjectPath &dev : devices.value()) {
        const QString path = dev.path();
        const QString devIface = kService + QStringLiteral(".Device");
        if (property(bus, path, devIface, QStringLiteral("DeviceType")).toUInt() != kDeviceTypeWifi)
            continue;
        if (property(bus, path, devIface, QStringLiteral("State")).toUInt() != kDeviceStateActivated)
            continue;
        const QString active =
            property(bus, path, devIface, QStringLiteral("ActiveConnection")).value<QDBusObjectPath>().path();
        if (active.isEmpty() || active == QLatin1String("/"))
            continue;
        const QString id =
            property(bus, active, kService + QStringLiteral(".Connection.Active"), QStringLiteral("Id"))
                .toString();
        const QString hw =
            property(bus, path, devIface + QStringLiteral(".Wireless"), QStringLiteral("HwAddress"))
                .toString();
        if (!mac.isEmpty() && hw.compare(mac, Qt::CaseInsensitive) == 0)
            return id;
        if (firstActive.isEmpty())
            firstActive = id;
    }
    return firstActive;
}
