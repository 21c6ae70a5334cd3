// Packetisers, depacketisers, RTP header and RTCP parsing: tables of wire-level cases.
#include "platform/rtp/Rtcp.h"
#include "platform/rtp/RtpH264.h"
#include "platform/rtp/RtpOpus.h"
#include "platform/rtp/RtpPacket.h"
#include "platform/rtp/RtpSession.h"

#include <QtTest>

#include <cstring>
#include <functional>

using namespace qnrtp;

namespace {

struct Packet
{
    uint16_t seq;
    uint32_t ts;
    bool marker;
    QByteArray payload;
};

// A NAL unit with the given header byte; the body never contains a start code.
QByteArray makeNal(uint8_t header, int size, int seed)
{
    QByteArray nal(size, '\0');
    nal[0] = char(header);
    for (int i = 1; i < size; ++i)
        nal[i] = char(1 + (i * 7 + seed * 13) % 255);
    if (size > 1 && (header & 0x1f) <= 5)
        nal[1] = char(0x80 | (seed & 0x7f)); // first_mb_in_slice 0
    return nal;
}

QByteArray annexB(const QList<QByteArray> &nals, bool fourByte = true)
{
    QByteArray out;
    for (const QByteArray &nal : nals)
        out += (fourByte ? QByteArray("\0\0\0\1", 4) : QByteArray("\0\0\1", 3)) + nal;
    return out;
}

QList<Packet> packetize(const QByteArray &unit, uint16_t &seq, uint32_t ts)
{
    QList<Packet> packets;
    H264Packetizer::packetize(
        reinterpret_cast<const uint8_t *>(unit.constData()), unit.size(),
        [&](const uint8_t *payload, int size, bool marker) {
            packets.append({seq++, ts, marker, QByteArray(reinterpret_cast<const char *>(payload), size)});
        });
    return packets;
}

// The NAL units of the sample stream, numbered: 0 SPS, 1 PPS, 2 IDR slice (4 FU-A fragments),
// 3..8 P slices, 9 an IDR slice sent without parameter sets.
QList<QByteArray> sampleNals()
{
    return {makeNal(0x67, 12, 1),  makeNal(0x68, 4, 2),    makeNal(0x65, 5000, 3), makeNal(0x41, 3000, 4),
            makeNal(0x41, 500, 5), makeNal(0x41, 1400, 6), makeNal(0x41, 4000, 7), makeNal(0x41, 300, 9),
            makeNal(0x41, 200, 8), makeNal(0x65, 2000, 10)};
}

// Seven access units as lists of NAL numbers: an IDR with parameter sets, P frames of assorted
// sizes (frame 4 in two slices), and an IDR without parameter sets.
const QList<QList<int>> kSampleFrames = {{0, 1, 2}, {3}, {4}, {5}, {6, 7}, {8}, {9}};

QList<QList<QByteArray>> sampleStream()
{
    const QList<QByteArray> nals = sampleNals();
    QList<QList<QByteArray>> frames;
    for (const QList<int> &frame : kSampleFrames) {
        QList<QByteArray> units;
        for (int n : frame)
            units.append(nals[n]);
        frames.append(units);
    }
    return frames;
}

struct Delivered
{
    QList<QByteArray> units;
    QList<uint32_t> timestamps;
    QList<bool> damaged;
};

void feed(H264Depacketizer &depacketizer, const QList<Packet> &packets)
{
    // Packets 100 ms apart: a gap is given up when the next packet arrives (the reorder window
    // waits 60 ms), so every scenario settles by the end of the stream.
    int64_t now = 0;
    for (const Packet &p : packets) {
        depacketizer.push(p.seq, p.ts, p.marker, reinterpret_cast<const uint8_t *>(p.payload.constData()),
                          p.payload.size(), now);
        now += 100;
    }
}

enum Scenario {
    InOrder,
    SeqWrap,
    TsWrap,
    ReorderInFrame,
    ReorderAcrossFrames,
    AllDuplicated,
    LateDuplicate,
    LostMiddleFragment,
    LostFirstFragment,
    LostMarkerPacket,
    LostWholeFrame,
    LostParameterSet,
    LostIdrFragment,
    LostLastFragment,
    StapAParameterSets,
    StapAOverrun,
    StapATruncatedLength,
    FuStartAndEnd,
    FuTooShort,
    UnsupportedType,
    EmptyPayload,
    ForbiddenBit,
};

} // namespace

Q_DECLARE_METATYPE(Scenario)

class TstRtpPayload : public QObject
{
    Q_OBJECT

private slots:
    void packetizeSizes_data();
    void packetizeSizes();
    void startCodes_data();
    void startCodes();
    void depacketize_data();
    void depacketize();
    void reorderWindowGivesUp();
    void opusSamples_data();
    void opusSamples();
    void opusDepacketizer();
    void opusSenderTimestamps();
    void senderStampsCaptureTime();
    void rtpHeader_data();
    void rtpHeader();
    void rtcpRoundTrip();
    void rtcpMalformed_data();
    void rtcpMalformed();
    void rtcpFeedbackWire();
    void senderHonoursKeyframeRequests();
    void receiverReportsPictureLoss();
};

