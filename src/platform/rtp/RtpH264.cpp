#include "platform/rtp/RtpH264.h"

#include "platform/rtp/RtpPacket.h"

#include <algorithm>
#include <cstring>

namespace qnrtp {
namespace {

constexpr uint8_t kStapA = 24;
constexpr uint8_t kFuA = 28;
constexpr uint8_t kNalIdrSlice = 5;
constexpr uint8_t kNalSps = 7;
constexpr uint8_t kNalPps = 8;
constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};

// Position of the next 00 00 01 at or after pos, or length.
int findStartCode(const uint8_t *data, int length, int pos)
{
    for (int i = pos; i + 2 < length; ++i) {
        if (data[i + 2] > 1) {
            i += 2;
            continue;
        }
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1)
            return i;
    }
    return length;
}

} // namespace

std::vector<NalRef> splitAnnexB(const uint8_t *data, int length)
{
    std::vector<NalRef> nals;
    if (!data || length <= 0)
        return nals;
    int start = findStartCode(data, length, 0);
    if (start == length) {
        nals.push_back({data, length});
        return nals;
    }
    while (start < length) {
        const int begin = start + 3;
        const int next = findStartCode(data, length, begin);
        int end = next;
        while (end > begin && data[end - 1] == 0)
            --end;
        if (end > begin)
            nals.push_back({data + begin, end - begin});
        start = next;
    }
    return nals;
}

void H264Packetizer::packetize(const uint8_t *data, int length,
                               const std::function<void(const uint8_t *, int, bool)> &emit)
{
    const std::vector<NalRef> nals = splitAnnexB(data, length);
    uint8_t fragment[2 + kMaxSingleNal];
    for (size_t n = 0; n < nals.size(); ++n) {
        const NalRef &nal = nals[n];
        const bool lastNal = n + 1 == nals.size();
        if (nal.size <= kMaxSingleNal) {
            emit(nal.data, nal.size, lastNal);
            continue;
        }
        const uint8_t header = nal.data[0];
        const uint8_t indicator = uint8_t((header & 0xe0) | kFuA);
        const int chunkMax = kMaxSingleNal - 2;
        int pos = 1;
        while (pos < nal.size) {
            const int chunk = std::min(chunkMax, nal.size - pos);
            const bool first = pos == 1;
            const bool last = pos + chunk == nal.size;
            fragment[0] = indicator;
            fragment[1] = uint8_t((first ? 0x80 : 0) | (last ? 0x40 : 0) | (header & 0x1f));
            std::memcpy(fragment + 2, nal.data + pos, size_t(chunk));
            emit(fragment, chunk + 2, last && lastNal);
            pos += chunk;
        }
    }
}

H264Depacketizer::H264Depacketizer(Sink sink)
    : m_sink(std::move(sink))
    , m_reorder([this](const RtpQueued &packet, int lostBefore) { onPacket(packet, lostBefore); })
{}

void H264Depacketizer::reset()
{
    m_reorder.reset();
    m_unit.clear();
    m_fragment.clear();
    m_lastSps.clear();
    m_lastPps.clear();
    m_inUnit = false;
    m_inFragment = false;
    m_fragmentBroken = false;
}

void H264Depacketizer::push(uint16_t seq, uint32_t timestamp, bool marker, const uint8_t *payload, int size,
                            int64_t nowMs)
{
    RtpQueued packet;
    packet.seq = seq;
    packet.timestamp = timestamp;
    packet.marker = marker;
    packet.payload.assign(payload, payload + size);
    m_reorder.push(std::move(packet), nowMs);
}

void H264Depacketizer::beginUnit(uint32_t timestamp)
{
    m_unit.clear();
    m_fragment.clear();
    m_inUnit = true;
    m_damaged = false;
    m_inFragment = false;
    m_fragmentBroken = false;
    m_unitHasSps = false;
    m_unitHasPps = false;
    m_idrOffset = -1;
    m_timestamp = timestamp;
}

void H264Depacketizer::dropFragment()
{
    if (m_inFragment) {
        ++m_nalDropped;
        m_damaged = true;
    }
    m_inFragment = false;
    m_fragmentBroken = false;
    m_fragment.clear();
}

void H264Depacketizer::finishUnit()
{
    if (!m_inUnit)
        return;
    dropFragment(); // a fragmented NAL unit that never ended
    m_inUnit = false;
    if (m_unit.empty()) {
        ++m_dropped;
        return;
    }
    if (m_idrOffset >= 0 && (!m_unitHasSps || !m_unitHasPps)) {
        // An IDR slice without its parameter sets (lost, or sent only once): the last ones go in
        // right before it, after any that did arrive with it.
        std::vector<uint8_t> sets;
        for (const std::vector<uint8_t> *set :
             {m_unitHasSps ? nullptr : &m_lastSps, m_unitHasPps ? nullptr : &m_lastPps}) {
            if (!set || set->empty())
                continue;
            sets.insert(sets.end(), kStartCode, kStartCode + 4);
            sets.insert(sets.end(), set->begin(), set->end());
            ++m_inserted;
        }
        if (int(m_unit.size() + sets.size()) <= kMaxAccessUnit)
            m_unit.insert(m_unit.begin() + m_idrOffset, sets.begin(), sets.end());
    }
    ++m_delivered;
    if (m_damaged)
        ++m_damagedUnits;
    m_sink(m_unit.data(), int(m_unit.size()), m_timestamp, m_damaged);
}

