#include "common/udp/CUdpSocket.h"

#include "common/udp/QnDatagramFrame.h"

#include <QLoggingCategory>
#include <QNetworkInterface>

Q_LOGGING_CATEGORY(lcUdp, "qn.udp")

CUdpSocket::CUdpSocket(QObject *parent) : QUdpSocket(parent)
{
    connect(this, &QUdpSocket::readyRead, this, &CUdpSocket::recvData);
}

QList<CUdpSocket::Interface> CUdpSocket::liveInterfaces()
{
    QList<Interface> out;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &i : all)
        out << Interface{i.name(), i.flags().testFlag(QNetworkInterface::IsUp), i.addressEntries()};
    return out;
}

QList<QHostAddress> CUdpSocket::broadcastTargets(const QList<Interface> &interfaces)
{
    QList<QHostAddress> targets;
    for (const Interface &i : interfaces) {
        if (i.name.contains(QLatin1String("VirtualBox")) || i.name.contains(QLatin1String("VMware")) || !i.up)
            continue;
        for (const QNetworkAddressEntry &e : i.entries) {
            if (!e.broadcast().isNull() && e.ip() != QHostAddress(QHostAddress::LocalHost) &&
                e.ip().protocol() == QAbstractSocket::IPv4Protocol)
                targets << e.broadcast();
        }
    }
    return targets;
}

int CUdpSocket::sendData(const QByteArray &data, const QHostAddress &address, quint16 port)
{
    const QByteArray frame = QnDatagramFrame::build(data);
    int sent = 0;
    const QList<QHostAddress> targets = broadcastTargets(liveInterfaces());
    for (const QHostAddress &target : targets) {
        const qint64 n = writeDatagram(frame, target, port);
        if (n != frame.size())
            qCDebug(lcUdp) << "write failed" << target << "peer" << address << errorString();
        else
            ++sent;
    }
    return sent;
}

void CUdpSocket::recvData()
{
    while (hasPendingDatagrams()) {
        const qint64 pending = pendingDatagramSize();
        QHostAddress sender;
        quint16 senderPort = 0;
        if (pending < 0 || pending > QnDatagramFrame::kMaxDatagramBytes) {
            // Oversize (or unknown size): discard without holding it.
            readDatagram(nullptr, 0, &sender, &senderPort);
            if (m_dropLog.allow(lcUdp(), "oversize datagram"))
                qCWarning(lcUdp) << "dropped an oversize datagram of" << pending << "bytes from" << sender;
            continue;
        }
        QByteArray datagram(static_cast<int>(pending), Qt::Uninitialized);
        const qint64 n = readDatagram(datagram.data(), datagram.size(), &sender, &senderPort);
        if (n < 0)
            break;
        datagram.resize(static_cast<int>(n));
        const QnDatagramFrame::Result r = QnDatagramFrame::parse(datagram);
        if (r.status != QnDatagramFrame::Status::Used) {
            if (m_dropLog.allow(lcUdp(), "malformed datagram"))
                qCWarning(lcUdp) << "dropped datagram from" << sender << ":" << r.reason << "size" << n
                                 << datagram.left(64);
            continue;
        }
        bool ok = false;
        const quint32 v4 = sender.toIPv4Address(&ok);
        emit revData(r.payload, ok ? QHostAddress(v4) : sender);
    }
}
