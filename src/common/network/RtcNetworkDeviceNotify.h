#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <QStringList>

#include <map>
#include <memory>
#include <string>

class QnNetAdapterSource;
class QnNetLinkMonitor;

namespace rtc {

/// Receives network connect and disconnect notices. Called on the notifier's thread (the GUI thread).
class RtcNetworkListener
{
public:
    virtual ~RtcNetworkListener() = default;
    /// The connection connectionId (an adapter's system name) stopped carrying the network: it
    /// lost its link, an address, or its IPv4 default route. Other connections may still be up.
    virtual void networkDisconnect(const std::string &connectionId) = 0;
    /// The connection connectionId now carries the network: link up, an IPv4 address and an IPv4
    /// default route (it gained one of them, or was given other addresses).
    virtual void networkConnect(const std::string &connectionId) = 0;
};

/// Network change notifier, per connection. A connection (an adapter) "carries the network" when
/// its link is up, it has an IPv4 address and an IPv4 default route leaves through it. The notifier
/// re-reads the adapters after kernel link, address and route notices have settled and tells its
/// one listener of every connection that stopped carrying the network (networkDisconnect, first)
/// and of every one that started to (networkConnect, after). A connection whose IPv4 addresses
/// changed while it stayed up is reported as both: its old addresses are gone. Lives on, and calls
/// its listener on, the thread that created it (the GUI thread).
class RtcNetworkDeviceNotify : public QObject
{
    Q_OBJECT
public:
    /// The program's notifier, made on first use as a child of the application object (so it goes
    /// with each application object of the restart loop). Call on the GUI thread, after the
    /// application object exists; null without one.
    static RtcNetworkDeviceNotify *instance();

    /// A notifier on an injected adapter source (null: the live system). settleMs is how long the
    /// notices must be quiet before the adapters are re-read.
    explicit RtcNetworkDeviceNotify(std::shared_ptr<const QnNetAdapterSource> source = nullptr,
                                    int settleMs = 150, QObject *parent = nullptr);
    ~RtcNetworkDeviceNotify() override;

    /// Makes listener the one listener (replacing an earlier one); not owned. Call removeListener()
    /// before the listener goes away.
    void addListener(RtcNetworkListener *listener);
    void removeListener();

    /// Some connection carries the network, as last evaluated (at construction and after each
    /// settled batch of notices).
    bool isConnected() const { return !m_connections.empty(); }
    /// Whether kernel notices are being received.
    bool isWatching() const;

Q_SIGNALS:
    /// Emitted after every re-read of the adapters, changed or not (observers and tests).
    void evaluated(bool connected);

private:
    /// Connections that carry the network, by system name, with their IPv4 addresses.
    using Connections = std::map<std::string, QStringList>;

    void evaluate();
    Connections readConnections() const;

    std::shared_ptr<const QnNetAdapterSource> m_source;
    QnNetLinkMonitor *m_monitor = nullptr;
    QTimer m_settle;
    RtcNetworkListener *m_listener = nullptr;
    Connections m_connections;
};

} // namespace rtc
