#pragma once

#include "RtpReorder.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace qnrtp {

/// One NAL unit found in an Annex-B byte stream (pointer into the input, start code excluded).
struct NalRef
{
    const uint8_t *data = nullptr;
    int size = 0;
};

/// Splits an Annex-B access unit at its 3- and 4-byte start codes. Trailing zero bytes of a NAL
/// unit belong to the next start code and are dropped; empty units are skipped. Input without
/// any start code is taken as one NAL unit.
std::vector<NalRef> splitAnnexB(const uint8_t *data, int length);

/// RFC 6184 packetization-mode 1 sender side: NAL units of up to kMaxSingleNal bytes travel as
/// single-NAL packets, larger ones as FU-A fragments; the last packet of the access unit carries
/// the marker. Emits payloads only; the caller adds the RTP header.
class H264Packetizer
{
public:
    static constexpr int kMaxSingleNal = 1400;

    /// Calls \a emit(payload, size, marker) for each packet payload, in order.
    static void packetize(const uint8_t *data, int length,
                          const std::function<void(const uint8_t *, int, bool)> &emit);
};

/// RFC 6184 receiver side: reorders packets, rebuilds access units (single NAL, STAP-A, FU-A)
/// and hands them on in Annex-B form (4-byte start codes).
///
/// An access unit is handed on only when every one of its packets arrived and parsed cleanly;
/// a loss or a malformed packet drops the unit it falls in (and the following unit when the lost
/// packets may have been its head). Later units go on; the decoder conceals until the next key
/// frame. Not thread-safe: the owner locks.
class H264Depacketizer
{
public:
    static constexpr int kMaxAccessUnit = 4 * 1024 * 1024;

    using Sink = std::function<void(const uint8_t *data, int size, uint32_t rtpTimestamp)>;

    explicit H264Depacketizer(Sink sink);

    /// One RTP packet of the accepted SSRC and payload type.
    void push(uint16_t seq, uint32_t timestamp, bool marker, const uint8_t *payload, int size, int64_t nowMs);
    /// Forgets everything (new SSRC).
    void reset();

    uint64_t lost() const { return m_reorder.lost(); }
    uint64_t duplicates() const { return m_reorder.duplicates(); }
    uint64_t framesDelivered() const { return m_delivered; }
    uint64_t framesDropped() const { return m_dropped; }

private:
    void onPacket(const RtpQueued &packet, int lostBefore);
    void beginUnit(uint32_t timestamp);
    void finishUnit();
    void appendNal(const uint8_t *nal, int size);
    void appendRaw(const uint8_t *data, int size);
    void parsePayload(const uint8_t *payload, int size);

    Sink m_sink;
    RtpReorderBuffer m_reorder;
    std::vector<uint8_t> m_unit;
    bool m_inUnit = false;
    bool m_corrupt = false;
    bool m_inFragment = false;
    bool m_firstNalChecked = false;
    bool m_startsCleanly = false; ///< first NAL can only open an access unit
    bool m_gapBeforeUnit = false;
    bool m_lastEndedWithMarker = true;
    bool m_afterMarker = true; ///< the unit being built follows one closed by its marker
    uint32_t m_timestamp = 0;
    uint64_t m_delivered = 0;
    uint64_t m_dropped = 0;
};

} // namespace qnrtp
