#include "platform/rtp/RtpReorder.h"

#include <algorithm>

namespace qnrtp {

bool RtpReorderBuffer::hasSlot(uint16_t seq) const
{
    const int i = seq % kSlots;
    return m_used[i] && m_slots[i].seq == seq;
}

void RtpReorderBuffer::reset()
{
    for (int i = 0; i < kSlots; ++i) {
        m_used[i] = false;
        m_slots[i].payload.clear();
    }
    m_held = 0;
    m_started = false;
    m_gapPending = 0;
}

void RtpReorderBuffer::push(RtpQueued packet, int64_t nowMs)
{
    if (!m_started) {
        m_started = true;
        m_next = packet.seq;
    }
    const int distance = int16_t(uint16_t(packet.seq - m_next));
    if (distance < 0 && distance >= -kMaxMisorder) {
        ++m_duplicates; // already released or given up
        return;
    }
    if (distance < 0 || distance >= kMaxDropout) {
        // Far ahead or far behind: the sender restarted. Release what is held, start afresh.
        while (m_held > 0)
            skipGap();
        m_next = packet.seq;
        m_gapPending = kUnknownLoss;
    } else if (distance >= kMaxHeld) {
        // Ahead of the window: give up the oldest gaps until the packet fits.
        while (m_held > 0 && int16_t(uint16_t(packet.seq - m_next)) >= kMaxHeld)
            skipGap();
        const int ahead = int16_t(uint16_t(packet.seq - m_next));
        if (ahead >= kMaxHeld) {
            m_lost += uint64_t(ahead);
            m_gapPending = std::min(kUnknownLoss, m_gapPending + ahead);
            m_next = packet.seq;
        }
    }
    const int slot = packet.seq % kSlots;
    if (hasSlot(packet.seq)) {
        ++m_duplicates;
        return;
    }
    packet.arrivalMs = nowMs;
    m_slots[slot] = std::move(packet);
    m_used[slot] = true;
    ++m_held;
    drain();

    while (m_held > 0) {
        int64_t oldest = nowMs;
        for (int i = 0; i < kSlots; ++i) {
            if (m_used[i] && m_slots[i].arrivalMs < oldest)
                oldest = m_slots[i].arrivalMs;
        }
        if (m_held < kMaxHeld && nowMs - oldest <= kMaxWaitMs)
            break;
        skipGap();
    }
}

void RtpReorderBuffer::drain()
{
    while (m_held > 0 && hasSlot(m_next)) {
        const int slot = m_next % kSlots;
        m_used[slot] = false;
        --m_held;
        const int gap = m_gapPending;
        m_gapPending = 0;
        ++m_next;
        RtpQueued packet = std::move(m_slots[slot]);
        m_release(packet, gap);
    }
}

void RtpReorderBuffer::skipGap()
{
    // Advance to the nearest held packet; everything before it is lost.
    for (int step = 0; step < kSlots && m_held > 0; ++step) {
        if (hasSlot(m_next))
            break;
        ++m_next;
        ++m_lost;
        if (m_gapPending < kUnknownLoss)
            ++m_gapPending;
    }
    drain();
}

} // namespace qnrtp
