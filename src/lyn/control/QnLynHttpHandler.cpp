// Requests that a peer sends to this PC (channel 5), the peer tables and the leave notices.
#include "lyn/control/internal/QnLynHttpPrivate.h"

#include "common/log/QnLog.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTimer>

using namespace QnLynControl;

namespace {

QString screenLimitText()
{
    return QnLynHttp::tr("The number of screen projectors has reached the limit, please wait for other "
                         "devices to disconnect and initiate the screen project");
}

bool hasKeys(const QJsonObject &data, std::initializer_list<const char *> keys)
{
    for (const char *key : keys) {
        if (!data.contains(QLatin1String(key)))
            return false;
    }
    return true;
}

} // namespace

QJsonObject QnLynHttp::handleData(const QByteArray &bytes)
{
    const Request r = parseRequest(bytes);
    if (!r.hasType || !r.hasUserId)
        return QJsonObject{{QStringLiteral("code"), -1},
                           {QStringLiteral("msg"), QStringLiteral("not contains type or userId")}};

    QJsonObject answer{{QStringLiteral("code"), 0},
                       {QStringLiteral("msg"), QStringLiteral("ok")},
                       {QStringLiteral("type"), r.type},
                       {QStringLiteral("id"), r.id}};
    d->lastRequestId = r.id;
    QJsonObject out; // the answer's "data"
    bool failed = false;
    auto refuse = [&](int code, const QString &msg) {
        answer.insert(QStringLiteral("code"), code);
        answer.insert(QStringLiteral("msg"), msg);
        failed = true;
    };
    const QString typeMissing = QStringLiteral("type not exist");
    const QJsonObject &data = r.data;

    switch (r.type) {
    case 1: {
        const bool known = d->peerNames.contains(r.userId);
        if (!known && d->peerNames.size() >= d->peerLimit) {
            refuse(-1004, tr("The number of connections has reached the upper limit"));
            break;
        }
        // A peer seen before (or still within its grace time) is first reported gone, once.
        const bool wasSeen = d->peerLastSeen.contains(r.userId) || d->graceTimers.contains(r.userId);
        d->stopGraceTimer(r.userId);
        if (wasSeen)
            emit userConnectedChanged(r.userId, r.nickName, false);
        out = QJsonObject{{QStringLiteral("nickName"), d->deviceName},
                          {QStringLiteral("ip"), d->localIp},
                          {QStringLiteral("port"), d->servicePort},
                          {QStringLiteral("roomId"), d->roomId},
                          {QStringLiteral("uploadUrl"), d->uploadUrl}};
        d->peerLastSeen.insert(r.userId, d->nowSec());
        d->peerNames.insert(r.userId, r.nickName);
        d->peerAddresses.insert(r.userId, r.ip);
        emit userConnectedChanged(r.userId, r.nickName, true);
        if (!r.ip.isEmpty())
            emit userConnect(r.userId, r.ip);
        break;
    }
    case 2:
        d->removePeer(r.userId);
        emit userConnectedChanged(r.userId, r.nickName, false);
        break;
    case 3:
        // Bounded like the connect table: a stream of unknown ids cannot grow it without limit.
        if (d->peerLastSeen.contains(r.userId) || d->peerLastSeen.size() < d->peerLimit)
            d->peerLastSeen.insert(r.userId, d->nowSec());
        break;
    case 4: {
        if (!hasKeys(data, {"ip", "lynPort"})) {
            refuse(-1, typeMissing);
            break;
        }
        qCInfo(lcLynHttp) << "screen count" << d->screenCount;
        if (d->screenCount > d->screenLimit - 1) {
            refuse(-1006, screenLimitText());
            break;
        }
        emit requestLyn(r.userId);
        const int localPort = d->peerMediaPorts.value(r.userId);
        out = QJsonObject{{QStringLiteral("ip"), d->localIp}, {QStringLiteral("lynPort"), localPort}};
        emit startLyn(r.userId, r.nickName, data.value(QLatin1String("ip")).toString(),
                      toInt(data.value(QLatin1String("lynPort"))), localPort,
                      toInt(data.value(QLatin1String("device"))), toInt(data.value(QLatin1String("width"))),
                      toInt(data.value(QLatin1String("height"))));
        break;
    }
    case 5:
        emit stopLyn(r.userId);
        break;
    case 6:
        if (!hasKeys(data, {"ip", "lynPort", "port"})) {
            refuse(-1, typeMissing);
            break;
        }
        emit startDesktop(r.userId, r.nickName, data.value(QLatin1String("ip")).toString(),
                          toInt(data.value(QLatin1String("lynPort"))),
                          toInt(data.value(QLatin1String("port"))));
        break;
    case 7:
        emit stopDesktop(r.userId);
        break;
    case 8:
        emit requestMouse(r.userId);
        if (!d->desktopPermission)
            refuse(-1003, QStringLiteral("can not desktop"));
        break;
    case 9:
        emit stopMouse(r.userId);
        break;
    case 10:
    case 16: {
        const bool pictures = r.type == 10;
        const QLatin1String key(pictures ? "pixs" : "docs");
        if (!data.value(key).isArray()) {
            refuse(-1, typeMissing);
            break;
        }
        // The peer id and the file names become parts of a path below the save folder.
        if (!isSafePeerId(r.userId)) {
            refuse(-1, QStringLiteral("invalid userId"));
            break;
        }
        if (d->saveFolder.isEmpty()) {
            qCWarning(lcLynHttp) << "file list from" << QnLog::peer(r.userId) << "refused: no save folder";
            refuse(-1, QStringLiteral("no save folder"));
            break;
        }
        emit startUploadFiles();
        qCInfo(lcLynHttp) << (pictures ? "LynPixmap" : "LynDocuments") << QnLog::peer(bytes, 512);
        const QVariantList list = d->storeFileList(r.userId, data.value(key).toArray());
        if (pictures)
            emit lynPixmap(r.userId, r.nickName, list);
        else
            emit lynDocuments(r.userId, r.nickName, list);
        break;
    }
    case 12:
    case 13:
        if (!data.contains(QLatin1String("path"))) {
            refuse(-1, typeMissing);
            break;
        }
        if (d->screenCount > d->screenLimit - 1) {
            if (r.type == 13)
                qCInfo(lcLynHttp) << "lynvideo==================================";
            refuse(-1006, screenLimitText());
            break;
        }
        emit lynVideo(r.userId, r.nickName, data.value(QLatin1String("path")).toString(), r.type == 13);
        break;
    case 14:
        if (!data.contains(QLatin1String("angle"))) {
            refuse(-1, typeMissing);
            break;
        }
        emit lynRotationAngle(r.userId, toInt(data.value(QLatin1String("angle"))));
        break;
    case 15:
        if (!hasKeys(data, {"ip", "lynPort"})) {
            refuse(-1, typeMissing);
            break;
        }
        emit requestDesktop(r.userId);
        if (!d->desktopPermission) {
            refuse(-1002, QStringLiteral("can not desktop"));
        } else if (d->desktopPort <= 0) {
            // No desktop stream exists to offer: answering success with port 0 would mislead the peer.
            refuse(-1002, QStringLiteral("desktop not available"));
        } else {
            out = QJsonObject{{QStringLiteral("ip"), d->localIp},
                              {QStringLiteral("lynPort"), d->desktopPort},
                              {QStringLiteral("width"), d->desktopSize.width()},
                              {QStringLiteral("height"), d->desktopSize.height()}};
        }
        break;
    case 17: {
        if (!data.contains(QLatin1String("url"))) {
            refuse(-1, typeMissing);
            break;
        }
        const QString name = data.value(QLatin1String("url")).toString().split(QLatin1Char('/')).last();
        if (!isSafePeerId(r.userId) || !isSafeFileName(name)) {
            refuse(-1, QStringLiteral("invalid file"));
            break;
        }
        if (d->saveFolder.isEmpty()) {
            refuse(-1, QStringLiteral("no save folder"));
            break;
        }
        emit lynOpenDocument(r.userId, r.nickName,
                             d->saveFolder + QLatin1Char('/') + r.userId + QLatin1Char('/') + name);
        break;
    }
    case 18: {
        if (!data.contains(QLatin1String("path"))) {
            refuse(-1, typeMissing);
            break;
        }
        const QString path = data.value(QLatin1String("path")).toString();
        qCInfo(lcLynHttp) << "mediastatus ==========" << QnLog::peer(path);
        emit mediaStatus(r.userId, path);
        break;
    }
    case 19:
        if (d->graceTimers.contains(r.userId))
            d->stopGraceTimer(r.userId); // back within its grace time: still connected
        else
            refuse(-1, QStringLiteral("is disconnected"));
        break;
    case 20:
        if (d->fullScreen)
            refuse(-1005, QStringLiteral("Other users are playing full screen, please try again later"));
        break;
    default:
        refuse(-1, typeMissing);
        break;
    }
    if (!failed)
        answer.insert(QStringLiteral("data"), out);
    return answer;
}

