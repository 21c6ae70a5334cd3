#pragma once

#include "common/http/HttpResult.h"

#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>

class QNetworkAccessManager;
class QNetworkReply;

/// One queued download.
struct DownloadTask
{
    QString url;          ///< the address to fetch; tasks of one url share one fetch
    QString savePath;     ///< the local file to write; an existing file is never replaced
    QJsonObject userData; ///< handed back in every report
    HttpFileCallback callback;
    /// Optional receiver of the reports. When set, reports run on the thread that owns the
    /// DownloadFileThread (the context must live there) and are dropped once the context is gone.
    /// Without it, reports run on the download thread. Two tasks with the same url, savePath,
    /// context and kind of callback are one task: the second is dropped while the first waits.
    QPointer<QObject> context;
};

/// Downloads files, one url at a time, on a thread of its own with its own event loop and network
/// access manager. Redirects are followed when they are no less safe (never https to http).
///
/// Each task's last report is either {200, finished} with filePath = savePath, or a failure report
/// (finished false) whose statusCode is the network error number, the HTTP status when it is not
/// 200, WriteFailed or QueueFull. Every task is answered, also tasks queued while their url is
/// being fetched. The thread ends when the queue is empty and starts again with the next task.
///
/// addTask() is called on the owner's thread. The pending queue is guarded by m_mutex; everything
/// else of a run belongs to the download thread.
class DownloadFileThread : public QThread
{
    Q_OBJECT
public:
    static constexpr int WriteFailed = -1; ///< the body could not be written to savePath
    static constexpr int QueueFull = -2;   ///< refused: kMaxQueuedTasks tasks already wait
    static constexpr int kMaxQueuedTasks = 1024;

    explicit DownloadFileThread(QObject *parent = nullptr);
    /// Stops: the download in flight is aborted without reports, queued tasks are dropped, and the
    /// thread is joined.
    ~DownloadFileThread() override;

    /// Creates savePath's folder; when savePath exists reports {200, finished} at once on the
    /// calling thread; otherwise queues the task and starts the thread when it is idle.
    void addTask(const DownloadTask &task);

    /// Tasks waiting or being fetched.
    int pendingCount() const;

protected:
    void run() override;

private:
    struct Entry
    {
        DownloadTask task;
        bool tied = false; // task.context was set when queued (a null context now means it is gone)
    };

    bool startNext();
    void onFinished(QNetworkReply *reply, const QString &url);
    void onProgress(QNetworkReply *reply, const QList<Entry> &entries, qint64 received, qint64 total);
    void deliver(const Entry &entry, const HttpFileResult &result);

    mutable QMutex m_mutex;
    QMap<QString, QList<Entry>> m_queue; // by m_mutex; url -> tasks in arrival order
    bool m_running = false;              // by m_mutex; a run is active or about to start
    bool m_stopping = false;             // by m_mutex

    // Download thread only.
    QNetworkAccessManager *m_nam = nullptr;
    QPointer<QNetworkReply> m_reply; // in flight
};