void TstRtpPayload::packetizeSizes_data()
{
    QTest::addColumn<int>("nalSize");
    QTest::addColumn<int>("packets");
    // FU-A fragments carry 1398 bytes after the 2-byte FU header; the NAL header byte is not sent.
    QTest::newRow("tiny") << 1 << 1;
    QTest::newRow("1399 single") << 1399 << 1;
    QTest::newRow("1400 single") << 1400 << 1;
    QTest::newRow("1401 fragmented") << 1401 << 2;
    QTest::newRow("2797 two fragments") << 2797 << 2;
    QTest::newRow("2798 three fragments") << 2798 << 3;
    QTest::newRow("100000") << 100000 << 72;
}

void TstRtpPayload::packetizeSizes()
{
    QFETCH(int, nalSize);
    QFETCH(int, packets);
    const QList<QByteArray> nals = {makeNal(0x65, nalSize, 9)};
    uint16_t seq = 100;
    const QList<Packet> sent = packetize(annexB(nals), seq, 1234);
    QCOMPARE(sent.size(), packets);
    for (int i = 0; i < sent.size(); ++i) {
        QVERIFY(sent[i].payload.size() + kRtpHeaderSize <= kMaxDatagram);
        QVERIFY(sent[i].payload.size() <= H264Packetizer::kMaxSingleNal);
        QCOMPARE(sent[i].marker, i == sent.size() - 1);
    }
    if (packets > 1) {
        QCOMPARE(uint8_t(sent[0].payload[0]), uint8_t(0x60 | 28)); // FU indicator keeps NRI
        QCOMPARE(uint8_t(sent[0].payload[1]), uint8_t(0x80 | 5));  // start bit, IDR type
        QCOMPARE(uint8_t(sent.last().payload[1]), uint8_t(0x40 | 5));
    }
    Delivered out;
    H264Depacketizer depacketizer([&](const uint8_t *data, int size, uint32_t ts, bool damaged) {
        out.units.append(QByteArray(reinterpret_cast<const char *>(data), size));
        out.timestamps.append(ts);
        out.damaged.append(damaged);
    });
    feed(depacketizer, sent);
    QCOMPARE(out.units.size(), 1);
    QCOMPARE(out.units[0], annexB(nals));
    QCOMPARE(out.timestamps[0], 1234u);
}

void TstRtpPayload::startCodes_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray sps = makeNal(0x67, 10, 1), pps = makeNal(0x68, 4, 2), idr = makeNal(0x65, 3000, 3);
    QTest::newRow("4-byte") << annexB({sps, pps, idr}, true) << annexB({sps, pps, idr});
    QTest::newRow("3-byte") << annexB({sps, pps, idr}, false) << annexB({sps, pps, idr});
    QTest::newRow("mixed") << (QByteArray("\0\0\0\1", 4) + sps + QByteArray("\0\0\1", 3) + pps +
                               QByteArray("\0\0\0\1", 4) + idr)
                           << annexB({sps, pps, idr});
    QTest::newRow("trailing zeros") << (annexB({sps}) + QByteArray(3, '\0') + annexB({idr}) +
                                        QByteArray(2, '\0'))
                                    << annexB({sps, idr});
    QTest::newRow("empty units skipped") << (QByteArray("\0\0\1\0\0\1", 6) + annexB({idr})) << annexB({idr});
    QTest::newRow("no start code") << idr << annexB({idr});
}

void TstRtpPayload::startCodes()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    uint16_t seq = 0;
    Delivered out;
    H264Depacketizer depacketizer([&](const uint8_t *data, int size, uint32_t, bool) {
        out.units.append(QByteArray(reinterpret_cast<const char *>(data), size));
    });
    feed(depacketizer, packetize(input, seq, 0));
    QCOMPARE(out.units.size(), 1);
    QCOMPARE(out.units[0], expected);
}

