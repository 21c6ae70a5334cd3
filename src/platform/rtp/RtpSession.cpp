#include "platform/rtp/RtpSession.h"

#include "platform/rtp/Rtcp.h"
#include "platform/rtp/RtpPacket.h"
#include "platform/rtp/internal/RtpLog.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

Q_LOGGING_CATEGORY(lcRtp, "qn.rtp")

namespace qnrtp {
namespace {

std::string cnameFor(uint32_t ssrc)
{
    char text[24];
    std::snprintf(text, sizeof text, "qn-%08x", ssrc);
    return text;
}

uint64_t steadyUs()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Sender

RtpSender::RtpSender(PayloadKind kind)
    : m_kind(kind)
    , m_clock(kind == PayloadKind::H264 ? kVideoClock : kAudioClock)
    , m_ssrc(randomU32())
    , m_seq(uint16_t(randomU32()))
    , m_timestampBase(randomU32())
{
    m_stats.ssrc = m_ssrc;
}

void RtpSender::setStreamId(uint32_t id)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_streamId = id;
}

void RtpSender::setPayloadType(uint8_t payloadType)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_payloadType = payloadType & 0x7f;
}

QnRtpStats RtpSender::stats() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_stats;
}

void RtpSender::setTransport(QnRtpTransport *rtp, QnRtpTransport *rtcp, QnRtpFrameCb *)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_rtp = rtp;
    m_rtcp = rtcp;
}

void RtpSender::stop()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_rtp = nullptr;
    m_rtcp = nullptr;
}

uint32_t RtpSender::timestampFor(const uint8_t *data, int length, uint64_t timeMs, bool &marker)
{
    if (!m_started) {
        m_started = true;
        m_firstMs = timeMs;
    }
    const uint64_t elapsed = timeMs >= m_firstMs ? timeMs - m_firstMs : 0;
    const uint32_t clockTimestamp = m_timestampBase + uint32_t(elapsed * m_clock / 1000);
    if (m_kind == PayloadKind::H264)
        return clockTimestamp;
    // Audio advances by the samples sent, so timer jitter does not reach the timestamps; after a
    // pause (mute) or a drift beyond 60 ms it follows the clock again and marks a new talkspurt.
    uint32_t timestamp = m_nextAudioTimestamp;
    const int32_t drift = int32_t(clockTimestamp - m_nextAudioTimestamp);
    if (m_stats.packetsSent == 0 || std::abs(drift) > int32_t(m_clock / 1000 * 60)) {
        timestamp = clockTimestamp;
        marker = true;
    }
    const int samples = opusPacketSamples(data, length);
    m_nextAudioTimestamp = timestamp + uint32_t(samples > 0 ? samples : 480);
    return timestamp;
}

bool RtpSender::sendPayload(const uint8_t *payload, int size, bool marker, uint32_t timestamp)
{
    uint8_t datagram[kMaxDatagram];
    if (size + kRtpHeaderSize > kMaxDatagram)
        return false;
    writeRtpHeader(datagram, marker, m_payloadType, m_seq++, timestamp, m_ssrc);
    std::memcpy(datagram + kRtpHeaderSize, payload, size_t(size));
    if (m_rtp->sendPacket(datagram, kRtpHeaderSize + size) < 0)
        return false;
    ++m_stats.packetsSent;
    m_stats.octetsSent += uint64_t(size);
    return true;
}

int RtpSender::sendData(const uint8_t *data, int length, uint64_t timeMs)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_rtp || !data || length <= 0)
        return -1;
    bool ok = true;
    if (m_kind == PayloadKind::H264) {
        bool unused = false;
        const uint32_t timestamp = timestampFor(data, length, timeMs, unused);
        H264Packetizer::packetize(data, length, [&](const uint8_t *payload, int size, bool marker) {
            ok = sendPayload(payload, size, marker, timestamp) && ok;
        });
    } else {
        if (length + kRtpHeaderSize > kMaxDatagram)
            return -1;
        bool marker = false;
        const uint32_t timestamp = timestampFor(data, length, timeMs, marker);
        ok = sendPayload(data, length, marker, timestamp);
    }
    // timeMs is when the media was captured; reports map the present instant of the same clock.
    const uint64_t nowMs = steadyMs();
    if (!m_reportSent || nowMs - m_lastReportMs >= uint64_t(kReportIntervalMs))
        sendReport(nowMs);
    return ok ? 0 : -1;
}

