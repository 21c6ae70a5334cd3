// Mirroring, desktop sync, uploads and the dispatch of what the receiver sends.
#include "client/object/QnLynClientObject.h"

#include "client/object/internal/QnLynClientLog.h"

#include "common/log/QnLog.h"

#include "QnSignal/client/QnSignalClient.h"
#include "client/videomodel/QnLynVideoModel.h"
#include "lyn/control/QnLynControlEnvelope.h"
#include "lyn/control/QnLynHttp.h"
#include "lyn/input/QnLynInput.h"
#include "lyn/manager/QnLynManager.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace {
/// Each mirroring or desktop-sync run binds four local ports: video RTP/RTCP, audio RTP/RTCP.
constexpr int kPortsPerRun = 4;
constexpr int kFrameRate = 30;
} // namespace

void QnLynClientObject::wireMedia()
{
    connect(m_lynHttp, &QnLynHttp::startLyn, this, &QnLynClientObject::onStartLyn);
    connect(m_lynHttp, &QnLynHttp::stopLyn, this, &QnLynClientObject::onStopLyn);
    connect(m_lynHttp, &QnLynHttp::userConnectedChanged, this, &QnLynClientObject::onUserConnectedChanged);
    connect(m_lynHttp, &QnLynHttp::startLynResult, this, &QnLynClientObject::onStartLynResult);
    connect(m_lynHttp, &QnLynHttp::startDesktopRequestResult, this,
            &QnLynClientObject::onStartDesktopRequestResult);
    connect(m_lynHttp, &QnLynHttp::startDesktopResult, this, &QnLynClientObject::onStartDesktopResult);
    connect(m_lynHttp, &QnLynHttp::uploadDocumentsResult, this, &QnLynClientObject::uploadDocumentsResult);
    connect(m_lynHttp, &QnLynHttp::uploadPixmapResult, this, &QnLynClientObject::uploadPixmapResult);
    connect(m_lynHttp, &QnLynHttp::uploadPixmapFailed, this, &QnLynClientObject::uploadPixmapFailed);
    connect(m_lynHttp, &QnLynHttp::uploadDocumentsFailed, this, &QnLynClientObject::uploadDocumentsFailed);
    connect(m_lynHttp, &QnLynHttp::forScreenMaxLimit, this, &QnLynClientObject::forScreenMaxLimit);
    connect(m_lynHttp, &QnLynHttp::closeLyn, this, &QnLynClientObject::closeLyn);
}

int QnLynClientObject::takeMediaPort()
{
    m_lynPort = m_mediaPortCounter;
    m_mediaPortCounter += kPortsPerRun;
    return m_lynPort;
}

QList<QSize> QnLynClientObject::screenSizes() const
{
    if (m_config.screenSizes)
        return m_config.screenSizes();
    QList<QSize> sizes;
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    for (QScreen *screen : QGuiApplication::screens())
        sizes << QSize(int(std::lround(screen->size().width() * ratio)),
                       int(std::lround(screen->size().height() * ratio)));
    return sizes;
}

// ---- Mirroring ----

void QnLynClientObject::startLynSender(const QString &userId, const QString &url, int screen, bool hd,
                                       const QString extra)
{
    QN_CHECK_THREAD(m_thread);
    qCDebug(lcClient) << "startLynSenger------------------------->" << QnLog::peer(userId);
    PendingStart pending;
    pending.seq = ++m_lynSeq;
    pending.userId = userId;
    pending.url = url;
    pending.screen = screen;
    pending.hd = hd;
    pending.localPort = takeMediaPort();
    const QList<QSize> sizes = screenSizes();
    const QSize size = screen >= 0 && screen < sizes.size() ? sizes.at(screen) : QSize(0, 0);
    // Filed before the request goes out: a refused send answers at once.
    m_pendingLyn.append(pending);
    m_lynHttp->startLynSender(url, userId, pending.localPort, size.width(), size.height(), extra);
}

