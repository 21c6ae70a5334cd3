// Desktop sync under packet loss, against real peers: ffmpeg sends H.264 (720p; 360p in sanitizer builds) and
// Opus through the loss relay (fixed seed); the very same impaired datagrams reach our receiving pipeline and
// ffmpeg's own receiver (the relay's mirror), so both decode exactly the same losses.
#include "QnScreenShare/receiver/QnLynServer.h"
#include "tests/fixtures/lossrelay/LossRelay.h"
#include "tests/fixtures/media/MediaTestUtil.h"
#include "tests/fixtures/support/QnTestSkip.h"

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
// Sanitizer builds decode several times slower: a smaller picture keeps our decoder in real time,
// so the count measures losses, not CPU shortage. Its key frames still span many packets.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr const char *kPictureSize = "640x360";
#else
constexpr const char *kPictureSize = "1280x720";
#endif

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
                        QStringLiteral("testsrc2=size=%1:rate=%2").arg(QLatin1String(kPictureSize)).arg(kFps),
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
    qint64 longestSilenceMs = 0;
    uint64_t pli = 0;
    uint64_t relayDropped = 0;
    int behind = 0; ///< units our decoder had no time for (queue full): CPU, not loss
};
QList<TableRow> g_table;

// One stream through the relay: ffmpeg's sender, the relay (its video mirrored to ffmpeg's own
// receiver), and our receiving pipeline.
class LossRun
{
public:
    LossRun(double loss, int gop, uint32_t seed) : m_loss(loss), m_gop(gop), m_relay(seed) {}

    bool start()
    {
        const int ours = MediaTestUtil::freePortBlock();
        const int theirs = MediaTestUtil::freePortBlock();
        const int nowhere = MediaTestUtil::freePortBlock(); // our pipeline's configured peer: unused
        if (ours <= 0 || theirs <= 0 || nowhere <= 0 || !m_dir.isValid())
            return false;
        QFile sdp(m_dir.filePath("peer.sdp"));
        if (!MediaTestUtil::writeMirroringSdp(sdp.fileName(), QStringLiteral("127.0.0.1"), theirs, false))
            return false;
        m_reference.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        m_reference.start("ffmpeg", MediaTestUtil::ffmpegRtpReceiver(sdp.fileName()) +
                                        QStringList{"-map", "0:v", "-fps_mode", "passthrough", "-f",
                                                    "framemd5", m_dir.filePath("video.md5")});
        if (!m_reference.waitForStarted())
            return false;
        m_theirs = theirs;

        QObject::connect(
            &m_server, &QnLynServer::yuvData, &m_server,
            [this](const QByteArray &, int, int) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_pictureTimes << m_clock.elapsed();
            },
            Qt::DirectConnection);
        m_server.setAudioCallback([this](int, unsigned char *, unsigned, int, int, int) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_blockTimes << m_clock.elapsed();
        });
        if (!m_server.startServer("127.0.0.1", ours, "127.0.0.1", nowhere))
            return false;
        m_relay.setImpairment({m_loss, 0.05, 0.01});
        m_relay.setTap([this](int, bool toTarget, const uint8_t *, int) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (toTarget && m_firstPacketMs < 0)
                m_firstPacketMs = m_clock.elapsed();
        });
        m_ports[0] = m_relay.addRoute(0, ours, theirs);
        m_ports[1] = m_relay.addRoute(0, ours + 1, theirs + 1);
        m_ports[2] = m_relay.addRoute(0, ours + 2);
        m_ports[3] = m_relay.addRoute(0, ours + 3);
        for (int port : m_ports)
            if (port <= 0)
                return false;
        return m_relay.start();
    }

    bool referenceReady() const { return portTaken(m_theirs); }

    void send()
    {
        m_sender.setProcessChannelMode(QProcess::ForwardedChannels);
        m_clock.start();
        m_sender.start("ffmpeg", ffmpegSender(m_ports[0], m_ports[1], m_ports[2], m_ports[3], m_gop));
    }

    bool waitSent()
    {
        const bool ok = m_sender.waitForFinished(60000) && m_sender.exitCode() == 0;
        m_sentUntil = m_clock.elapsed();
        return ok;
    }

    // Ends every part and fills the row.
    bool finish(TableRow &row)
    {
        ::kill(pid_t(m_reference.processId()), SIGINT); // ffmpeg flushes its output on SIGINT
        const bool ok = m_reference.waitForFinished(20000);
        m_relay.stop();
        const QnRtpStats stats = m_server.videoStats();
        row.behind = int(m_server.videoQueueDrops());
        m_server.stopServer();
        std::lock_guard<std::mutex> lock(m_mutex);
        row.ffmpeg = countFrameMd5(m_dir.filePath("video.md5"));
        row.ours = int(m_pictureTimes.size());
        // The longest time without a picture, from the first datagram to the end of sending.
        qint64 previous = m_firstPacketMs;
        for (qint64 t : m_pictureTimes) {
            row.longestGapMs = std::max(row.longestGapMs, t - previous);
            previous = t;
        }
        row.longestGapMs = std::max(row.longestGapMs, m_sentUntil - previous);
        previous = m_blockTimes.isEmpty() ? 0 : m_blockTimes.first();
        for (qint64 t : m_blockTimes) {
            row.longestSilenceMs = std::max(row.longestSilenceMs, t - previous);
            previous = t;
        }
        row.soundBlocks = int(m_blockTimes.size());
        row.pli = stats.pliSent;
        row.relayDropped = m_relay.counters().dropped;
        return ok;
    }

