#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;

/// Streams one HTTP GET into one file.
///
/// Only http and https addresses are fetched; redirects are followed when they are no less safe
/// (never from https to http). The body goes through a QSaveFile, so the target appears only once
/// the whole body has arrived and passed the checks: HTTP status 200, and, when expected, the size
/// and the MD5 (lower-case hexadecimal) of the bytes written. On any failure nothing is left at the
/// target. Sizes are 64-bit.
///
/// One download at a time: a new download aborts the one running (which then reports nothing).
/// GUI thread (or the thread that owns the downloader).
class UpdateDownloader : public QObject
{
    Q_OBJECT
public:
    explicit UpdateDownloader(QObject *parent = nullptr);
    ~UpdateDownloader() override;

    /// What the finished file must be; a size below 0 or an empty md5 is not checked. Applies to
    /// the next download only.
    void setExpected(qint64 size, const QString &md5);

    /// Fetches url into savePath, or, with saveIntoFolder, into savePath + "/" + the URL's
    /// sanitised file name (see UpdateFiles::packageFileName). An existing file at the target is
    /// replaced only by a download that succeeded. With an empty savePath the body is kept in
    /// memory and handed over in finished().
    void download(const QString &url, const QString &savePath, bool saveIntoFolder);
    /// Aborts the running download; it reports finished() with the error "aborted".
    void abort();

    bool isRunning() const { return !m_reply.isNull(); }
    /// The file of the last download (empty with an empty savePath).
    QString target() const { return m_target; }

Q_SIGNALS:
    /// The reply's own progress, relayed unchanged.
    void downloadProgress(qlonglong bytesReceived, qlonglong bytesTotal);
    /// The end of a download: an empty error means success. data is the body when there was no
    /// savePath, otherwise empty.
    void finished(QByteArray data, QString error);

private:
    void httpReadyRead();
    void onFinished();
    void fail(const QString &error);

    QNetworkAccessManager *m_nam; // child
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QSaveFile> m_file;
    QCryptographicHash m_hash{QCryptographicHash::Md5};
    QByteArray m_memory;
    QString m_target;
    qint64 m_written = 0;
    qint64 m_expectedSize = -1;
    QString m_expectedMd5;
    bool m_writeFailed = false;
};
