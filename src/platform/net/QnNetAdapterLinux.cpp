// Linux backend of the adapter list: QNetworkInterface for names, flags and addresses, ethtool for
// the driver, /sys/class/net for device kind and operational state, the route table for gateways,
// NetworkManager (QnNetWifiName.h) for the Wi-Fi network name.
#include "platform/net/QnNetAdapter.h"
#include "platform/net/QnNetWifiName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QNetworkInterface>

#include <cstring>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcNetAdapter, "qn.net.adapter")

namespace {

constexpr unsigned kRtfUp = 0x1;
constexpr unsigned kRtfGateway = 0x2;
constexpr int kArpEther = 1;
constexpr int kArpIeee80211 = 801;
constexpr unsigned kIffUp = 0x1;

QByteArray readSmallFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(4096).trimmed();
}

int readInt(const QString &path, int fallback)
{
    bool ok = false;
    const QByteArray text = readSmallFile(path);
    const int v = text.toInt(&ok, 0);
    return ok ? v : fallback;
}

/// What sysfs says about one interface.
struct SysfsLink
{
    bool present = false;
    int ifindex = -1;
    int iflink = -1;
    int arpType = -1;
    unsigned flags = 0;
    bool wireless = false;
    bool isVirtual = false;
    QByteArray operstate;
    int carrier = -1;
    QString mac;
    QString driver;
};

SysfsLink readSysfs(const QString &sysClassNet, const QString &name)
{
    SysfsLink link;
    const QString dir = sysClassNet + QLatin1Char('/') + name;
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || !QFileInfo(dir).isDir())
        return link;
    link.present = true;
    link.ifindex = readInt(dir + "/ifindex", -1);
    link.iflink = readInt(dir + "/iflink", -1);
    link.arpType = readInt(dir + "/type", -1);
    link.flags = static_cast<unsigned>(readInt(dir + "/flags", 0));
    link.wireless = QFileInfo::exists(dir + "/wireless") || QFileInfo::exists(dir + "/phy80211");
    link.operstate = readSmallFile(dir + "/operstate").toLower();
    link.carrier = readInt(dir + "/carrier", -1);
    link.mac = QString::fromLatin1(readSmallFile(dir + "/address")).toUpper();
    const QFileInfo device(dir + "/device");
    link.isVirtual = !device.exists();
    if (!link.isVirtual) {
        const QFileInfo driver(dir + "/device/driver");
        const QString target = driver.isSymLink() ? driver.symLinkTarget() : driver.canonicalFilePath();
        link.driver = QFileInfo(target).fileName();
    } else {
        // Software devices: the device type named in uevent, else what the files tell.
        const QList<QByteArray> lines = readSmallFile(dir + "/uevent").split('\n');
        for (const QByteArray &line : lines) {
            if (line.startsWith("DEVTYPE="))
                link.driver = QString::fromLatin1(line.mid(8));
        }
        if (link.driver.isEmpty() && QFileInfo::exists(dir + "/tun_flags"))
            link.driver = QStringLiteral("tun");
        if (link.driver.isEmpty() && link.iflink > 0 && link.iflink != link.ifindex)
            link.driver = QStringLiteral("veth");
    }
    return link;
}

bool sysfsLinkUp(const SysfsLink &link)
{
    if (link.operstate == "up")
        return true;
    // Drivers that do not report an operational state: administratively up with carrier.
    if (link.operstate == "unknown")
        return (link.flags & kIffUp) && link.carrier == 1;
    return false;
}

bool knownVirtualDriver(const QString &driver)
{
    static const QStringList kVirtual = {"veth",      "bridge", "tun",        "dummy",      "vxlan",
                                         "macvlan",   "ipvlan", "vlan",       "bond",       "team",
                                         "wireguard", "vmnet",  "vboxnetadp", "openvswitch"};
    return kVirtual.contains(driver);
}