QVariantList QnLynHttp::Private::storeFileList(const QString &userId, const QJsonArray &items)
{
    const QString folder = saveFolder + QLatin1Char('/') + userId;
    const QString listPath = folder + QLatin1Char('/') + userId + QStringLiteral(".json");
    QJsonArray stored;
    QFile in(listPath);
    if (in.open(QIODevice::ReadOnly))
        stored = QJsonDocument::fromJson(in.read(kMaxControlBytes * 4))
                     .object()
                     .value(QLatin1String("data"))
                     .toArray();
    QVariantList raised;
    const qint64 now = nowSec();
    for (const QJsonValue &value : items) {
        if (!value.isObject())
            continue;
        QJsonObject item = value.toObject();
        const QString name = item.value(QLatin1String("url")).toString().split(QLatin1Char('/')).last();
        if (!isSafeFileName(name)) {
            qCWarning(lcLynHttp) << "file entry with unsafe name from" << QnLog::peer(userId) << "skipped";
            continue;
        }
        item.insert(QStringLiteral("path"), folder + QLatin1Char('/') + name);
        item.insert(QStringLiteral("time"), double(now));
        stored.append(item);
        raised.append(item.toVariantMap());
    }
    if (!QDir().mkpath(folder)) {
        qCWarning(lcLynHttp) << "cannot create" << folder;
        return raised;
    }
    QSaveFile out(listPath);
    if (out.open(QIODevice::WriteOnly)) {
        const QJsonObject doc{{QStringLiteral("data"), stored}, {QStringLiteral("size"), stored.size()}};
        out.write(QJsonDocument(doc).toJson(QJsonDocument::Indented));
        if (!out.commit())
            qCWarning(lcLynHttp) << "cannot write" << listPath;
    } else {
        qCWarning(lcLynHttp) << "cannot write" << listPath;
    }
    return raised;
}

