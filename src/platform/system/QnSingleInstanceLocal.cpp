#include "platform/system/QnSingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QLoggingCategory>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcSingleInstance, "qn.singleinstance")

namespace {

// Wire format of one message, sender to primary: a 4-byte big-endian length, then that many bytes
// of UTF-8. The primary answers with the single byte kAck once the whole message is in.
constexpr int kHeaderBytes = 4;
constexpr char kAck = 'A';
// A connection that has not delivered its message in this time is closed.
constexpr int kConnectionIdleMs = 5000;
// More simultaneous connections than this are closed at once (a local user's own programs only).
constexpr int kMaxConnections = 16;
// Between attempts to reach a primary that holds the lock but does not listen yet.
constexpr int kConnectRetryMs = 20;

} // namespace

class QnSingleInstance::Private
{
public:
    QString lockPath;
    QString socketPath;
    std::unique_ptr<QLockFile> lock;
    std::unique_ptr<QLocalServer> server;
    int connections = 0;
};

QnSingleInstance::QnSingleInstance(const QString &key, const QString &folder, QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
    const QDir dir(folder.isEmpty() ? defaultFolder() : folder);
    d->lockPath = dir.filePath(key + QStringLiteral(".lock"));
    d->socketPath = dir.filePath(key + QStringLiteral(".sock"));
    isRunning();
}

QnSingleInstance::~QnSingleInstance()
{
    if (d->server) {
        // Replies already written are in the kernel's buffer; push out any that are not.
        const QList<QLocalSocket *> sockets = d->server->findChildren<QLocalSocket *>();
        for (QLocalSocket *socket : sockets) {
            if (socket->bytesToWrite() > 0)
                socket->waitForBytesWritten(100);
        }
        d->server->close();
        d->server.reset();
    }
    if (d->lock)
        d->lock->unlock();
}

QString QnSingleInstance::defaultFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime;
    // The shared temporary folder: a folder of this user's own, so users do not share one lock.
    const QString own = QDir::tempPath() + QStringLiteral("/qn-runtime-%1").arg(::getuid());
    if (!QDir().mkpath(own))
        qCWarning(lcSingleInstance) << "cannot create" << own;
    QFile::setPermissions(own, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return own;
}

bool QnSingleInstance::isPrimary() const
{
    return d->server != nullptr;
}

bool QnSingleInstance::isRunning()
{
    if (d->server)
        return false;
    if (!d->lock) {
        d->lock = std::make_unique<QLockFile>(d->lockPath);
        // Only a holder that no longer runs makes a lock stale, never its age: a primary may run
        // for weeks.
        d->lock->setStaleLockTime(0);
    }
    if (!d->lock->tryLock(0)) {
        if (d->lock->error() != QLockFile::LockFailedError)
            qCWarning(lcSingleInstance)
                << "cannot create the lock" << d->lockPath << "error" << d->lock->error();
        return true;
    }

    // Holding the lock makes any socket file left behind ours to replace.
    QLocalServer::removeServer(d->socketPath);
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(d->socketPath)) {
        // Keep the lock: a second primary must not start, even if this one cannot hear messages.
        qCWarning(lcSingleInstance) << "cannot listen on" << d->socketPath << server->errorString();
    }
    QLocalServer *const s = server.get();
    connect(s, &QLocalServer::newConnection, this, [this, s] {
        while (QLocalSocket *socket = s->nextPendingConnection()) {
            if (d->connections >= kMaxConnections) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            ++d->connections;
            auto *idle = new QTimer(socket);
            idle->setSingleShot(true);
            connect(idle, &QTimer::timeout, socket, &QLocalSocket::abort);
            idle->start(kConnectionIdleMs);
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QObject::destroyed, this, [this] { --d->connections; });
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->property("qnDone").toBool()) {
                    socket->readAll();
                    return;
                }
                if (socket->bytesAvailable() < kHeaderBytes)
                    return;
                uchar header[kHeaderBytes];
                socket->peek(reinterpret_cast<char *>(header), kHeaderBytes);
                const quint32 length = qFromBigEndian<quint32>(header);
                if (length > quint32(kMaxMessageBytes)) {
                    qCWarning(lcSingleInstance) << "message too long, dropped:" << length << "bytes";
                    socket->abort();
                    return;
                }
                if (socket->bytesAvailable() < kHeaderBytes + qint64(length))
                    return;
                socket->read(kHeaderBytes);
                const QString message = QString::fromUtf8(socket->read(length));
                socket->setProperty("qnDone", true);
                socket->write(&kAck, 1);
                socket->flush();
                emit messageReceived(message);
            });
        }
    });
    d->server = std::move(server);
    return false;
}

bool QnSingleInstance::sendMessage(const QString &message, int timeoutMs)
{
    if (isPrimary())
        return false;
    const QByteArray payload = message.toUtf8();
    if (payload.size() > kMaxMessageBytes)
        return false;

    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(d->socketPath);
        if (socket.waitForConnected(int(qMax<qint64>(0, deadline.remainingTime()))))
            break;
        if (deadline.hasExpired())
            return false;
        // The primary may hold the lock but not listen yet.
        QThread::msleep(kConnectRetryMs);
        if (deadline.hasExpired())
            return false;
    }

    uchar header[kHeaderBytes];
    qToBigEndian<quint32>(quint32(payload.size()), header);
    socket.write(reinterpret_cast<const char *>(header), kHeaderBytes);
    socket.write(payload);
    while (socket.bytesToWrite() > 0) {
        if (deadline.hasExpired() || !socket.waitForBytesWritten(int(deadline.remainingTime())))
            return false;
    }
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    char ack = 0;
    socket.read(&ack, 1);
    socket.disconnectFromServer();
    return ack == kAck;
}
