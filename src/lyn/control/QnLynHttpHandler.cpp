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

QString typeMissing()
{
    return QStringLiteral("type not exist");
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
    QN_CHECK_THREAD(d->thread);
    const Request r = parseRequest(bytes);
    if (!r.hasType || !r.hasUserId)
        return QJsonObject{{QStringLiteral("code"), AnswerFailed},
                           {QStringLiteral("msg"), QStringLiteral("not contains type or userId")}};

    d->lastRequestId = r.id;
    using Handler = void (Private::*)(const Request &, const QByteArray &, Private::PeerReply &);
    static const QHash<int, Handler> handlers{
        {RequestConnect, &Private::onConnect},         {RequestDisconnect, &Private::onDisconnect},
        {RequestPresence, &Private::onPresence},       {RequestStartLyn, &Private::onStartLyn},
        {RequestStopLyn, &Private::onStopLyn},         {RequestStartDesktop, &Private::onStartDesktop},
        {RequestStopDesktop, &Private::onStopDesktop}, {RequestMouse, &Private::onMouse},
        {RequestStopMouse, &Private::onStopMouse},     {RequestPictures, &Private::onFileList},
        {RequestDocuments, &Private::onFileList},      {RequestSharePath, &Private::onSharePath},
        {RequestShareVideo, &Private::onSharePath},    {RequestRotation, &Private::onRotation},
        {RequestDesktop, &Private::onDesktop},         {RequestOpenDocument, &Private::onOpenDocument},
        {RequestMediaStatus, &Private::onMediaStatus}, {RequestReconnect, &Private::onReconnect},
        {RequestFullScreen, &Private::onFullScreen},
    };
    Private::PeerReply reply;
    const Handler handler = handlers.value(r.type, nullptr);
    if (handler)
        (d.get()->*handler)(r, bytes, reply);
    else
        reply.refuse(AnswerFailed, typeMissing());

    QJsonObject answer{{QStringLiteral("code"), reply.code},
                       {QStringLiteral("msg"), reply.msg},
                       {QStringLiteral("type"), r.type},
                       {QStringLiteral("id"), r.id}};
    if (!reply.failed)
        answer.insert(QStringLiteral("data"), reply.data);
    return answer;
}

void QnLynHttp::Private::onConnect(const Request &r, const QByteArray &, PeerReply &reply)
{
    const bool known = peerNames.contains(r.userId);
    if (!known && peerNames.size() >= peerLimit) {
        reply.refuse(AnswerConnectionLimit,
                     QnLynHttp::tr("The number of connections has reached the upper limit"));
        return;
    }
    // A peer seen before (or still within its grace time) is first reported gone, once.
    const bool wasSeen = peerLastSeen.contains(r.userId) || graceTimers.contains(r.userId);
    stopGraceTimer(r.userId);
    if (wasSeen)
        emit q->userConnectedChanged(r.userId, r.nickName, false);
    reply.data = QJsonObject{{QStringLiteral("nickName"), deviceName},
                             {QStringLiteral("ip"), localIp},
                             {QStringLiteral("port"), servicePort},
                             {QStringLiteral("roomId"), roomId},
                             {QStringLiteral("uploadUrl"), uploadUrl}};
    peerLastSeen.insert(r.userId, nowSec());
    peerNames.insert(r.userId, r.nickName);
    peerAddresses.insert(r.userId, r.ip);
    emit q->userConnectedChanged(r.userId, r.nickName, true);
    if (!r.ip.isEmpty())
        emit q->userConnect(r.userId, r.ip);
}

void QnLynHttp::Private::onDisconnect(const Request &r, const QByteArray &, PeerReply &)
{
    removePeer(r.userId);
    emit q->userConnectedChanged(r.userId, r.nickName, false);
}

void QnLynHttp::Private::onPresence(const Request &r, const QByteArray &, PeerReply &)
{
    // Bounded like the connect table: a stream of unknown ids cannot grow it without limit.
    if (peerLastSeen.contains(r.userId) || peerLastSeen.size() < peerLimit)
        peerLastSeen.insert(r.userId, nowSec());
}

void QnLynHttp::Private::onStartLyn(const Request &r, const QByteArray &, PeerReply &reply)
{
    if (!hasKeys(r.data, {"ip", "lynPort"})) {
        reply.refuse(AnswerFailed, typeMissing());
        return;
    }
    qCInfo(lcLynHttp) << "screen count" << screenCount;
    if (screenCount > screenLimit - 1) {
        reply.refuse(AnswerScreenLimit, screenLimitText());
        return;
    }
    emit q->requestLyn(r.userId);
    const int localPort = 0; // no local media port is reserved for a peer before it asks
    reply.data = QJsonObject{{QStringLiteral("ip"), localIp}, {QStringLiteral("lynPort"), localPort}};
    emit q->startLyn(r.userId, r.nickName, r.data.value(QLatin1String("ip")).toString(),
                     toInt(r.data.value(QLatin1String("lynPort"))), localPort,
                     toInt(r.data.value(QLatin1String("device"))),
                     toInt(r.data.value(QLatin1String("width"))),
                     toInt(r.data.value(QLatin1String("height"))));
}

void QnLynHttp::Private::onStopLyn(const Request &r, const QByteArray &, PeerReply &)
{
    emit q->stopLyn(r.userId);
}

void QnLynHttp::Private::onStartDesktop(const Request &r, const QByteArray &, PeerReply &reply)
{
    if (!hasKeys(r.data, {"ip", "lynPort", "port"})) {
        reply.refuse(AnswerFailed, typeMissing());
        return;
    }
    emit q->startDesktop(r.userId, r.nickName, r.data.value(QLatin1String("ip")).toString(),
                         toInt(r.data.value(QLatin1String("lynPort"))),
                         toInt(r.data.value(QLatin1String("port"))));
}

