// H.264 over a lossy relay (fixed seed): access units are handed on with every NAL unit that
// arrived whole (and only those), flagged damaged when something is missing; nothing stalls, the
// decoder makes a picture of nearly every unit, and decoding is exact again from the next key
// frame that arrives whole.
#include "tests/QnScreenShare/streams/MediaTestSupport.h"

#include "QnScreenShare/h264/KRH264Decoder.h"
#include "QnScreenShare/streams/KRH264Stream.h"
#include "tests/fixtures/lossrelay/LossRelay.h"

#include <QCryptographicHash>
#include <QSet>
#include <QtTest>

using namespace mediatest;

namespace {

class LumaHasher : public RenderCallback
{
public:
    int onStart() override { return 0; }
    int onStop() override { return 0; }
    int onFrame(const uint8_t *y, const uint8_t *, const uint8_t *, int width, int height) override
    {
        hashes.append(QCryptographicHash::hash(QByteArray(reinterpret_cast<const char *>(y), width * height),
                                               QCryptographicHash::Md5));
        return 0;
    }
    QList<QByteArray> hashes;
};

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kFps = 30;
constexpr int kLossyFrames = 300; // ten key frame intervals
constexpr int kCleanFrames = 30;  // one more, without loss

} // namespace

class TstRtpLossRelay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lossyPath_data();
    void lossyPath();

private:
    QList<EncodedFrame> m_clip;
    QList<QByteArray> m_reference; // luma hash of each frame decoded from the full stream
};

void TstRtpLossRelay::initTestCase()
{
    m_clip = encodeClip(kWidth, kHeight, kFps, kLossyFrames + kCleanFrames);
    QCOMPARE(m_clip.size(), kLossyFrames + kCleanFrames);
    QVERIFY(m_clip[kLossyFrames].keyframe);
    LumaHasher hasher;
    KRH264Decoder decoder;
    QCOMPARE(decoder.Init(&hasher), 0);
    for (const EncodedFrame &frame : m_clip)
        decoder.DecodeFrame(reinterpret_cast<const uint8_t *>(frame.unit.constData()), frame.unit.size(), 0,
                            0);
    QCOMPARE(hasher.hashes.size(), m_clip.size());
    m_reference = hasher.hashes;
}

void TstRtpLossRelay::lossyPath_data()
{
    QTest::addColumn<double>("loss");
    QTest::newRow("1% loss") << 0.01;
    QTest::newRow("5% loss") << 0.05;
    QTest::newRow("10% loss") << 0.10;
}