void H264Depacketizer::keepNal(const uint8_t *nal, int size)
{
    if (size < 1 || (nal[0] & 0x80)) { // forbidden_zero_bit: the sender marks a damaged NAL unit
        ++m_nalDropped;
        m_damaged = true;
        return;
    }
    if (int(m_unit.size()) + 4 + size > kMaxAccessUnit) {
        ++m_nalDropped;
        m_damaged = true;
        return;
    }
    const uint8_t type = nal[0] & 0x1f;
    if (type == kNalSps) {
        m_lastSps.assign(nal, nal + size);
        m_unitHasSps = true;
    } else if (type == kNalPps) {
        m_lastPps.assign(nal, nal + size);
        m_unitHasPps = true;
    } else if (type == kNalIdrSlice && m_idrOffset < 0) {
        m_idrOffset = int(m_unit.size());
    }
    m_unit.insert(m_unit.end(), kStartCode, kStartCode + 4);
    m_unit.insert(m_unit.end(), nal, nal + size);
}

void H264Depacketizer::parseStapA(const uint8_t *payload, int size)
{
    // The whole aggregate is checked before any of it is kept: a bad length spoils all of it.
    int pos = 1;
    bool valid = size > 1;
    while (valid && pos < size) {
        if (pos + 2 > size) {
            valid = false;
            break;
        }
        const int nalSize = rd16(payload + pos);
        pos += 2;
        if (nalSize == 0 || nalSize > size - pos)
            valid = false;
        pos += nalSize;
    }
    if (!valid) {
        ++m_nalDropped;
        m_damaged = true;
        return;
    }
    for (pos = 1; pos < size;) {
        const int nalSize = rd16(payload + pos);
        keepNal(payload + pos + 2, nalSize);
        pos += 2 + nalSize;
    }
}

void H264Depacketizer::parseFuA(const uint8_t *payload, int size)
{
    const bool start = size >= 2 && (payload[1] & 0x80);
    const bool end = size >= 2 && (payload[1] & 0x40);
    if (size < 2 || (start && end)) {
        // Malformed: the NAL unit it belongs to cannot be trusted.
        m_damaged = true;
        if (m_inFragment)
            m_fragmentBroken = true;
        else
            ++m_nalDropped;
        return;
    }
    const uint8_t header = uint8_t((payload[0] & 0xe0) | (payload[1] & 0x1f));
    if (start) {
        dropFragment(); // the previous one never ended
        m_inFragment = true;
        m_fragment.assign(1, header);
    } else if (!m_inFragment) {
        m_damaged = true; // its start was lost: nothing to rebuild until the next start
        return;
    } else if (m_fragment.empty() || m_fragment[0] != header) {
        m_fragmentBroken = true; // a fragment of another NAL unit: the end of ours was lost
    }
    if (!m_fragmentBroken) {
        if (int(m_unit.size() + m_fragment.size()) + size > kMaxAccessUnit)
            m_fragmentBroken = true;
        else
            m_fragment.insert(m_fragment.end(), payload + 2, payload + size);
    }
    if (end) {
        if (m_fragmentBroken) {
            dropFragment();
        } else {
            keepNal(m_fragment.data(), int(m_fragment.size()));
            m_inFragment = false;
            m_fragment.clear();
        }
    }
}

void H264Depacketizer::parsePayload(const uint8_t *payload, int size)
{
    if (size < 1) {
        m_damaged = true;
        if (m_inFragment)
            m_fragmentBroken = true;
        return;
    }
    const uint8_t type = payload[0] & 0x1f;
    if (type == kFuA) {
        parseFuA(payload, size);
        return;
    }
    dropFragment(); // anything else ends a fragmented NAL unit that is still open
    if (type >= 1 && type <= 23)
        keepNal(payload, size);
    else if (type == kStapA)
        parseStapA(payload, size);
    else
        m_damaged = true; // not part of packetization-mode 1
}

void H264Depacketizer::onPacket(const RtpQueued &packet, int lostBefore)
{
    if (m_inUnit && packet.timestamp != m_timestamp) {
        // A new unit began without the marker of the open one: with a loss in between, the open
        // unit lost its tail and the new one perhaps its head.
        if (lostBefore > 0)
            m_damaged = true;
        finishUnit();
    }
    if (!m_inUnit) {
        beginUnit(packet.timestamp);
        if (lostBefore > 0)
            m_damaged = true; // its head, or a whole unit before it, was lost
    } else if (lostBefore > 0) {
        m_damaged = true;
        if (m_inFragment)
            m_fragmentBroken = true;
    }
    parsePayload(packet.payload.data(), int(packet.payload.size()));
    if (packet.marker)
        finishUnit();
}

} // namespace qnrtp
