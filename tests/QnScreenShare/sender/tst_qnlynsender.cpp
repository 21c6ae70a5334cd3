#include "QnScreenShare/receiver/QnLynServer.h"
#include "QnScreenShare/sender/QnLynSender.h"
#include "platform/rtp/Rtcp.h"
#include "platform/rtp/RtpPacket.h"
#include "tests/fixtures/lossrelay/LossRelay.h"
#include "tests/fixtures/media/MediaTestUtil.h"
#include "tests/fixtures/support/QnTestSkip.h"

#include <QElapsedTimer>

#include <QFile>
#include <QNetworkDatagram>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <mutex>

// Mirroring runs against real peers: ffmpeg reading our SDP, our own receiving pipeline, and plain
// UDP sockets. Needs the Xvfb display and the PulseAudio null sink that the test script starts.
class TestQnLynSender : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void idleOperations();
    void streamIdsAdvancePerRun();
    void muteWhileIdleOnlyRecords();
    void ffmpegDecodesMirroring();
    void restartChangesSizeOnReceiver();
    void nothingSentAfterStop();
    void keyframeFollowsPictureLoss();

private:
    static QString sdp(int base);
};

QString TestQnLynSender::sdp(int base)
{
    return QString::fromUtf8(MediaTestUtil::mirroringSdp(QStringLiteral("127.0.0.1"), base));
}

void TestQnLynSender::idleOperations()
{
    QnLynSender sender;
    QCOMPARE(sender.restartCapture(0, 1280, 720, 30), -1);
    sender.stopSender();
    QVERIFY(!sender.isCapturing());
    QVERIFY(!sender.isRunning());
}

void TestQnLynSender::streamIdsAdvancePerRun()
{
    const int base = MediaTestUtil::freePortBlock();
    QnLynSender sender;
    QVERIFY(sender.startSender(0, 320, 240, 30, QStringLiteral("127.0.0.1"), base + 100, base));
    const uint32_t first = sender.videoStreamId();
    QVERIFY(first >= 2000);
    QCOMPARE(sender.audioStreamId(), first + 1);
    sender.stopSender();
    QVERIFY(sender.startSender(0, 320, 240, 30, QStringLiteral("127.0.0.1"), base + 100, base));
    QCOMPARE(sender.videoStreamId(), first + 2);
    QCOMPARE(sender.audioStreamId(), first + 3);
    sender.stopSender();
}

void TestQnLynSender::muteWhileIdleOnlyRecords()
{
    auto audio = std::make_unique<QnAudioCaptrue>();
    QnAudioCaptrue *audioRaw = audio.get();
    QnLynSender sender(nullptr, std::move(audio));
    sender.setAudioMuted(true);
    sender.setAudioMuted(false); // an unmute while idle must not start capture
    QVERIFY(!audioRaw->isRunning());

    const int base = MediaTestUtil::freePortBlock();
    sender.setAudioMuted(true);
    QVERIFY(sender.startSender(0, 320, 240, 30, QStringLiteral("127.0.0.1"), base + 100, base));
    QVERIFY(!audioRaw->isRunning()); // a muted output starts the run without sound
    sender.setAudioMuted(false);
    QVERIFY(audioRaw->isRunning());
    sender.setAudioMuted(true);
    QVERIFY(!audioRaw->isRunning());
    sender.stopSender();
}

