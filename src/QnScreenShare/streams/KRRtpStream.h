#pragma once

#include "platform/rtp/QnRtpRtcp.h"
#include "platform/rtp/QnTransportDefault.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

/// What the H.264 and Opus streams share: one library sender and receiver, an RTP and an RTCP
/// transport, and the receive thread that waits on both sockets (and on Stop()).
///
/// Lifecycle: idle -> start -> running -> Stop (flag, join, destroy) -> idle; a start while
/// running is refused. Start and Stop run on the owner's thread (never on the receive thread);
/// sendFrame runs on the producing thread and is serialised with Stop by m_sendLock. Frames
/// reach the user callback on the receive thread.
class KRRtpStream : public QnRtpFrameCb
{
public:
    ~KRRtpStream() override;
    KRRtpStream(const KRRtpStream &) = delete;
    KRRtpStream &operator=(const KRRtpStream &) = delete;

    /// Stops the receive thread and destroys the library objects and transports. Returns 0, also
    /// when not running; -1 when called from the receive thread itself.
    int Stop();
    /// Sends one encoded frame, stamped with the present instant of the steady clock. Returns -1
    /// without a sender or when a datagram could not be sent, else 0.
    int sendFrame(const uint8_t *data, int length);
    /// The same, stamped with the instant its media was captured (qnrtp::steadyMs() clock).
    int sendFrame(const uint8_t *data, int length, uint64_t captureMs);
    /// Frame callback of the library receiver (receive thread): links the RTCP routing to the
    /// received SSRC on the first frame, then passes the frame to the user callback unchanged.
    int onFrame(const uint8_t *data, int length, int64_t timestamp, uint32_t extra) override;
    /// The same for a frame that arrived damaged; the user callback gets it as damaged too.
    int onDamagedFrame(const uint8_t *data, int length, int64_t timestamp, uint32_t extra) override;

    /// Called on the receive thread when the peer asks for a key frame (RTCP PLI or FIR), at
    /// most once per QnRtpRtcp::kKeyframeRequestIntervalMs. Used by the next start; must not
    /// block or call Stop.
    void setKeyframeRequestHandler(std::function<void()> handler) { keyframeHandler = std::move(handler); }

    bool isRunning() const { return running.load(); }
    /// Counters of the library objects (zeroes when idle).
    QnRtpStats senderStats() const;
    QnRtpStats receiverStats() const;
    /// Bound local ports (0 when idle): handy when started on port 0.
    int localRtpPort() const;
    int localRtcpPort() const;

protected:
    struct Config
    {
        QnRtpRtcp *(*createSender)() = nullptr;
        QnRtpRtcp *(*createReceiver)() = nullptr;
        const char *threadName = "";
        const char *kind = "";
        std::string localIp;
        bool rtcpAllToSender = false; ///< every RTCP datagram goes to the sender object
    };

    KRRtpStream() = default;
    int startStream(const Config &config, QnRtpFrameCb *cb, uint32_t streamId, uint8_t payloadType,
                    int localRtpPort, int localRtcpPort, const std::string &remoteIp, int remoteRtpPort,
                    int remoteRtcpPort);

private:
    void receiveLoop();
    void teardown();
    void linkSsrc();

    /// An eventfd that Stop() signals, so that the receive thread sleeps in poll() without a
    /// timeout and still ends at once.
    class WakeFd
    {
    public:
        WakeFd();
        ~WakeFd();
        WakeFd(const WakeFd &) = delete;
        WakeFd &operator=(const WakeFd &) = delete;
        int fd() const { return m_fd; }
        void signal();
        void clear();

    private:
        int m_fd = -1;
    };

    WakeFd m_stopWake;
    std::thread receiveThread;
    std::atomic<bool> running{false};
    std::unique_ptr<QnTransportDefault> rtpTransport;
    std::unique_ptr<QnTransportDefault> rtcpTransport;
    std::unique_ptr<QnRtpRtcp> sender;
    std::unique_ptr<QnRtpRtcp> receiver;
    QnRtpFrameCb *userCb = nullptr;
    bool ssrcLinked = false;
    std::function<void()> keyframeHandler;
    mutable std::mutex m_sendLock; ///< guards sender/receiver/transport pointers against Stop
};