void QnLynHttp::Private::onStopDesktop(const Request &r, const QByteArray &, PeerReply &)
{
    emit q->stopDesktop(r.userId);
}

void QnLynHttp::Private::onMouse(const Request &r, const QByteArray &, PeerReply &reply)
{
    emit q->requestMouse(r.userId);
    if (!desktopPermission)
        reply.refuse(AnswerMouseRefused, QStringLiteral("can not desktop"));
}

void QnLynHttp::Private::onStopMouse(const Request &r, const QByteArray &, PeerReply &)
{
    emit q->stopMouse(r.userId);
}

void QnLynHttp::Private::onFileList(const Request &r, const QByteArray &bytes, PeerReply &reply)
{
    const bool pictures = r.type == RequestPictures;
    const QLatin1String key(pictures ? "pixs" : "docs");
    if (!r.data.value(key).isArray()) {
        reply.refuse(AnswerFailed, typeMissing());
        return;
    }
    // The peer id and the file names become parts of a path below the save folder.
    if (!isSafePeerId(r.userId)) {
        reply.refuse(AnswerFailed, QStringLiteral("invalid userId"));
        return;
    }
    if (saveFolder.isEmpty()) {
        qCWarning(lcLynHttp) << "file list from" << QnLog::peer(r.userId) << "refused: no save folder";
        reply.refuse(AnswerFailed, QStringLiteral("no save folder"));
        return;
    }
    emit q->startUploadFiles();
    qCInfo(lcLynHttp) << (pictures ? "LynPixmap" : "LynDocuments") << QnLog::peer(bytes, 512);
    const QVariantList list = storeFileList(r.userId, r.data.value(key).toArray());
    if (pictures)
        emit q->lynPixmap(r.userId, r.nickName, list);
    else
        emit q->lynDocuments(r.userId, r.nickName, list);
}

void QnLynHttp::Private::onSharePath(const Request &r, const QByteArray &, PeerReply &reply)
{
    if (!r.data.contains(QLatin1String("path"))) {
        reply.refuse(AnswerFailed, typeMissing());
        return;
    }
    if (screenCount > screenLimit - 1) {
        if (r.type == RequestShareVideo)
            qCInfo(lcLynHttp) << "lynvideo==================================";
        reply.refuse(AnswerScreenLimit, screenLimitText());
        return;
    }
    emit q->lynVideo(r.userId, r.nickName, r.data.value(QLatin1String("path")).toString(),
                     r.type == RequestShareVideo);
}

void QnLynHttp::Private::onRotation(const Request &r, const QByteArray &, PeerReply &reply)
{
    if (!r.data.contains(QLatin1String("angle"))) {
        reply.refuse(AnswerFailed, typeMissing());
        return;
    }
    emit q->lynRotationAngle(r.userId, toInt(r.data.value(QLatin1String("angle"))));
}

void QnLynHttp::Private::onDesktop(const Request &r, const QByteArray &, PeerReply &reply)
{
    if (!hasKeys(r.data, {"ip", "lynPort"})) {
        reply.refuse(AnswerFailed, typeMissing());
        return;
    }
    emit q->requestDesktop(r.userId);
    if (!desktopPermission) {
        reply.refuse(AnswerDesktopRefused, QStringLiteral("can not desktop"));
    } else if (desktopPort <= 0) {
        // No desktop stream exists to offer: answering success with port 0 would mislead the peer.
        reply.refuse(AnswerDesktopRefused, QStringLiteral("desktop not available"));
    } else {
        reply.data = QJsonObject{{QStringLiteral("ip"), localIp},
                                 {QStringLiteral("lynPort"), desktopPort},
                                 {QStringLiteral("width"), desktopSize.width()},
                                 {QStringLiteral("height"), desktopSize.height()}};
    }
}

void QnLynHttp::Private::onOpenDocument(const Request &r, const QByteArray &, PeerReply &reply)
{
    if (!r.data.contains(QLatin1String("url"))) {
        reply.refuse(AnswerFailed, typeMissing());
        return;
    }
    const QString name = r.data.value(QLatin1String("url")).toString().split(QLatin1Char('/')).last();
    if (!isSafePeerId(r.userId) || !isSafeFileName(name)) {
        reply.refuse(AnswerFailed, QStringLiteral("invalid file"));
        return;
    }
    if (saveFolder.isEmpty()) {
        reply.refuse(AnswerFailed, QStringLiteral("no save folder"));
        return;
    }
    emit q->lynOpenDocument(r.userId, r.nickName,
                            saveFolder + QLatin1Char('/') + r.userId + QLatin1Char('/') + name);
}

void QnLynHttp::Private::onMediaStatus(const Request &r, const QByteArray &, PeerReply &reply)
{
    if (!r.data.contains(QLatin1String("path"))) {
        reply.refuse(AnswerFailed, typeMissing());
        return;
    }
    const QString path = r.data.value(QLatin1String("path")).toString();
    qCInfo(lcLynHttp) << "mediastatus ==========" << QnLog::peer(path);
    emit q->mediaStatus(r.userId, path);
}

void QnLynHttp::Private::onReconnect(const Request &r, const QByteArray &, PeerReply &reply)
{
    if (graceTimers.contains(r.userId))
        stopGraceTimer(r.userId); // back within its grace time: still connected
    else
        reply.refuse(AnswerFailed, QStringLiteral("is disconnected"));
}

void QnLynHttp::Private::onFullScreen(const Request &, const QByteArray &, PeerReply &reply)
{
    if (fullScreen)
        reply.refuse(AnswerFullScreenBusy,
                     QStringLiteral("Other users are playing full screen, please try again later"));
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
    QN_CHECK_THREAD(d->thread);
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
