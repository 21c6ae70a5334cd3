#include "lyn/control/internal/QnLynHttpPrivate.h"

#include "common/log/QnLog.h"

#include "QnSignal/client/QnSignalClient.h"
#include "common/settings/COption.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QSysInfo>
#include <QTimer>
#include <QUuid>

Q_LOGGING_CATEGORY(lcLynHttp, "qn.lyn.http")

using namespace QnLynControl;

namespace {
QByteArray compact(const QJsonObject &obj)
{
    return QJsonDocument(obj).toJson(QJsonDocument::Compact);
}
} // namespace

QnLynHttp::Private::Private(QnLynHttp *owner)
    : q(owner), clock([] { return QDateTime::currentMSecsSinceEpoch(); }), desktopSize(-1, -1)
{}

QnLynHttp::QnLynHttp(QObject *parent) : QnLynHttp(COption::configPath(), parent) {}

QnLynHttp::QnLynHttp(const QString &settingsPath, QObject *parent) : QObject(parent), d(new Private(this))
{
    d->nam = new QNetworkAccessManager(this);

    COption option(settingsPath);
    const QString stored = option.value(QStringLiteral("system"), QStringLiteral("uuid")).toString();
    if (option.contains(QStringLiteral("system"), QStringLiteral("uuid")) && !stored.isEmpty()) {
        d->deviceId = stored;
    } else {
        d->deviceId = QUuid::createUuid().toString(QUuid::Id128);
        option.setValue(QStringLiteral("system"), QStringLiteral("uuid"), d->deviceId);
    }
    d->deviceName = QSysInfo::machineHostName();
    option.setValue(QStringLiteral("system"), QStringLiteral("name"), d->deviceName);

    d->sweepTimer = new QTimer(this);
    d->sweepTimer->setInterval(100);
    connect(d->sweepTimer, &QTimer::timeout, this, &QnLynHttp::sweepRequests);
    d->sweepTimer->start();
}

QnLynHttp::~QnLynHttp() = default;

void QnLynHttp::setSignalClient(QnSignalClient *client)
{
    QN_CHECK_THREAD(d->thread);
    if (d->signalClient) {
        d->signalClient->unrouteChannels(this);
        disconnect(d->signalClient, nullptr, this, nullptr);
    }
    d->signalClient = client;
    if (!client)
        return;
    client->routeChannels(
        {ChannelRequest, ChannelAnswer, ChannelKeepAlive, ChannelKeepAliveAnswer}, this,
        [this](int channel, const QByteArray &data, const QString &senderId) {
            onReceiveData(channel, data, senderId);
        },
        Qt::QueuedConnection);
    connect(client, &QnSignalClient::userLeaveRoom, this, &QnLynHttp::onUserLeaveRoom, Qt::QueuedConnection);
}

void QnLynHttp::setLocalIp(const QString &ip)
{
    d->localIp = ip;
}

void QnLynHttp::setRoomId(const QString &roomId)
{
    d->roomId = roomId;
}

QString QnLynHttp::getRoomId() const
{
    return d->roomId;
}

QString QnLynHttp::getDeviceId() const
{
    return d->deviceId;
}

QString QnLynHttp::getDeviceName() const
{
    return d->deviceName;
}

void QnLynHttp::setClock(Clock clock)
{
    d->clock = clock ? std::move(clock) : Clock([] { return QDateTime::currentMSecsSinceEpoch(); });
}

int QnLynHttp::pendingRequestCount() const
{
    return d->registry.size();
}

void QnLynHttp::setPeerGraceMs(int ms)
{
    d->peerGraceMs = ms;
}

int QnLynHttp::Private::send(const QString &target, int channel, const QByteArray &bytes)
{
    if (!signalClient)
        return 0;
    return signalClient->sendRoomUserMsg(target, channel, bytes);
}

bool QnLynHttp::Private::sendRequest(const QString &target, int channel, int type, const QString &nickName,
                                     const QJsonObject &data, QnLynRequestRegistry::Handler handler,
                                     bool checkSend)
{
    QN_CHECK_THREAD(thread);
    const QString id = newRequestId();
    const QByteArray bytes = buildEnvelope(deviceId, nickName, type, id, data);
    const int result = send(target, channel, bytes);
    if (result < 0 && checkSend) {
        qCWarning(lcLynHttp) << "request type" << type << "to" << QnLog::peer(target)
                             << "refused by the gateway" << result;
        return false;
    }
    qCDebug(lcLynHttp) << "request" << type << "id" << id << "to" << QnLog::peer(target) << "channel"
                       << channel;
    registry.file(id, target, nowMs(), std::move(handler));
    return true;
}

