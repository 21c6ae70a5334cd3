#include "lyn/manager/QnLynManager.h"

#include "common/log/QnLog.h"

#include "QnScreenShare/sender/QnLynSender.h"
#include "QnScreenShare/taskpool/ThreadPool.h"

#include <QLoggingCategory>
#include <QThread>

Q_LOGGING_CATEGORY(lcManager, "qn.lyn.manager")

QnLynManager::QnLynManager(QObject *parent, ThreadPool *pool, QnLynSender *sender)
    : QObject(parent)
    , m_sender(sender ? sender : new QnLynSender(this))
    , m_pool(pool ? pool : &ThreadPool::instance())
{
    if (sender)
        sender->setParent(this);
}

QnLynManager::~QnLynManager()
{
    // Jobs already queued hold this object: wait until they and the final stop have run.
    std::future<void> done = m_pool->commit([this] { stopAllOnPool(); });
    try {
        done.get();
    } catch (const std::exception &e) {
        qCCritical(lcManager) << "stopping the receiving pipelines failed:" << e.what();
    }
    m_sender->stopSender();
}

void QnLynManager::stopAllOnPool()
{
    for (QnLynServer *server : qAsConst(servers)) {
        server->stopServer();
        delete server;
    }
    servers.clear();
}

bool QnLynManager::startSender(int screenIndex, int width, int height, int frameRate,
                               const QString &receiverIp, int remotePort, int localPort)
{
    QN_CHECK_THREAD(m_thread);
    return m_sender->startSender(screenIndex, width, height, frameRate, receiverIp, remotePort, localPort);
}

void QnLynManager::stopSender()
{
    QN_CHECK_THREAD(m_thread);
    m_sender->stopSender();
}

int QnLynManager::restartCapture(int screenIndex, int width, int height, int frameRate)
{
    QN_CHECK_THREAD(m_thread);
    return m_sender->restartCapture(screenIndex, width, height, frameRate);
}

bool QnLynManager::isCapturing() const
{
    return m_sender->isCapturing();
}

void QnLynManager::setAudioMuted(bool muted)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, muted] { m_sender->setAudioMuted(muted); }, Qt::QueuedConnection);
        return;
    }
    m_sender->setAudioMuted(muted);
}

void QnLynManager::setAudioCallback(PcmFrameCallback callback)
{
    std::lock_guard<std::mutex> lock(m_callbackMutex);
    audioCallback = std::move(callback);
}

void QnLynManager::startServer(const QString &userId, const QString &remoteIp, int remotePort, int localPort,
                               const QString &localIp)
{
    QN_CHECK_THREAD(m_thread);
    m_pool->commit([this, userId, remoteIp, remotePort, localPort, localIp] {
        qCInfo(lcManager) << "start server:" << QnLog::peer(remoteIp) << remotePort << "for"
                          << QnLog::peer(userId);
        if (QnLynServer *old = servers.take(userId)) {
            qCInfo(lcManager) << "replacing the running pipeline of" << QnLog::peer(userId);
            old->stopServer();
            delete old;
        }
        auto *server = new QnLynServer;
        connect(
            server, &QnLynServer::yuvData, this,
            [this, userId](const QByteArray &data, int width, int height) {
                Q_EMIT yuvDataChanged(userId, data, width, height);
            },
            Qt::DirectConnection);
        {
            std::lock_guard<std::mutex> lock(m_callbackMutex);
            server->setAudioCallback(audioCallback);
        }
        if (!server->startServer(localIp, localPort, remoteIp, remotePort))
            qCWarning(lcManager) << "the receiving pipeline of" << QnLog::peer(userId) << "did not start";
        servers.insert(userId, server); // kept so that the matching stop finds it
    });
}

void QnLynManager::stopServer(const QString &userId, std::function<void(int)> onStopped)
{
    QN_CHECK_THREAD(m_thread);
    m_pool->commit([this, userId, onStopped] {
        QnLynServer *server = servers.take(userId);
        if (!server)
            return;
        server->stopServer();
        if (onStopped)
            onStopped(server->audioId());
        delete server;
    });
}

QStringList QnLynManager::serverIds()
{
    QStringList ids;
    m_pool->commit([this, &ids] { ids = servers.keys(); }).wait();
    ids.sort();
    return ids;
}