void RtpSender::sendReport(uint64_t nowMs)
{
    m_reportSent = true;
    m_lastReportMs = nowMs;
    if (!m_rtcp)
        return;
    RtcpSenderInfo info;
    info.ntp = ntpNow();
    const int64_t elapsed = int64_t(nowMs) - int64_t(m_firstMs);
    info.rtpTimestamp = m_timestampBase + uint32_t(elapsed * int64_t(m_clock) / 1000);
    info.packetCount = uint32_t(m_stats.packetsSent);
    info.octetCount = uint32_t(m_stats.octetsSent);
    const std::vector<uint8_t> report = buildRtcpReport(m_ssrc, &info, nullptr, cnameFor(m_ssrc));
    if (m_rtcp->sendPacket(report.data(), int(report.size())) >= 0)
        ++m_stats.rtcpSent;
}

void RtpSender::setKeyframeRequestHandler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_keyframeHandler = std::move(handler);
}

int RtpSender::incomingPacket(const uint8_t *data, int length)
{
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        RtcpInfo info;
        if (!looksLikeRtcp(data, length) || parseRtcp(data, length, info) != ParseStatus::Used) {
            ++m_stats.packetsRejected;
            return 0;
        }
        ++m_stats.rtcpReceived;
        for (const RtcpReportBlock &block : info.blocks) {
            if (block.ssrc != m_ssrc)
                continue;
            ++m_stats.reportsReceived;
            m_stats.lastFractionLost = block.fractionLost;
            qCDebug(lcRtp) << "stream" << m_streamId << "report: lost" << block.cumulativeLost << "fraction"
                           << block.fractionLost << "jitter" << block.jitter;
        }
        bool wanted = false;
        for (uint32_t media : info.pliMediaSsrcs) {
            if (media == m_ssrc) {
                ++m_stats.pliReceived;
                wanted = true;
            }
        }
        for (const RtcpFirEntry &entry : info.firEntries) {
            // A repeated sequence number is a retransmission of a request already honoured.
            if (entry.ssrc != m_ssrc || (m_haveFirSeq && entry.seq == m_lastFirSeq))
                continue;
            m_haveFirSeq = true;
            m_lastFirSeq = entry.seq;
            ++m_stats.firReceived;
            wanted = true;
        }
        const uint64_t nowMs = steadyMs();
        if (wanted && m_keyframeHandler &&
            (!m_keyframeRequested ||
             nowMs - m_lastKeyframeRequestMs >= uint64_t(kKeyframeRequestIntervalMs))) {
            m_keyframeRequested = true;
            m_lastKeyframeRequestMs = nowMs;
            ++m_stats.keyframeRequests;
            handler = m_keyframeHandler;
            qCDebug(lcRtp) << "stream" << m_streamId << "peer asks for a key frame";
        }
    }
    if (handler)
        handler();
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Receiver

RtpReceiver::RtpReceiver(PayloadKind kind)
    : m_clock(kind == PayloadKind::H264 ? kVideoClock : kAudioClock), m_ssrc(randomU32())
{
    m_stats.ssrc = m_ssrc;
    if (kind == PayloadKind::H264)
        m_h264 =
            std::make_unique<H264Depacketizer>([this](const uint8_t *data, int size, uint32_t ts,
                                                      bool damaged) { deliver(data, size, ts, damaged); });
    else
        m_opus = std::make_unique<OpusDepacketizer>(
            [this](const uint8_t *data, int size, uint32_t ts) { deliver(data, size, ts, false); });
}

void RtpReceiver::setStreamId(uint32_t) {}

void RtpReceiver::setPayloadType(uint8_t payloadType)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_payloadType = payloadType & 0x7f;
}

QnRtpStats RtpReceiver::stats() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    QnRtpStats stats = m_stats;
    stats.remoteSsrc = m_remoteSsrc;
    if (m_h264) {
        stats.packetsLost = m_h264->lost();
        stats.duplicates = m_h264->duplicates();
        stats.framesDelivered = m_h264->framesDelivered();
        stats.framesDropped = m_h264->framesDropped();
        stats.framesDamaged = m_h264->framesDamaged();
        stats.nalUnitsDropped = m_h264->nalUnitsDropped();
    } else {
        stats.packetsLost = m_opus->lost();
        stats.duplicates = m_opus->duplicates();
        stats.framesDelivered = m_opus->framesDelivered();
        stats.framesDropped = m_opus->framesDropped();
    }
    return stats;
}