private:
    const double m_loss;
    const int m_gop;
    LossRelay m_relay;
    QTemporaryDir m_dir;
    QProcess m_reference;
    QProcess m_sender;
    QnLynServer m_server;
    int m_theirs = 0;
    int m_ports[4] = {};
    QElapsedTimer m_clock;
    qint64 m_sentUntil = 0;
    std::mutex m_mutex;
    qint64 m_firstPacketMs = -1;
    QList<qint64> m_pictureTimes, m_blockTimes;
};

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
        QN_SKIP_MISSING("ffmpeg is not installed");
}

void TestQnLynServerLoss::lossTable_data()
{
    // Each row runs ffmpeg's default key frame interval (250), then an interval of 30.
    QTest::addColumn<double>("loss");
    for (double loss : {0.0, 0.01, 0.05, 0.10})
        QTest::newRow(qPrintable(QStringLiteral("%1% loss").arg(loss * 100))) << loss;
}

void TestQnLynServerLoss::lossTable()
{
    QFETCH(double, loss);
    // One stream at a time: the decoder must keep up with real time on a busy machine, or the
    // comparison would measure the CPU instead of the losses.
    const int gops[2] = {0, 30};
    for (int i = 0; i < 2; ++i) {
        auto run = std::make_unique<LossRun>(loss, gops[i], uint32_t(20261210 + int(loss * 100) + i));
        QVERIFY(run->start());
        QTRY_VERIFY_WITH_TIMEOUT(run->referenceReady(), 15000);
        run->send();
        QVERIFY(run->waitSent());
        QTest::qWait(500);
        TableRow row;
        row.name =
            QStringLiteral("%1 %, key frames %2").arg(loss * 100).arg(gops[i] ? "every 30" : "default");
        QVERIFY(run->finish(row));
        run.reset();
        g_table.append(row);
        qInfo(
            "%s: pictures shown %d, ffmpeg %d, longest gap %lld ms, sound blocks %d (longest pause %lld ms), "
            "relay dropped %llu, PLI sent %llu, units dropped while decoding fell behind %d",
            qPrintable(row.name), row.ours, row.ffmpeg, (long long)row.longestGapMs, row.soundBlocks,
            (long long)row.longestSilenceMs, (unsigned long long)row.relayDropped,
            (unsigned long long)row.pli, row.behind);
        QVERIFY2(row.ffmpeg > 0, "ffmpeg decoded nothing");
        // Units the decoder had no time for (a starved sanitizer build) are not a loss matter: they
        // are left out of the comparison, and reported.
        QVERIFY2((row.ours + row.behind) * 10 >= row.ffmpeg * 9,
                 qPrintable(QStringLiteral("%1 pictures (%2 more not decoded in time) against ffmpeg's %3")
                                .arg(row.ours)
                                .arg(row.behind)
                                .arg(row.ffmpeg)));
        QVERIFY2(row.longestGapMs < 2000,
                 qPrintable(QStringLiteral("%1 ms without a picture").arg(row.longestGapMs)));
        // Sound: 10 ms blocks keep coming (a lost packet is a short gap, never a stop).
        QVERIFY2(row.soundBlocks >= int(kSeconds * 100 * (1.0 - loss) * 0.7),
                 qPrintable(QString::number(row.soundBlocks)));
        QVERIFY2(row.longestSilenceMs < 500, qPrintable(QString::number(row.longestSilenceMs)));
        if (loss > 0)
            QVERIFY(row.relayDropped > 0);
    }
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
