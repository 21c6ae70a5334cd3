#pragma once

#include "common/download/DownloadFileThread.h"
#include "common/http/HttpResult.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

/// The cloud service's JSON-over-HTTP client: JSON POST and GET, a multipart upload of one file and
/// queued downloads. Requests go to the base address (the configured service address followed by
/// "/gateway") unless the caller names a host. Nothing here times out or retries; results go to
/// the caller's callback, and an empty callback is simply not called.
///
/// GUI thread only (downloads report on the download thread unless they name a context, see
/// DownloadTask). Every operation has a form taking a context object: its callback is dropped
/// once that object is gone, so a closed page is never called back.
class QnLynInterNetWorkManager : public QObject
{
    Q_OBJECT
public:
    /// The process-wide client, created on first use over configuredSiteAddress(); never destroyed.
    static QnLynInterNetWorkManager *instance();

    /// The cloud service's address from the settings (group "system", key "cloudUrl"), without a
    /// trailing slash; empty when not configured (every request then fails with status 0).
    static QString configuredSiteAddress();
    /// The account web site's address from the settings (group "system", key "webUrl"), without a
    /// trailing slash or path; empty when not configured. Pages open their web pages under it.
    static QString configuredWebAddress();

    /// A client for the service at siteAddress (scheme, host and port, no path).
    explicit QnLynInterNetWorkManager(const QString &siteAddress, QObject *parent = nullptr);
    ~QnLynInterNetWorkManager() override;

    void setSiteAddress(const QString &siteAddress);
    QString siteAddress() const { return m_siteAddress; }
    /// The site address followed by "/gateway".
    QString baseAddress() const { return m_baseAddress; }
    /// The account web site's address (no path); the process-wide client takes it from the settings.
    void setWebAddress(const QString &webAddress) { m_webAddress = webAddress; }
    QString webAddress() const { return m_webAddress; }

    /// POSTs body as compact JSON to (host or the base address) + path with Content-Type
    /// "application/json", "device_type" "client" and, when token is not empty, "access_token".
    void httpPost(const QString &path, const QJsonObject &body, const HttpResultCallback &callback,
                  const QString &token = QString(), const QString &host = QString());
    void httpPost(const QObject *context, const QString &path, const QJsonObject &body,
                  const HttpResultCallback &callback, const QString &token = QString(),
                  const QString &host = QString());

    /// GETs (host or the base address) + path + suffix, without headers of its own.
    void httpGet(const QString &path, const QString &suffix, const HttpResultCallback &callback,
                 const QString &host = QString());
    void httpGet(const QObject *context, const QString &path, const QString &suffix,
                 const HttpResultCallback &callback, const QString &host = QString());

    /// Multipart POST of one file (part "file", its name without folders) to (host or the base
    /// address) + path. Reports: on a network error an error report {error number}; progress
    /// reports {200, sent, total}; then one finished report {finished, the reply's HTTP status (the
    /// network error number when there is none), the parsed reply body}. A file that cannot be
    /// opened sends nothing and gives one finished report with statusCode 0.
    void uploadFile(const QString &path, const QString &filePath, const HttpFileCallback &callback,
                    const QString &host = QString());
    void uploadFile(const QObject *context, const QString &path, const QString &filePath,
                    const HttpFileCallback &callback, const QString &host = QString());

    /// Queues a download on the download thread (created on first use, owned by this client).
    void addDownloadTask(const DownloadTask &task);

private:
    QUrl requestUrl(const QString &host, const QString &pathAndSuffix) const;
    void onPostFinished(QNetworkReply *reply, const QString &path, const QJsonObject &body,
                        const HttpResultCallback &callback);
    void onGetFinished(QNetworkReply *reply, const QString &path, const HttpResultCallback &callback);

    QNetworkAccessManager *m_nam; // child
    QString m_baseAddress;
    QString m_siteAddress;
    QString m_webAddress;
    DownloadFileThread *m_downloader = nullptr; // child, made on the first download
};
