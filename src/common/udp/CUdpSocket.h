#pragma once

#include "common/log/QnLogLimiter.h"

#include <QHostAddress>
#include <QList>
#include <QNetworkAddressEntry>
#include <QUdpSocket>

/// The discovery datagram socket: one length-prefixed message per datagram (QnDatagramFrame),
/// every message sent as a directed broadcast on each suitable IPv4 interface, each received
/// message reported with the sender's plain IPv4 address. Binding is left to the owner.
/// Lives on the GUI thread; owned by its QObject parent.
class CUdpSocket : public QUdpSocket
{
    Q_OBJECT
public:
    /// One interface as sendData sees it (the live list comes from QNetworkInterface).
    struct Interface
    {
        QString name;
        bool up = false;
        QList<QNetworkAddressEntry> entries;
    };

    explicit CUdpSocket(QObject *parent = nullptr);

    /// Frames data and sends it to the broadcast address of every suitable interface entry on
    /// port. address only names the peer for the log: every message goes out as a broadcast.
    /// Returns the number of datagrams written.
    int sendData(const QByteArray &data, const QHostAddress &address, quint16 port);

    /// Broadcast addresses to send to: IPv4 entries with a broadcast address, not loopback, of
    /// interfaces that are up and not named "VirtualBox" or "VMware". One per entry, in order.
    static QList<QHostAddress> broadcastTargets(const QList<Interface> &interfaces);
    static QList<Interface> liveInterfaces();

Q_SIGNALS:
    /// One received payload (non-empty) and the IPv4 address it came from.
    void revData(const QByteArray &data, const QHostAddress &senderAddr);

public Q_SLOTS:
    /// Drains the pending datagrams; malformed ones are logged and dropped.
    void recvData();

private:
    QnLogLimiter m_dropLog; // dropped datagrams: first lines of each interval, then a count
};