void TstRtpPayload::depacketize_data()
{
    // Each expected unit as "frame:NAL numbers", with "!" when handed on as damaged. Complete NAL
    // units are kept; only those with a missing or malformed fragment are dropped; a frame of
    // which nothing is left is not handed on. Frame 6 is an IDR slice that came without
    // parameter sets: the last ones received go in front of it.
    QTest::addColumn<Scenario>("scenario");
    QTest::addColumn<QStringList>("expected");
    const QStringList all = {"0:0,1,2", "1:3", "2:4", "3:5", "4:6,7", "5:8", "6:0,1,9"};
    auto allBut = [&](int frame, const QStringList &replacements = {}) {
        QStringList out;
        for (const QString &unit : all) {
            const int f = unit.section(':', 0, 0).toInt();
            bool replaced = false;
            for (const QString &r : replacements)
                if (r.section(':', 0, 0).toInt() == f) {
                    out << r;
                    replaced = true;
                }
            if (!replaced && f != frame)
                out << unit;
        }
        return out;
    };
    QTest::newRow("in order") << InOrder << all;
    QTest::newRow("sequence wrap") << SeqWrap << all;
    QTest::newRow("timestamp wrap") << TsWrap << all;
    QTest::newRow("reordered in frame") << ReorderInFrame << all;
    QTest::newRow("reordered across frames") << ReorderAcrossFrames << all;
    QTest::newRow("every packet twice") << AllDuplicated << all;
    QTest::newRow("late duplicate") << LateDuplicate << all;
    // The slice with the lost fragment goes; the other slice of its picture stays.
    QTest::newRow("lost middle FU-A fragment") << LostMiddleFragment << allBut(-1, {"4:7!"});
    QTest::newRow("lost last FU-A fragment") << LostLastFragment << allBut(-1, {"4:7!"});
    QTest::newRow("lost first FU-A fragment") << LostFirstFragment << allBut(1);
    QTest::newRow("lost marker packet") << LostMarkerPacket << allBut(1, {"2:4!"});
    QTest::newRow("lost whole frame") << LostWholeFrame << allBut(2, {"3:5!"});
    // Parameter sets are handed on even when the IDR slice they came with is lost.
    QTest::newRow("lost IDR fragment") << LostIdrFragment << allBut(-1, {"0:0,1!"});
    QTest::newRow("lost parameter set") << LostParameterSet << allBut(-1, {"0:0,2!", "6:0,9"});
    QTest::newRow("STAP-A parameter sets") << StapAParameterSets << all;
    QTest::newRow("STAP-A overrun") << StapAOverrun << allBut(-1, {"0:0,1,2!"});
    QTest::newRow("STAP-A truncated length") << StapATruncatedLength << allBut(-1, {"0:0,1,2!"});
    QTest::newRow("FU-A start and end") << FuStartAndEnd << allBut(2);
    QTest::newRow("FU-A too short") << FuTooShort << allBut(2);
    QTest::newRow("STAP-B") << UnsupportedType << allBut(2);
    QTest::newRow("empty payload") << EmptyPayload << allBut(2);
    QTest::newRow("forbidden bit") << ForbiddenBit << allBut(2);
}

void TstRtpPayload::depacketize()
{
    QFETCH(Scenario, scenario);
    QFETCH(QStringList, expected);
    const QList<QList<QByteArray>> stream = sampleStream();
    const QList<QByteArray> nals = sampleNals();
    uint16_t seq = scenario == SeqWrap ? 65530 : 1000;
    const uint32_t ts0 = scenario == TsWrap ? 0xfffff000u : 5000u;
    QList<QList<Packet>> frames;
    for (int f = 0; f < stream.size(); ++f) {
        if (scenario == StapAParameterSets && f == 0) {
            // SPS and PPS aggregated the way common senders do, then the IDR on its own.
            const QByteArray sps = stream[0][0], pps = stream[0][1];
            QByteArray stap(1, char(0x78));
            stap += char(sps.size() >> 8) + QByteArray(1, char(sps.size())) + sps;
            stap += char(pps.size() >> 8) + QByteArray(1, char(pps.size())) + pps;
            QList<Packet> packets{{seq++, ts0, false, stap}};
            packets += packetize(annexB({stream[0][2]}), seq, ts0);
            frames.append(packets);
            continue;
        }
        frames.append(packetize(annexB(stream[f]), seq, ts0 + uint32_t(f) * 3000));
    }
    auto corrupt = [&](int frame, int index, const QByteArray &payload) {
        frames[frame][index].payload = payload;
    };
    switch (scenario) {
    case ReorderInFrame:
        std::swap(frames[0][2], frames[0][3]);
        std::swap(frames[4][1], frames[4][2]);
        break;
    case ReorderAcrossFrames:
        frames[2].insert(1, frames[1].takeLast()); // marker packet of frame 1 after frame 2
        break;
    case LostMiddleFragment:
        frames[4].removeAt(1);
        break;
    case LostLastFragment:
        frames[4].removeAt(2);
        break;
    case LostIdrFragment:
        frames[0].removeAt(3);
        break;
    case LostFirstFragment:
        frames[1].removeFirst();
        break;
    case LostMarkerPacket:
        frames[1].removeLast();
        break;
    case LostWholeFrame:
        frames[2].clear();
        break;
    case LostParameterSet:
        frames[0].removeAt(1);
        break;
    case StapAOverrun:
        frames[0].prepend(
            {uint16_t(frames[0][0].seq - 1), frames[0][0].ts, false, QByteArray("\x78\x00\x20\x67\x42", 5)});
        break;
    case StapATruncatedLength:
        frames[0].prepend({uint16_t(frames[0][0].seq - 1), frames[0][0].ts, false,
                           QByteArray("\x78\x00\x02\x67\x42\x00", 6)});
        break;
    case FuStartAndEnd:
        corrupt(2, 0, QByteArray("\x5c\xc1\x80\x01", 4));
        break;
    case FuTooShort:
        corrupt(2, 0, QByteArray("\x5c", 1));
        break;
    case UnsupportedType:
        corrupt(2, 0, QByteArray("\x59\x00\x02\x41\x80", 5));
        break;
    case EmptyPayload:
        corrupt(2, 0, QByteArray());
        break;
    case ForbiddenBit:
        frames[2][0].payload[0] = char(frames[2][0].payload[0] | 0x80);
        break;
    default:
        break;
    }
    QList<Packet> packets;
    for (const QList<Packet> &frame : frames)
        packets += frame;
    if (scenario == AllDuplicated) {
        QList<Packet> twice;
        for (const Packet &p : packets)
            twice << p << p;
        packets = twice;
    }
    if (scenario == LateDuplicate)
        packets.append(packets.first());

    Delivered out;
    H264Depacketizer depacketizer([&](const uint8_t *data, int size, uint32_t ts, bool damaged) {
        out.units.append(QByteArray(reinterpret_cast<const char *>(data), size));
        out.timestamps.append(ts);
        out.damaged.append(damaged);
    });
    feed(depacketizer, packets);
    QCOMPARE(out.units.size(), expected.size());
    int damagedCount = 0;
    for (int i = 0; i < expected.size(); ++i) {
        const QString &unit = expected[i];
        const int frame = unit.section(':', 0, 0).toInt();
        QList<QByteArray> unitNals;
        for (const QString &n : unit.section(':', 1).remove('!').split(','))
            unitNals.append(nals[n.toInt()]);
        QCOMPARE(out.timestamps[i], ts0 + uint32_t(frame) * 3000);
        QCOMPARE(out.units[i], annexB(unitNals));
        QCOMPARE(out.damaged[i], unit.endsWith('!'));
        damagedCount += out.damaged[i] ? 1 : 0;
    }
    QCOMPARE(depacketizer.framesDelivered(), uint64_t(expected.size()));
    QCOMPARE(depacketizer.framesDamaged(), uint64_t(damagedCount));
    // A frame of which no packet arrived is never seen: the next one is flagged instead.
    const int unseen = scenario == LostWholeFrame ? 1 : 0;
    QCOMPARE(depacketizer.framesDropped(), uint64_t(stream.size() - expected.size() - unseen));
}

