#pragma once

#include "common/log/QnLogLimiter.h"
#include "lyn/discovery/QnLynItemInfo.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class CUdpSocket;

/// Ports and time limits of discovery; tests change them.
struct QnLynDiscoveryConfig
{
    quint16 devicePort = 21059;  ///< receiver records
    quint16 addressPort = 21062; ///< "getip" / "targetip"
    quint16 serverPort = 21064;  ///< "getserverip" / "serverip"
    int targetIpWindowMs = 5000; ///< how long after "getip" a "targetip" answer is taken
    int expiryPeriodMs = 200;
};

/// Receiver discovery: keeps one record per receiver heard on the LAN, drops those that fall
/// silent, learns the PC's own address as a receiver sees it and answers "getserverip".
/// Lives on the GUI thread with its sockets and timers (its children); signals on that thread.
class QnLynSocket : public QObject
{
    Q_OBJECT
public:
    /// Whole seconds since the epoch (injectable for tests).
    using Clock = std::function<qint64()>;
    /// The PC's own addresses (injectable for tests).
    using OwnAddresses = std::function<QList<QHostAddress>()>;

    explicit QnLynSocket(QObject *parent = nullptr, const QnLynDiscoveryConfig &config = {});
    ~QnLynSocket() override;

    /// Announcements carrying this id (the PC's own) are ignored.
    void setSelfId(const QString &id);
    /// A copy of the list, keyed by receiver id.
    QMap<QString, QnLynItemInfo> getItems() const;
    /// Drops receivers not heard for 2 seconds or more (the list page's refresh).
    void removeStaleItems();
    /// Asks the receiver at ip for the PC's own address ("getip", broadcast on the address port).
    /// Only an answer from ip, within the time window, naming one of the PC's own addresses is taken.
    void sendGetIp(const QString &ip);
    /// Adds a receiver from a JSON object (the connect-by-code reply); ignored without "id",
    /// "port" or "roomId".
    void addDevice(const QJsonObject &obj);

    /// The own address learnt from "targetip"; empty until then.
    QString selfIp() const { return m_selfIp; }
    /// Whether the record socket could bind its port.
    bool isListening() const;

    void setClock(Clock clock);
    void setOwnAddresses(OwnAddresses ownAddresses);

    /// The record of a receiver announcement, or none when it lacks "id", "port" or "roomId".
    /// A non-null sender address replaces the announced "ip". Pure; used by the fuzz target.
    static std::optional<QnLynItemInfo> recordFromJson(const QJsonObject &obj, const QHostAddress &sender);
    /// The JSON object of a payload; empty when it is not a JSON object.
    static QJsonObject parseObject(const QByteArray &payload);

Q_SIGNALS:
    /// A receiver appeared or its record changed.
    void addItem(const QnLynItemInfo &info);
    /// A receiver went away or is about to be replaced.
    void removeItem(const QnLynItemInfo &info);
    /// A receiver told the PC its address.
    void getSelfIp(const QString &ip);
    /// A "serverip" answer arrived.
    void getServerIp(const QString &ip);

private:
    void onDeviceInfo(const QByteArray &data, const QHostAddress &sender);
    void onAddressDatagram(const QByteArray &data, const QHostAddress &sender);
    void onServerIpDatagram(const QByteArray &data, const QHostAddress &sender);
    void removeTimeoutItems();
    void expire(qint64 limitSeconds);
    void store(const QnLynItemInfo &info);

    QnLynDiscoveryConfig m_config;
    CUdpSocket *m_deviceSocket = nullptr;
    CUdpSocket *m_addressSocket = nullptr;
    CUdpSocket *m_serverSocket = nullptr;
    QTimer m_expiryTimer;
    QString m_selfId;
    QString m_selfIp;
    QMap<QString, QnLynItemInfo> m_devices;
    QMap<QString, qint64> m_lastSeen;
    bool m_answerGetIp = true;
    bool m_isServer = false;
    QHostAddress m_askedAddress; ///< null when no "getip" is outstanding
    QElapsedTimer m_askedAt;
    Clock m_clock;
    OwnAddresses m_ownAddresses;
    QnLogLimiter m_peerLog; // refused datagrams: first lines of each interval, then a count
};
