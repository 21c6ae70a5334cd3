#include "platform/rtp/QnTransportDefault.h"

#include "platform/rtp/RtpPacket.h"
#include "platform/rtp/internal/RtpLog.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

QnTransportDefault::QnTransportDefault() : m_buffer(new uint8_t[kBufferSize]) {}

QnTransportDefault::~QnTransportDefault()
{
    close();
}

void QnTransportDefault::setLocalIp(const std::string &ip)
{
    m_localIp = ip;
}

int QnTransportDefault::Init(QnRtpRtcp *sender, QnRtpRtcp *receiver, int localPort,
                             const std::string &remoteIp, int remotePort, bool isRtp)
{
    close();
    m_localPort = localPort;
    m_sender = sender;
    m_receiver = receiver;
    m_isRtp = isRtp;
    in_addr remote{};
    if (!remoteIp.empty() && inet_pton(AF_INET, remoteIp.c_str(), &remote) != 1) {
        qCWarning(lcRtp) << "invalid peer address" << remoteIp.c_str();
        return -1;
    }
    {
        std::lock_guard<std::mutex> guard(m_peerLock);
        m_configuredIp = remote.s_addr;
        m_remoteIp = remote.s_addr;
        m_remotePort = uint16_t(remotePort);
    }
    in_addr local{};
    local.s_addr = htonl(INADDR_ANY);
    if (!m_localIp.empty() && inet_pton(AF_INET, m_localIp.c_str(), &local) != 1) {
        qCWarning(lcRtp) << "invalid local address" << m_localIp.c_str();
        return -1;
    }
    if (localPort < 0 || localPort > 65535 || remotePort < 0 || remotePort > 65535) {
        qCWarning(lcRtp) << "invalid port" << localPort << remotePort;
        return -1;
    }

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        qCWarning(lcRtp) << "socket failed:" << std::strerror(errno);
        return -1;
    }
    // No SO_REUSEADDR: on Linux it would let a second stream share a busy UDP port and split its
    // traffic; a taken port must fail here instead.
    const int bufferBytes = kSocketBufferBytes;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bufferBytes, sizeof bufferBytes);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr = local;
    address.sin_port = htons(uint16_t(localPort));
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        qCWarning(lcRtp) << "bind to" << (m_localIp.empty() ? "*" : m_localIp.c_str()) << localPort
                         << "failed:" << std::strerror(errno);
        ::close(fd);
        return -1;
    }
    m_socket = fd;
    return 0;
}

int QnTransportDefault::close()
{
    if (m_socket >= 0) {
        ::close(m_socket);
        m_socket = -1;
    }
    return 0;
}

int QnTransportDefault::localPort() const
{
    if (m_socket < 0)
        return 0;
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (::getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

std::string QnTransportDefault::remote() const
{
    std::lock_guard<std::mutex> guard(m_peerLock);
    char text[INET_ADDRSTRLEN] = {};
    in_addr address{};
    address.s_addr = m_remoteIp;
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return std::string(text) + ":" + std::to_string(m_remotePort);
}

int QnTransportDefault::onReceive()
{
    if (m_socket < 0)
        return 0;
    for (;;) {
        sockaddr_in source{};
        socklen_t sourceSize = sizeof source;
        // MSG_TRUNC reports the datagram's real length, so an oversized one is recognised.
        const ssize_t n = ::recvfrom(m_socket, m_buffer.get(), kBufferSize, MSG_TRUNC,
                                     reinterpret_cast<sockaddr *>(&source), &sourceSize);
        if (n < 1)
            break;
        if (n > kBufferSize) {
            if (m_dropLog.allow(lcRtp(), "truncated datagram", QtDebugMsg))
                qCDebug(lcRtp) << "dropped truncated datagram of" << n << "bytes";
            continue;
        }
        const int length = int(n);
        const int minimum = m_isRtp ? qnrtp::kRtpHeaderSize : qnrtp::kRtcpHeaderSize;
        if (length < minimum || !qnrtp::isVersion2(m_buffer.get(), length))
            continue;
        {
            std::lock_guard<std::mutex> guard(m_peerLock);
            if (m_configuredIp == 0 || source.sin_addr.s_addr == m_configuredIp) {
                m_remoteIp = source.sin_addr.s_addr;
                m_remotePort = ntohs(source.sin_port);
            } else {
                continue; // not our peer
            }
        }
        route(m_buffer.get(), length);
    }
    return 0;
}

void QnTransportDefault::route(const uint8_t *data, int length)
{
    if (m_isRtp) {
        if (!m_receiver)
            return;
        m_lastSsrc.store(qnrtp::rd32(data + 8));
        m_receiver->incomingPacket(data, length);
        return;
    }
    const uint32_t senderSsrc = qnrtp::rd32(data + 4);
    const uint32_t remoteSsrc = m_remoteSsrc.load();
    QnRtpRtcp *target = (remoteSsrc != 0 && senderSsrc == remoteSsrc) ? m_receiver : m_sender;
    if (target)
        target->incomingPacket(data, length);
}

int QnTransportDefault::sendPacket(const uint8_t *data, int length)
{
    if (m_socket < 0 || !data || length <= 0 || length > qnrtp::kMaxDatagram)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    {
        std::lock_guard<std::mutex> guard(m_peerLock);
        if (m_remoteIp == 0 || m_remotePort == 0)
            return -1;
        address.sin_addr.s_addr = m_remoteIp;
        address.sin_port = htons(m_remotePort);
    }
    const ssize_t sent =
        ::sendto(m_socket, data, size_t(length), 0, reinterpret_cast<sockaddr *>(&address), sizeof address);
    return sent < 0 ? -1 : int(sent);
}
