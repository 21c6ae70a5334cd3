// Interoperation with ffmpeg as the real peer on loopback: our senders to ffmpeg reading an SDP,
// and ffmpeg's RTP senders to our receivers and decoders.
#include "tests/QnScreenShare/streams/MediaTestSupport.h"

#include "QnScreenShare/h264/KRH264Decoder.h"
#include "QnScreenShare/h264/OpusCodec.h"
#include "QnScreenShare/streams/KRH264Stream.h"
#include "QnScreenShare/streams/KROpusStream.h"

#include <QElapsedTimer>
#include <QtTest>

#include <cmath>
#include <csignal>

using namespace mediatest;

namespace {

// True once some process has bound \a port (our own bind attempt fails).
bool portTaken(int port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(uint16_t(port));
    const bool taken = ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0;
    ::close(fd);
    return taken;
}

struct Md5Lines
{
    int count = 0;
    QSet<qint64> sizes;
    qint64 totalDuration = 0;
};

Md5Lines readFrameMd5(const QString &path)
{
    Md5Lines result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() < 6)
            continue;
        ++result.count;
        result.totalDuration += fields[3].trimmed().toLongLong();
        result.sizes.insert(fields[4].trimmed().toLongLong());
    }
    return result;
}

// Decodes received units on the receive thread and counts what comes out.
class DecodingSink : public QnRtpFrameCb, public RenderCallback
{
public:
    DecodingSink() { decoder.Init(this); }
    int onFrame(const uint8_t *data, int length, int64_t, uint32_t) override
    {
        std::lock_guard<std::mutex> locker(lock);
        ++units;
        if (decoder.DecodeFrame(data, length, 0, 0) != 0)
            ++errors;
        return 0;
    }
    int pictureCount()
    {
        std::lock_guard<std::mutex> locker(lock);
        return pictures;
    }
    int onStart() override { return 0; }
    int onStop() override { return 0; }
    int onFrame(const uint8_t *, const uint8_t *, const uint8_t *, int width, int height) override
    {
        ++pictures;
        sizes.insert(qMakePair(width, height));
        return 0;
    }
    std::mutex lock; // std::mutex: visible to ThreadSanitizer
    KRH264Decoder decoder;
    int units = 0, errors = 0, pictures = 0;
    QSet<QPair<int, int>> sizes;
};

class OpusSink : public QnRtpFrameCb
{
public:
    OpusSink() { codec.createDecoder(); }
    int onFrame(const uint8_t *data, int length, int64_t, uint32_t) override
    {
        std::lock_guard<std::mutex> locker(lock);
        static thread_local int16_t pcm[OpusCodec::kMaxPacketSamples * 2];
        const int n = codec.decode(data, length, pcm, OpusCodec::kMaxPacketSamples);
        ++packets;
        if (n <= 0) {
            ++errors;
            return 0;
        }
        samples += n;
        packetSamples.insert(n);
        for (int i = 0; i < n * 2; ++i)
            energy += double(pcm[i]) * pcm[i];
        return 0;
    }
    qint64 sampleCount()
    {
        std::lock_guard<std::mutex> locker(lock);
        return samples;
    }
    std::mutex lock; // std::mutex: visible to ThreadSanitizer
    OpusCodec codec;
    int packets = 0, errors = 0;
    qint64 samples = 0;
    double energy = 0;
    QSet<int> packetSamples;
};

} // namespace

class TstRtpFfmpeg : public QObject
{
    Q_OBJECT

private slots:
    void ourSendersToFfmpeg();
    void ffmpegToOurReceivers_data();
    void ffmpegToOurReceivers();
};

