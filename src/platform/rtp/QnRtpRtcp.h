#pragma once

#include <cstdint>
#include <functional>

/// \file
/// The real-time media library's interfaces: RTP/RTCP endpoints created by the library (senders
/// and receivers of H.264 and Opus), the network side they send through, and the callback that
/// receives whole frames.
///
/// Threads: a sender's sendData runs on the producing thread (capture or audio timer), its
/// incomingPacket on the stream's receive thread; a receiver's incomingPacket and the frame
/// callback it calls run on the receive thread. Each endpoint locks its own state, so both may
/// be called concurrently. No call throws.

/// The network side an endpoint emits datagrams through. Implemented by the application.
class QnRtpTransport
{
public:
    virtual ~QnRtpTransport() = default;
    /// Sends one RTP or RTCP datagram (at most 1472 bytes). Returns the bytes sent or a negative
    /// value on failure. Called with the endpoint's lock held: must not call back into it.
    virtual int sendPacket(const uint8_t *data, int length) = 0;
    /// Reserved notification; implementations may leave it empty.
    virtual void onTransportEvent() {}
};

/// Receives depacketised frames: one H.264 access unit in Annex-B form, or one Opus packet.
class QnRtpFrameCb
{
public:
    virtual ~QnRtpFrameCb() = default;
    /// \a timestamp is the media time in milliseconds since the stream's first frame; \a extra is
    /// the frame's 32-bit RTP timestamp. The data is valid only during the call. Returns 0.
    virtual int onFrame(const uint8_t *data, int length, int64_t timestamp, uint32_t extra) = 0;
    /// A frame of which some part (or a frame right before it) was lost: what arrived intact,
    /// for the decoder to conceal the rest. By default handed to onFrame like any other.
    virtual int onDamagedFrame(const uint8_t *data, int length, int64_t timestamp, uint32_t extra)
    {
        return onFrame(data, length, timestamp, extra);
    }
};

/// Counters of one endpoint, for diagnostics and tests.
struct QnRtpStats
{
    uint64_t packetsSent = 0;
    uint64_t octetsSent = 0;
    uint64_t rtcpSent = 0;
    uint64_t packetsReceived = 0;
    uint64_t packetsRejected = 0; ///< malformed, wrong payload type or SSRC
    uint64_t packetsLost = 0;     ///< sequence numbers skipped by the reorder window
    uint64_t duplicates = 0;      ///< duplicate or too-late packets dropped
    uint64_t framesDelivered = 0;
    uint64_t framesDropped = 0;    ///< frames of which nothing could be handed on
    uint64_t framesDamaged = 0;    ///< frames handed on with a loss (onDamagedFrame)
    uint64_t nalUnitsDropped = 0;  ///< NAL units with a missing or malformed fragment
    uint64_t pliSent = 0;          ///< receiver: Picture Loss Indications sent
    uint64_t pliReceived = 0;      ///< sender: PLIs about our SSRC
    uint64_t firReceived = 0;      ///< sender: new FIR commands about our SSRC
    uint64_t keyframeRequests = 0; ///< sender: requests passed to the key frame handler
    uint64_t rtcpReceived = 0;
    uint64_t reportsReceived = 0; ///< report blocks about our own SSRC
    uint8_t lastFractionLost = 0; ///< from the peer's latest report block (1/256 units)
    uint32_t ssrc = 0;            ///< our own SSRC
    uint32_t remoteSsrc = 0;      ///< the SSRC a receiver accepts (0 until locked)
};

/// One RTP/RTCP endpoint made by the library (sender or receiver). Owned by the caller.
class QnRtpRtcp
{
public:
    virtual ~QnRtpRtcp() = default;
    /// Sender only, right after creation: an identifier for logs.
    virtual void setStreamId(uint32_t id) = 0;
    /// The RTP payload type sent, or the only one accepted.
    virtual void setPayloadType(uint8_t payloadType) = 0;
    /// A snapshot of the endpoint's counters.
    virtual QnRtpStats stats() const = 0;
    /// Attaches the transports (not owned; they must outlive the endpoint or a stop()) and the
    /// frame callback (not owned; receivers only). Any may be null.
    virtual void setTransport(QnRtpTransport *rtp, QnRtpTransport *rtcp, QnRtpFrameCb *frameCb) = 0;
    /// Detaches transports and callback; nothing is sent or delivered afterwards.
    virtual void stop() = 0;
    /// Sender: packetises one H.264 access unit (Annex B) or one Opus packet and sends it.
    /// \a timeMs is the capture instant of the media (video: when its screen was grabbed; audio:
    /// when its first sample was captured) in milliseconds of qnrtp::steadyMs()'s clock; sender
    /// reports map the present instant of that clock to NTP. Returns 0, or -1 when nothing could
    /// be sent.
    virtual int sendData(const uint8_t *data, int length, uint64_t timeMs) = 0;
    /// Hands the endpoint one received datagram, RTP or RTCP. Malformed input is dropped.
    virtual int incomingPacket(const uint8_t *data, int length) = 0;
    /// Sender: called when the peer asks for a key frame (PLI or FIR), at most once per
    /// kKeyframeRequestIntervalMs, on the thread that calls incomingPacket, without the
    /// endpoint's lock. Set it before the transports are attached. Receivers ignore it.
    virtual void setKeyframeRequestHandler(std::function<void()> handler) { (void)handler; }

    static constexpr int kKeyframeRequestIntervalMs = 500;
};

QnRtpRtcp *CreateH264Sender();
QnRtpRtcp *CreateH264Receiver();
QnRtpRtcp *CreateOpusSender();
QnRtpRtcp *CreateOpusReceiver();

/// Process-wide initialisation; idempotent and thread-safe. Returns 0.
int RtpRtcpInit();