void RtpReceiver::setTransport(QnRtpTransport *rtp, QnRtpTransport *rtcp, QnRtpFrameCb *frameCb)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_rtp = rtp;
    m_rtcp = rtcp;
    m_frameCb = frameCb;
}

void RtpReceiver::stop()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_rtp = nullptr;
    m_rtcp = nullptr;
    m_frameCb = nullptr;
}

int RtpReceiver::sendData(const uint8_t *, int, uint64_t)
{
    return -1;
}

void RtpReceiver::deliver(const uint8_t *data, int size, uint32_t rtpTimestamp, bool damaged)
{
    if (!m_haveTimestamp) {
        m_haveTimestamp = true;
        m_extendedTimestamp = 0;
    } else {
        m_extendedTimestamp += int32_t(rtpTimestamp - m_lastRawTimestamp);
    }
    m_lastRawTimestamp = rtpTimestamp;
    if (!m_frameCb)
        return;
    const int64_t timeMs = m_extendedTimestamp * 1000 / int64_t(m_clock);
    if (damaged)
        m_frameCb->onDamagedFrame(data, size, timeMs, rtpTimestamp);
    else
        m_frameCb->onFrame(data, size, timeMs, rtpTimestamp);
}

void RtpReceiver::lockSource(uint32_t ssrc, uint16_t seq)
{
    if (m_locked)
        qCInfo(lcRtp) << "receiver switches from SSRC" << Qt::hex << m_remoteSsrc << "to" << ssrc;
    m_locked = true;
    m_remoteSsrc = ssrc;
    m_maxSeq = seq;
    m_baseSeq = seq;
    m_cycles = 0;
    m_received = 0;
    m_expectedPrior = 0;
    m_receivedPrior = 0;
    m_haveTransit = false;
    m_jitter = 0;
    m_lastSr = 0;
    m_pliSent = false;
    m_haveTimestamp = false;
    if (m_h264)
        m_h264->reset();
    else
        m_opus->reset();
}

void RtpReceiver::updateStatistics(uint16_t seq, uint32_t rtpTimestamp, uint64_t nowUs)
{
    const uint16_t delta = uint16_t(seq - m_maxSeq);
    if (delta < 3000) {
        if (seq < m_maxSeq)
            m_cycles += 65536;
        m_maxSeq = seq;
    }
    ++m_received;
    const int64_t arrival = int64_t(nowUs * m_clock / 1000000);
    const int64_t transit = arrival - int64_t(rtpTimestamp);
    if (m_haveTransit) {
        int64_t d = int64_t(int32_t(uint32_t(transit - m_lastTransit)));
        m_jitter += (double(std::llabs(d)) - m_jitter) / 16.0;
    }
    m_haveTransit = true;
    m_lastTransit = transit;
}

RtcpReportBlock RtpReceiver::reportBlock(uint64_t nowMs)
{
    // RFC 3550 section 6.4.1 and appendix A.3: cumulative loss over the whole reception (negative
    // with duplicates), fraction lost over the interval since the previous report.
    RtcpReportBlock block;
    block.ssrc = m_remoteSsrc;
    const uint32_t extendedMax = m_cycles + m_maxSeq;
    const uint32_t expected = extendedMax - m_baseSeq + 1;
    block.cumulativeLost = int32_t(int64_t(expected) - int64_t(m_received));
    const uint32_t expectedInterval = expected - m_expectedPrior;
    const uint32_t receivedInterval = m_received - m_receivedPrior;
    m_expectedPrior = expected;
    m_receivedPrior = m_received;
    const int64_t lostInterval = int64_t(expectedInterval) - int64_t(receivedInterval);
    block.fractionLost =
        (expectedInterval == 0 || lostInterval <= 0) ? 0 : uint8_t((lostInterval << 8) / expectedInterval);
    block.extendedHighestSeq = extendedMax;
    block.jitter = uint32_t(m_jitter);
    block.lastSr = m_lastSr;
    block.delaySinceLastSr = m_lastSr ? uint32_t((nowMs - m_lastSrArrivalMs) * 65536 / 1000) : 0;
    return block;
}

