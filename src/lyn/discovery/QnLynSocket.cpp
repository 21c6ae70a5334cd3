#include "lyn/discovery/QnLynSocket.h"

#include "common/log/QnLog.h"

#include "common/json/QnPeerJson.h"

#include "common/udp/CUdpSocket.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonValue>
#include <QLoggingCategory>
#include <QNetworkInterface>

Q_LOGGING_CATEGORY(lcDiscovery, "qn.lyn.discovery")

namespace {

constexpr qint64 kTimerLimitSeconds = 7;
constexpr qint64 kRefreshLimitSeconds = 1;
const char kGetIpValue[] = "7430";

QByteArray compact(const QJsonObject &obj)
{
    return QJsonDocument(obj).toJson(QJsonDocument::Compact);
}

/// The announced upload path is appended to "http://<ip>"; only a port/path suffix is taken, so a
/// record cannot point uploads at another host ("@host", "\\", spaces).
QString uploadSuffix(const QString &announced)
{
    if (announced.isEmpty())
        return {};
    const bool shapeOk = announced.startsWith(QLatin1Char(':')) || announced.startsWith(QLatin1Char('/'));
    for (const QChar c : announced) {
        if (c == QLatin1Char('@') || c == QLatin1Char('\\') || c.isSpace() || c.unicode() < 0x20)
            return {};
    }
    return shapeOk ? announced : QString();
}

} // namespace

QnLynSocket::QnLynSocket(QObject *parent, const QnLynDiscoveryConfig &config)
    : QObject(parent)
    , m_config(config)
    , m_deviceSocket(new CUdpSocket(this))
    , m_addressSocket(new CUdpSocket(this))
    , m_serverSocket(new CUdpSocket(this))
    , m_expiryTimer(this)
    , m_clock([] { return QDateTime::currentSecsSinceEpoch(); })
    , m_ownAddresses([] { return QNetworkInterface::allAddresses(); })
{
    const bool bound =
        m_deviceSocket->bind(QHostAddress::AnyIPv4, m_config.devicePort, QUdpSocket::ShareAddress);
    qCDebug(lcDiscovery) << "record socket bound on" << m_config.devicePort << bound;
    connect(m_deviceSocket, &CUdpSocket::revData, this, &QnLynSocket::onDeviceInfo);

    // One socket per port: it both asks and answers, so a unicast answer cannot land on a socket
    // that ignores it.
    if (!m_addressSocket->bind(QHostAddress::AnyIPv4, m_config.addressPort, QUdpSocket::ShareAddress))
        qCDebug(lcDiscovery) << "address socket not bound on" << m_config.addressPort;
    connect(m_addressSocket, &CUdpSocket::revData, this, &QnLynSocket::onAddressDatagram);
    if (!m_serverSocket->bind(QHostAddress::AnyIPv4, m_config.serverPort, QUdpSocket::ShareAddress))
        qCDebug(lcDiscovery) << "server-address socket not bound on" << m_config.serverPort;
    connect(m_serverSocket, &CUdpSocket::revData, this, &QnLynSocket::onServerIpDatagram);

    m_expiryTimer.setInterval(m_config.expiryPeriodMs);
    connect(&m_expiryTimer, &QTimer::timeout, this, &QnLynSocket::removeTimeoutItems);
    m_expiryTimer.start();
}

QnLynSocket::~QnLynSocket() = default;

void QnLynSocket::setSelfId(const QString &id)
{
    m_selfId = id;
}

QMap<QString, QnLynItemInfo> QnLynSocket::getItems() const
{
    return m_devices;
}

bool QnLynSocket::isListening() const
{
    return m_deviceSocket->state() == QAbstractSocket::BoundState;
}

void QnLynSocket::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

void QnLynSocket::setOwnAddresses(OwnAddresses ownAddresses)
{
    m_ownAddresses = std::move(ownAddresses);
}

QJsonObject QnLynSocket::parseObject(const QByteArray &payload)
{
    // Anyone on the LAN can send this: Qt's parser leaks on duplicated keys, so the text is
    // checked before it reaches it.
    return parsePeerObject(payload).value_or(QJsonObject());
}

std::optional<QnLynItemInfo> QnLynSocket::recordFromJson(const QJsonObject &obj, const QHostAddress &sender)
{
    if (obj.isEmpty() || !obj.contains(QLatin1String("port")) || !obj.contains(QLatin1String("roomId")))
        return std::nullopt;
    QnLynItemInfo info;
    info.id = obj.value(QLatin1String("id")).toString();
    if (info.id.isEmpty())
        return std::nullopt;
    info.ip = obj.value(QLatin1String("ip")).toString();
    const QString senderText = sender.isNull() ? QString() : sender.toString();
    if (!senderText.isEmpty() && senderText != info.ip)
        info.ip = senderText;
    info.url = QStringLiteral("http://") + info.ip + uploadSuffix(obj.value(QLatin1String("url")).toString());
    info.name = obj.value(QLatin1String("name")).toString();
    info.code = obj.value(QLatin1String("code")).toString();
    info.roomId = obj.value(QLatin1String("roomId")).toString();
    info.port = obj.value(QLatin1String("port")).toInt(0);
    return info;
}

