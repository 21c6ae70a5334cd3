#pragma once

#include "platform/rtp/RtpReorder.h"

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
/// Reassembly works per NAL unit: a NAL unit whose packets all arrived intact is kept; one with a
/// missing or malformed fragment is dropped. An access unit goes on with whatever NAL units it
/// kept, flagged as damaged when anything of it (or a whole unit before it) was lost, so the
/// decoder conceals instead of stalling. Parameter sets are passed on as they arrive; the last
/// SPS and PPS are remembered and put back in front of an IDR slice whose unit came without them.
/// A unit of which nothing was kept is counted as dropped. Not thread-safe: the owner locks.
class H264Depacketizer
{
public:
    static constexpr int kMaxAccessUnit = 4 * 1024 * 1024;

    /// One access unit; \a damaged when part of it, or a unit right before it, was lost.
    using Sink = std::function<void(const uint8_t *data, int size, uint32_t rtpTimestamp, bool damaged)>;

    explicit H264Depacketizer(Sink sink);

    /// One RTP packet of the accepted SSRC and payload type.
    void push(uint16_t seq, uint32_t timestamp, bool marker, const uint8_t *payload, int size, int64_t nowMs);
    /// Forgets everything (new SSRC), the remembered parameter sets included.
    void reset();

    uint64_t lost() const { return m_reorder.lost(); }
    uint64_t duplicates() const { return m_reorder.duplicates(); }
    uint64_t framesDelivered() const { return m_delivered; }
    /// Units of which nothing could be handed on.
    uint64_t framesDropped() const { return m_dropped; }
    /// Units handed on with the damaged flag.
    uint64_t framesDamaged() const { return m_damagedUnits; }
    /// NAL units dropped for a missing fragment or a malformed packet.
    uint64_t nalUnitsDropped() const { return m_nalDropped; }
    /// Parameter sets put back in front of IDR slices.
    uint64_t parameterSetsInserted() const { return m_inserted; }

private:
    void onPacket(const RtpQueued &packet, int lostBefore);
    void beginUnit(uint32_t timestamp);
    void finishUnit();
    void keepNal(const uint8_t *nal, int size);
    void dropFragment();
    void parsePayload(const uint8_t *payload, int size);
    void parseStapA(const uint8_t *payload, int size);
    void parseFuA(const uint8_t *payload, int size);

    Sink m_sink;
    RtpReorderBuffer m_reorder;
    std::vector<uint8_t> m_unit;     ///< kept NAL units of the open access unit (Annex B)
    std::vector<uint8_t> m_fragment; ///< the FU-A NAL unit being rebuilt (header byte first)
    std::vector<uint8_t> m_lastSps;
    std::vector<uint8_t> m_lastPps;
    bool m_inUnit = false;
    bool m_damaged = false;
    bool m_inFragment = false;
    bool m_fragmentBroken = false;
    bool m_unitHasSps = false;
    bool m_unitHasPps = false;
    int m_idrOffset = -1; ///< position of the first IDR slice in m_unit, or -1
    uint32_t m_timestamp = 0;
    uint64_t m_delivered = 0;
    uint64_t m_dropped = 0;
    uint64_t m_damagedUnits = 0;
    uint64_t m_nalDropped = 0;
    uint64_t m_inserted = 0;
};

} // namespace qnrtp
