#include "network/RtcNetworkDeviceNotify.h"

#include "net/QnNetAdapter.h"
#include "net/QnNetLinkMonitor.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QThread>

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
    m_connected = readState(&m_connectionId);
    qCInfo(lcNetNotify) << "network at start:" << (m_connected ? "connected" : "not connected")
                        << QString::fromStdString(m_connectionId);
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

bool RtcNetworkDeviceNotify::readState(std::string *connectionId) const
{
    const QList<QnNetAdapter> adapters = m_source->adapters();
    for (const QnNetAdapter &a : adapters) {
        if (a.linkUp && !a.ipv4.isEmpty() && a.hasDefaultRoute) {
            *connectionId = a.name.toStdString();
            return true;
        }
    }
    return false;
}

void RtcNetworkDeviceNotify::evaluate()
{
    std::string id;
    const bool connected = readState(&id);
    const bool changed = connected != m_connected;
    const std::string lostId = m_connectionId;
    m_connected = connected;
    if (connected)
        m_connectionId = id;
    if (changed) {
        qCInfo(lcNetNotify) << (connected ? "network connected via" : "network lost on")
                            << QString::fromStdString(connected ? id : lostId);
        if (m_listener) {
            if (connected)
                m_listener->networkConnect(id);
            else
                m_listener->networkDisconnect(lostId);
        }
    }
    emit evaluated(connected);
}

} // namespace rtc