void QnLynSocket::onDeviceInfo(const QByteArray &data, const QHostAddress &sender)
{
    const QJsonObject obj = parseObject(data);
    if (!m_selfId.isEmpty() && obj.value(QLatin1String("id")).toString() == m_selfId)
        return;
    const std::optional<QnLynItemInfo> info = recordFromJson(obj, sender);
    if (!info) {
        if (m_peerLog.allow(lcDiscovery(), "record ignored", QtDebugMsg))
            qCDebug(lcDiscovery) << "ignored a record from" << sender
                                 << "(not an object or without id, port or roomId)";
        return;
    }
    store(*info);
}

void QnLynSocket::addDevice(const QJsonObject &obj)
{
    const std::optional<QnLynItemInfo> info = recordFromJson(obj, QHostAddress());
    if (!info) {
        qCWarning(lcDiscovery) << "connect-by-code reply without id, port or roomId; no receiver added";
        return;
    }
    store(*info);
}

void QnLynSocket::store(const QnLynItemInfo &info)
{
    auto it = m_devices.find(info.id);
    if (it != m_devices.end()) {
        if (it->differs(info)) {
            const QnLynItemInfo old = *it;
            m_devices.erase(it);
            emit removeItem(old);
            m_devices.insert(info.id, info);
            emit addItem(info);
        }
        m_lastSeen.insert(info.id, m_clock());
        return;
    }
    m_devices.insert(info.id, info);
    m_lastSeen.insert(info.id, m_clock());
    emit addItem(info);
}

void QnLynSocket::removeTimeoutItems()
{
    expire(kTimerLimitSeconds);
}

void QnLynSocket::removeStaleItems()
{
    expire(kRefreshLimitSeconds);
}

void QnLynSocket::expire(qint64 limitSeconds)
{
    const qint64 now = m_clock();
    const QList<QString> ids = m_lastSeen.keys();
    for (const QString &id : ids) {
        const qint64 d = now - m_lastSeen.value(id, 0);
        if (d < 0 || d <= limitSeconds)
            continue;
        m_lastSeen.remove(id);
        const QnLynItemInfo info = m_devices.take(id);
        emit removeItem(info);
    }
}

void QnLynSocket::sendGetIp(const QString &ip)
{
    qCDebug(lcDiscovery) << "sendGetIp==============" << QnLog::peer(ip);
    m_answerGetIp = false;
    const QHostAddress asked(ip);
    m_askedAddress = asked.protocol() == QAbstractSocket::IPv4Protocol ? asked : QHostAddress();
    m_askedAt.start();
    if (m_askedAddress.isNull())
        qCWarning(lcDiscovery) << "getip for a receiver without IPv4 address; no answer will be taken";
    m_addressSocket->sendData(compact({{QStringLiteral("getip"), QLatin1String(kGetIpValue)}}), asked,
                              m_config.addressPort);
}

void QnLynSocket::onAddressDatagram(const QByteArray &data, const QHostAddress &sender)
{
    const QJsonObject obj = parseObject(data);
    if (obj.contains(QLatin1String("targetip"))) {
        const QString target = obj.value(QLatin1String("targetip")).toString();
        if (m_askedAddress.isNull() || m_askedAt.elapsed() > m_config.targetIpWindowMs) {
            if (m_peerLog.allow(lcDiscovery(), "unasked targetip"))
                qCWarning(lcDiscovery)
                    << "unasked targetip" << QnLog::peer(target) << "from" << sender << "ignored";
            return;
        }
        if (sender != m_askedAddress) {
            if (m_peerLog.allow(lcDiscovery(), "targetip from the wrong sender"))
                qCWarning(lcDiscovery)
                    << "targetip from" << sender << "but" << m_askedAddress << "was asked; ignored";
            return;
        }
        const QHostAddress own(target);
        if (own.protocol() != QAbstractSocket::IPv4Protocol || !m_ownAddresses().contains(own)) {
            if (m_peerLog.allow(lcDiscovery(), "targetip not ours"))
                qCWarning(lcDiscovery)
                    << "targetip" << QnLog::peer(target) << "is not an address of this PC; ignored";
            return;
        }
        m_askedAddress = QHostAddress();
        m_selfIp = own.toString();
        emit getSelfIp(m_selfIp);
        return;
    }
    if (obj.contains(QLatin1String("getip")) && m_answerGetIp) {
        m_addressSocket->sendData(compact({{QStringLiteral("targetip"), sender.toString()}}), sender,
                                  m_config.addressPort);
    }
}

void QnLynSocket::onServerIpDatagram(const QByteArray &data, const QHostAddress &sender)
{
    const QJsonObject obj = parseObject(data);
    qCDebug(lcDiscovery) << "vvvvvv=======================>"
                         << QnLog::peer(QJsonDocument(obj).toJson(QJsonDocument::Compact));
    if (obj.contains(QLatin1String("getserverip"))) {
        if (!m_isServer)
            m_serverSocket->sendData(compact({{QStringLiteral("serverip"), sender.toString()}}), sender,
                                     m_config.serverPort);
    } else if (obj.contains(QLatin1String("serverip"))) {
        emit getServerIp(obj.value(QLatin1String("serverip")).toString());
    }
}
