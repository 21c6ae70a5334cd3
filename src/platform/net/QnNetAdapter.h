#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

/// Kind of a network adapter, as far as the adapter filters care.
enum class QnNetAdapterType { Ethernet, Wireless, Other };

/// One network adapter as the system reports it. Plain value, copied freely.
struct QnNetAdapter
{
    int index = 0;       ///< interface index
    QString name;        ///< system name ("eth0", "wlp2s0")
    QString description; ///< driver name ("e1000e", "iwlwifi", "veth"); may be empty
    QnNetAdapterType type = QnNetAdapterType::Other;
    bool isVirtual = false;       ///< software device without a hardware parent
    bool linkUp = false;          ///< administratively up and the link is operational
    bool hasDefaultRoute = false; ///< an IPv4 default route leaves through this adapter
    QString gateway;              ///< IPv4 default gateway text; empty when none
    QStringList ipv4;             ///< IPv4 addresses, in the system's order
    QString mac;                  ///< "AA:BB:CC:DD:EE:FF"; empty when none
};

/// Where adapters come from. The system backend reads the live machine; tests inject fixtures.
/// Implementations are safe to call from any thread (they hold no mutable state).
class QnNetAdapterSource
{
public:
    virtual ~QnNetAdapterSource() = default;
    /// Every adapter of the calling thread's network namespace, in index order.
    virtual QList<QnNetAdapter> adapters() const = 0;
    /// Name of the Wi-Fi network in use on the wireless adapter with this MAC (or, when no adapter
    /// matches, on the first connected wireless adapter); empty when none or when it cannot be known.
    virtual QString wifiNetworkName(const QString &mac) const = 0;
    /// Human-readable name of the adapter with this MAC; empty when none has it.
    virtual QString interfaceName(const QString &mac) const = 0;
    /// True when the adapter with this index exists and its link is operational.
    virtual bool isLinkUp(int index) const = 0;
};

/// Paths the system backend reads; tests point them at fixture trees.
struct QnNetSystemPaths
{
    QString sysClassNet = QStringLiteral("/sys/class/net");
    /// Empty: the calling thread's own route table (/proc/thread-self/net/route, else /proc/net/route).
    QString procNetRoute;
    /// Ask NetworkManager over the system D-Bus for Wi-Fi network names.
    bool useNetworkManager = true;
};

/// The live adapter list of this machine.
std::unique_ptr<QnNetAdapterSource> qnCreateSystemAdapterSource(const QnNetSystemPaths &paths = {});

/// One IPv4 default route of the route table.
struct QnNetDefaultRoute
{
    QString iface;
    QString gateway; ///< dotted text; "0.0.0.0" for a route without gateway
    quint32 metric = 0;
};

/// Default routes (destination and mask 0, flag RTF_UP) from the text of /proc/net/route, in table
/// order. Malformed lines are skipped; never reads past the text.
QList<QnNetDefaultRoute> qnParseDefaultRoutes(const QByteArray &procNetRoute);

/// An interface as the kernel's interface list reports it (QNetworkInterface, ethtool and
/// /proc/net/wireless on the live system).
struct QnNetInterfaceEntry
{
    int index = 0;
    QString name;
    bool up = false;      ///< IFF_UP
    bool running = false; ///< IFF_RUNNING (carrier)
    QnNetAdapterType kind = QnNetAdapterType::Other;
    QString driver; ///< empty when unknown
    QStringList ipv4;
    QString mac;
};

/// Joins the interface list with what sysfs (under sysClassNet) and the route table say. An
/// interface whose sysfs entry is missing or belongs to another interface (sysfs mounted for another
/// network namespace: index or MAC differ) is judged from the entry alone.
QList<QnNetAdapter> qnMergeAdapters(const QList<QnNetInterfaceEntry> &interfaces, const QString &sysClassNet,
                                    const QList<QnNetDefaultRoute> &routes);
