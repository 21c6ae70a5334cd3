#include "common/http/QnLynInterNetWorkManager.h"

#include "common/settings/COption.h"

#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QMimeDatabase>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include <memory>

Q_LOGGING_CATEGORY(lcHttp, "qn.http")

namespace {

const QByteArray kBoundary = QByteArrayLiteral("--------GI3Ef1ei4KM7KM7ae0ei4ei4ei4ae0");

// Wraps a callback so that it is dropped once context is gone. No context: the callback itself.
template<typename Callback> Callback tiedTo(const QObject *context, const Callback &callback)
{
    if (!context || !callback)
        return callback;
    QPointer<const QObject> guard(context);
    return [guard, callback](auto &result) {
        if (!guard) {
            qCDebug(lcHttp) << "reply dropped: its receiver is gone," << result.requestPath;
            return;
        }
        callback(result);
    };
}

QJsonObject parseObject(const QByteArray &body)
{
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    return doc.isObject() ? doc.object() : QJsonObject();
}

int httpStatus(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

} // namespace

QnLynInterNetWorkManager *QnLynInterNetWorkManager::instance()
{
    // One per process, never destroyed: callers may hold it until exit.
    static QnLynInterNetWorkManager *const client = [] {
        auto *made = new QnLynInterNetWorkManager(configuredSiteAddress());
        made->setWebAddress(configuredWebAddress());
        return made;
    }();
    return client;
}

namespace {

QString configuredAddress(const QString &key)
{
    const COption option(COption::configPath());
    QString address = option.value(QStringLiteral("system"), key).toString().trimmed();
    while (address.endsWith(QLatin1Char('/')))
        address.chop(1);
    return address;
}

} // namespace

QString QnLynInterNetWorkManager::configuredSiteAddress()
{
    const QString address = configuredAddress(QStringLiteral("cloudUrl"));
    if (address.isEmpty())
        qCWarning(lcHttp) << "no cloud service address configured (system/cloudUrl)";
    return address;
}

QString QnLynInterNetWorkManager::configuredWebAddress()
{
    const QString address = configuredAddress(QStringLiteral("webUrl"));
    if (address.isEmpty())
        qCWarning(lcHttp) << "no account web site address configured (system/webUrl)";
    return address;
}

QnLynInterNetWorkManager::QnLynInterNetWorkManager(const QString &siteAddress, QObject *parent)
    : QObject(parent), m_nam(new QNetworkAccessManager(this))
{
    setSiteAddress(siteAddress);
}

QnLynInterNetWorkManager::~QnLynInterNetWorkManager() = default;

void QnLynInterNetWorkManager::setSiteAddress(const QString &siteAddress)
{
    m_siteAddress = siteAddress;
    m_baseAddress = siteAddress + QStringLiteral("/gateway");
}

QUrl QnLynInterNetWorkManager::requestUrl(const QString &host, const QString &pathAndSuffix) const
{
    return QUrl((host.isEmpty() ? m_baseAddress : host) + pathAndSuffix, QUrl::TolerantMode);
}

void QnLynInterNetWorkManager::httpPost(const QString &path, const QJsonObject &body,
                                        const HttpResultCallback &callback, const QString &token,
                                        const QString &host)
{
    QNetworkRequest request(requestUrl(host, path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    if (!token.isEmpty())
        request.setRawHeader(QByteArrayLiteral("access_token"), token.toLatin1());
    request.setRawHeader(QByteArrayLiteral("device_type"), QByteArrayLiteral("client"));
    QNetworkReply *reply = m_nam->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    connect(reply, &QNetworkReply::finished, reply,
            [this, reply, path, body, callback] { onPostFinished(reply, path, body, callback); });
}

void QnLynInterNetWorkManager::httpPost(const QObject *context, const QString &path, const QJsonObject &body,
                                        const HttpResultCallback &callback, const QString &token,
                                        const QString &host)
{
    httpPost(path, body, tiedTo(context, callback), token, host);
}

void QnLynInterNetWorkManager::onPostFinished(QNetworkReply *reply, const QString &path,
                                              const QJsonObject &body, const HttpResultCallback &callback)
{
    HttpResultInfo result;
    result.statusCode = httpStatus(reply);
    const QByteArray bytes = reply->readAll();
    result.replyObject = parseObject(bytes);
    result.requestPath = path;
    // Bodies may carry tokens and passwords: only their size and keys reach the log.
    qCDebug(lcHttp) << "POST" << path << "status" << result.statusCode << "reply bytes" << bytes.size();
    if (result.statusCode != 200)
        qCDebug(lcHttp) << "request param:" << path << "keys" << body.keys() << reply->errorString();
    if (callback)
        callback(result);
    reply->deleteLater();
}

void QnLynInterNetWorkManager::httpGet(const QString &path, const QString &suffix,
                                       const HttpResultCallback &callback, const QString &host)
{
    QNetworkReply *reply = m_nam->get(QNetworkRequest(requestUrl(host, path + suffix)));
    connect(reply, &QNetworkReply::finished, reply,
            [this, reply, path, callback] { onGetFinished(reply, path, callback); });
}

void QnLynInterNetWorkManager::httpGet(const QObject *context, const QString &path, const QString &suffix,
                                       const HttpResultCallback &callback, const QString &host)
{
    httpGet(path, suffix, tiedTo(context, callback), host);
}

void QnLynInterNetWorkManager::onGetFinished(QNetworkReply *reply, const QString &path,
                                             const HttpResultCallback &callback)
{
    HttpResultInfo result;
    result.statusCode = httpStatus(reply);
    result.replyObject = parseObject(reply->readAll());
    result.requestPath = path;
    if (result.statusCode != 200)
        qCDebug(lcHttp) << "request param:" << path << "status" << result.statusCode << reply->errorString();
    if (callback)
        callback(result);
    reply->deleteLater();
}

void QnLynInterNetWorkManager::uploadFile(const QString &path, const QString &filePath,
                                          const HttpFileCallback &callback, const QString &host)
{
    auto file = std::make_unique<QFile>(filePath);
    if (!file->open(QIODevice::ReadOnly)) {
        qCWarning(lcHttp) << "upload not sent, cannot open" << filePath << file->errorString();
        // Reported from the event loop, like every other result.
        QMetaObject::invokeMethod(
            this,
            [path, filePath, callback] {
                if (!callback)
                    return;
                HttpFileResult result;
                result.finished = true;
                result.requestPath = path;
                result.filePath = filePath;
                callback(result);
            },
            Qt::QueuedConnection);
        return;
    }

    auto *multi = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    multi->setBoundary(kBoundary);
    QHttpPart part;
    part.setHeader(QNetworkRequest::ContentTypeHeader, QMimeDatabase().mimeTypeForFile(filePath).name());
    part.setHeader(
        QNetworkRequest::ContentDispositionHeader,
        QStringLiteral("form-data;name=\"file\";filename=\"%1\"").arg(QFileInfo(filePath).fileName()));
    file->setParent(multi);
    part.setBodyDevice(file.release());
    multi->append(part);

    QNetworkRequest request(requestUrl(host, path));
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArray("multipart/form-data;boundary=") + kBoundary);
    QNetworkReply *reply = m_nam->post(request, multi);
    multi->setParent(reply);

    auto report = [path, filePath, callback](HttpFileResult &result) {
        if (!callback)
            return;
        result.requestPath = path;
        result.filePath = filePath;
        callback(result);
    };
    connect(reply, &QNetworkReply::errorOccurred, reply, [report](QNetworkReply::NetworkError code) {
        HttpFileResult result;
        result.statusCode = int(code);
        report(result);
    });
    connect(reply, &QNetworkReply::uploadProgress, reply, [report](qint64 sent, qint64 total) {
        HttpFileResult result;
        result.statusCode = 200;
        result.current = int(sent);
        result.total = int(total);
        report(result);
    });
    connect(reply, &QNetworkReply::finished, reply, [report, reply, path] {
        HttpFileResult result;
        result.finished = true;
        result.statusCode = httpStatus(reply);
        if (result.statusCode == 0)
            result.statusCode = int(reply->error());
        result.replyObject = parseObject(reply->readAll());
        qCDebug(lcHttp) << "upload" << path << "status" << result.statusCode;
        report(result);
        reply->deleteLater();
    });
}

void QnLynInterNetWorkManager::uploadFile(const QObject *context, const QString &path,
                                          const QString &filePath, const HttpFileCallback &callback,
                                          const QString &host)
{
    uploadFile(path, filePath, tiedTo(context, callback), host);
}

void QnLynInterNetWorkManager::addDownloadTask(const DownloadTask &task)
{
    if (!m_downloader)
        m_downloader = new DownloadFileThread(this);
    m_downloader->addTask(task);
}