void TstRtpPayload::reorderWindowGivesUp()
{
    QList<uint16_t> released;
    QList<int> losses;
    RtpReorderBuffer buffer([&](const RtpQueued &p, int lost) {
        released.append(p.seq);
        losses.append(lost);
    });
    auto push = [&](uint16_t seq, int64_t now) {
        RtpQueued p;
        p.seq = seq;
        buffer.push(std::move(p), now);
    };
    push(10, 0);
    push(12, 0); // 11 missing: held
    push(13, 10);
    QCOMPARE(released, QList<uint16_t>{10});
    push(14, RtpReorderBuffer::kMaxWaitMs + 1); // the oldest held packet waited too long
    QCOMPARE(released, (QList<uint16_t>{10, 12, 13, 14}));
    QCOMPARE(losses, (QList<int>{0, 1, 0, 0}));
    push(11, 200); // too late: dropped as a duplicate
    QCOMPARE(buffer.duplicates(), 1u);
    // A packet a full window ahead of a gap makes it given up at once, whatever the time.
    for (int i = 0; i < RtpReorderBuffer::kMaxHeld; ++i)
        push(uint16_t(16 + i), 300);
    QCOMPARE(released.last(), uint16_t(16 + RtpReorderBuffer::kMaxHeld - 1));
    QCOMPARE(losses.last(), 0);
    QCOMPARE(buffer.lost(), 2u);
    // A burst loss bigger than the window is counted, not a restart.
    push(100, 400);
    QCOMPARE(released.last(), uint16_t(100));
    QCOMPARE(losses.last(), 100 - 48);
    // A jump far ahead restarts the window there.
    push(40000, 301);
    QCOMPARE(released.last(), uint16_t(40000));
    QCOMPARE(losses.last(), RtpReorderBuffer::kUnknownLoss);
}

void TstRtpPayload::opusSamples_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<int>("samples");
    QTest::newRow("CELT FB 20 ms") << QByteArray("\xf8\x01", 2) << 960;
    QTest::newRow("CELT FB 10 ms") << QByteArray("\xf0\x01", 2) << 480;
    QTest::newRow("CELT 2.5 ms") << QByteArray("\xe0", 1) << 120;
    QTest::newRow("SILK 60 ms") << QByteArray("\x18", 1) << 2880;
    QTest::newRow("hybrid 20 ms, two frames") << QByteArray("\x69\x00", 2) << 1920;
    QTest::newRow("code 3, three 20 ms frames") << QByteArray("\xfb\x03\x00", 3) << 2880;
    QTest::newRow("code 3 without count byte") << QByteArray("\xfb", 1) << 0;
    QTest::newRow("code 3, zero frames") << QByteArray("\xfb\x00", 2) << 0;
    QTest::newRow("code 3, over 120 ms") << QByteArray("\xfb\x07", 2) << 0;
    QTest::newRow("empty") << QByteArray() << 0;
}

void TstRtpPayload::opusSamples()
{
    QFETCH(QByteArray, packet);
    QFETCH(int, samples);
    QCOMPARE(opusPacketSamples(reinterpret_cast<const uint8_t *>(packet.constData()), packet.size()),
             samples);
}

