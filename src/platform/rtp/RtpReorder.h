#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace qnrtp {

/// One RTP packet held by the reorder window (payload copied out of the receive buffer).
struct RtpQueued
{
    uint16_t seq = 0;
    uint32_t timestamp = 0;
    bool marker = false;
    int64_t arrivalMs = 0;
    std::vector<uint8_t> payload;
};

/// Puts the packets of one SSRC back into sequence order.
///
/// Packets are released in order as soon as they are contiguous. A gap is declared lost when a
/// packet kMaxHeld or more ahead of it arrives, or when the oldest waiting packet is older than
/// kMaxWaitMs;
/// the first packet released after a gap carries the number of packets given up before it
/// (kUnknownLoss after a restart), all others 0. Duplicates and packets older than
/// the release point (up to kMaxMisorder behind) are dropped. A jump of kMaxDropout or more
/// ahead, or further behind, restarts the window at that packet. Not thread-safe: the owner locks.
class RtpReorderBuffer
{
public:
    static constexpr int kSlots = 64;
    static constexpr int kMaxHeld = 32;
    static constexpr int kMaxWaitMs = 60;
    static constexpr int kMaxMisorder = 1000;
    static constexpr int kMaxDropout = 3000;
    static constexpr int kUnknownLoss = 1 << 30;

    using Release = std::function<void(const RtpQueued &packet, int lostBefore)>;

    explicit RtpReorderBuffer(Release release) : m_release(std::move(release)) {}

    /// Takes one packet; may release any number of packets through the callback.
    void push(RtpQueued packet, int64_t nowMs);
    /// Forgets every held packet and the sequence position (next packet starts afresh).
    void reset();

    uint64_t lost() const { return m_lost; }
    uint64_t duplicates() const { return m_duplicates; }
    int held() const { return m_held; }

private:
    void drain();
    void skipGap();
    bool hasSlot(uint16_t seq) const;

    Release m_release;
    std::array<RtpQueued, kSlots> m_slots;
    std::array<bool, kSlots> m_used{};
    bool m_started = false;
    int m_gapPending = 0;
    uint16_t m_next = 0;
    int m_held = 0;
    uint64_t m_lost = 0;
    uint64_t m_duplicates = 0;
};

} // namespace qnrtp