void TstRtpLossRelay::lossyPath()
{
    QFETCH(double, loss);
    FrameCollector collector;
    KRH264Stream receiver, sender;
    QCOMPARE(receiver.Start(&collector, 1000, 127, 0, 0, "127.0.0.1", 9, 9, 1), 0);
    LossRelay relay(20261210);
    relay.setImpairment({loss, 0.05, 0.01});
    const int rtpPort = relay.addRoute(0, receiver.localRtpPort());
    const int rtcpPort = relay.addRoute(0, receiver.localRtcpPort());
    QVERIFY(rtpPort > 0 && rtcpPort > 0);
    QVERIFY(relay.start());
    QCOMPARE(sender.Start(nullptr, 2000, 127, 0, 0, "127.0.0.1", rtpPort, rtcpPort, 1), 0);

    for (int f = 0; f < m_clip.size(); ++f) {
        if (f == kLossyFrames) {
            QThread::msleep(200); // let the lossy part settle before the clean key frame interval
            relay.setImpairment({0, 0, 0});
        }
        sender.sendFrame(reinterpret_cast<const uint8_t *>(m_clip[f].unit.constData()),
                         m_clip[f].unit.size());
        QThread::msleep(4);
    }
    // No stall: the whole clean interval arrives, up to the last frame.
    QTRY_VERIFY_WITH_TIMEOUT(collector.count() > 0 && collector.take().last() == m_clip.last().unit, 10000);
    const LossRelay::Counters counters = relay.counters();
    QVERIFY(counters.dropped > 0);
    QVERIFY(counters.reordered > 0);
    QVERIFY(counters.duplicated > 0);

    // Every slice NAL unit belongs to one sent frame; parameter sets repeat, so they are only
    // checked to be ones that were sent.
    QHash<QByteArray, int> frameOfSlice;
    QSet<QByteArray> parameterSets;
    for (int f = 0; f < m_clip.size(); ++f) {
        const QByteArray &unit = m_clip[f].unit;
        for (const qnrtp::NalRef &nal :
             qnrtp::splitAnnexB(reinterpret_cast<const uint8_t *>(unit.constData()), unit.size())) {
            const QByteArray bytes(reinterpret_cast<const char *>(nal.data), nal.size);
            const int type = nal.data[0] & 0x1f;
            if (type == 1 || type == 5)
                frameOfSlice.insert(bytes, f);
            else
                parameterSets.insert(bytes);
        }
    }
    LumaHasher hasher;
    KRH264Decoder decoder;
    QCOMPARE(decoder.Init(&hasher), 0);
    int previous = -1;
    int damagedUnits = 0;
    const QList<QByteArray> delivered = collector.take();
    const QList<bool> damaged = collector.takeDamaged();
    QCOMPARE(damaged.size(), delivered.size());
    QList<int> deliveredFrames;
    for (int i = 0; i < delivered.size(); ++i) {
        const QByteArray &unit = delivered[i];
        QVERIFY(unit.startsWith(QByteArray("\0\0\0\1", 4)));
        damagedUnits += damaged[i] ? 1 : 0;
        // Only whole NAL units of one frame, in order, each frame at most once.
        int frame = -1;
        int slices = 0;
        for (const qnrtp::NalRef &nal :
             qnrtp::splitAnnexB(reinterpret_cast<const uint8_t *>(unit.constData()), unit.size())) {
            const QByteArray bytes(reinterpret_cast<const char *>(nal.data), nal.size);
            const int type = nal.data[0] & 0x1f;
            if (type == 1 || type == 5) {
                QVERIFY2(frameOfSlice.contains(bytes), "an incomplete or altered slice was handed on");
                const int f = frameOfSlice.value(bytes);
                QVERIFY(frame < 0 || frame == f);
                frame = f;
                ++slices;
            } else {
                QVERIFY2(parameterSets.contains(bytes), "an altered NAL unit was handed on");
            }
        }
        if (frame < 0)
            continue; // parameter sets only: their slices were lost
        QVERIFY(frame > previous);
        previous = frame;
        deliveredFrames.append(frame);
        // A unit handed on as whole is exactly the one sent.
        if (!damaged[i])
            QCOMPARE(unit, m_clip[frame].unit);
        const int before = hasher.hashes.size();
        decoder.DecodeFrame(reinterpret_cast<const uint8_t *>(unit.constData()), unit.size(), 0, 0,
                            damaged[i]);
        if (frame >= kLossyFrames) {
            // The clean interval arrives whole and decodes exactly, from its key frame on (its
            // first unit may still be flagged for the loss of the unit before it).
            QCOMPARE(unit, m_clip[frame].unit);
            QCOMPARE(hasher.hashes.size(), before + 1);
            QCOMPARE(hasher.hashes.last(), m_reference[frame]);
        }
    }
    for (int f = kLossyFrames; f < m_clip.size(); ++f)
        QVERIFY(deliveredFrames.contains(f));
    const QnRtpStats stats = receiver.receiverStats();
    QVERIFY(stats.packetsLost > 0);
    QVERIFY(stats.duplicates > 0);
    QVERIFY(stats.nalUnitsDropped > 0);
    QCOMPARE(stats.framesDamaged, uint64_t(damagedUnits));
    QVERIFY(damagedUnits > 0);
    // Lost pictures are reported (the path back to a sender is tested with the media sender).
    QVERIFY(stats.pliSent > 0);
    qInfo("loss %.0f%%: %d of %d frames handed on (%d damaged), %d pictures decoded, %llu packets lost, "
          "%llu NAL units dropped, %llu PLI",
          loss * 100, int(deliveredFrames.size()), int(m_clip.size()), damagedUnits,
          int(hasher.hashes.size()), (unsigned long long)stats.packetsLost,
          (unsigned long long)stats.nalUnitsDropped, (unsigned long long)stats.pliSent);
    relay.stop();
}

QTEST_GUILESS_MAIN(TstRtpLossRelay)
#include "tst_rtplossrelay.moc"
