#include "update/src/UpdateDownloader.h"

#include "update/src/UpdateFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QUrl>

Q_LOGGING_CATEGORY(lcUpdateDown, "qn.update.download")

namespace {
// A body kept in memory (no savePath) is capped: such downloads are small descriptions.
constexpr qint64 kMaxMemoryBody = 16 * 1024 * 1024;
} // namespace

UpdateDownloader::UpdateDownloader(QObject *parent) : QObject(parent), m_nam(new QNetworkAccessManager(this))
{
    m_nam->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

UpdateDownloader::~UpdateDownloader()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void UpdateDownloader::setExpected(qint64 size, const QString &md5)
{
    m_expectedSize = size;
    m_expectedMd5 = md5.toLower();
}

void UpdateDownloader::download(const QString &url, const QString &savePath, bool saveIntoFolder)
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    m_file.reset();
    m_hash.reset();
    m_memory.clear();
    m_written = 0;
    m_writeFailed = false;
    m_target.clear();

    const QUrl address = QUrl::fromEncoded(url.toUtf8(), QUrl::TolerantMode);
    if (!UpdateFiles::isPackageUrl(address)) {
        // Capped: the address comes from a server.
        fail(QStringLiteral("refused address %1").arg(url.left(200)));
        return;
    }

    if (!savePath.isEmpty()) {
        m_target = savePath;
        if (saveIntoFolder)
            m_target = savePath + QLatin1Char('/') + UpdateFiles::packageFileName(address);
        const QFileInfo target(m_target);
        QDir().mkpath(target.absolutePath());
        m_file = std::make_unique<QSaveFile>(m_target);
        if (!m_file->open(QIODevice::WriteOnly)) {
            m_file.reset();
            fail(tr("write %1 file failed").arg(savePath));
            return;
        }
    }

    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = m_nam->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, this, &UpdateDownloader::downloadProgress);
    connect(reply, &QNetworkReply::readyRead, this, &UpdateDownloader::httpReadyRead);
    connect(reply, &QNetworkReply::finished, this, &UpdateDownloader::onFinished);
}

void UpdateDownloader::abort()
{
    if (m_reply)
        m_reply->abort(); // finished() follows with OperationCanceledError
}

void UpdateDownloader::httpReadyRead()
{
    if (!m_reply)
        return;
    // Bodies of redirects and error pages are not part of the file.
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200) {
        m_reply->readAll();
        return;
    }
    const QByteArray bytes = m_reply->readAll();
    if (bytes.isEmpty() || m_writeFailed)
        return;
    m_hash.addData(bytes);
    m_written += bytes.size();
    if (m_file) {
        if (m_file->write(bytes) != bytes.size()) {
            m_writeFailed = true;
            m_reply->abort();
        }
    } else if (m_memory.size() + bytes.size() <= kMaxMemoryBody) {
        m_memory += bytes;
    } else {
        m_writeFailed = true;
        m_reply->abort();
    }
}

void UpdateDownloader::onFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply || sender() != reply)
        return;
    httpReadyRead();
    m_reply = nullptr;
    reply->deleteLater();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QString error;
    if (m_writeFailed)
        error = m_file ? tr("write %1 file failed").arg(m_target) : QStringLiteral("body too large");
    else if (reply->error() == QNetworkReply::OperationCanceledError)
        error = QStringLiteral("aborted");
    else if (reply->error() != QNetworkReply::NoError)
        error = reply->errorString();
    else if (status != 200)
        error = QStringLiteral("HTTP status %1").arg(status);
    else if (m_expectedSize >= 0 && m_written != m_expectedSize)
        error = QStringLiteral("size %1, expected %2").arg(m_written).arg(m_expectedSize);
    else if (!m_expectedMd5.isEmpty() && QString::fromLatin1(m_hash.result().toHex()) != m_expectedMd5)
        error = QStringLiteral("MD5 %1, expected %2")
                    .arg(QString::fromLatin1(m_hash.result().toHex()), m_expectedMd5.left(32));
    m_expectedSize = -1;
    m_expectedMd5.clear();

    if (!error.isEmpty()) {
        fail(error);
        return;
    }
    if (m_file) {
        const bool committed = m_file->commit();
        m_file.reset();
        if (!committed) {
            fail(tr("write %1 file failed").arg(m_target));
            return;
        }
        qCDebug(lcUpdateDown) << "downloaded" << m_written << "bytes to" << m_target;
        emit finished(QByteArray(), QString());
        return;
    }
    const QByteArray body = m_memory;
    m_memory.clear();
    emit finished(body, QString());
}

void UpdateDownloader::fail(const QString &error)
{
    if (m_file) {
        m_file->cancelWriting();
        m_file.reset(); // the temporary file goes; the target is untouched
    }
    m_memory.clear();
    m_expectedSize = -1;
    m_expectedMd5.clear();
    qCWarning(lcUpdateDown) << "download failed:" << error;
    emit finished(QByteArray(), error);
}