QString ethtoolDriver(const QString &name)
{
    const QByteArray ifname = name.toLocal8Bit();
    if (ifname.isEmpty() || ifname.size() >= IFNAMSIZ)
        return {};
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    ifreq req{};
    std::memcpy(req.ifr_name, ifname.constData(), static_cast<size_t>(ifname.size()));
    req.ifr_data = reinterpret_cast<char *>(&info);
    QString driver;
    if (::ioctl(fd, SIOCETHTOOL, &req) == 0)
        driver = QString::fromLatin1(info.driver, static_cast<int>(strnlen(info.driver, sizeof info.driver)));
    ::close(fd);
    return driver;
}

QString ownProcNet(const QString &file)
{
    const QString threadSelf = QStringLiteral("/proc/thread-self/net/") + file;
    return QFileInfo::exists(threadSelf) ? threadSelf : QStringLiteral("/proc/net/") + file;
}

QStringList wirelessInterfaces()
{
    // /proc/net/wireless: two header lines, then "  name: ..." per wireless interface.
    QFile f(ownProcNet(QStringLiteral("wireless")));
    QStringList names;
    if (!f.open(QIODevice::ReadOnly))
        return names;
    const QList<QByteArray> lines = f.read(65536).split('\n');
    for (int i = 2; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0)
            names << QString::fromLatin1(lines[i].left(colon).trimmed());
    }
    return names;
}

QList<QnNetInterfaceEntry> liveInterfaces()
{
    const QStringList wireless = wirelessInterfaces();
    QList<QnNetInterfaceEntry> out;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : all) {
        QnNetInterfaceEntry e;
        e.index = iface.index();
        e.name = iface.name();
        e.up = iface.flags().testFlag(QNetworkInterface::IsUp);
        e.running = iface.flags().testFlag(QNetworkInterface::IsRunning);
        switch (iface.type()) {
        case QNetworkInterface::Ethernet:
            e.kind = wireless.contains(e.name) ? QnNetAdapterType::Wireless : QnNetAdapterType::Ethernet;
            break;
        case QNetworkInterface::Wifi:
            e.kind = QnNetAdapterType::Wireless;
            break;
        default:
            e.kind = QnNetAdapterType::Other;
        }
        e.driver = ethtoolDriver(e.name);
        e.mac = iface.hardwareAddress().toUpper();
        const QList<QNetworkAddressEntry> entries = iface.addressEntries();
        for (const QNetworkAddressEntry &a : entries) {
            if (a.ip().protocol() == QAbstractSocket::IPv4Protocol)
                e.ipv4 << a.ip().toString();
        }
        out << e;
    }
    return out;
}

class SystemAdapterSource final : public QnNetAdapterSource
{
public:
    explicit SystemAdapterSource(QnNetSystemPaths paths) : m_paths(std::move(paths)) {}

    QList<QnNetAdapter> adapters() const override
    {
        const QString routePath = m_paths.procNetRoute.isEmpty() ? ownProcNet("route") : m_paths.procNetRoute;
        QFile route(routePath);
        QByteArray routeText;
        if (route.open(QIODevice::ReadOnly))
            routeText = route.read(1 << 20);
        else
            qCWarning(lcNetAdapter) << "cannot read the route table" << routePath;
        return qnMergeAdapters(liveInterfaces(), m_paths.sysClassNet, qnParseDefaultRoutes(routeText));
    }

    QString wifiNetworkName(const QString &mac) const override
    {
        return m_paths.useNetworkManager ? qnNmWifiNetworkName(mac) : QString();
    }

    QString interfaceName(const QString &mac) const override
    {
        if (mac.isEmpty())
            return {};
        const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
        for (const QNetworkInterface &iface : all) {
            if (iface.hardwareAddress().compare(mac, Qt::CaseInsensitive) == 0)
                return iface.humanReadableName();
        }
        return {};
    }

