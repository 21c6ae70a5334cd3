#include "QnScreenShare/streams/KRRtpStream.h"

#include "platform/rtp/RtpPacket.h"

#include <QLoggingCategory>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <system_error>

Q_LOGGING_CATEGORY(lcRtpStream, "qn.media.rtp")

namespace {
// Without a stop eventfd (the kernel refused one), the receive thread looks at the flag this often.
constexpr int kFallbackPollMs = 10;
} // namespace

KRRtpStream::WakeFd::WakeFd() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_fd < 0)
        qCWarning(lcRtpStream) << "no eventfd: the receive thread polls for its stop";
}

KRRtpStream::WakeFd::~WakeFd()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void KRRtpStream::WakeFd::signal()
{
    const uint64_t one = 1;
    if (m_fd >= 0 && ::write(m_fd, &one, sizeof one) != sizeof one)
        qCDebug(lcRtpStream) << "stop wake-up not written";
}

void KRRtpStream::WakeFd::clear()
{
    uint64_t count = 0;
    while (m_fd >= 0 && ::read(m_fd, &count, sizeof count) == sizeof count) {
    }
}

KRRtpStream::~KRRtpStream()
{
    Stop();
}

int KRRtpStream::startStream(const Config &config, QnRtpFrameCb *cb, uint32_t streamId, uint8_t payloadType,
                             int localRtpPort, int localRtcpPort, const std::string &remoteIp,
                             int remoteRtpPort, int remoteRtcpPort)
{
    if (running.load()) {
        qCWarning(lcRtpStream) << config.kind << "stream" << streamId << "already running; start refused";
        return -1;
    }
    std::lock_guard<std::mutex> guard(m_sendLock);
    userCb = cb;
    ssrcLinked = false;
    sender.reset(config.createSender());
    sender->setPayloadType(payloadType);
    sender->setStreamId(streamId);
    sender->setKeyframeRequestHandler(keyframeHandler);
    receiver.reset(config.createReceiver());
    receiver->setPayloadType(payloadType);

    rtpTransport = std::make_unique<QnTransportDefault>();
    rtpTransport->setLocalIp(config.localIp);
    int result =
        rtpTransport->Init(sender.get(), receiver.get(), localRtpPort, remoteIp, remoteRtpPort, true);
    rtcpTransport = std::make_unique<QnTransportDefault>();
    rtcpTransport->setLocalIp(config.localIp);
    QnRtpRtcp *rtcpReceiver = config.rtcpAllToSender ? sender.get() : receiver.get();
    if (result == 0)
        result =
            rtcpTransport->Init(sender.get(), rtcpReceiver, localRtcpPort, remoteIp, remoteRtcpPort, false);
    if (result != 0) {
        qCWarning(lcRtpStream) << config.kind << "stream" << streamId << "cannot open ports" << localRtpPort
                               << localRtcpPort;
        teardown();
        return -1;
    }
    sender->setTransport(rtpTransport.get(), rtcpTransport.get(), this);
    receiver->setTransport(rtpTransport.get(), rtcpTransport.get(), this);

    m_stopWake.clear(); // a wake-up left by an earlier Stop() must not end this run
    running.store(true);
    try {
        receiveThread = std::thread([this] { receiveLoop(); });
    } catch (const std::system_error &error) {
        qCCritical(lcRtpStream) << config.kind << "stream: no receive thread:" << error.what();
        running.store(false);
        teardown();
        return -1;
    }
    pthread_setname_np(receiveThread.native_handle(), config.threadName);
    qCInfo(lcRtpStream) << config.kind << "stream" << streamId << "ports" << localRtpPort << localRtcpPort
                        << "->" << remoteIp.c_str() << remoteRtpPort << remoteRtcpPort;
    return 0;
}

int KRRtpStream::Stop()
{
    if (!running.load() && !receiveThread.joinable())
        return 0;
    if (receiveThread.joinable() && receiveThread.get_id() == std::this_thread::get_id()) {
        qCWarning(lcRtpStream) << "Stop called from the receive thread; refused";
        return -1;
    }
    running.store(false);
    m_stopWake.signal();
    if (receiveThread.joinable())
        receiveThread.join();
    std::lock_guard<std::mutex> guard(m_sendLock);
    teardown();
    return 0;
}

void KRRtpStream::teardown()
{
    if (receiver)
        receiver->stop();
    receiver.reset();
    if (sender)
        sender->stop();
    sender.reset();
    if (rtpTransport)
        rtpTransport->close();
    rtpTransport.reset();
    if (rtcpTransport)
        rtcpTransport->close();
    rtcpTransport.reset();
}

int KRRtpStream::sendFrame(const uint8_t *data, int length)
{
    return sendFrame(data, length, qnrtp::steadyMs());
}

int KRRtpStream::sendFrame(const uint8_t *data, int length, uint64_t captureMs)
{
    std::lock_guard<std::mutex> guard(m_sendLock);
    if (!sender)
        return -1;
    return sender->sendData(data, length, captureMs);
}

void KRRtpStream::linkSsrc()
{
    if (!ssrcLinked) {
        rtcpTransport->setRemoteSsrc(rtpTransport->ssrc());
        ssrcLinked = true;
    }
}

int KRRtpStream::onFrame(const uint8_t *data, int length, int64_t timestamp, uint32_t extra)
{
    linkSsrc();
    if (userCb)
        userCb->onFrame(data, length, timestamp, extra);
    return 0;
}

int KRRtpStream::onDamagedFrame(const uint8_t *data, int length, int64_t timestamp, uint32_t extra)
{
    linkSsrc();
    if (userCb)
        userCb->onDamagedFrame(data, length, timestamp, extra);
    return 0;
}

void KRRtpStream::receiveLoop()
{
    const int rtcpFd = rtcpTransport->fd();
    const int rtpFd = rtpTransport->fd();
    const int stopFd = m_stopWake.fd();
    while (running.load()) {
        pollfd fds[3];
        int count = 0;
        if (rtcpFd >= 0)
            fds[count++] = {rtcpFd, POLLIN, 0};
        if (rtpFd >= 0)
            fds[count++] = {rtpFd, POLLIN, 0};
        if (stopFd >= 0)
            fds[count++] = {stopFd, POLLIN, 0};
        if (::poll(fds, nfds_t(count), stopFd >= 0 ? -1 : kFallbackPollMs) <= 0)
            continue;
        for (int i = 0; i < count; ++i) {
            if (!(fds[i].revents & POLLIN) || fds[i].fd == stopFd)
                continue;
            if (fds[i].fd == rtcpFd)
                rtcpTransport->onReceive();
            else
                rtpTransport->onReceive();
        }
    }
}

QnRtpStats KRRtpStream::senderStats() const
{
    std::lock_guard<std::mutex> guard(m_sendLock);
    return sender ? sender->stats() : QnRtpStats();
}

QnRtpStats KRRtpStream::receiverStats() const
{
    std::lock_guard<std::mutex> guard(m_sendLock);
    return receiver ? receiver->stats() : QnRtpStats();
}

int KRRtpStream::localRtpPort() const
{
    std::lock_guard<std::mutex> guard(m_sendLock);
    return rtpTransport ? rtpTransport->localPort() : 0;
}

int KRRtpStream::localRtcpPort() const
{
    std::lock_guard<std::mutex> guard(m_sendLock);
    return rtcpTransport ? rtcpTransport->localPort() : 0;
}