void RtpReceiver::sendReport(uint64_t nowMs)
{
    m_lastReportMs = nowMs;
    if (!m_rtcp || !m_locked)
        return;
    const RtcpReportBlock block = reportBlock(nowMs);
    const std::vector<uint8_t> report = buildRtcpReport(m_ssrc, nullptr, &block, cnameFor(m_ssrc));
    if (m_rtcp->sendPacket(report.data(), int(report.size())) >= 0)
        ++m_stats.rtcpSent;
}

void RtpReceiver::sendPictureLoss(uint64_t nowMs)
{
    if (!m_rtcp || !m_locked)
        return;
    if (m_pliSent && nowMs - m_lastPliMs < uint64_t(kPliIntervalMs))
        return;
    m_pliSent = true;
    m_lastPliMs = nowMs;
    // A compound packet (RFC 4585 section 3.1): receiver report, SDES, then the indication.
    m_lastReportMs = nowMs;
    const RtcpReportBlock block = reportBlock(nowMs);
    std::vector<uint8_t> packet = buildRtcpReport(m_ssrc, nullptr, &block, cnameFor(m_ssrc));
    const std::vector<uint8_t> pli = buildRtcpPli(m_ssrc, m_remoteSsrc);
    packet.insert(packet.end(), pli.begin(), pli.end());
    if (m_rtcp->sendPacket(packet.data(), int(packet.size())) >= 0) {
        ++m_stats.rtcpSent;
        ++m_stats.pliSent;
    }
}

int RtpReceiver::incomingPacket(const uint8_t *data, int length)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const uint64_t nowUs = steadyUs();
    const uint64_t nowMs = nowUs / 1000;
    if (looksLikeRtcp(data, length)) {
        RtcpInfo info;
        if (parseRtcp(data, length, info) != ParseStatus::Used) {
            ++m_stats.packetsRejected;
            return 0;
        }
        ++m_stats.rtcpReceived;
        if (info.hasSenderReport && m_locked && info.senderSsrc == m_remoteSsrc) {
            m_lastSr = uint32_t(info.ntp >> 16);
            m_lastSrArrivalMs = nowMs;
        }
        return 0;
    }
    RtpHeader header;
    if (parseRtp(data, length, header) != ParseStatus::Used || header.payloadType != m_payloadType) {
        ++m_stats.packetsRejected;
        return 0;
    }
    if (!m_locked || (header.ssrc != m_remoteSsrc && nowMs - m_lastRemoteMs > uint64_t(kSsrcTimeoutMs))) {
        lockSource(header.ssrc, header.seq);
        m_lastReportMs = nowMs;
    } else if (header.ssrc != m_remoteSsrc) {
        ++m_stats.packetsRejected;
        return 0;
    }
    m_lastRemoteMs = nowMs;
    ++m_stats.packetsReceived;
    updateStatistics(header.seq, header.timestamp, nowUs);
    if (m_h264) {
        const uint64_t lostBefore = m_h264->framesDamaged() + m_h264->framesDropped();
        m_h264->push(header.seq, header.timestamp, header.marker, header.payload, header.payloadSize,
                     int64_t(nowMs));
        if (m_h264->framesDamaged() + m_h264->framesDropped() != lostBefore)
            sendPictureLoss(nowMs);
    } else
        m_opus->push(header.seq, header.timestamp, header.marker, header.payload, header.payloadSize,
                     int64_t(nowMs));
    if (nowMs - m_lastReportMs >= uint64_t(kReportIntervalMs))
        sendReport(nowMs);
    return 0;
}

} // namespace qnrtp

// ---------------------------------------------------------------------------------------------
// Library entry points

QnRtpRtcp *CreateH264Sender()
{
    return new qnrtp::RtpSender(qnrtp::PayloadKind::H264);
}
QnRtpRtcp *CreateH264Receiver()
{
    return new qnrtp::RtpReceiver(qnrtp::PayloadKind::H264);
}
QnRtpRtcp *CreateOpusSender()
{
    return new qnrtp::RtpSender(qnrtp::PayloadKind::Opus);
}
QnRtpRtcp *CreateOpusReceiver()
{
    return new qnrtp::RtpReceiver(qnrtp::PayloadKind::Opus);
}

int RtpRtcpInit()
{
    static std::once_flag once;
    std::call_once(once, [] {
        qnrtp::randomU32(); // seeds the SSRC generator before the first stream starts
        qCDebug(lcRtp) << "RTP library ready";
    });
    return 0;
}
