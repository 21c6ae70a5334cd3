// Requests this PC sends to the receiver (channel 5) and their result signals.
#include "lyn/control/internal/QnLynHttpPrivate.h"

#include "common/log/QnLog.h"

#include <QTimer>

using namespace QnLynControl;

void QnLynHttp::startConnect(const QString &url, const QString &userId)
{
    const bool sent = d->sendRequest(
        userId, ChannelRequest, RequestConnect, d->deviceName, QJsonObject(),
        [this, url, userId](const QByteArray &bytes, const QString &) {
            const Answer a = parseAnswer(bytes);
            if (!a.success) {
                qCWarning(lcLynHttp) << "connect to" << QnLog::peer(userId)
                                     << "failed:" << QnLog::peer(a.errorText);
                emit startConnectResult(false, userId, QString(), QString(), QString(), 0, QString());
                return;
            }
            d->serverUrl = url;
            d->serverUserId = userId;
            emit startConnectResult(true, userId, a.data.value(QLatin1String("nickName")).toString(),
                                    a.data.value(QLatin1String("roomId")).toString(),
                                    a.data.value(QLatin1String("ip")).toString(),
                                    toInt(a.data.value(QLatin1String("port"))),
                                    a.data.value(QLatin1String("uploadUrl")).toString());
        });
    if (!sent)
        emit startConnectResult(false, userId, QString(), QString(), QString(), 0, QString());
}

void QnLynHttp::stopConnect(const QString &url, const QString &userId)
{
    Q_UNUSED(url)
    d->serverLastSeen.clear();
    d->sendRequest(userId, ChannelRequest, RequestDisconnect, d->deviceName, QJsonObject(),
                   [](const QByteArray &, const QString &) {});
}

void QnLynHttp::startLynSender(const QString &url, const QString &userId, int lynPort, int width, int height,
                               const QString &nickName)
{
    Q_UNUSED(url)
    const QJsonObject data{{QStringLiteral("ip"), d->localIp},
                           {QStringLiteral("lynPort"), lynPort},
                           {QStringLiteral("device"), 1},
                           {QStringLiteral("width"), width},
                           {QStringLiteral("height"), height}};
    const bool sent =
        d->sendRequest(userId, ChannelRequest, RequestStartLyn, nickName, data,
                       [this, userId](const QByteArray &bytes, const QString &) {
                           const Answer a = parseAnswer(bytes);
                           if (a.success)
                               emit startLynResult(true, userId, a.data.value(QLatin1String("ip")).toString(),
                                                   toInt(a.data.value(QLatin1String("lynPort"))));
                           else
                               emit startLynResult(false, userId, QString(), 0);
                       });
    if (!sent)
        emit startLynResult(false, userId, QString(), 0);
}

void QnLynHttp::stopLynSender(const QString &url, const QString &userId)
{
    Q_UNUSED(url)
    d->sendRequest(
        userId, ChannelRequest, RequestStopLyn, d->deviceName, QJsonObject(),
        [this, userId](const QByteArray &bytes, const QString &) {
            if (parseAnswer(bytes).success)
                emit closeLyn(userId);
        },
        false);
}

void QnLynHttp::startDesktopSender(const QString &url, const QString &userId, int lynPort, int port)
{
    Q_UNUSED(url)
    const QJsonObject data{{QStringLiteral("ip"), d->localIp},
                           {QStringLiteral("lynPort"), lynPort},
                           {QStringLiteral("port"), port}};
    const bool sent = d->sendRequest(userId, ChannelRequest, RequestStartDesktop, d->deviceName, data,
                                     [this, userId, lynPort](const QByteArray &bytes, const QString &) {
                                         const Answer a = parseAnswer(bytes);
                                         if (a.success)
                                             emit startDesktopResult(
                                                 true, userId, a.data.value(QLatin1String("ip")).toString(),
                                                 toInt(a.data.value(QLatin1String("lynPort"))), lynPort);
                                         else
                                             emit startDesktopResult(false, userId, QString(), 0, 0);
                                     });
    if (!sent)
        emit startDesktopResult(false, userId, QString(), 0, 0);
}

void QnLynHttp::stopDesktopSender(const QString &url, const QString &userId)
{
    Q_UNUSED(url)
    d->sendRequest(
        userId, ChannelRequest, RequestStopDesktop, d->deviceName, QJsonObject(),
        [](const QByteArray &, const QString &) {}, false);
}

void QnLynHttp::startDesktopRequestSender(const QString &url, const QString &userId, int lynPort)
{
    Q_UNUSED(url)
    const QJsonObject data{{QStringLiteral("ip"), d->localIp}, {QStringLiteral("lynPort"), lynPort}};
    const bool sent = d->sendRequest(
        userId, ChannelRequest, RequestDesktop, d->deviceName, data,
        [this, userId, lynPort](const QByteArray &bytes, const QString &) {
            const Answer a = parseAnswer(bytes);
            if (a.success)
                emit startDesktopRequestResult(true, userId, a.data.value(QLatin1String("ip")).toString(),
                                               toInt(a.data.value(QLatin1String("lynPort"))), lynPort,
                                               toInt(a.data.value(QLatin1String("width"))),
                                               toInt(a.data.value(QLatin1String("height"))));
            else
                emit startDesktopRequestResult(false, userId, QString(), 0, 0, -1, -1);
        });
    if (!sent)
        emit startDesktopRequestResult(false, userId, QString(), 0, 0, -1, -1);
}

void QnLynHttp::sendReconnect(const QString &userId)
{
    const bool sent = d->sendRequest(userId, ChannelRequest, RequestReconnect, d->deviceName, QJsonObject(),
                                     [this, userId](const QByteArray &bytes, const QString &) {
                                         if (parseAnswer(bytes).success) {
                                             emit reconnectServerResult(userId, true);
                                             return;
                                         }
                                         d->serverLastSeen.remove(userId);
                                         emit reconnectServerResult(userId, false);
                                         emit serverDisconnected(userId);
                                     });
    if (!sent)
        emit serverDisconnected(userId);
}

void QnLynHttp::resetKeepAlive()
{
    d->serverLastSeen.clear();
}
