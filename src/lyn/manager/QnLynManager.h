#pragma once

#include "QnScreenShare/receiver/QnLynServer.h"
#include "common/thread/QnThreadChecker.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>

class QnLynSender;
class ThreadPool;

/// The client object's one entry into the media pipeline: owns the mirroring sender and the
/// desktop-sync receiving pipelines, keyed by the receiver's user id.
///
/// Threads: mirroring calls run on the owner's (GUI) thread, straight on the sender. Pipeline
/// starts and stops are jobs on the task pool's single worker, run in submission order; the
/// pipeline map is touched only there. yuvDataChanged is emitted on a pipeline's decode thread.
/// setAudioMuted may be called from any thread: it is queued to the manager's thread.
class QnLynManager : public QObject
{
    Q_OBJECT
public:
    /// pool: the task pool for pipeline jobs (not owned); null means ThreadPool::instance().
    explicit QnLynManager(QObject *parent = nullptr, ThreadPool *pool = nullptr,
                          QnLynSender *sender = nullptr);
    /// Stops and deletes every pipeline (waiting for the pool's queued jobs), then the sender.
    ~QnLynManager() override;

    bool startSender(int screenIndex, int width, int height, int frameRate, const QString &receiverIp,
                     int remotePort, int localPort);
    void stopSender();
    int restartCapture(int screenIndex, int width, int height, int frameRate);
    bool isCapturing() const;
    /// Pauses or resumes the sound of a running mirroring run; while idle only recorded.
    void setAudioMuted(bool muted);

    /// Kept for pipelines started later.
    void setAudioCallback(PcmFrameCallback callback);

    /// Starts a receiving pipeline for userId on the pool. A pipeline already kept for that id is
    /// stopped and deleted first.
    void startServer(const QString &userId, const QString &remoteIp, int remotePort, int localPort,
                     const QString &localIp);
    /// Stops and deletes userId's pipeline on the pool; onStopped (may be empty) gets its audio id.
    /// Does nothing for an unknown id.
    void stopServer(const QString &userId, std::function<void(int)> onStopped = {});

    /// The user ids with a pipeline, after every job committed so far has run. Blocks the caller
    /// until then (diagnostics and tests; never from a pool job).
    QStringList serverIds();

    QnLynSender *sender() const { return m_sender; }

Q_SIGNALS:
    /// One decoded picture of userId's desktop-sync connection (QnLynServer::yuvData layout).
    void yuvDataChanged(QString userId, QByteArray data, int width, int height);

private:
    void stopAllOnPool();

    QHash<QString, QnLynServer *> servers; // owned; pool worker only
    QnLynSender *m_sender;                 // child
    ThreadPool *m_pool;                    // not owned
    QnThreadChecker m_thread;              // the owner's thread: sender calls and pipeline requests
    std::mutex m_callbackMutex;            // guards audioCallback
    PcmFrameCallback audioCallback;
};