void TstRtpPayload::opusDepacketizer()
{
    QList<uint32_t> timestamps;
    OpusDepacketizer depacketizer([&](const uint8_t *, int, uint32_t ts) { timestamps.append(ts); });
    const QByteArray packet("\xf8\x01\x02", 3);
    auto push = [&](uint16_t seq, int64_t now, const QByteArray &payload) {
        depacketizer.push(seq, uint32_t(seq) * 960, false,
                          reinterpret_cast<const uint8_t *>(payload.constData()), payload.size(), now);
    };
    push(65534, 0, packet);
    push(0, 1, packet); // reordered across the sequence wrap
    push(65535, 2, packet);
    push(65535, 3, packet);   // duplicate
    push(1, 4, QByteArray()); // empty: not an Opus packet
    push(3, 5, packet);       // 2 lost
    push(4, 100, packet);
    QCOMPARE(timestamps, (QList<uint32_t>{65534u * 960, 65535u * 960, 0, 3 * 960, 4 * 960}));
    QCOMPARE(depacketizer.duplicates(), 1u);
    QCOMPARE(depacketizer.lost(), 1u);
    QCOMPARE(depacketizer.framesDropped(), 1u);
}

namespace {
class CaptureTransport : public QnRtpTransport
{
public:
    int sendPacket(const uint8_t *data, int length) override
    {
        sent.append(QByteArray(reinterpret_cast<const char *>(data), length));
        return length;
    }
    QList<QByteArray> sent;
};
} // namespace

void TstRtpPayload::opusSenderTimestamps()
{
    CaptureTransport rtp, rtcp;
    RtpSender sender(PayloadKind::Opus);
    sender.setPayloadType(120);
    sender.setTransport(&rtp, &rtcp, nullptr);
    const QByteArray tenMs("\xf0\x11\x22", 3), twentyMs("\xf8\x11\x22", 3);
    // Timer jitter of a few ms does not reach the timestamps; a 1 s pause does.
    const QList<QPair<uint64_t, QByteArray>> sends = {{1000, tenMs},    {1013, tenMs}, {1019, tenMs},
                                                      {1030, twentyMs}, {1050, tenMs}, {2060, tenMs}};
    for (const auto &s : sends)
        QCOMPARE(sender.sendData(reinterpret_cast<const uint8_t *>(s.second.constData()), s.second.size(),
                                 s.first),
                 0);
    QCOMPARE(rtp.sent.size(), sends.size());
    QList<uint32_t> deltas;
    QList<bool> markers;
    RtpHeader first;
    QCOMPARE(parseRtp(reinterpret_cast<const uint8_t *>(rtp.sent[0].constData()), rtp.sent[0].size(), first),
             ParseStatus::Used);
    for (const QByteArray &d : rtp.sent) {
        RtpHeader h;
        QCOMPARE(parseRtp(reinterpret_cast<const uint8_t *>(d.constData()), d.size(), h), ParseStatus::Used);
        QCOMPARE(h.payloadType, uint8_t(120));
        QCOMPARE(h.ssrc, first.ssrc);
        deltas.append(h.timestamp - first.timestamp);
        markers.append(h.marker);
    }
    QCOMPARE(deltas, (QList<uint32_t>{0, 480, 960, 1440, 2400, 1060 * 48}));
    QCOMPARE(markers, (QList<bool>{true, false, false, false, false, true}));
    // One sender report went out with the first packet.
    QCOMPARE(rtcp.sent.size(), 1);
    RtcpInfo info;
    QCOMPARE(
        parseRtcp(reinterpret_cast<const uint8_t *>(rtcp.sent[0].constData()), rtcp.sent[0].size(), info),
        ParseStatus::Used);
    QVERIFY(info.hasSenderReport);
    QCOMPARE(info.senderSsrc, first.ssrc);
    QCOMPARE(info.packetCount, 1u);
}

void TstRtpPayload::senderStampsCaptureTime()
{
    // Frames carry the instant they were captured, however late they are sent; the sender report
    // maps the present instant, so capture time = report NTP - (report RTP - frame RTP) / clock.
    CaptureTransport rtp, rtcp;
    RtpSender sender(PayloadKind::H264);
    sender.setPayloadType(127);
    sender.setTransport(&rtp, &rtcp, nullptr);
    const QByteArray au("\x00\x00\x00\x01\x65\x88\x84\x00", 8);
    const uint64_t now = steadyMs();
    const uint64_t ntpAtNow = ntpNow();
    const QList<uint64_t> grabs = {now - 300, now - 266, now - 233};
    for (uint64_t g : grabs)
        QCOMPARE(sender.sendData(reinterpret_cast<const uint8_t *>(au.constData()), au.size(), g), 0);
    QCOMPARE(rtp.sent.size(), grabs.size());
    QList<uint32_t> stamps;
    for (const QByteArray &d : rtp.sent) {
        RtpHeader h;
        QCOMPARE(parseRtp(reinterpret_cast<const uint8_t *>(d.constData()), d.size(), h), ParseStatus::Used);
        stamps.append(h.timestamp);
    }
    QCOMPARE(stamps[1] - stamps[0], 34u * 90);
    QCOMPARE(stamps[2] - stamps[0], 67u * 90);
    QCOMPARE(rtcp.sent.size(), 1);
    RtcpInfo info;
    QCOMPARE(
        parseRtcp(reinterpret_cast<const uint8_t *>(rtcp.sent[0].constData()), rtcp.sent[0].size(), info),
        ParseStatus::Used);
    QVERIFY(info.hasSenderReport);
    // The report maps the send instant (about now), not the first frame's capture instant.
    const int64_t reportAfterFirstMs = int64_t(info.rtpTimestamp - stamps[0]) / 90;
    QVERIFY2(reportAfterFirstMs >= 300 && reportAfterFirstMs < 300 + 1000,
             qPrintable(QString::number(reportAfterFirstMs)));
    const int64_t ntpMs = int64_t(((info.ntp >> 32) * 1000) + (((info.ntp & 0xffffffffu) * 1000) >> 32));
    const int64_t nowNtpMs = int64_t(((ntpAtNow >> 32) * 1000) + (((ntpAtNow & 0xffffffffu) * 1000) >> 32));
    const int64_t firstCaptureNtpMs = ntpMs - reportAfterFirstMs;
    QVERIFY2(qAbs(firstCaptureNtpMs - (nowNtpMs - 300)) <= 2,
             qPrintable(QString::number(firstCaptureNtpMs - (nowNtpMs - 300))));
}

