// H.264 and Opus stream objects on loopback: lifecycle, bind failures, frames and RTCP.
#include "tests/QnScreenShare/streams/MediaTestSupport.h"

#include "QnScreenShare/streams/KRH264Stream.h"
#include "QnScreenShare/streams/KROpusStream.h"
#include "QnScreenShare/streams/QnRtpStreamIds.h"

#include <QtTest>

using namespace mediatest;

class TstKrStreams : public QObject
{
    Q_OBJECT

private slots:
    void lifecycle();
    void bindFailureIsReported();
    void streamIds();
    void framesAndReportsFlow();
};

void TstKrStreams::lifecycle()
{
    KRH264Stream stream;
    QCOMPARE(stream.Stop(), 0); // never started
    const uint8_t byte = 0;
    QCOMPARE(stream.sendFrame(&byte, 1), -1);
    QCOMPARE(stream.Start(nullptr, 2000, 127, 0, 0, "127.0.0.1", 9, 9, 1), 0);
    QVERIFY(stream.isRunning());
    QCOMPARE(stream.Start(nullptr, 2001, 127, 0, 0, "127.0.0.1", 9, 9, 1), -1); // refused, not fatal
    QVERIFY(stream.isRunning());
    QCOMPARE(stream.Stop(), 0);
    QVERIFY(!stream.isRunning());
    QCOMPARE(stream.Stop(), 0);
    QCOMPARE(stream.sendFrame(&byte, 1), -1);
    QCOMPARE(stream.Start(nullptr, 2002, 127, 0, 0, "127.0.0.1", 9, 9, 1), 0); // restartable
    KROpusStream opus;
    QCOMPARE(opus.Stop(), 0);
    QCOMPARE(opus.Start(nullptr, 2003, 120, 0, 0, "127.0.0.1", 9, 9, 1), 0);
    // Both are stopped by their destructors.
}

void TstKrStreams::bindFailureIsReported()
{
    const int base = freePortBlock(4);
    QVERIFY(base > 0);
    KRH264Stream first;
    QCOMPARE(first.Start(nullptr, 1, 127, base, base + 1, "127.0.0.1", 9, 9, 1), 0);
    // A second run on the same ports (the next run must step its base port instead).
    KRH264Stream second;
    QCOMPARE(second.Start(nullptr, 2, 127, base, base + 1, "127.0.0.1", 9, 9, 1), -1);
    QVERIFY(!second.isRunning());
    const uint8_t byte = 0;
    QCOMPARE(second.sendFrame(&byte, 1), -1);
    KROpusStream opus; // RTP port free, RTCP port taken
    QCOMPARE(opus.Start(nullptr, 3, 120, base + 2, base + 1, "127.0.0.1", 9, 9, 1), -1);
    QCOMPARE(opus.Start(nullptr, 3, 120, base + 2, base + 3, "127.0.0.1", 9, 9, 1), 0);
    second.setLocalIp("10.255.255.1"); // not an address of this host
    QCOMPARE(second.Start(nullptr, 4, 127, 0, 0, "127.0.0.1", 9, 9, 1), -1);
    QCOMPARE(second.Start(nullptr, 4, 127, 0, 0, "not-an-address", 9, 9, 1), -1);
}

void TstKrStreams::streamIds()
{
    const uint32_t send = QnRtpStreamIds::nextSendId();
    QVERIFY(send >= 2000);
    QCOMPARE(QnRtpStreamIds::nextSendId(), send + 1);
    const uint32_t receive = QnRtpStreamIds::nextReceiveId();
    QVERIFY(receive >= 1000 && receive < 2000);
    QCOMPARE(QnRtpStreamIds::currentReceiveId(), receive + 1);
}

void TstKrStreams::framesAndReportsFlow()
{
    const QList<EncodedFrame> clip = encodeClip(320, 240, 30, 120);
    QCOMPARE(clip.size(), 120);
    FrameCollector videoIn, audioIn;
    KRH264Stream videoRx, videoTx;
    KROpusStream audioRx, audioTx;
    // The receiving side does not know the sender's ports: it learns them from its datagrams.
    QCOMPARE(videoRx.Start(&videoIn, 1000, 127, 0, 0, "127.0.0.1", 9, 9, 1), 0);
    QCOMPARE(audioRx.Start(&audioIn, 1001, 120, 0, 0, "127.0.0.1", 9, 9, 1), 0);
    QCOMPARE(videoTx.Start(nullptr, 2000, 127, 0, 0, "127.0.0.1", videoRx.localRtpPort(),
                           videoRx.localRtcpPort(), 1),
             0);
    QCOMPARE(audioTx.Start(nullptr, 2001, 120, 0, 0, "127.0.0.1", audioRx.localRtpPort(),
                           audioRx.localRtcpPort(), 1),
             0);
    QList<QByteArray> opusSent;
    for (int i = 0; i < 120; ++i) {
        QByteArray opus(40 + i, char(i));
        opus[0] = char(0xf0); // CELT 10 ms, one frame
        opusSent.append(opus);
    }
    // About 4 s of media, so that each side sends its periodic RTCP report.
    for (int f = 0; f < clip.size(); ++f) {
        QCOMPARE(videoTx.sendFrame(reinterpret_cast<const uint8_t *>(clip[f].unit.constData()),
                                   clip[f].unit.size()),
                 0);
        QCOMPARE(
            audioTx.sendFrame(reinterpret_cast<const uint8_t *>(opusSent[f].constData()), opusSent[f].size()),
            0);
        QThread::msleep(33);
    }
    QTRY_COMPARE_WITH_TIMEOUT(videoIn.count(), clip.size(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(audioIn.count(), opusSent.size(), 10000);
    const QList<QByteArray> video = videoIn.take();
    for (int f = 0; f < clip.size(); ++f)
        QCOMPARE(video[f], clip[f].unit);
    QCOMPARE(audioIn.take(), opusSent);
    // Media times count from the first frame, in milliseconds.
    QCOMPARE(videoIn.timestamps.first(), 0);
    QVERIFY(videoIn.timestamps.last() > 3000 && videoIn.timestamps.last() < 30000);

    // Sender reports reached the H.264 receiver (linked to the sender's SSRC on the first frame)
    // and receiver reports came back to both senders.
    QTRY_VERIFY_WITH_TIMEOUT(videoRx.receiverStats().rtcpReceived >= 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(videoTx.senderStats().reportsReceived >= 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(audioTx.senderStats().reportsReceived >= 1, 5000);
    QCOMPARE(videoTx.senderStats().lastFractionLost, uint8_t(0));
    QCOMPARE(videoRx.receiverStats().remoteSsrc, videoTx.senderStats().ssrc);
    QCOMPARE(videoRx.receiverStats().packetsLost, 0u);
    QCOMPARE(videoRx.receiverStats().framesDropped, 0u);
}

QTEST_GUILESS_MAIN(TstKrStreams)
#include "tst_krstreams.moc"
