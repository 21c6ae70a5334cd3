// Desktop sync under packet loss, against real peers: ffmpeg sends 720p H.264 and Opus through
// the loss relay (fixed seed); the very same impaired datagrams reach our receiving pipeline and
// ffmpeg's own receiver (the relay's mirror), so both decode exactly the same losses.
#include "../mediatest/MediaTestUtil.h"
#include "LossRelay.h"
#include "receiver/QnLynServer.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSeconds = 3;
constexpr int kFps = 30;

// True once some process has bound UDP \a port on loopback.
bool portTaken(int port)
{
    QUdpSocket probe;
    return !probe.bind(QHostAddress::LocalHost, quint16(port));
}

int countFrameMd5(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    int frames = 0;
    for (const QByteArray &line : file.readAll().split('\n'))
        frames += (!line.startsWith('#') && !line.trimmed().isEmpty()) ? 1 : 0;
    return frames;
}

QStringList ffmpegSender(int videoPort, int videoRtcp, int audioPort, int audioRtcp, int gop)
{
    QStringList args = {"-nostdin",
                        "-loglevel",
                        "error",
                        "-re",
                        "-t",
                        QString::number(kSeconds),
                        "-f",
                        "lavfi",
                        "-i",
                        QStringLiteral("testsrc2=size=1280x720:rate=%1").arg(kFps),
                        "-re",
                        "-t",
                        QString::number(kSeconds),
                        "-f",
                        "lavfi",
                        "-i",
                        "sine=frequency=1000:sample_rate=48000",
                        "-map",
                        "0:v",
                        "-c:v",
                        "libx264",
                        "-preset",
                        "veryfast",
                        "-tune",
                        "zerolatency",
                        "-profile:v",
                        "baseline",
                        "-pix_fmt",
                        "yuv420p"};
    if (gop > 0)
        args << "-g" << QString::number(gop);
    args << "-payload_type"
         << "127"
         << "-f"
         << "rtp" << QStringLiteral("rtp://127.0.0.1:%1?rtcpport=%2").arg(videoPort).arg(videoRtcp) << "-map"
         << "1:a"
         << "-c:a"
         << "libopus"
         << "-ac"
         << "2"
         << "-b:a"
         << "64k"
         << "-payload_type"
         << "120"
         << "-f"
         << "rtp" << QStringLiteral("rtp://127.0.0.1:%1?rtcpport=%2").arg(audioPort).arg(audioRtcp);
    return args;
}

struct TableRow
{
    QString name;
    int ours = 0;
    int ffmpeg = 0;
    qint64 longestGapMs = 0;
    int soundBlocks = 0;
    uint64_t pli = 0;
};
QList<TableRow> g_table;

} // namespace

class TestQnLynServerLoss : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void lossTable_data();
    void lossTable();
    void cleanupTestCase();
};

void TestQnLynServerLoss::initTestCase()
{
    if (!MediaTestUtil::haveFfmpeg())
        QSKIP("ffmpeg is not installed");
}

void TestQnLynServerLoss::lossTable_data()
{
    QTest::addColumn<double>("loss");
    QTest::addColumn<int>("gop"); // 0: ffmpeg's default key frame interval (250)
    QTest::addColumn<uint32_t>("seed");
    for (int gop : {0, 30}) {
        for (double loss : {0.0, 0.01, 0.05, 0.10}) {
            const QByteArray name = QStringLiteral("%1% loss, key frames %2")
                                        .arg(loss * 100)
                                        .arg(gop ? QStringLiteral("every 30") : QStringLiteral("default"))
                                        .toUtf8();
            QTest::newRow(name.constData()) << loss << gop << uint32_t(20261210 + int(loss * 100));
        }
    }
}