void TstRtpPayload::rtpHeader_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("payload");
    const QByteArray base("\x80\xff\x12\x34\x00\x00\x00\x10\xaa\xbb\xcc\xdd", 12);
    QTest::newRow("header only") << base << int(ParseStatus::Used) << QByteArray();
    QTest::newRow("short") << base.left(11) << int(ParseStatus::Incomplete) << QByteArray();
    QTest::newRow("version 1") << (QByteArray("\x40", 1) + base.mid(1)) << int(ParseStatus::Error)
                               << QByteArray();
    QTest::newRow("CSRC past end") << (QByteArray("\x82", 1) + base.mid(1) + QByteArray(4, 'c'))
                                   << int(ParseStatus::Incomplete) << QByteArray();
    QTest::newRow("CSRC and payload") << (QByteArray("\x81", 1) + base.mid(1) + QByteArray(4, 'c') + "pay")
                                      << int(ParseStatus::Used) << QByteArray("pay");
    QTest::newRow("extension past end")
        << (QByteArray("\x90", 1) + base.mid(1) + QByteArray("\xbe\xde\x00\x02", 4) + QByteArray(4, 'e'))
        << int(ParseStatus::Incomplete) << QByteArray();
    QTest::newRow("extension and payload") << (QByteArray("\x90", 1) + base.mid(1) +
                                               QByteArray("\xbe\xde\x00\x01", 4) + QByteArray(4, 'e') + "pay")
                                           << int(ParseStatus::Used) << QByteArray("pay");
    QTest::newRow("padding") << (QByteArray("\xa0", 1) + base.mid(1) + "pay" + QByteArray("\0\0\3", 3))
                             << int(ParseStatus::Used) << QByteArray("pay");
    QTest::newRow("padding zero") << (QByteArray("\xa0", 1) + base.mid(1) + "pay" + QByteArray(1, '\0'))
                                  << int(ParseStatus::Error) << QByteArray();
    QTest::newRow("padding past payload")
        << (QByteArray("\xa0", 1) + base.mid(1) + "p" + QByteArray(1, '\x09')) << int(ParseStatus::Error)
        << QByteArray();
}

void TstRtpPayload::rtpHeader()
{
    QFETCH(QByteArray, datagram);
    QFETCH(int, status);
    QFETCH(QByteArray, payload);
    RtpHeader h;
    QCOMPARE(int(parseRtp(reinterpret_cast<const uint8_t *>(datagram.constData()), datagram.size(), h)),
             status);
    if (status != int(ParseStatus::Used))
        return;
    QCOMPARE(h.marker, true);
    QCOMPARE(h.payloadType, uint8_t(0x7f));
    QCOMPARE(h.seq, uint16_t(0x1234));
    QCOMPARE(h.timestamp, 0x10u);
    QCOMPARE(h.ssrc, 0xaabbccddu);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(h.payload), h.payloadSize), payload);
}

void TstRtpPayload::rtcpRoundTrip()
{
    RtcpSenderInfo info{0x0123456789abcdefull, 777, 10, 2000};
    std::vector<uint8_t> sr = buildRtcpReport(0x11111111, &info, nullptr, "qn-sender");
    QCOMPARE(sr.size() % 4, 0u);
    RtcpInfo parsed;
    QCOMPARE(parseRtcp(sr.data(), int(sr.size()), parsed), ParseStatus::Used);
    QVERIFY(parsed.hasSenderReport);
    QCOMPARE(parsed.senderSsrc, 0x11111111u);
    QCOMPARE(parsed.ntp, info.ntp);
    QCOMPARE(parsed.rtpTimestamp, 777u);
    QCOMPARE(parsed.packetCount, 10u);
    QCOMPARE(parsed.octetCount, 2000u);
    QVERIFY(parsed.blocks.empty());

    RtcpReportBlock block;
    block.ssrc = 0x22222222;
    block.fractionLost = 25;
    block.cumulativeLost = -3; // duplicates can make it negative
    block.extendedHighestSeq = 0x10005;
    block.jitter = 42;
    block.lastSr = 0x456789ab;
    block.delaySinceLastSr = 65536;
    std::vector<uint8_t> rr = buildRtcpReport(0x33333333, nullptr, &block, "qn-receiver");
    QCOMPARE(parseRtcp(rr.data(), int(rr.size()), parsed), ParseStatus::Used);
    QVERIFY(!parsed.hasSenderReport);
    QCOMPARE(parsed.senderSsrc, 0x33333333u);
    QCOMPARE(int(parsed.blocks.size()), 1);
    QCOMPARE(parsed.blocks[0].ssrc, block.ssrc);
    QCOMPARE(parsed.blocks[0].fractionLost, block.fractionLost);
    QCOMPARE(parsed.blocks[0].cumulativeLost, -3);
    QCOMPARE(parsed.blocks[0].extendedHighestSeq, block.extendedHighestSeq);
    QCOMPARE(parsed.blocks[0].jitter, block.jitter);
    QCOMPARE(parsed.blocks[0].lastSr, block.lastSr);
    QCOMPARE(parsed.blocks[0].delaySinceLastSr, block.delaySinceLastSr);
}

