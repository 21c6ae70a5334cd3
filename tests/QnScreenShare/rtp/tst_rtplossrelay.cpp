// H.264 over a lossy relay (fixed seed): no incomplete frame is handed on, nothing stalls, and
// decoding is exact again from the next key frame that arrives whole.
#include "MediaTestSupport.h"

#include "LossRelay.h"
#include "h264/KRH264Decoder.h"
#include "rtp/KRH264Stream.h"

#include <QCryptographicHash>
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

    QHash<QByteArray, int> indexOf;
    for (int f = 0; f < m_clip.size(); ++f)
        indexOf.insert(m_clip[f].unit, f);
    LumaHasher hasher;
    KRH264Decoder decoder;
    QCOMPARE(decoder.Init(&hasher), 0);
    int previous = -1;
    bool clean = false;
    int exact = 0;
    const QList<QByteArray> delivered = collector.take();
    for (const QByteArray &unit : delivered) {
        // Every unit handed on is exactly one that was sent, in order, each at most once.
        QVERIFY2(indexOf.contains(unit), "an incomplete or altered access unit was handed on");
        const int index = indexOf.value(unit);
        QVERIFY(index > previous);
        if (m_clip[index].keyframe)
            clean = true;
        else if (index != previous + 1)
            clean = false; // a reference is missing until the next key frame
        previous = index;
        const int before = hasher.hashes.size();
        decoder.DecodeFrame(reinterpret_cast<const uint8_t *>(unit.constData()), unit.size(), 0, 0);
        if (clean) {
            QCOMPARE(hasher.hashes.size(), before + 1);
            QCOMPARE(hasher.hashes.last(), m_reference[index]);
            ++exact;
        }
    }
    // The clean interval at the end decoded exactly, from its key frame on.
    for (int f = kLossyFrames; f < m_clip.size(); ++f)
        QVERIFY(indexOf.contains(m_clip[f].unit) && delivered.contains(m_clip[f].unit));
    const QnRtpStats stats = receiver.receiverStats();
    QVERIFY(stats.packetsLost > 0);
    QVERIFY(stats.duplicates > 0);
    QVERIFY(stats.framesDropped > 0);
    qInfo("loss %.0f%%: %d of %d units delivered, %d decoded exactly, %llu packets lost, %llu units dropped",
          loss * 100, int(delivered.size()), int(m_clip.size()), exact, (unsigned long long)stats.packetsLost,
          (unsigned long long)stats.framesDropped);
    relay.stop();
}

QTEST_GUILESS_MAIN(TstRtpLossRelay)
#include "tst_rtplossrelay.moc"
