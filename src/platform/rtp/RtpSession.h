#pragma once

#include "platform/rtp/QnRtpRtcp.h"
#include "platform/rtp/Rtcp.h"
#include "platform/rtp/RtpH264.h"
#include "platform/rtp/RtpOpus.h"

#include <memory>
#include <mutex>
#include <string>

namespace qnrtp {

enum class PayloadKind { H264, Opus };

/// Sending endpoint: packetises frames into RTP, sends RTCP sender reports every few seconds,
/// reads the peer's receiver reports and honours its key frame requests (PLI, FIR) through the
/// key frame handler. sendData runs on the producing thread, incomingPacket on the receive
/// thread; both take m_lock.
class RtpSender : public QnRtpRtcp
{
public:
    static constexpr int kReportIntervalMs = 3000;

    explicit RtpSender(PayloadKind kind);

    void setStreamId(uint32_t id) override;
    void setPayloadType(uint8_t payloadType) override;
    QnRtpStats stats() const override;
    void setTransport(QnRtpTransport *rtp, QnRtpTransport *rtcp, QnRtpFrameCb *frameCb) override;
    void stop() override;
    int sendData(const uint8_t *data, int length, uint64_t timeMs) override;
    int incomingPacket(const uint8_t *data, int length) override;
    void setKeyframeRequestHandler(std::function<void()> handler) override;

private:
    uint32_t timestampFor(const uint8_t *data, int length, uint64_t timeMs, bool &marker);
    bool sendPayload(const uint8_t *payload, int size, bool marker, uint32_t timestamp);
    void sendReport(uint64_t nowMs);

    mutable std::mutex m_lock;
    const PayloadKind m_kind;
    const uint32_t m_clock;
    QnRtpTransport *m_rtp = nullptr;
    QnRtpTransport *m_rtcp = nullptr;
    uint32_t m_streamId = 0;
    uint8_t m_payloadType = 0;
    uint32_t m_ssrc;
    uint16_t m_seq;
    uint32_t m_timestampBase;
    bool m_started = false;
    uint64_t m_firstMs = 0;
    uint32_t m_nextAudioTimestamp = 0;
    bool m_reportSent = false;
    uint64_t m_lastReportMs = 0;
    std::function<void()> m_keyframeHandler;
    bool m_keyframeRequested = false;
    uint64_t m_lastKeyframeRequestMs = 0;
    bool m_haveFirSeq = false;
    uint8_t m_lastFirSeq = 0;
    QnRtpStats m_stats;
};

/// Receiving endpoint: accepts one payload type and one SSRC (the first seen; another one only
/// after the current has been silent for kSsrcTimeoutMs), reorders, drops duplicates, hands on
/// frames to the frame callback on the receive thread (with m_lock held: the callback must not
/// call back into this endpoint), and answers with RTCP receiver reports. A video picture that
/// was lost or arrived damaged makes it send a Picture Loss Indication (with a receiver report,
/// as a compound packet), at most one per kPliIntervalMs.
class RtpReceiver : public QnRtpRtcp
{
public:
    static constexpr int kReportIntervalMs = 3000;
    static constexpr int kSsrcTimeoutMs = 1500;
    static constexpr int kPliIntervalMs = 500;

    explicit RtpReceiver(PayloadKind kind);

    void setStreamId(uint32_t id) override;
    void setPayloadType(uint8_t payloadType) override;
    QnRtpStats stats() const override;
    void setTransport(QnRtpTransport *rtp, QnRtpTransport *rtcp, QnRtpFrameCb *frameCb) override;
    void stop() override;
    int sendData(const uint8_t *data, int length, uint64_t timeMs) override;
    int incomingPacket(const uint8_t *data, int length) override;

private:
    void deliver(const uint8_t *data, int size, uint32_t rtpTimestamp, bool damaged);
    void lockSource(uint32_t ssrc, uint16_t seq);
    void updateStatistics(uint16_t seq, uint32_t rtpTimestamp, uint64_t nowUs);
    RtcpReportBlock reportBlock(uint64_t nowMs);
    void sendReport(uint64_t nowMs);
    void sendPictureLoss(uint64_t nowMs);

    mutable std::mutex m_lock;
    const uint32_t m_clock;
    QnRtpTransport *m_rtp = nullptr;
    QnRtpTransport *m_rtcp = nullptr;
    QnRtpFrameCb *m_frameCb = nullptr;
    uint8_t m_payloadType = 0;
    uint32_t m_ssrc;
    std::unique_ptr<H264Depacketizer> m_h264;
    std::unique_ptr<OpusDepacketizer> m_opus;

    bool m_locked = false;
    uint32_t m_remoteSsrc = 0;
    uint64_t m_lastRemoteMs = 0;
    // Reception statistics of the locked source (RFC 3550 appendix A.1 and A.8).
    uint16_t m_maxSeq = 0;
    uint32_t m_cycles = 0;
    uint32_t m_baseSeq = 0;
    uint32_t m_received = 0;
    uint32_t m_expectedPrior = 0;
    uint32_t m_receivedPrior = 0;
    int64_t m_lastTransit = 0;
    bool m_haveTransit = false;
    double m_jitter = 0;
    uint32_t m_lastSr = 0;
    uint64_t m_lastSrArrivalMs = 0;
    uint64_t m_lastReportMs = 0;
    bool m_pliSent = false;
    uint64_t m_lastPliMs = 0;
    // Media time of delivered frames.
    bool m_haveTimestamp = false;
    uint32_t m_lastRawTimestamp = 0;
    int64_t m_extendedTimestamp = 0;
    QnRtpStats m_stats;
};

} // namespace qnrtp
