// Keep-awake through a logind inhibitor lock on the system D-Bus.
#include "platform/system/QnKeepAwake.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QLoggingCategory>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcKeepAwake, "qn.system.keepawake")

struct QnKeepAwake::Private
{
    explicit Private(const QDBusConnection &b) : bus(b) {}
    ~Private() { closeFd(); }
    void closeFd()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    QDBusConnection bus;
    int fd = -1; ///< the inhibitor lock; closing it releases the lock
};

QnKeepAwake::QnKeepAwake() : QnKeepAwake(QDBusConnection::systemBus()) {}

QnKeepAwake::QnKeepAwake(const QDBusConnection &bus) : d(std::make_unique<Private>(bus)) {}

QnKeepAwake::~QnKeepAwake() = default;

bool QnKeepAwake::hold(const QString &why)
{
    if (d->fd >= 0)
        return true;
    if (!d->bus.isConnected()) {
        qCInfo(lcKeepAwake) << "no system bus: sleep is not inhibited";
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("QnLynClient") << why << QStringLiteral("block");
    const QDBusReply<QDBusUnixFileDescriptor> reply = d->bus.call(call, QDBus::Block, 2000);
    if (!reply.isValid() || !reply.value().isValid()) {
        qCInfo(lcKeepAwake) << "sleep inhibitor refused:" << reply.error().name();
        return false;
    }
    d->fd = ::dup(reply.value().fileDescriptor());
    qCInfo(lcKeepAwake) << "sleep inhibited" << (d->fd >= 0);
    return d->fd >= 0;
}

void QnKeepAwake::release()
{
    if (d->fd >= 0)
        qCInfo(lcKeepAwake) << "sleep inhibitor released";
    d->closeFd();
}

bool QnKeepAwake::isHeld() const
{
    return d->fd >= 0;
}