    bool isLinkUp(int index) const override
    {
        const QList<QnNetAdapter> list = adapters();
        for (const QnNetAdapter &a : list) {
            if (a.index == index)
                return a.linkUp;
        }
        qCWarning(lcNetAdapter) << "no interface with index" << index;
        return false;
    }

private:
    QnNetSystemPaths m_paths;
};

} // namespace

QList<QnNetDefaultRoute> qnParseDefaultRoutes(const QByteArray &procNetRoute)
{
    QList<QnNetDefaultRoute> routes;
    const QList<QByteArray> lines = procNetRoute.split('\n');
    for (int i = 1; i < lines.size(); ++i) { // line 0 is the header
        const QList<QByteArray> f = lines[i].simplified().split(' ');
        if (f.size() < 8)
            continue;
        bool okDest = false, okGw = false, okFlags = false, okMetric = false, okMask = false;
        const quint32 dest = f[1].toUInt(&okDest, 16);
        const quint32 gw = f[2].toUInt(&okGw, 16);
        const unsigned flags = f[3].toUInt(&okFlags, 16);
        const quint32 metric = f[6].toUInt(&okMetric, 10);
        const quint32 mask = f[7].toUInt(&okMask, 16);
        if (!okDest || !okGw || !okFlags || !okMetric || !okMask || f[1].size() != 8 || f[2].size() != 8)
            continue;
        if (dest != 0 || mask != 0 || !(flags & kRtfUp))
            continue;
        // The kernel prints the address as the 32-bit word it stores, in network byte order in
        // memory: the bytes of the parsed word, in memory order, are the dotted quad.
        unsigned char b[4];
        const quint32 word = (flags & kRtfGateway) ? gw : 0;
        std::memcpy(b, &word, sizeof b);
        QnNetDefaultRoute r;
        r.iface = QString::fromLatin1(f[0]);
        r.gateway = QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
        r.metric = metric;
        routes << r;
    }
    return routes;
}

QList<QnNetAdapter> qnMergeAdapters(const QList<QnNetInterfaceEntry> &interfaces, const QString &sysClassNet,
                                    const QList<QnNetDefaultRoute> &routes)
{
    QList<QnNetAdapter> out;
    for (const QnNetInterfaceEntry &e : interfaces) {
        QnNetAdapter a;
        a.index = e.index;
        a.name = e.name;
        a.ipv4 = e.ipv4;
        a.mac = e.mac.toUpper();
        const SysfsLink s = readSysfs(sysClassNet, e.name);
        const bool sysfsMatches = s.present && s.ifindex == e.index && (e.mac.isEmpty() || s.mac == a.mac);
        if (sysfsMatches) {
            a.description = !e.driver.isEmpty() ? e.driver : s.driver;
            a.isVirtual = s.isVirtual;
            a.linkUp = sysfsLinkUp(s);
            if (s.arpType == kArpIeee80211 ||
                (s.arpType == kArpEther && (s.wireless || e.kind == QnNetAdapterType::Wireless)))
                a.type = QnNetAdapterType::Wireless;
            else if (s.arpType == kArpEther)
                a.type = QnNetAdapterType::Ethernet;
            else
                a.type = QnNetAdapterType::Other;
        } else {
            a.description = e.driver;
            a.isVirtual = knownVirtualDriver(e.driver);
            a.linkUp = e.up && e.running;
            a.type = e.kind;
        }
        // The default route of lowest metric through this interface gives its gateway.
        quint32 best = 0;
        for (const QnNetDefaultRoute &r : routes) {
            if (r.iface != e.name)
                continue;
            if (!a.hasDefaultRoute || r.metric < best) {
                a.hasDefaultRoute = true;
                best = r.metric;
                a.gateway = r.gateway;
            }
        }
        out << a;
    }
    return out;
}

std::unique_ptr<QnNetAdapterSource> qnCreateSystemAdapterSource(const QnNetSystemPaths &paths)
{
    return std::make_unique<SystemAdapterSource>(paths);
}