void TstRtpPayload::rtcpMalformed_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("status");
    const QByteArray rr("\x81\xc9\x00\x07"
                        "AAAA"
                        "BBBBCCCCDDDDEEEEFFFFGGGG",
                        32);
    QTest::newRow("valid RR") << rr << int(ParseStatus::Used);
    QTest::newRow("shorter than a header") << rr.left(7) << int(ParseStatus::Incomplete);
    QTest::newRow("truncated") << rr.left(28) << int(ParseStatus::Incomplete);
    QTest::newRow("version 1") << (QByteArray("\x41", 1) + rr.mid(1)) << int(ParseStatus::Error);
    QTest::newRow("count beyond packet") << (QByteArray("\x82", 1) + rr.mid(1)) << int(ParseStatus::Error);
    QTest::newRow("SR body too short") << QByteArray("\x80\xc8\x00\x01"
                                                     "AAAA",
                                                     8)
                                       << int(ParseStatus::Error);
    QTest::newRow("trailing partial header")
        << (rr + QByteArray("\x81\xc9", 2)) << int(ParseStatus::Incomplete);
    QTest::newRow("unknown type skipped") << (QByteArray("\x80\xcc\x00\x01"
                                                         "XXXX",
                                                         8) +
                                              rr)
                                          << int(ParseStatus::Used);
    QTest::newRow("PLI") << QByteArray("\x81\xce\x00\x02"
                                       "AAAABBBB",
                                       12)
                         << int(ParseStatus::Used);
    QTest::newRow("feedback without media SSRC") << QByteArray("\x81\xce\x00\x01"
                                                               "AAAA",
                                                               8)
                                                 << int(ParseStatus::Error);
    QTest::newRow("FIR without entry") << QByteArray("\x84\xce\x00\x02"
                                                     "AAAABBBB",
                                                     12)
                                       << int(ParseStatus::Error);
    QTest::newRow("FIR entry cut") << QByteArray("\x84\xce\x00\x03"
                                                 "AAAABBBBCCCC",
                                                 16)
                                   << int(ParseStatus::Error);
    QTest::newRow("unknown feedback format skipped") << QByteArray("\x8f\xce\x00\x03"
                                                                   "AAAABBBBCCCC",
                                                                   16)
                                                     << int(ParseStatus::Used);
    QTest::newRow("second packet bad version") << (rr + QByteArray("\x01\xc9\x00\x01"
                                                                   "AAAA",
                                                                   8))
                                               << int(ParseStatus::Error);
}

void TstRtpPayload::rtcpMalformed()
{
    QFETCH(QByteArray, datagram);
    QFETCH(int, status);
    RtcpInfo info;
    QCOMPARE(int(parseRtcp(reinterpret_cast<const uint8_t *>(datagram.constData()), datagram.size(), info)),
             status);
}

void TstRtpPayload::rtcpFeedbackWire()
{
    // PLI: V=2, FMT 1; PT 206 (PSFB); length 2 words; sender SSRC; media SSRC.
    const std::vector<uint8_t> pli = buildRtcpPli(0x11223344, 0xaabbccdd);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(pli.data()), int(pli.size())),
             QByteArray("\x81\xce\x00\x02"
                        "\x11\x22\x33\x44"
                        "\xaa\xbb\xcc\xdd",
                        12));
    // FIR: FMT 4; length 4 words; sender SSRC; media SSRC 0; FCI: target SSRC, seq, reserved.
    const std::vector<uint8_t> fir = buildRtcpFir(0x11223344, 0xaabbccdd, 7);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(fir.data()), int(fir.size())),
             QByteArray("\x84\xce\x00\x04"
                        "\x11\x22\x33\x44"
                        "\x00\x00\x00\x00"
                        "\xaa\xbb\xcc\xdd"
                        "\x07\x00\x00\x00",
                        20));
    RtcpReportBlock block;
    block.ssrc = 0xaabbccdd;
    std::vector<uint8_t> compound = buildRtcpReport(0x11223344, nullptr, &block, "qn");
    compound.insert(compound.end(), pli.begin(), pli.end());
    compound.insert(compound.end(), fir.begin(), fir.end());
    RtcpInfo info;
    QCOMPARE(parseRtcp(compound.data(), int(compound.size()), info), ParseStatus::Used);
    QCOMPARE(int(info.blocks.size()), 1);
    QCOMPARE(info.pliMediaSsrcs, std::vector<uint32_t>{0xaabbccdd});
    QCOMPARE(int(info.firEntries.size()), 1);
    QCOMPARE(info.firEntries[0].ssrc, 0xaabbccddu);
    QCOMPARE(int(info.firEntries[0].seq), 7);
}