void QnLynClientObject::onStartLynResult(bool result, const QString &userId, const QString &ip, int port)
{
    qCDebug(lcClient) << "startLynResult------------------------->" << QnLog::peer(userId) << result
                      << QnLog::peer(ip) << port;
    if (m_pendingLyn.isEmpty()) {
        qCWarning(lcClient) << "a mirroring answer without a request; ignored";
        return;
    }
    const PendingStart p = m_pendingLyn.takeFirst();
    if (p.seq != m_lynSeq) {
        qCInfo(lcClient) << "answer to a superseded mirroring request; ignored";
        return;
    }
    bool ok = result;
    if (ok && p.userId != userId) {
        qCWarning(lcClient) << "mirroring answer from another member than the one asked; nothing starts";
        ok = false;
    }
    if (ok) {
        m_lynSending = true;
        m_input->setScreen(p.screen);
        const int width = p.hd ? 1920 : 1280;
        const int height = p.hd ? 1080 : 720;
        // The receiver's address came from discovery or a code lookup: nothing is sent to one that
        // is not an IPv4 address.
        ok = isIpv4Text(m_serverIp) &&
             m_lynManager->startSender(p.screen, width, height, kFrameRate, m_serverIp, port, p.localPort);
        if (!ok) {
            qCWarning(lcClient) << "mirroring could not start locally; the receiver is told to stop";
            m_lynSending = false;
            m_input->setScreen(0);
            m_lynHttp->stopLynSender(p.url, userId);
        } else {
            qCInfo(lcClient) << "mirroring to" << QnLog::peer(m_serverIp) << port << "from local port"
                             << p.localPort;
        }
    }
    emit startLynSenderResult(ok, userId);
}

void QnLynClientObject::stopLynSender(const QString &userId, const QString &url)
{
    QN_CHECK_THREAD(m_thread);
    m_lynSending = false;
    stopLynSenderKeepState(userId, url);
}

void QnLynClientObject::stopLynSenderKeepState(const QString &userId, const QString &url)
{
    QN_CHECK_THREAD(m_thread);
    ++m_lynSeq; // a start still waiting for its answer starts nothing
    m_input->setScreen(0);
    m_lynHttp->stopLynSender(url, userId);
    m_lynManager->stopSender();
}

void QnLynClientObject::setSenderResolution(int, int screen, bool hd)
{
    QN_CHECK_THREAD(m_thread);
    m_lynManager->restartCapture(screen, hd ? 1920 : 1280, hd ? 1080 : 720, kFrameRate);
}

// ---- Desktop sync ----

void QnLynClientObject::startDesktop(const QString &userId, const QString &url)
{
    QN_CHECK_THREAD(m_thread);
    PendingStart pending;
    pending.seq = ++m_desktopSeq;
    pending.userId = userId;
    pending.url = url;
    pending.localPort = takeMediaPort();
    m_pendingDesktopRequest.append(pending);
    m_lynHttp->startDesktopRequestSender(url, userId, pending.localPort);
}

void QnLynClientObject::onStartDesktopRequestResult(bool result, const QString &userId, const QString &ip,
                                                    int port, int localPort, int width, int height)
{
    if (m_pendingDesktopRequest.isEmpty()) {
        qCWarning(lcClient) << "a desktop answer without a request; ignored";
        return;
    }
    const PendingStart p = m_pendingDesktopRequest.takeFirst();
    if (p.seq != m_desktopSeq) {
        qCInfo(lcClient) << "answer to a superseded desktop request; ignored";
        return;
    }
    if (!result) {
        emit startDesktopRequestResult(false, userId, QString(), 0, 0, -1, -1);
        return;
    }
    if (p.userId != userId || !startReceiving(userId, m_serverNickName, ip, port, localPort, 1)) {
        emit startDesktopRequestResult(false, userId, QString(), 0, 0, -1, -1);
        return;
    }
    m_input->setScreen(0);
    emit addDesktop(userId, m_serverNickName, p.url, width, height);
    m_desktopSending = true;
    m_pendingDesktopStart.append(p);
    m_lynHttp->startDesktopSender(p.url, userId, localPort, port);
}

void QnLynClientObject::onStartDesktopResult(bool result, const QString &userId, const QString &ip, int port,
                                             int localPort)
{
    qCDebug(lcClient) << "startDesktopResult" << result << QnLog::peer(userId) << QnLog::peer(ip) << port
                      << localPort;
    if (m_pendingDesktopStart.isEmpty())
        return;
    const PendingStart p = m_pendingDesktopStart.takeFirst();
    if (p.seq != m_desktopSeq)
        return;
    if (!result)
        endDesktop(userId, p.url, false);
}

void QnLynClientObject::endDesktop(const QString &userId, const QString &url, bool sendStop)
{
    m_desktopSending = false;
    ++m_desktopSeq;
    if (sendStop)
        m_lynHttp->stopDesktopSender(url, userId);
    m_videoModel->removeItem(userId);
    m_lynManager->stopServer(userId);
    emit removeDesktop();
}

void QnLynClientObject::stopDesktop(const QString &userId, const QString &url)
{
    QN_CHECK_THREAD(m_thread);
    endDesktop(userId, url, true);
}

