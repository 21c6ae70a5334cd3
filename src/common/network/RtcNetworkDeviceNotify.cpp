#include "common/network/RtcNetworkDeviceNotify.h"

#include "platform/net/QnNetAdapter.h"
#include "platform/net/QnNetLinkMonitor.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QThread>

#include <vector>

Q_LOGGING_CATEGORY(lcNetNotify, "qn.network.notify")

namespace rtc {

RtcNetworkDeviceNotify *RtcNetworkDeviceNotify::instance()
{
    static QPointer<RtcNetworkDeviceNotify> s_instance; // GUI thread only
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return nullptr;
    Q_ASSERT(QThread::currentThread() == app->thread());
    if (!s_instance)
        s_instance = new RtcNetworkDeviceNotify(nullptr, 150, app);
    return s_instance;
}

RtcNetworkDeviceNotify::RtcNetworkDeviceNotify(std::shared_ptr<const QnNetAdapterSource> source, int settleMs,
                                               QObject *parent)
    : QObject(parent)
    , m_source(source ? std::move(source)
                      : std::shared_ptr<const QnNetAdapterSource>(qnCreateSystemAdapterSource()))
    , m_monitor(new QnNetLinkMonitor(this))
    , m_settle(this)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_settle, &QTimer::timeout, this, &RtcNetworkDeviceNotify::evaluate);
    connect(m_monitor, &QnNetLinkMonitor::changed, &m_settle, qOverload<>(&QTimer::start));
    m_monitor->start();
    m_connections = readConnections();
    QStringList names;
    for (const auto &c : m_connections)
        names << QString::fromStdString(c.first);
    qCInfo(lcNetNotify) << "network at start:" << (names.isEmpty() ? "not connected" : "connected via")
                        << names.join(QLatin1Char(','));
}

RtcNetworkDeviceNotify::~RtcNetworkDeviceNotify() = default;

void RtcNetworkDeviceNotify::addListener(RtcNetworkListener *listener)
{
    Q_ASSERT(QThread::currentThread() == thread());
    m_listener = listener;
}

void RtcNetworkDeviceNotify::removeListener()
{
    Q_ASSERT(QThread::currentThread() == thread());
    m_listener = nullptr;
}

bool RtcNetworkDeviceNotify::isWatching() const
{
    return m_monitor->isRunning();
}

RtcNetworkDeviceNotify::Connections RtcNetworkDeviceNotify::readConnections() const
{
    Connections connections;
    const QList<QnNetAdapter> adapters = m_source->adapters();
    for (const QnNetAdapter &a : adapters) {
        if (a.linkUp && !a.ipv4.isEmpty() && a.hasDefaultRoute)
            connections.emplace(a.name.toStdString(), a.ipv4);
    }
    return connections;
}

void RtcNetworkDeviceNotify::evaluate()
{
    const Connections now = readConnections();
    std::vector<std::string> lost;
    std::vector<std::string> gained;
    for (const auto &before : m_connections) {
        const auto it = now.find(before.first);
        if (it == now.end() || it->second != before.second)
            lost.push_back(before.first);
    }
    for (const auto &after : now) {
        const auto it = m_connections.find(after.first);
        if (it == m_connections.end() || it->second != after.second)
            gained.push_back(after.first);
    }
    m_connections = now;
    // The listener is read before every call: a callback may remove it.
    for (const std::string &id : lost) {
        qCInfo(lcNetNotify) << "network lost on" << QString::fromStdString(id);
        if (m_listener)
            m_listener->networkDisconnect(id);
    }
    for (const std::string &id : gained) {
        qCInfo(lcNetNotify) << "network connected via" << QString::fromStdString(id)
                            << m_connections[id].join(QLatin1Char(','));
        if (m_listener)
            m_listener->networkConnect(id);
    }
    emit evaluated(isConnected());
}

} // namespace rtc