void QnLynHttp::sweepRequests()
{
    QN_CHECK_THREAD(d->thread);
    static const QByteArray timeoutAnswer = compact(QJsonObject{{QStringLiteral("code"), AnswerFailed}});
    // Expired entries leave the registry before any handler runs: a handler may file a new request.
    auto expired = d->registry.expire(d->nowMs(), kRequestTimeoutMs);
    for (auto &entry : expired) {
        qCInfo(lcLynHttp) << "request" << entry.id << "to" << entry.target << "timed out";
        if (entry.handler)
            entry.handler(timeoutAnswer, entry.target);
    }
}

void QnLynHttp::onReceiveData(int channel, const QByteArray &data, const QString &senderId)
{
    QN_CHECK_THREAD(d->thread);
    switch (channel) {
    case ChannelRequest: {
        const QJsonObject answer = handleData(data);
        if (toInt(answer.value(QLatin1String("type"))) != RequestMediaStatus ||
            !answer.contains(QLatin1String("type")))
            d->send(senderId, ChannelAnswer, compact(answer));
        break;
    }
    case ChannelAnswer:
        d->answerRequest(data, senderId, true);
        break;
    case ChannelKeepAlive:
        d->answerKeepAlive(data, senderId);
        break;
    case ChannelKeepAliveAnswer:
        d->answerRequest(data, senderId, false);
        break;
    default:
        break; // only the routed channels arrive here
    }
}

void QnLynHttp::Private::answerRequest(const QByteArray &bytes, const QString &senderId,
                                       bool checkScreenLimit)
{
    const AnswerHead head = parseAnswerHead(bytes);
    if (checkScreenLimit && head.hasCode && head.code == AnswerScreenLimit) {
        // The request stays filed and fails by time-out.
        emit q->forScreenMaxLimit();
        return;
    }
    QnLynRequestRegistry::Entry entry;
    if (!head.id.isEmpty() && registry.contains(head.id) && registry.targetOf(head.id) != senderId) {
        // Only the member a request went to may answer it; the request stays filed.
        qCDebug(lcLynHttp) << "answer from" << QnLog::peer(senderId) << "to a request sent elsewhere ignored";
        return;
    }
    if (head.id.isEmpty() || !registry.take(head.id, &entry)) {
        if (peerLog.allow(lcLynHttp(), "answer with unknown id", QtDebugMsg))
            qCDebug(lcLynHttp) << "answer with unknown id" << QnLog::peer(head.id, 64) << "from"
                               << QnLog::peer(senderId) << "ignored";
        return;
    }
    if (entry.handler)
        entry.handler(bytes, senderId);
}

void QnLynHttp::Private::answerKeepAlive(const QByteArray &bytes, const QString &senderId)
{
    const Request request = parseRequest(bytes);
    int code = -1;
    if (peerLastSeen.contains(senderId)) {
        peerLastSeen.insert(senderId, nowSec());
        code = 0;
    }
    const QJsonObject answer{{QStringLiteral("id"), request.id}, {QStringLiteral("code"), code}};
    send(senderId, ChannelKeepAliveAnswer, compact(answer));
}

void QnLynHttp::sendKeep()
{
    const QString userId = d->serverUserId;
    const QString url = d->serverUrl;
    const bool sent = d->sendRequest(userId, ChannelKeepAlive, kKeepAliveType, d->deviceName, QJsonObject(),
                                     [this, userId, url](const QByteArray &answer, const QString &) {
                                         d->serverLastSeen.insert(userId, d->nowSec());
                                         if (!parseAnswer(answer).success) {
                                             qCWarning(lcLynHttp)
                                                 << "keep-alive to" << QnLog::peer(userId) << "failed";
                                             emit keepResult(false, userId, url);
                                         }
                                     });
    if (!sent)
        emit keepResult(false, userId, url);
}