void TestQnLynServerLoss::lossTable()
{
    QFETCH(double, loss);
    QFETCH(int, gop);
    QFETCH(uint32_t, seed);
    const int ours = MediaTestUtil::freePortBlock();
    const int theirs = MediaTestUtil::freePortBlock();
    const int nowhere = MediaTestUtil::freePortBlock(); // our pipeline's configured peer: unused
    QVERIFY(ours > 0 && theirs > 0 && nowhere > 0);

    // ffmpeg's receiver of the mirrored video.
    QTemporaryDir dir;
    QFile sdp(dir.filePath("peer.sdp"));
    QVERIFY(sdp.open(QIODevice::WriteOnly));
    sdp.write(
        QStringLiteral("v=0\no=- 0 0 IN IP4 127.0.0.1\ns=peer\nc=IN IP4 127.0.0.1\nt=0 0\n"
                       "m=video %1 RTP/AVP 127\na=rtpmap:127 H264/90000\na=fmtp:127 packetization-mode=1\n")
            .arg(theirs)
            .toUtf8());
    sdp.close();
    QProcess reference;
    reference.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    reference.start("ffmpeg", {"-nostdin",
                               "-loglevel",
                               "error",
                               "-protocol_whitelist",
                               "file,udp,rtp",
                               "-reorder_queue_size",
                               "64",
                               "-buffer_size",
                               "4194304",
                               "-threads",
                               "1",
                               "-i",
                               sdp.fileName(),
                               "-map",
                               "0:v",
                               "-fps_mode",
                               "passthrough",
                               "-f",
                               "framemd5",
                               dir.filePath("video.md5")});
    QVERIFY(reference.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(portTaken(theirs), 15000);

    // Our receiving pipeline: every picture and sound block with its arrival time.
    std::mutex mutex;
    QElapsedTimer clock;
    QList<qint64> pictureTimes, blockTimes;
    QnLynServer server;
    connect(
        &server, &QnLynServer::yuvData, &server,
        [&](const QByteArray &, int, int) {
            std::lock_guard<std::mutex> lock(mutex);
            pictureTimes << clock.elapsed();
        },
        Qt::DirectConnection);
    server.setAudioCallback([&](int, unsigned char *, unsigned, int, int, int) {
        std::lock_guard<std::mutex> lock(mutex);
        blockTimes << clock.elapsed();
    });
    QVERIFY(server.startServer("127.0.0.1", ours, "127.0.0.1", nowhere));

    LossRelay relay(seed);
    relay.setImpairment({loss, 0.05, 0.01});
    const int videoIn = relay.addRoute(0, ours, theirs);
    const int videoRtcpIn = relay.addRoute(0, ours + 1, theirs + 1);
    const int audioIn = relay.addRoute(0, ours + 2);
    const int audioRtcpIn = relay.addRoute(0, ours + 3);
    QVERIFY(videoIn > 0 && videoRtcpIn > 0 && audioIn > 0 && audioRtcpIn > 0);
    QVERIFY(relay.start());

    QProcess sender;
    sender.setProcessChannelMode(QProcess::ForwardedChannels);
    clock.start();
    sender.start("ffmpeg", ffmpegSender(videoIn, videoRtcpIn, audioIn, audioRtcpIn, gop));
    QVERIFY(sender.waitForFinished(60000));
    QCOMPARE(sender.exitCode(), 0);
    const qint64 sentUntil = clock.elapsed();
    QTest::qWait(1000);
    ::kill(pid_t(reference.processId()), SIGINT); // ffmpeg flushes its output on SIGINT
    QVERIFY(reference.waitForFinished(20000));
    relay.stop();
    const QnRtpStats stats = server.videoStats();
    server.stopServer();

    const int ffmpegFrames = countFrameMd5(dir.filePath("video.md5"));
    std::lock_guard<std::mutex> lock(mutex);
    // The longest time without a picture, from the start of sending to its end.
    qint64 longest = 0, previous = 0;
    for (qint64 t : pictureTimes) {
        longest = std::max(longest, t - previous);
        previous = t;
    }
    longest = std::max(longest, sentUntil - previous);
    qint64 longestSilence = 0;
    previous = blockTimes.isEmpty() ? 0 : blockTimes.first();
    for (qint64 t : blockTimes) {
        longestSilence = std::max(longestSilence, t - previous);
        previous = t;
    }
    const LossRelay::Counters counters = relay.counters();
    g_table.append({QString::fromUtf8(QTest::currentDataTag()), int(pictureTimes.size()), ffmpegFrames,
                    longest, int(blockTimes.size()), stats.pliSent});
    qInfo(
        "%s: pictures shown %d, ffmpeg %d, longest gap %lld ms, sound blocks %d (%lld ms longest pause), "
        "relay dropped %llu of %llu; units damaged %llu, dropped %llu, NAL units dropped %llu, PLI sent %llu",
        QTest::currentDataTag(), int(pictureTimes.size()), ffmpegFrames, (long long)longest,
        int(blockTimes.size()), (long long)longestSilence, (unsigned long long)counters.dropped,
        (unsigned long long)(counters.dropped + counters.forwarded), (unsigned long long)stats.framesDamaged,
        (unsigned long long)stats.framesDropped, (unsigned long long)stats.nalUnitsDropped,
        (unsigned long long)stats.pliSent);

    QVERIFY2(ffmpegFrames > 0, "ffmpeg decoded nothing");
    QVERIFY2(
        pictureTimes.size() * 10 >= ffmpegFrames * 9,
        qPrintable(
            QStringLiteral("%1 pictures against ffmpeg's %2").arg(pictureTimes.size()).arg(ffmpegFrames)));
    QVERIFY2(longest < 2000, qPrintable(QStringLiteral("%1 ms without a picture").arg(longest)));
    // Sound: 10 ms blocks keep coming (a lost packet is a short gap, never a stop).
    QVERIFY2(blockTimes.size() >= int(kSeconds * 100 * (1.0 - loss) * 0.7),
             qPrintable(QString::number(blockTimes.size())));
    QVERIFY2(longestSilence < 500, qPrintable(QString::number(longestSilence)));
    if (loss > 0)
        QVERIFY(counters.dropped > 0);
}

void TestQnLynServerLoss::cleanupTestCase()
{
    if (g_table.isEmpty())
        return;
    qInfo("| relay | pictures shown by us | ffmpeg, same datagrams | longest gap (ms) | sound blocks | PLI "
          "sent |");
    for (const TableRow &row : g_table)
        qInfo("| %s | %d | %d | %lld | %d | %llu |", qPrintable(row.name), row.ours, row.ffmpeg,
              (long long)row.longestGapMs, row.soundBlocks, (unsigned long long)row.pli);
}

QTEST_GUILESS_MAIN(TestQnLynServerLoss)
#include "tst_qnlynserverloss.moc"
