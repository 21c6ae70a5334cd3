#include "common/network/ScreenUtil.h"

#include "platform/net/QnNetAdapter.h"

#include <QHostInfo>
#include <QLoggingCategory>
#include <QNetworkInterface>

Q_LOGGING_CATEGORY(lcNetInfo, "qn.network.info")

namespace {

bool descriptionMarksVirtual(const QString &description)
{
    // Case-sensitive on purpose: these are the vendors' own spellings.
    return description.contains(QLatin1String("VMware")) || description.contains(QLatin1String("Virtual")) ||
           description.contains(QLatin1String("Npcap"));
}

/// Software devices are dropped, except veth: inside a container or network namespace the veth is
/// the machine's own connection (the host-side ends carry no gateway and fall out anyway).
bool isDroppedVirtual(const QnNetAdapter &a)
{
    return descriptionMarksVirtual(a.description) || (a.isVirtual && a.description != QLatin1String("veth"));
}

/// The live adapter list; stateless and cheap to make, so made per call.
std::unique_ptr<QnNetAdapterSource> systemSource()
{
    return qnCreateSystemAdapterSource();
}

} // namespace

std::map<std::string, NetworkInfo> ScreenUtil::getLocalIps()
{
    QStringList names;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &i : all)
        names << i.name();
    qCDebug(lcNetInfo) << "interfaces:" << names;
    return getLocalIps(*systemSource());
}

std::map<std::string, NetworkInfo> ScreenUtil::getLocalIps(const QnNetAdapterSource &source)
{
    std::map<std::string, NetworkInfo> result;
    const QList<QnNetAdapter> adapters = source.adapters();
    for (const QnNetAdapter &a : adapters) {
        if (a.type != QnNetAdapterType::Ethernet && a.type != QnNetAdapterType::Wireless)
            continue;
        if (isDroppedVirtual(a))
            continue;
        qCDebug(lcNetInfo) << "adapter" << a.name << a.mac << a.description;
        if (!a.linkUp)
            continue;
        if (a.gateway.isEmpty() || a.gateway.contains(QLatin1String("0.0.0.0")))
            continue;
        if (a.ipv4.isEmpty())
            continue;
        NetworkInfo info;
        info.ip = a.ipv4.constFirst().toStdString();
        info.mac = a.mac.toUpper().toStdString();
        info.adapterName = a.name.toStdString();
        info.wifi = a.type != QnNetAdapterType::Ethernet;
        info.name = getConnectionName(source, info.wifi, info.mac);
        result.emplace(info.ip, info); // a later adapter with the same address is not taken
    }
    return result;
}

NetworkInfo ScreenUtil::chooseAdapter(const std::map<std::string, NetworkInfo> &adapters)
{
    for (const auto &entry : adapters) {
        if (entry.second.wifi)
            return entry.second;
    }
    for (const auto &entry : adapters) {
        if (!entry.second.wifi)
            return entry.second;
    }
    return {};
}

std::string ScreenUtil::getComputerName()
{
    const QString name = QHostInfo::localHostName();
    if (name.isEmpty())
        qCWarning(lcNetInfo) << "the computer name cannot be read";
    return name.toStdString();
}

std::string ScreenUtil::getConnectionName(bool wifi, const std::string &mac)
{
    return getConnectionName(*systemSource(), wifi, mac);
}

std::string ScreenUtil::getConnectionName(const QnNetAdapterSource &source, bool wifi, const std::string &mac)
{
    const QString m = QString::fromStdString(mac);
    return (wifi ? source.wifiNetworkName(m) : source.interfaceName(m)).toStdString();
}

bool ScreenUtil::isAdapterUp(unsigned long ifIndex)
{
    return systemSource()->isLinkUp(static_cast<int>(ifIndex));
}