void TstRtpPayload::senderHonoursKeyframeRequests()
{
    CaptureTransport rtp, rtcp;
    RtpSender sender(PayloadKind::H264);
    int requests = 0;
    sender.setKeyframeRequestHandler([&] { ++requests; });
    sender.setPayloadType(127);
    sender.setTransport(&rtp, &rtcp, nullptr);
    const uint32_t ours = sender.stats().ssrc;
    auto deliver = [&](const std::vector<uint8_t> &packet) {
        sender.incomingPacket(packet.data(), int(packet.size()));
    };
    deliver(buildRtcpPli(0x5555, ours ^ 1)); // about another stream
    QCOMPARE(requests, 0);
    deliver(buildRtcpPli(0x5555, ours));
    QCOMPARE(requests, 1);
    deliver(buildRtcpPli(0x5555, ours)); // within the interval: counted, not passed on
    deliver(buildRtcpFir(0x5555, ours, 1));
    QCOMPARE(requests, 1);
    QTest::qSleep(QnRtpRtcp::kKeyframeRequestIntervalMs + 20);
    deliver(buildRtcpFir(0x5555, ours, 1)); // a retransmission of the FIR already seen
    QCOMPARE(requests, 1);
    deliver(buildRtcpFir(0x5555, ours, 2));
    QCOMPARE(requests, 2);
    const QnRtpStats stats = sender.stats();
    QCOMPARE(stats.pliReceived, 2u);
    QCOMPARE(stats.firReceived, 2u);
    QCOMPARE(stats.keyframeRequests, 2u);
}

void TstRtpPayload::receiverReportsPictureLoss()
{
    CaptureTransport rtp, rtcp;
    RtpReceiver receiver(PayloadKind::H264);
    receiver.setPayloadType(127);
    receiver.setTransport(&rtp, &rtcp, nullptr);
    const uint32_t media = 0x0badcafe;
    uint16_t seq = 100;
    auto sendFrame = [&](int frame, bool lose) {
        const QList<Packet> packets =
            packetize(annexB({makeNal(0x41, 3000, frame)}), seq, uint32_t(frame) * 3000);
        for (int i = 0; i < packets.size(); ++i) {
            if (lose && i == 1)
                continue;
            uint8_t datagram[kMaxDatagram];
            writeRtpHeader(datagram, packets[i].marker, 127, packets[i].seq, packets[i].ts, media);
            std::memcpy(datagram + kRtpHeaderSize, packets[i].payload.constData(),
                        size_t(packets[i].payload.size()));
            receiver.incomingPacket(datagram, kRtpHeaderSize + packets[i].payload.size());
        }
    };
    auto plis = [&] {
        QList<RtcpInfo> found;
        for (const QByteArray &d : rtcp.sent) {
            RtcpInfo info;
            if (parseRtcp(reinterpret_cast<const uint8_t *>(d.constData()), d.size(), info) ==
                    ParseStatus::Used &&
                !info.pliMediaSsrcs.empty())
                found.append(info);
        }
        return found;
    };
    sendFrame(0, false);
    QVERIFY(plis().isEmpty());
    // The reorder window gives a gap up when a later packet comes after kMaxWaitMs.
    const int giveUpMs = RtpReorderBuffer::kMaxWaitMs + 10;
    sendFrame(1, true);
    QTest::qSleep(giveUpMs);
    sendFrame(2, false); // picture 1 is lost
    QCOMPARE(plis().size(), 1);
    const RtcpInfo first = plis().first();
    QCOMPARE(first.pliMediaSsrcs, std::vector<uint32_t>{media});
    QCOMPARE(first.senderSsrc, receiver.stats().ssrc);
    // The compound packet opens with a receiver report that counts the loss.
    QCOMPARE(int(first.blocks.size()), 1);
    QCOMPARE(first.blocks[0].ssrc, media);
    QCOMPARE(first.blocks[0].cumulativeLost, 1);
    QVERIFY(first.blocks[0].fractionLost > 0);
    sendFrame(3, true);
    QTest::qSleep(giveUpMs);
    sendFrame(4, false);
    QCOMPARE(plis().size(), 1); // at most one per interval
    QTest::qSleep(RtpReceiver::kPliIntervalMs + 20);
    sendFrame(5, true);
    QTest::qSleep(giveUpMs);
    sendFrame(6, false);
    QCOMPARE(plis().size(), 2);
    QCOMPARE(receiver.stats().pliSent, 2u);
}

QTEST_APPLESS_MAIN(TstRtpPayload)
#include "tst_rtppayload.moc"