void TstRtpFfmpeg::ourSendersToFfmpeg()
{
    const int width = 1280, height = 720, fps = 30, seconds = 3;
    const int frames = fps * seconds;
    const int packets = seconds * 100; // 10 ms Opus packets
    const int base = freePortBlock(4);
    QVERIFY(base > 0);
    QTemporaryDir dir;
    QFile sdp(dir.filePath("peer.sdp"));
    QVERIFY(MediaTestUtil::writeMirroringSdp(sdp.fileName(), QStringLiteral("127.0.0.1"), base));
    QProcess ffmpeg;
    ffmpeg.setWorkingDirectory(dir.path());
    ffmpeg.start("ffmpeg", {"-nostdin",
                            "-hide_banner",
                            "-protocol_whitelist",
                            "file,udp,rtp",
                            "-reorder_queue_size",
                            "64",
                            "-buffer_size",
                            "4194304",
                            "-threads",
                            "1",
                            "-i",
                            "peer.sdp",
                            "-map",
                            "0:v",
                            "-fps_mode",
                            "passthrough",
                            "-f",
                            "framemd5",
                            "video.md5",
                            "-map",
                            "0:a",
                            "-f",
                            "framemd5",
                            "audio.md5"});
    QVERIFY(ffmpeg.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(portTaken(base) && portTaken(base + 2), 15000);

    KRH264Stream video;
    KROpusStream audio;
    QCOMPARE(video.Start(nullptr, 2000, 127, 0, 0, "127.0.0.1", base, base + 1, 1), 0);
    QCOMPARE(audio.Start(nullptr, 2001, 120, 0, 0, "127.0.0.1", base + 2, base + 3, 1), 0);
    H264Encoder &encoder = H264Encoder::instance();
    QVERIFY(encoder.init(width, height, 10000000, fps, 60));
    OpusCodec opus;
    QVERIFY(opus.createEncoder());
    QByteArray unit(H264Encoder::kOutputBufferSize, '\0');
    int16_t pcm[OpusCodec::kFrameSamples * 2];
    uint8_t packet[OpusCodec::kMaxPacketBytes];
    // Real-time pacing: an audio packet every 10 ms, a picture every 33.3 ms.
    QElapsedTimer clock;
    clock.start();
    int sentFrames = 0;
    for (int p = 0; p < packets; ++p) {
        while (clock.elapsed() < p * 10)
            QThread::msleep(1);
        for (int i = 0; i < OpusCodec::kFrameSamples; ++i)
            pcm[2 * i] = pcm[2 * i + 1] = int16_t(6000 * std::sin(2 * M_PI * 440 * (p * 480 + i) / 48000.0));
        const int bytes = opus.encode(pcm, packet);
        QVERIFY(bytes > 0);
        QCOMPARE(audio.sendFrame(packet, bytes), 0);
        if (sentFrames < frames && p * 10 >= sentFrames * 1000 / fps) {
            const QByteArray picture = movingPicture(width, height, sentFrames);
            const int n = encoder.encode(reinterpret_cast<const uint8_t *>(picture.constData()), width,
                                         height, reinterpret_cast<uint8_t *>(unit.data()));
            QVERIFY(n > 0);
            QCOMPARE(video.sendFrame(reinterpret_cast<const uint8_t *>(unit.constData()), n), 0);
            ++sentFrames;
        }
    }
    encoder.close();
    QCOMPARE(sentFrames, frames);
    QThread::msleep(500);
    ::kill(pid_t(ffmpeg.processId()), SIGINT);
    QVERIFY(ffmpeg.waitForFinished(20000));
    const QString log = QString::fromUtf8(ffmpeg.readAllStandardError());
    video.Stop();
    audio.Stop();

    const Md5Lines v = readFrameMd5(dir.filePath("video.md5"));
    const Md5Lines a = readFrameMd5(dir.filePath("audio.md5"));
    QVERIFY2(v.count == frames, qPrintable(QString("%1 video frames\n%2").arg(v.count).arg(log)));
    QCOMPARE(v.sizes, QSet<qint64>{qint64(width) * height * 3 / 2});
    QVERIFY2(a.count == packets, qPrintable(QString("%1 audio frames\n%2").arg(a.count).arg(log)));
    QCOMPARE(a.totalDuration, qint64(packets) * 480);
    for (const char *bad :
         {"concealing", "error while decoding", "corrupt", "missed", "Invalid", "non-existing"})
        QVERIFY2(!log.contains(bad, Qt::CaseInsensitive), qPrintable(log));
}

void TstRtpFfmpeg::ffmpegToOurReceivers_data()
{
    QTest::addColumn<int>("opusFrameMs");
    QTest::newRow("Opus 10 ms") << 10;
    QTest::newRow("Opus 20 ms") << 20;
}

void TstRtpFfmpeg::ffmpegToOurReceivers()
{
    QFETCH(int, opusFrameMs);
    const int base = freePortBlock(4);
    QVERIFY(base > 0);
    DecodingSink videoSink;
    OpusSink audioSink;
    KRH264Stream video;
    KROpusStream audio;
    QCOMPARE(video.Start(&videoSink, 1000, 127, base, base + 1, "127.0.0.1", 9, 9, 1), 0);
    QCOMPARE(audio.Start(&audioSink, 1001, 120, base + 2, base + 3, "127.0.0.1", 9, 9, 1), 0);

    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-nostdin",
                            "-hide_banner",
                            "-loglevel",
                            "warning",
                            "-re",
                            "-t",
                            "3",
                            "-f",
                            "lavfi",
                            "-i",
                            "testsrc2=size=1280x720:rate=30",
                            "-re",
                            "-t",
                            "3",
                            "-f",
                            "lavfi",
                            "-i",
                            "sine=frequency=440:sample_rate=48000",
                            "-map",
                            "0:v",
                            "-c:v",
                            "libx264",
                            "-preset",
                            "ultrafast",
                            "-tune",
                            "zerolatency",
                            "-profile:v",
                            "baseline",
                            "-pix_fmt",
                            "yuv420p",
                            "-g",
                            "30",
                            "-payload_type",
                            "127",
                            "-f",
                            "rtp",
                            QString("rtp://127.0.0.1:%1?rtcpport=%2").arg(base).arg(base + 1),
                            "-map",
                            "1:a",
                            "-c:a",
                            "libopus",
                            "-ac",
                            "2",
                            "-b:a",
                            "64k",
                            "-frame_duration",
                            QString::number(opusFrameMs),
                            "-payload_type",
                            "120",
                            "-f",
                            "rtp",
                            QString("rtp://127.0.0.1:%1?rtcpport=%2").arg(base + 2).arg(base + 3)});
    QVERIFY(ffmpeg.waitForFinished(30000));
    QVERIFY2(ffmpeg.exitCode() == 0, ffmpeg.readAllStandardError().constData());

    // ffmpeg's -t 3 at 30 fps: 90 pictures, every one reassembled and decoded at its size.
    QTRY_COMPARE_WITH_TIMEOUT(videoSink.pictureCount(), 90, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(audioSink.sampleCount() >= 3 * 48000 - 960, 5000);
    const QnRtpStats stats = video.receiverStats();
    QCOMPARE(stats.framesDropped, 0u);
    QCOMPARE(stats.packetsLost, 0u);
    video.Stop();
    audio.Stop();
    QCOMPARE(videoSink.units, 90);
    QCOMPARE(videoSink.errors, 0);
    QCOMPARE(videoSink.decoder.corruptPictures(), 0u);
    QCOMPARE(videoSink.sizes, (QSet<QPair<int, int>>{qMakePair(1280, 720)}));
    QCOMPARE(audioSink.errors, 0);
    QCOMPARE(audioSink.packetSamples, QSet<int>{opusFrameMs * 48});
    QVERIFY(audioSink.energy > 0);
}

QTEST_GUILESS_MAIN(TstRtpFfmpeg)
#include "tst_rtpffmpeg.moc"