void QnLynHttp::Private::removePeer(const QString &userId)
{
    peerLastSeen.remove(userId);
    peerNames.remove(userId);
    peerAddresses.remove(userId);
    peerMediaPorts.remove(userId);
    stopGraceTimer(userId);
}

void QnLynHttp::Private::stopGraceTimer(const QString &userId)
{
    if (QTimer *timer = graceTimers.take(userId)) {
        timer->stop();
        timer->deleteLater();
    }
}

void QnLynHttp::Private::startGraceTimer(const QString &userId)
{
    // A second drop restarts the running timer instead of adding one.
    QTimer *timer = graceTimers.value(userId);
    if (!timer) {
        timer = new QTimer(q);
        timer->setSingleShot(true);
        graceTimers.insert(userId, timer);
        QObject::connect(timer, &QTimer::timeout, q, [this, userId] {
            const QString name = peerNames.value(userId);
            removePeer(userId);
            emit q->userConnectedChanged(userId, name, false);
        });
    }
    timer->start(peerGraceMs);
}

void QnLynHttp::onUserLeaveRoom(const QString &userId, bool isDisconnect)
{
    if (d->serverLastSeen.contains(userId)) {
        if (!isDisconnect) {
            d->serverLastSeen.remove(userId);
            emit serverDisconnected(userId);
        }
        return; // a dropped receiver comes back through the gateway's re-join
    }
    if (!d->peerLastSeen.contains(userId))
        return;
    if (isDisconnect) {
        d->startGraceTimer(userId);
        return;
    }
    const QString name = d->peerNames.value(userId);
    d->removePeer(userId);
    emit userConnectedChanged(userId, name, false);
}

void QnLynHttp::setScreenCount(int count)
{
    d->screenCount = count;
}

void QnLynHttp::setDesktopPermission(bool allowed)
{
    d->desktopPermission = allowed;
}

void QnLynHttp::setFullScreen(bool fullScreen)
{
    d->fullScreen = fullScreen;
}

void QnLynHttp::setDesktopPort(int port)
{
    d->desktopPort = port;
}

void QnLynHttp::setDesktopSize(const QSize &size)
{
    d->desktopSize = size;
}

void QnLynHttp::setUploadUrl(const QString &url)
{
    d->uploadUrl = url;
}

void QnLynHttp::setSaveFolder(const QString &folder)
{
    d->saveFolder = folder;
}
