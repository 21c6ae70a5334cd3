#include "common/download/DownloadFileThread.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

Q_LOGGING_CATEGORY(lcDownload, "qn.download")

namespace {

bool sameTask(const DownloadTask &a, const DownloadTask &b)
{
    return a.url == b.url && a.savePath == b.savePath && a.context && a.context == b.context &&
           a.callback.target_type() == b.callback.target_type();
}

// Writes bytes to path through a temporary file, so that a failed write never leaves a partial
// file behind (an existing file is never replaced later, so it would stay broken).
bool writeWhole(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

} // namespace

DownloadFileThread::DownloadFileThread(QObject *parent) : QThread(parent)
{
    setObjectName(QStringLiteral("qn-download"));
}

DownloadFileThread::~DownloadFileThread()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopping = true;
    }
    quit();
    wait();
}

int DownloadFileThread::pendingCount() const
{
    QMutexLocker lock(&m_mutex);
    int n = 0;
    for (const QList<Entry> &tasks : m_queue)
        n += tasks.size();
    return n;
}

void DownloadFileThread::addTask(const DownloadTask &task)
{
    Entry entry{task, !task.context.isNull()};
    const QFileInfo target(task.savePath);
    QDir().mkpath(target.absolutePath());
    if (target.exists()) {
        // Answered at once on the calling thread; nothing is fetched.
        HttpFileResult result;
        result.statusCode = 200;
        result.finished = true;
        result.filePath = task.savePath;
        result.userData = task.userData;
        deliver(entry, result);
        return;
    }

    bool needStart = false;
    bool refused = false;
    {
        QMutexLocker lock(&m_mutex);
        if (m_stopping)
            return;
        int queued = 0;
        for (const QList<Entry> &entries : qAsConst(m_queue)) {
            queued += entries.size();
            for (const Entry &e : entries) {
                if (sameTask(e.task, task)) {
                    qCDebug(lcDownload) << "already queued:" << task.url << task.savePath;
                    return;
                }
            }
        }
        if (queued >= kMaxQueuedTasks) {
            refused = true;
        } else {
            m_queue[task.url].append(entry);
            needStart = !m_running;
            m_running = true;
        }
    }
    if (refused) {
        qCWarning(lcDownload) << "download queue full; refused" << task.url;
        HttpFileResult result;
        result.statusCode = QueueFull;
        result.userData = task.userData;
        deliver(entry, result);
        return;
    }
    if (needStart) {
        // The previous run, if any, has taken its last look at the queue: let it end, then start.
        wait();
        start();
    }
}

void DownloadFileThread::run()
{
    QNetworkAccessManager nam;
    m_nam = &nam;
    for (;;) {
        if (startNext())
            exec(); // until the queue is drained (or a stop)
        QMutexLocker lock(&m_mutex);
        if (m_stopping || m_queue.isEmpty()) {
            m_running = false;
            break;
        }
    }
    if (m_reply) {
        disconnect(m_reply, nullptr, nullptr, nullptr);
        m_reply->abort();
        delete m_reply;
    }
    m_nam = nullptr;
}

bool DownloadFileThread::startNext()
{
    QString url;
    QList<Entry> entries;
    {
        QMutexLocker lock(&m_mutex);
        if (m_stopping || m_queue.isEmpty())
            return false;
        if (m_reply)
            return true;
        url = m_queue.firstKey();
        entries = m_queue.first();
    }
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    qCDebug(lcDownload) << "fetching" << url << "for" << entries.size() << "tasks";
    QNetworkReply *reply = m_nam->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, reply, [this, reply, url] { onFinished(reply, url); });
    connect(reply, &QNetworkReply::downloadProgress, reply,
            [this, reply, entries](qint64 received, qint64 total) {
                onProgress(reply, entries, received, total);
            });
    return true;
}

void DownloadFileThread::onProgress(QNetworkReply *reply, const QList<Entry> &entries, qint64 received,
                                    qint64 total)
{
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
        return;
    for (const Entry &entry : entries) {
        HttpFileResult result;
        result.statusCode = 200;
        result.current = int(received);
        result.total = int(total);
        result.userData = entry.task.userData;
        deliver(entry, result);
    }
}

void DownloadFileThread::onFinished(QNetworkReply *reply, const QString &url)
{
    m_reply = nullptr;
    reply->deleteLater();
    QList<Entry> entries;
    {
        // Every task of the url, also those queued while it was being fetched.
        QMutexLocker lock(&m_mutex);
        entries = m_queue.take(url);
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();
    if (error != QNetworkReply::NoError || status != 200) {
        const int code = error != QNetworkReply::NoError ? int(error) : status;
        qCWarning(lcDownload) << "download failed:" << url << "status" << status << reply->errorString();
        for (const Entry &entry : qAsConst(entries)) {
            HttpFileResult result;
            result.statusCode = code;
            result.userData = entry.task.userData;
            deliver(entry, result);
        }
    } else {
        const QByteArray body = reply->readAll();
        QString written;
        for (const Entry &entry : qAsConst(entries)) {
            const QString &path = entry.task.savePath;
            bool ok = true;
            if (QFileInfo::exists(path)) {
                // Never replaced: the file already there answers the task.
            } else if (!written.isEmpty()) {
                ok = QFile::copy(written, path);
            } else {
                ok = writeWhole(path, body);
                if (ok)
                    written = path;
            }
            HttpFileResult result;
            result.userData = entry.task.userData;
            if (ok) {
                result.statusCode = 200;
                result.finished = true;
                result.filePath = path;
            } else {
                qCWarning(lcDownload) << "cannot write" << path;
                result.statusCode = WriteFailed;
            }
            deliver(entry, result);
        }
    }
    if (!startNext())
        exit();
}

void DownloadFileThread::deliver(const Entry &entry, const HttpFileResult &result)
{
    const HttpFileCallback &callback = entry.task.callback;
    if (!callback)
        return;
    if (!entry.tied) {
        callback(result);
        return;
    }
    if (QThread::currentThread() == thread()) {
        if (entry.task.context)
            callback(result);
        return;
    }
    // From the download thread: posted to this object, which lives on the owner's thread as the
    // context does, and checked there, where the context cannot vanish under the call.
    const QPointer<QObject> context = entry.task.context;
    QMetaObject::invokeMethod(
        this,
        [context, callback, result] {
            if (context)
                callback(result);
        },
        Qt::QueuedConnection);
}