void TestQnLynSender::ffmpegDecodesMirroring()
{
    if (!MediaTestUtil::haveFfmpeg())
        QN_SKIP_MISSING("ffmpeg is not installed");
    const bool haveSound = !qEnvironmentVariableIsEmpty("PULSE_SERVER");
    QTemporaryDir dir;
    const int remote = MediaTestUtil::freePortBlock();
    const int local = MediaTestUtil::freePortBlock();
    QFile sdpFile(dir.filePath("peer.sdp"));
    QVERIFY(sdpFile.open(QIODevice::WriteOnly));
    sdpFile.write(sdp(remote).toUtf8());
    sdpFile.close();

    QProcess peer;
    peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer.start(QStringLiteral("ffmpeg"),
               MediaTestUtil::ffmpegRtpReceiver(sdpFile.fileName()) +
                   QStringList{"-map", "0:v", "-f", "framemd5", dir.filePath("video.md5"), "-map", "0:a",
                               "-ac", "2", "-ar", "48000", "-f", "s16le", dir.filePath("audio.raw")});
    QVERIFY(peer.waitForStarted());
    QTest::qWait(1500); // ffmpeg binds its ports after reading the SDP

    QnLynSender sender;
    QVERIFY(sender.startSender(0, 1280, 720, 30, QStringLiteral("127.0.0.1"), remote, local));
    QProcess tone;
    if (haveSound) {
        QTest::qWait(300); // the loopback records before the tone starts
        tone.setProcessChannelMode(QProcess::ForwardedChannels);
        tone.start(QStringLiteral("ffmpeg"),
                   {"-nostdin", "-loglevel", "error", "-re", "-f", "lavfi", "-i",
                    "sine=frequency=1000:sample_rate=48000", "-t", "4", "-ac", "2", "-buffer_duration", "50",
                    "-f", "pulse", "-device", "cast_sink", "tone"});
    }
    QTest::qWait(3500);
    sender.stopSender();
    if (haveSound)
        tone.waitForFinished(10000);
    QTest::qWait(500);
    peer.terminate(); // ffmpeg flushes and closes its outputs on SIGTERM
    QVERIFY(peer.waitForFinished(20000));

    QFile md5(dir.filePath("video.md5"));
    QVERIFY(md5.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(md5.readAll());
    QVERIFY2(text.contains("#dimensions 0: 1280x720"), qPrintable(text.left(400)));
    int frames = 0;
    for (const QString &line : text.split('\n'))
        frames += (!line.startsWith('#') && !line.trimmed().isEmpty()) ? 1 : 0;
    // About 30 fps for ~3.5 s; a loaded machine may grab fewer, but capture must not stall.
    QVERIFY2(frames >= 50, qPrintable(QString::number(frames)));

    if (haveSound) {
        QFile raw(dir.filePath("audio.raw"));
        QVERIFY(raw.open(QIODevice::ReadOnly));
        const QByteArray bytes = raw.readAll();
        std::vector<int16_t> pcm(size_t(bytes.size() / 2));
        std::memcpy(pcm.data(), bytes.constData(), pcm.size() * 2);
        QVERIFY2(pcm.size() > 48000 * 2, qPrintable(QString::number(pcm.size())));
        // The tone starts after the stream and ffmpeg's sound may begin late: look at the last
        // second but the final 100 ms.
        const long end = long(pcm.size()) - 4800 * 2;
        std::vector<int16_t> window(pcm.begin() + (end - 48000 * 2), pcm.begin() + end);
        const double f = MediaTestUtil::toneFrequency(window);
        int peak = 0;
        for (int16_t v : pcm)
            peak = std::max(peak, std::abs(int(v)));
        QVERIFY2(
            std::abs(f - 1000.0) < 30.0,
            qPrintable(QStringLiteral("tone %1 Hz, %2 samples, peak %3").arg(f).arg(pcm.size()).arg(peak)));
    }
}

void TestQnLynSender::restartChangesSizeOnReceiver()
{
    const int remote = MediaTestUtil::freePortBlock();
    const int local = MediaTestUtil::freePortBlock();
    std::mutex mutex;
    QVector<QSize> sizes;
    QnLynServer receiver;
    connect(
        &receiver, &QnLynServer::yuvData, &receiver,
        [&](const QByteArray &, int w, int h) {
            std::lock_guard<std::mutex> lock(mutex);
            sizes << QSize(w, h);
        },
        Qt::DirectConnection);
    QVERIFY(receiver.startServer(QStringLiteral("127.0.0.1"), remote, QStringLiteral("127.0.0.1"), local));

    QnLynSender sender;
    QVERIFY(sender.startSender(0, 1280, 720, 30, QStringLiteral("127.0.0.1"), remote, local));
    auto seen = [&](QSize s) {
        std::lock_guard<std::mutex> lock(mutex);
        return sizes.contains(s);
    };
    QTRY_VERIFY_WITH_TIMEOUT(seen(QSize(1280, 720)), 10000);
    QCOMPARE(sender.restartCapture(0, 1920, 1080, 30), 0);
    QTRY_VERIFY_WITH_TIMEOUT(seen(QSize(1920, 1080)), 10000);
    QVERIFY(sender.isCapturing());
    sender.stopSender();
    receiver.stopServer();
    QCOMPARE(sender.encodeFailures(), uint64_t(0));
}

void TestQnLynSender::nothingSentAfterStop()
{
    const int remote = MediaTestUtil::freePortBlock();
    const int local = MediaTestUtil::freePortBlock();
    std::vector<std::unique_ptr<QUdpSocket>> sockets;
    for (int i = 0; i < 4; ++i) {
        sockets.push_back(std::make_unique<QUdpSocket>());
        QVERIFY(sockets.back()->bind(QHostAddress::LocalHost, quint16(remote + i)));
    }
    auto drain = [&] {
        int n = 0;
        for (auto &s : sockets)
            while (s->hasPendingDatagrams()) {
                s->receiveDatagram();
                ++n;
            }
        return n;
    };
    QnLynSender sender;
    QVERIFY(sender.startSender(0, 640, 360, 30, QStringLiteral("127.0.0.1"), remote, local));
    QTRY_VERIFY_WITH_TIMEOUT(sockets[0]->hasPendingDatagrams(), 10000);
    QTest::qWait(500);
    sender.stopSender();
    QTest::qWait(100);
    QVERIFY(drain() > 0);
    QTest::qWait(400);
    QCOMPARE(drain(), 0);
}

namespace {

// True when the RTP datagram opens an IDR slice (single NAL unit, FU-A start or inside STAP-A).
bool opensIdr(const uint8_t *data, int length)
{
    qnrtp::RtpHeader h;
    if (qnrtp::parseRtp(data, length, h) != qnrtp::ParseStatus::Used || h.payloadSize < 2)
        return false;
    const uint8_t *p = h.payload;
    const int type = p[0] & 0x1f;
    if (type == 5)
        return true;
    if (type == 28)
        return (p[1] & 0x80) && (p[1] & 0x1f) == 5;
    if (type == 24) {
        for (int pos = 1; pos + 2 < h.payloadSize;) {
            const int size = qnrtp::rd16(p + pos);
            if (size < 1 || pos + 2 + size > h.payloadSize)
                break;
            if ((p[pos + 2] & 0x1f) == 5)
                return true;
            pos += 2 + size;
        }
    }
    return false;
}

bool carriesPli(const uint8_t *data, int length)
{
    qnrtp::RtcpInfo info;
    return qnrtp::parseRtcp(data, length, info) == qnrtp::ParseStatus::Used && !info.pliMediaSsrcs.empty();
}

} // namespace

void TestQnLynSender::keyframeFollowsPictureLoss()
{
    // Our sender -> loss relay (10 %) -> our receiving pipeline. The relay reads the stream as
    // the sender emits it and the RTCP coming back: every PLI is answered by an IDR.
    const int relayBase = MediaTestUtil::freePortBlock();
    const int local = MediaTestUtil::freePortBlock();
    const int receiverBase = MediaTestUtil::freePortBlock();
    const int nowhere = MediaTestUtil::freePortBlock();
    std::atomic<int> pictures{0};
    QnLynServer receiver;
    connect(
        &receiver, &QnLynServer::yuvData, &receiver, [&](const QByteArray &, int, int) { ++pictures; },
        Qt::DirectConnection);
    QVERIFY(receiver.startServer(QStringLiteral("127.0.0.1"), receiverBase, QStringLiteral("127.0.0.1"),
                                 nowhere));

    std::mutex mutex;
    QElapsedTimer clock;
    clock.start();
    QList<qint64> pliTimes, idrTimes, frameEnds;
    LossRelay relay(20261211);
    relay.setImpairment({0.10, 0.05, 0.01});
    relay.setTap([&](int route, bool toTarget, const uint8_t *data, int length) {
        std::lock_guard<std::mutex> lock(mutex);
        if (route == 0 && toTarget && length >= 12 && (data[1] & 0x80))
            frameEnds << clock.elapsed(); // the marker bit: a picture's last packet
        if (route == 0 && toTarget && opensIdr(data, length))
            idrTimes << clock.elapsed();
        else if (route == 1 && !toTarget && carriesPli(data, length))
            pliTimes << clock.elapsed();
    });
    for (int i = 0; i < 4; ++i)
        QCOMPARE(relay.addRoute(relayBase + i, receiverBase + i), relayBase + i);
    QVERIFY(relay.start());

    QnLynSender sender;
    QVERIFY(sender.startSender(0, 640, 360, 30, QStringLiteral("127.0.0.1"), relayBase, local));
    QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                 std::lock_guard<std::mutex> lock(mutex);
                                 return pliTimes.size() >= 4;
                             }()),
                             20000);
    QTest::qWait(200);
    sender.stopSender();
    relay.stop();
    const QnRtpStats rxStats = receiver.videoStats();
    receiver.stopServer();

    std::lock_guard<std::mutex> lock(mutex);
    QVERIFY(pictures.load() > 0);
    QVERIFY(rxStats.pliSent >= uint64_t(pliTimes.size()));
    // The sender honours one request per 500 ms: judge the PLIs well clear of the previous one.
    int judged = 0;
    qint64 lastJudged = -1000000;
    QStringList delays;
    for (qint64 pli : pliTimes) {
        if (pli - lastJudged < 600)
            continue;
        lastJudged = pli;
        qint64 delay = -1;
        for (qint64 idr : idrTimes) {
            if (idr >= pli) {
                delay = idr - pli;
                break;
            }
        }
        // Counted in pictures, not milliseconds: at most the pictures already being encoded
        // when the request arrived go out before the key picture.
        const auto between = std::count_if(frameEnds.begin(), frameEnds.end(),
                                           [&](qint64 t) { return t >= pli && t < pli + delay; });
        delays << QStringLiteral("%1 ms/%2 pictures").arg(delay).arg(between);
        QVERIFY2(delay >= 0 && between <= 2,
                 qPrintable(QStringLiteral("PLI at %1 ms, next IDR after %2 ms and %3 pictures")
                                .arg(pli)
                                .arg(delay)
                                .arg(between)));
        ++judged;
    }
    QVERIFY(judged >= 2);
    qInfo("PLI to IDR: %s", qPrintable(delays.join(' ')));
}

QTEST_MAIN(TestQnLynSender)
#include "tst_qnlynsender.moc"
