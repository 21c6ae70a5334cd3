#include "RtpH264.h"

#include "RtpPacket.h"

#include <algorithm>
#include <cstring>

namespace qnrtp {
namespace {

constexpr uint8_t kStapA = 24;
constexpr uint8_t kFuA = 28;
constexpr uint8_t kNalSlice = 1;
constexpr uint8_t kNalIdrSlice = 5;
constexpr uint8_t kNalSps = 7;
constexpr uint8_t kNalAud = 9;
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
    m_inUnit = false;
    m_inFragment = false;
    m_lastEndedWithMarker = true;
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
    m_inUnit = true;
    m_corrupt = false;
    m_inFragment = false;
    m_firstNalChecked = false;
    m_startsCleanly = false;
    m_gapBeforeUnit = false;
    m_afterMarker = m_lastEndedWithMarker;
    m_timestamp = timestamp;
}

void H264Depacketizer::finishUnit()
{
    if (!m_inUnit)
        return;
    m_inUnit = false;
    // Packets lost right before this unit may have been its first ones, unless the previous unit
    // closed with its marker and this one opens with a NAL that only starts an access unit.
    const bool headLost = m_gapBeforeUnit && !(m_afterMarker && m_startsCleanly);
    if (m_corrupt || m_inFragment || headLost || m_unit.empty()) {
        ++m_dropped;
        return;
    }
    ++m_delivered;
    m_sink(m_unit.data(), int(m_unit.size()), m_timestamp);
}

void H264Depacketizer::appendRaw(const uint8_t *data, int size)
{
    if (m_corrupt)
        return;
    if (int(m_unit.size()) + size > kMaxAccessUnit) {
        m_corrupt = true;
        return;
    }
    m_unit.insert(m_unit.end(), data, data + size);
}

void H264Depacketizer::appendNal(const uint8_t *nal, int size)
{
    const uint8_t type = nal[0] & 0x1f;
    if (!m_firstNalChecked) {
        m_firstNalChecked = true;
        // An AUD or SPS, or the first slice of a picture (first_mb_in_slice 0, a single 1 bit).
        const bool firstSlice = (type == kNalSlice || type == kNalIdrSlice) && size > 1 && (nal[1] & 0x80);
        m_startsCleanly = type == kNalAud || type == kNalSps || firstSlice;
    }
    if (nal[0] & 0x80) // forbidden_zero_bit: the sender marks a damaged unit
        m_corrupt = true;
    appendRaw(kStartCode, 4);
    appendRaw(nal, size);
}

void H264Depacketizer::parsePayload(const uint8_t *payload, int size)
{
    if (size < 1) {
        m_corrupt = true;
        return;
    }
    const uint8_t type = payload[0] & 0x1f;
    if (type >= 1 && type <= 23) {
        if (m_inFragment)
            m_corrupt = true; // a fragmented unit never ended
        m_inFragment = false;
        appendNal(payload, size);
    } else if (type == kStapA) {
        if (m_inFragment)
            m_corrupt = true;
        m_inFragment = false;
        int pos = 1;
        if (pos >= size)
            m_corrupt = true;
        while (pos < size) {
            if (pos + 2 > size) {
                m_corrupt = true;
                return;
            }
            const int nalSize = rd16(payload + pos);
            pos += 2;
            if (nalSize == 0 || nalSize > size - pos) {
                m_corrupt = true;
                return;
            }
            appendNal(payload + pos, nalSize);
            pos += nalSize;
        }
    } else if (type == kFuA) {
        if (size < 2) {
            m_corrupt = true;
            return;
        }
        const bool start = payload[1] & 0x80;
        const bool end = payload[1] & 0x40;
        if (start && end) {
            m_corrupt = true;
            return;
        }
        if (start) {
            if (m_inFragment)
                m_corrupt = true;
            const uint8_t header = uint8_t((payload[0] & 0xe0) | (payload[1] & 0x1f));
            std::vector<uint8_t> first(size_t(size - 1));
            first[0] = header;
            std::memcpy(first.data() + 1, payload + 2, size_t(size - 2));
            appendNal(first.data(), int(first.size()));
            m_inFragment = true;
        } else {
            if (!m_inFragment) {
                m_corrupt = true; // its start was lost or never sent
                return;
            }
            appendRaw(payload + 2, size - 2);
        }
        if (end)
            m_inFragment = false;
    } else {
        m_corrupt = true; // not part of packetization-mode 1
    }
}

void H264Depacketizer::onPacket(const RtpQueued &packet, int lostBefore)
{
    if (m_inUnit && packet.timestamp != m_timestamp) {
        // The open unit lacks its marker. With exactly one packet lost, that was its marker
        // packet, and the new unit is whole from here; otherwise the loss may reach into either.
        const bool onlyMarkerLost = lostBefore == 1;
        if (lostBefore > 0)
            m_corrupt = true;
        finishUnit();
        m_lastEndedWithMarker = false;
        if (onlyMarkerLost) {
            m_lastEndedWithMarker = true;
            lostBefore = 0;
        }
    } else if (m_inUnit && lostBefore > 0) {
        m_corrupt = true;
    }
    if (!m_inUnit) {
        beginUnit(packet.timestamp);
        m_gapBeforeUnit = lostBefore > 0;
    }
    parsePayload(packet.payload.data(), int(packet.payload.size()));
    if (packet.marker) {
        finishUnit();
        m_lastEndedWithMarker = true;
    }
}

} // namespace qnrtp
