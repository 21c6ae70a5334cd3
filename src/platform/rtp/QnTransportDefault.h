#pragma once

#include "common/log/QnLogLimiter.h"
#include "platform/rtp/QnRtpRtcp.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

/// UDP side of one RTP or RTCP port of a media stream (IPv4).
///
/// The stream's receive thread calls onReceive when fd() is readable; the producing thread sends
/// through sendPacket at the same time, so the peer address is guarded by a mutex. The peer's
/// port is learnt from valid datagrams (RTP or RTCP version 2, long enough) that come from the
/// configured peer address, so replies reach wherever the peer sends from; other sources cannot
/// redirect the stream. Received datagrams are routed to the library objects: RTP to the
/// receiver, RTCP to the receiver when its sender SSRC is the remote media SSRC, else to the
/// sender.
class QnTransportDefault : public QnRtpTransport
{
public:
    static constexpr int kBufferSize = 1500;
    static constexpr int kSocketBufferBytes = 0x100000;

    QnTransportDefault();
    ~QnTransportDefault() override;
    QnTransportDefault(const QnTransportDefault &) = delete;
    QnTransportDefault &operator=(const QnTransportDefault &) = delete;

    /// Local address to bind (dotted IPv4); empty binds to any address. Used by the next Init.
    void setLocalIp(const std::string &ip);

    /// Opens a non-blocking socket bound to \a localPort (0 picks a free port). Returns 0, or -1
    /// when the socket cannot be created or bound (the port is taken, the address is not local)
    /// or \a remoteIp is not an IPv4 address; the transport then has no socket, its sends
    /// return -1 and it never receives. An empty \a remoteIp learns the peer from the first
    /// valid datagram.
    int Init(QnRtpRtcp *sender, QnRtpRtcp *receiver, int localPort, const std::string &remoteIp,
             int remotePort, bool isRtp);

    /// Closes the socket; returns 0.
    int close();

    /// Reads every waiting datagram and routes it (receive thread). Returns 0.
    int onReceive();

    /// Sends one datagram to the peer. Returns the bytes sent, or -1.
    int sendPacket(const uint8_t *data, int length) override;

    /// SSRC of the last valid RTP packet received (RTP transport).
    uint32_t ssrc() const { return m_lastSsrc.load(); }
    /// SSRC whose RTCP goes to the receiver object (RTCP transport).
    void setRemoteSsrc(uint32_t ssrc) { m_remoteSsrc.store(ssrc); }

    /// The socket to poll, or -1.
    int fd() const { return m_socket; }
    /// The bound local port, or 0 without a socket.
    int localPort() const;
    /// The current peer as "a.b.c.d:port" (tests and logs).
    std::string remote() const;

private:
    void route(const uint8_t *data, int length);

    int m_socket = -1;
    std::unique_ptr<uint8_t[]> m_buffer;
    std::string m_localIp;
    int m_localPort = 0;
    mutable std::mutex m_peerLock;
    uint32_t m_configuredIp = 0; ///< network order; 0 = learn from any source
    uint32_t m_remoteIp = 0;     ///< network order, guarded by m_peerLock
    uint16_t m_remotePort = 0;   ///< host order, guarded by m_peerLock
    bool m_isRtp = true;
    QnRtpRtcp *m_sender = nullptr;
    QnRtpRtcp *m_receiver = nullptr;
    std::atomic<uint32_t> m_remoteSsrc{0};
    std::atomic<uint32_t> m_lastSsrc{0};
    QnLogLimiter m_dropLog; // dropped datagrams: first lines of each interval, then a count
};
