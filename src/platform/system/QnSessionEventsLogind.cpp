// Session events from logind over the system D-Bus.
#include "platform/system/QnSessionEvents.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QLoggingCategory>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcSessionEvents, "qn.system.session")

namespace {
const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kSessionInterface = QStringLiteral("org.freedesktop.login1.Session");
} // namespace

class QnSessionEventsPrivate : public QObject
{
    Q_OBJECT
public:
    QnSessionEventsPrivate(QnSessionEvents *owner, const QDBusConnection &bus) : q(owner), m_bus(bus) {}

    void watch(QString path)
    {
        if (!m_bus.isConnected()) {
            qCInfo(lcSessionEvents) << "no system bus: session lock events unavailable";
            return;
        }
        if (path.isEmpty()) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                kService, QStringLiteral("/org/freedesktop/login1"),
                QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("GetSessionByPID"));
            call << uint(::getpid());
            const QDBusReply<QDBusObjectPath> reply = m_bus.call(call, QDBus::Block, 2000);
            path = reply.isValid() ? reply.value().path()
                                   : QStringLiteral("/org/freedesktop/login1/session/auto");
        }
        bool ok =
            m_bus.connect(kService, path, kSessionInterface, QStringLiteral("Lock"), this, SLOT(onLock()));
        ok = m_bus.connect(kService, path, kSessionInterface, QStringLiteral("Unlock"), this,
                           SLOT(onUnlock())) &&
             ok;
        ok = m_bus.connect(kService, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                           QStringLiteral("PropertiesChanged"), this,
                           SLOT(onProperties(QString, QVariantMap, QStringList))) &&
             ok;
        m_available = ok;
        qCInfo(lcSessionEvents) << "session lock events" << (ok ? "watched" : "unavailable");
    }

    bool m_available = false;

public slots:
    void onLock() { setLocked(true); }
    void onUnlock() { setLocked(false); }
    void onProperties(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface != kSessionInterface)
            return;
        const auto it = changed.find(QStringLiteral("LockedHint"));
        if (it != changed.end())
            setLocked(it->toBool());
    }

private:
    void setLocked(bool locked)
    {
        if (locked == m_locked)
            return;
        m_locked = locked;
        if (locked)
            emit q->locked();
        else
            emit q->unlocked();
    }

    QnSessionEvents *q;
    QDBusConnection m_bus;
    bool m_locked = false;
};

QnSessionEvents::QnSessionEvents(QObject *parent)
    : QnSessionEvents(QDBusConnection::systemBus(), QString(), parent)
{}

QnSessionEvents::QnSessionEvents(const QDBusConnection &bus, const QString &sessionPath, QObject *parent)
    : QObject(parent), d(std::make_unique<QnSessionEventsPrivate>(this, bus))
{
    d->watch(sessionPath);
}

QnSessionEvents::~QnSessionEvents() = default;

bool QnSessionEvents::isAvailable() const
{
    return d->m_available;
}

#include "QnSessionEventsLogind.moc"