void QnLynClientObject::closeItem(QString id)
{
    QN_CHECK_THREAD(m_thread);
    if (!id.isEmpty() && id == m_serverUserId)
        endDesktop(m_serverUserId, m_serverUrl, true);
}

bool QnLynClientObject::startReceiving(const QString &userId, const QString &nickName, const QString &ip,
                                       int port, int localPort, int kind)
{
    if (!isIpv4Text(ip)) {
        qCWarning(lcClient) << "receiving refused: the peer's address is not IPv4:" << QnLog::peer(ip);
        return false;
    }
    m_lynManager->startServer(userId, ip, port, localPort, QString::fromStdString(m_networkInfo.ip));
    QnLynVideoItem item;
    item.id = userId;
    item.name = nickName;
    item.desktop = kind == 1;
    m_videoModel->addItem(item);
    return true;
}

void QnLynClientObject::stopReceiving(const QString &userId)
{
    m_videoModel->removeItem(userId);
    m_lynManager->stopServer(userId);
    emit removeDesktop();
}

// ---- The receiver's requests ----

void QnLynClientObject::onStartLyn(const QString &userId, const QString &nickName, const QString &ip,
                                   int port, int localPort, int, int, int)
{
    // Only the connected receiver may start a media run on this PC.
    if (m_link != LinkState::Connected || userId.isEmpty() || userId != m_serverUserId) {
        qCWarning(lcClient) << "mirroring offer from" << QnLog::peer(userId)
                            << "refused: not the connected receiver";
        return;
    }
    startReceiving(userId, nickName, ip, port, localPort, 0);
}

void QnLynClientObject::onStopLyn(const QString &userId)
{
    if (userId.isEmpty() || userId != m_serverUserId)
        return; // no other member runs anything here
    stopReceiving(userId);
}

void QnLynClientObject::onUserConnectedChanged(const QString &userId, const QString &nickName, bool connected)
{
    if (!connected && !userId.isEmpty() && userId == m_serverUserId)
        stopReceiving(userId);
    qCDebug(lcClient) << "userConnectChanged111111111111=========================" << QnLog::peer(userId)
                      << connected;
    emit userConnectedChanged(userId, nickName, connected);
}

// ---- Uploads, whiteboard ----

void QnLynClientObject::uploadPixmaps(const QString &url, const QString &userId, const QString &uploadUrl,
                                      const QStringList &files, const QString &nickName)
{
    QN_CHECK_THREAD(m_thread);
    m_lynHttp->uploadPixmaps(url, userId, uploadUrl, files, nickName);
}

void QnLynClientObject::uploadDocuments(const QString &url, const QString &userId, const QString &uploadUrl,
                                        const QStringList &files)
{
    QN_CHECK_THREAD(m_thread);
    m_lynHttp->uploadDocuments(url, userId, uploadUrl, files);
}

void QnLynClientObject::sendBoardData(const QString &userId, const QByteArray &data)
{
    QN_CHECK_THREAD(m_thread);
    m_signalClient->sendRoomUserMsg(userId, QnLynControl::ChannelBoard, data);
}

// ---- Gateway traffic ----

void QnLynClientObject::onSendDataToNetwork(const QString &id, const QByteArray &data)
{
    // The emitting thread (GUI for captured input, the gateway thread for cursor replies).
    if (m_desktopSending.load() || m_lynSending.load())
        m_signalClient->sendRoomUserMsg(id, QnLynControl::ChannelInput, data);
}

void QnLynClientObject::onReceiveData(int type, const QByteArray &data, const QString &senderId)
{
    // Gateway thread: reverse input goes in at once (QnLynInput injects only the connected
    // receiver's messages); everything else goes to the GUI thread.
    if (type == QnLynControl::ChannelInput) {
        m_input->recvData(senderId, data);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, type, data, senderId] { signalData(type, data, senderId); }, Qt::QueuedConnection);
}

void QnLynClientObject::signalData(int type, QByteArray data, QString senderId)
{
    if (m_serverUserId.isEmpty())
        return;
    if (type == QnLynControl::ChannelPresence) {
        const QJsonObject object = peerObject(data);
        const QJsonValue id = object.value(QStringLiteral("id"));
        if (!id.isString() || id.toString() != m_serverUserId)
            return;
        const QString userId = m_serverUserId;
        endConnection(userId, m_serverUrl);
        emit userLeaveRoom(userId);
    } else if (type == QnLynControl::ChannelStop) {
        if (senderId == m_serverUserId)
            stopLynSender(m_serverUserId, m_serverUrl);
    }
}
