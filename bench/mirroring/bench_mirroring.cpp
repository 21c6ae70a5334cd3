// Mirroring end to end (grab, scale to I420, H.264, RTP) of QnLynSender against
// "ffmpeg -f x11grab ... -c:v libx264 ... -f rtp" with the same x264 settings, on the same display
// showing the same moving content, in one run: CPU per frame (sender plus Xvfb), frames delivered
// and the time from the grab to the frame's last RTP packet.
//
// Usage: bench_mirroring [window seconds = 10] [rounds = 3] [scenes = moving,still]
//        (through scripts/bench)
//
// The same program also runs as its two helpers:
//   bench_mirroring --paint          full-screen window repainting moving shapes and text at 30 fps
//   bench_mirroring --sink PORT FILE RTP sink on PORT (RTCP on PORT+1) writing one line per marked
//                                    H.264 packet and per sender report to FILE

#include "QnScreenShare/h264/H264Encoder.h"
#include "QnScreenShare/screencapture/ScreenCapture.h"
#include "QnScreenShare/sender/QnLynSender.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFrameRate = 30;
constexpr int kPayloadType = 127;
constexpr int kWarmUpMs = 3000;
constexpr int kMaxWarmUpMs = 20000;
constexpr int64_t kStartTimeRealtimeUs = 1000; // ffmpeg's -start_time_realtime; see runFfmpeg

int64_t steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

int64_t clockNs(clockid_t id)
{
    timespec ts{};
    if (clock_gettime(id, &ts) != 0)
        return -1;
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

/// CPU time of a whole process (every thread, the ended ones included), or -1.
int64_t processCpuNs(pid_t pid)
{
    clockid_t id;
    if (clock_getcpuclockid(pid, &id) != 0)
        return -1;
    return clockNs(id);
}

void sleepMs(int ms)
{
    QThread::msleep(ulong(ms));
}

// ---- helper: moving content --------------------------------------------------------------------

/// Scrolling text, bouncing discs and a turning bar, advanced one step per tick so that every run
/// sees the same kind of picture; the whole window is repainted each time.
class MovingContent : public QRasterWindow
{
public:
    MovingContent()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            ++m_step;
            update();
        });
        m_timer.start(1000 / kFrameRate);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const int w = width(), h = height();
        p.fillRect(QRect(0, 0, w, h), QColor(24, 36, 60));
        QFont font;
        font.setPixelSize(qMax(10, h / 45));
        p.setFont(font);
        p.setPen(QColor(230, 230, 230));
        const int lineHeight = qMax(12, h / 32);
        const int lines = 64;
        const int scroll = (m_step * 3) % (lineHeight * lines);
        for (int i = 0; i < lines * 2; ++i) {
            const int y = i * lineHeight - scroll;
            if (y < -lineHeight || y > h + lineHeight)
                continue;
            p.drawText(w / 24, y,
                       QStringLiteral("%1  The quick brown fox jumps over the lazy dog, 0123456789")
                           .arg(i % lines, 2));
        }
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 12; ++i) {
            const int r = h / 14 + i * 3;
            const auto bounce = [](int t, int span) {
                const int period = 2 * qMax(1, span);
                const int m = t % period;
                return m < span ? m : period - m;
            };
            const int x = bounce(m_step * (5 + i) + i * 97, w - 2 * r);
            const int y = bounce(m_step * (4 + (i * 7) % 5) + i * 53, h - 2 * r);
            p.setBrush(QColor::fromHsv((i * 30 + m_step * 2) % 360, 200, 230));
            p.drawEllipse(x, y, 2 * r, 2 * r);
        }
        p.translate(w * 0.7, h * 0.5);
        p.rotate(m_step * 4);
        p.fillRect(-w / 6, -h / 60, w / 3, h / 30, QColor(250, 210, 40));
    }

private:
    QTimer m_timer;
    int m_step = 0;
};

/// A slide being presented: a still page with a blinking text cursor (a small repaint every
/// 530 ms) and the pointer gliding a little every 3 s.
class StillDesktop : public QRasterWindow
{
public:
    StillDesktop()
    {
        QObject::connect(&m_blink, &QTimer::timeout, [this] {
            m_caretOn = !m_caretOn;
            update(caretRect());
        });
        m_blink.start(530);
        QObject::connect(&m_pointer, &QTimer::timeout, [this] {
            // Ten steps of 30 ms, 20 px each, back and forth.
            const int dir = (m_glides++ % 2) ? -1 : 1;
            for (int i = 1; i <= 10; ++i)
                QTimer::singleShot(30 * i,
                                   [dir] { QCursor::setPos(QCursor::pos() + QPoint(20 * dir, 8 * dir)); });
        });
        m_pointer.start(3000);
    }

protected:
    QRect caretRect() const { return QRect(width() / 2, height() / 2, 3, qMax(12, height() / 30)); }
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const int w = width(), h = height();
        p.fillRect(QRect(0, 0, w, h), QColor(250, 250, 246));
        p.fillRect(QRect(0, 0, w, h / 8), QColor(30, 80, 150));
        QFont font;
        font.setPixelSize(qMax(12, h / 20));
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(w / 20, h / 12, QStringLiteral("Lesson 7: The water cycle"));
        font.setPixelSize(qMax(10, h / 36));
        p.setFont(font);
        p.setPen(QColor(40, 40, 40));
        for (int i = 0; i < 8; ++i)
            p.drawText(w / 16, h / 5 + i * h / 14,
                       QStringLiteral("- Point %1: evaporation, condensation, precipitation, collection")
                           .arg(i + 1));
        if (m_caretOn)
            p.fillRect(caretRect(), Qt::black);
    }

private:
    QTimer m_blink, m_pointer;
    bool m_caretOn = true;
    int m_glides = 0;
};

int paintMain(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const bool still = argc > 2 && qstrcmp(argv[2], "still") == 0;
    std::unique_ptr<QRasterWindow> window;
    if (still)
        window = std::make_unique<StillDesktop>();
    else
        window = std::make_unique<MovingContent>();
    window->setFlags(Qt::FramelessWindowHint);
    window->setGeometry(app.primaryScreen()->geometry());
    window->show();
    if (still)
        QCursor::setPos(app.primaryScreen()->geometry().center() + QPoint(200, 100));
    return app.exec();
}

// ---- helper: RTP sink ----------------------------------------------------------------------------

volatile std::sig_atomic_t g_stopSink = 0;

int bindUdp(int port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return -1;
    const int buffer = 8 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

uint32_t be32(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

int64_t ntpToUnixUs(uint32_t seconds, uint32_t fraction)
{
    constexpr int64_t kNtpToUnixSeconds = 2208988800LL;
    const int64_t us = int64_t((uint64_t(fraction) * 1000000 + 0xffffffffULL) >> 32); // undo truncation
    return (int64_t(seconds) - kNtpToUnixSeconds) * 1000000 + us;
}

/// Lines: "M <rtp timestamp> <steady ns> <realtime ns>" for each H.264 packet with the marker bit
/// (a frame's last packet), "S <rtp timestamp> <report's NTP time as Unix microseconds> <realtime ns>"
/// for each sender report.
int sinkMain(int port, const char *path)
{
    std::signal(SIGTERM, [](int) { g_stopSink = 1; });
    const int rtp = bindUdp(port), rtcp = bindUdp(port + 1);
    const int out = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (rtp < 0 || rtcp < 0 || out < 0) {
        std::fprintf(stderr, "sink: cannot bind %d/%d or open %s\n", port, port + 1, path);
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    uint8_t buf[65536];
    char line[128];
    while (!g_stopSink) {
        pollfd fds[2] = {{rtp, POLLIN, 0}, {rtcp, POLLIN, 0}};
        if (::poll(fds, 2, 100) <= 0)
            continue;
        for (const pollfd &f : fds) {
            if (!(f.revents & POLLIN))
                continue;
            const ssize_t n = ::recv(f.fd, buf, sizeof buf, 0);
            const int64_t mono = steadyNs(), real = clockNs(CLOCK_REALTIME);
            if (n < 12 || (buf[0] >> 6) != 2)
                continue;
            int len = 0;
            if (f.fd == rtp && (buf[1] & 0x80) && (buf[1] & 0x7f) == kPayloadType)
                len = std::snprintf(line, sizeof line, "M %u %" PRId64 " %" PRId64 "\n", be32(buf + 4), mono,
                                    real);
            else if (f.fd == rtcp && buf[1] == 200 && n >= 20)
                len = std::snprintf(line, sizeof line, "S %u %" PRId64 " %" PRId64 "\n", be32(buf + 16),
                                    ntpToUnixUs(be32(buf + 8), be32(buf + 12)), real);
            if (len > 0 && ::write(out, line, size_t(len)) != len)
                return 1;
        }
    }
    ::close(out);
    return 0;
}

struct Marker
{
    uint32_t rtp;
    int64_t mono, real;
};

struct Report
{
    uint32_t rtp;
    int64_t ntpUnixUs; ///< the report's NTP time, as microseconds since the Unix epoch
};

struct SinkLog
{
    std::vector<Marker> markers;
    std::optional<Report> firstReport;
};

class Sink
{
public:
    bool start(const QString &program, int port, const QString &path)
    {
        m_path = path;
        m_process.start(program, {"--sink", QString::number(port), path});
        return m_process.waitForReadyRead(5000) && m_process.readAll().startsWith("ready");
    }
    SinkLog stop()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
        return read();
    }

    /// Waits at least minMs, then until frames arrive at the frame rate: the last 16 arrivals
    /// span at least 15 intervals less 10 %. A live grabber that fell behind while starting
    /// (ffmpeg's x11grab does not skip frames, it catches up) sends faster than that. False when
    /// that did not happen within maxMs.
    bool waitSteady(int minMs, int maxMs)
    {
        const int64_t start = steadyNs();
        sleepMs(minMs);
        for (;;) {
            const SinkLog log = read();
            const size_t n = log.markers.size();
            if (n >= 16 &&
                log.markers[n - 1].mono - log.markers[n - 16].mono >= int64_t(15 * 0.9e9 / kFrameRate))
                return true;
            if (steadyNs() - start > int64_t(maxMs) * 1000000)
                return false;
            sleepMs(200);
        }
    }

private:
    SinkLog read() const
    {
        SinkLog log;
        QFile f(m_path);
        if (!f.open(QIODevice::ReadOnly))
            return log;
        while (!f.atEnd()) {
            const QList<QByteArray> parts = f.readLine().trimmed().split(' ');
            if (parts.size() != 4)
                continue;
            const Marker m{uint32_t(parts[1].toULongLong()), parts[2].toLongLong(), parts[3].toLongLong()};
            if (parts[0] == "M")
                log.markers.push_back(m);
            else if (parts[0] == "S" && !log.firstReport)
                log.firstReport = Report{m.rtp, parts[2].toLongLong()};
        }
        return log;
    }

    QProcess m_process;
    QString m_path;
};

// ---- measurement ---------------------------------------------------------------------------------

struct Figures
{
    bool ok = false;
    int frames = 0;                ///< marked packets received in the window
    double seconds = 0;            ///< window length
    double senderMs = 0;           ///< sender CPU per frame
    double xvfbMs = 0;             ///< Xvfb CPU per frame
    double xvfbNetMs = 0;          ///< the same less what the painter alone costs Xvfb
    double p50 = -1, p95 = -1;     ///< grab -> last packet received by the sink, ms
    double inP50 = -1, inP95 = -1; ///< ours only: grab -> last packet handed to the socket, ms
    QString note;

    double totalMs() const { return senderMs + xvfbMs; }
    double totalNetMs() const { return senderMs + xvfbNetMs; }
};

void addNote(Figures &f, const QString &note)
{
    f.note += (f.note.isEmpty() ? QString() : QStringLiteral("; ")) + note;
}

double percentile(std::vector<double> v, double q)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[size_t(q * double(v.size() - 1) + 0.5)];
}

struct Window
{
    int64_t mono0 = 0, mono1 = 0;
    int64_t sender0 = 0, sender1 = 0;
    int64_t xvfb0 = 0, xvfb1 = 0;
};

void fillCpu(Figures &f, const Window &w, double xvfbIdleNsPerSec)
{
    f.seconds = double(w.mono1 - w.mono0) / 1e9;
    if (f.frames <= 0)
        return;
    f.senderMs = double(w.sender1 - w.sender0) / 1e6 / f.frames;
    f.xvfbMs = double(w.xvfb1 - w.xvfb0) / 1e6 / f.frames;
    f.xvfbNetMs = qMax(0.0, (double(w.xvfb1 - w.xvfb0) - xvfbIdleNsPerSec * f.seconds) / 1e6 / f.frames);
}

struct Setup
{
    QString program;
    QString tmp;
    pid_t xvfb = 0;
    double xvfbIdleNsPerSec = 0; ///< Xvfb's CPU with only the painter running
    int windowMs = 10000;
    int nextPort = 42000;
};

Figures runOurs(Setup &s, QSize size)
{
    Figures f;
    const int port = s.nextPort;
    s.nextPort += 8;
    Sink sink;
    if (!sink.start(s.program, port, s.tmp + QStringLiteral("/sink-%1.log").arg(port))) {
        f.note = "sink did not start";
        return f;
    }
    std::vector<std::pair<int64_t, int64_t>> probes; // grab, sent (steady ns); capture thread
    probes.reserve(size_t(kFrameRate) * (s.windowMs + kMaxWarmUpMs + 5000) / 1000 + 100);
    Window w;
    {
        QnLynSender sender(nullptr, nullptr,
                           new ScreenCapture(s.tmp + QStringLiteral("/QnConfig.ini"), nullptr));
        sender.setAudioMuted(true); // video only, as ffmpeg
        sender.setFrameProbe([&probes](Clock::time_point grabbed, Clock::time_point sent, int) {
            if (probes.size() < probes.capacity())
                probes.emplace_back(grabbed.time_since_epoch().count(), sent.time_since_epoch().count());
        });
        static_assert(std::is_same<Clock::duration, std::chrono::nanoseconds>::value, "steady clock in ns");
        if (!sender.startSender(0, size.width(), size.height(), kFrameRate, QStringLiteral("127.0.0.1"), port,
                                port + 4)) {
            sink.stop();
            f.note = "sender did not start";
            return f;
        }
        if (!sink.waitSteady(kWarmUpMs, kMaxWarmUpMs))
            addNote(f, QStringLiteral("frame rate not steady after warm-up"));
        w.mono0 = steadyNs();
        w.sender0 = processCpuNs(::getpid());
        w.xvfb0 = processCpuNs(s.xvfb);
        sleepMs(s.windowMs);
        w.mono1 = steadyNs();
        w.sender1 = processCpuNs(::getpid());
        w.xvfb1 = processCpuNs(s.xvfb);
        sender.stopSender(); // joins the capture thread: probes are complete
    }
    const SinkLog log = sink.stop();
    std::vector<double> viaSink, inProcess;
    const bool paired = log.markers.size() == probes.size();
    for (size_t i = 0; i < log.markers.size(); ++i) {
        const Marker &m = log.markers[i];
        if (m.mono < w.mono0 || m.mono > w.mono1)
            continue;
        ++f.frames;
        if (paired)
            viaSink.push_back(double(m.mono - probes[i].first) / 1e6);
    }
    for (const auto &p : probes) {
        if (p.second >= w.mono0 && p.second <= w.mono1)
            inProcess.push_back(double(p.second - p.first) / 1e6);
    }
    if (!paired)
        addNote(f, QStringLiteral("sink saw %1 frames, sender sent %2: no per-frame pairing")
                       .arg(log.markers.size())
                       .arg(probes.size()));
    f.p50 = percentile(viaSink, 0.5);
    f.p95 = percentile(viaSink, 0.95);
    f.inP50 = percentile(inProcess, 0.5);
    f.inP95 = percentile(inProcess, 0.95);
    fillCpu(f, w, s.xvfbIdleNsPerSec);
    f.ok = f.frames > 0;
    return f;
}

QStringList ffmpegArgs(QSize screen, QSize size, int port)
{
    const QString display = QString::fromLocal8Bit(qgetenv("DISPLAY"));
    return {
        "-nostdin", "-hide_banner", "-loglevel", "error",
        // Live source: no probing buffer between the grab and the encoder.
        "-fflags", "nobuffer", "-f", "x11grab", "-framerate", QString::number(kFrameRate), "-draw_mouse", "1",
        "-video_size", QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height()), "-i", display,
        // Keep x11grab's grab time (microseconds) as the frame's time all the way to RTP.
        "-copyts", "-fps_mode", "passthrough", "-enc_time_base", "-1", "-threads", "1", "-filter_threads",
        "1", "-vf",
        QStringLiteral("scale=%1:%2:flags=bicubic,format=yuv420p").arg(size.width()).arg(size.height()),
        // The sender's x264 settings.
        "-c:v", "libx264", "-preset", "veryfast", "-tune", "zerolatency", "-profile:v", "baseline", "-crf",
        "23", "-x264-params",
        QStringLiteral("sliced-threads=0:repeat-headers=1:keyint=%1:min-keyint=%1:qpmin=16:qpmax=32:qpstep=4:"
                       "ratetol=0.1:vbv-maxrate=6000:vbv-bufsize=4000:cqm=flat")
            .arg(kFrameRate),
        "-payload_type", QString::number(kPayloadType), "-start_time_realtime",
        QString::number(kStartTimeRealtimeUs), "-f", "rtp",
        QStringLiteral("rtp://127.0.0.1:%1?rtcpport=%2&pkt_size=1472").arg(port).arg(port + 1)};
}

Figures runFfmpeg(Setup &s, QSize screen, QSize size)
{
    Figures f;
    const int port = s.nextPort;
    s.nextPort += 8;
    Sink sink;
    if (!sink.start(s.program, port, s.tmp + QStringLiteral("/sink-%1.log").arg(port))) {
        f.note = "sink did not start";
        return f;
    }
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start("ffmpeg", ffmpegArgs(screen, size, port));
    if (!ffmpeg.waitForStarted(5000)) {
        sink.stop();
        f.note = "ffmpeg did not start";
        return f;
    }
    const pid_t pid = pid_t(ffmpeg.processId());
    Window w;
    if (!sink.waitSteady(kWarmUpMs, kMaxWarmUpMs))
        addNote(f, QStringLiteral("frame rate not steady after warm-up"));
    w.mono0 = steadyNs();
    w.sender0 = processCpuNs(pid);
    w.xvfb0 = processCpuNs(s.xvfb);
    sleepMs(s.windowMs);
    w.mono1 = steadyNs();
    w.sender1 = processCpuNs(pid);
    w.xvfb1 = processCpuNs(s.xvfb);
    const bool stillRunning = ffmpeg.state() == QProcess::Running;
    ffmpeg.terminate();
    if (!ffmpeg.waitForFinished(5000))
        ffmpeg.kill();
    ffmpeg.waitForFinished(1000);
    const SinkLog log = sink.stop();
    if (!stillRunning || w.sender0 < 0 || w.sender1 < 0) {
        f.note = "ffmpeg ended early";
        return f;
    }
    std::vector<double> latency;
    for (const Marker &m : log.markers) {
        if (m.mono < w.mono0 || m.mono > w.mono1)
            continue;
        ++f.frames;
        if (!log.firstReport)
            continue;
        // With copyts and passthrough, a frame's time is x11grab's wall-clock time taken right
        // after its frame wait, just before the grab, in microseconds, and its RTP timestamp is
        // that time on the 90 kHz clock plus the stream's random base. With start_time_realtime
        // pinned to 1 ms after the epoch, a sender report gives the base: its RTP timestamp is the
        // base plus its own NTP time (less that 1 ms) on the 90 kHz clock. The arrival's wall-clock
        // time is compared with the grab's modulo 2^32 ticks (13 hours).
        const Report &report = *log.firstReport;
        const uint32_t base =
            report.rtp - uint32_t((uint64_t(report.ntpUnixUs - kStartTimeRealtimeUs) * 9 + 50) / 100);
        const uint32_t grab = m.rtp - base;
        const uint32_t arrival = uint32_t((uint64_t(m.real / 1000) * 9 + 50) / 100);
        latency.push_back(double(int32_t(arrival - grab)) / 90.0);
    }
    if (!log.firstReport)
        addNote(f, QStringLiteral("no sender report: latency unknown"));
    f.p50 = percentile(latency, 0.5);
    f.p95 = percentile(latency, 0.95);
    fillCpu(f, w, s.xvfbIdleNsPerSec);
    f.ok = f.frames > 0;
    return f;
}

// ---- report ----------------------------------------------------------------------------------

/// The median of each figure over the rounds that worked (the upper one of an even count).
Figures median(const std::vector<Figures> &rounds)
{
    std::vector<Figures> ok;
    for (const Figures &f : rounds)
        if (f.ok)
            ok.push_back(f);
    if (ok.empty())
        return rounds.empty() ? Figures() : rounds.front();
    const auto mid = [&ok](auto field) {
        std::vector<double> v;
        for (const Figures &f : ok)
            v.push_back(double(field(f)));
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    Figures r;
    r.ok = true;
    r.frames = int(mid([](const Figures &f) { return f.frames; }));
    r.seconds = mid([](const Figures &f) { return f.seconds; });
    // Sender and Xvfb from the same round: the round whose total is the median.
    std::vector<Figures> byTotal = ok;
    std::sort(byTotal.begin(), byTotal.end(),
              [](const Figures &a, const Figures &b) { return a.totalMs() < b.totalMs(); });
    const Figures &m = byTotal[byTotal.size() / 2];
    r.senderMs = m.senderMs;
    r.xvfbMs = m.xvfbMs;
    r.xvfbNetMs = m.xvfbNetMs;
    r.p50 = mid([](const Figures &f) { return f.p50; });
    r.p95 = mid([](const Figures &f) { return f.p95; });
    r.inP50 = mid([](const Figures &f) { return f.inP50; });
    r.inP95 = mid([](const Figures &f) { return f.inP95; });
    return r;
}

/// What x264 alone costs in our pipeline: the capture hands its pictures to the encoder (the
/// sender's settings, no RTP) and the encode calls are timed on the capture thread's CPU clock.
struct EncoderShare
{
    double captureThreadMs = -1; ///< the capture thread's CPU per frame (grab, convert, encode)
    double encodeMs = -1;        ///< of which in H264Encoder::encode
    double unchangedShare = -1;  ///< macroblocks x264 was told were unchanged, of all
};

EncoderShare measureEncoderShare(Setup &s, QSize size)
{
    EncoderShare share;
    H264Encoder &encoder = H264Encoder::instance();
    if (!encoder.init(size.width(), size.height(), 4000000, kFrameRate, 0))
        return share;
    std::vector<uint8_t> out(H264Encoder::kOutputBufferSize);
    std::atomic<bool> counting{false};
    int64_t encodeNs = 0, firstThreadNs = -1, lastThreadNs = -1;
    int frames = 0;
    uint64_t unchanged0 = 0;
    ScreenCapture capture(s.tmp + QStringLiteral("/QnConfig.ini"), nullptr);
    capture.setFrameCallback([&](const QByteArray &i420, int w, int h) {
        const int64_t t0 = clockNs(CLOCK_THREAD_CPUTIME_ID);
        encoder.encode(i420, w, h, out.data(), int(out.size()));
        const int64_t t1 = clockNs(CLOCK_THREAD_CPUTIME_ID);
        if (!counting.load())
            return;
        if (firstThreadNs < 0) {
            firstThreadNs = t1; // the window opens after this frame
            unchanged0 = encoder.unchangedMacroblocks();
            return;
        }
        encodeNs += t1 - t0;
        lastThreadNs = t1;
        ++frames;
    });
    capture.start(0, kFrameRate, size.width(), size.height());
    sleepMs(kWarmUpMs);
    counting = true;
    sleepMs(qMin(s.windowMs, 5000));
    capture.stop();
    const uint64_t unchanged = encoder.unchangedMacroblocks() - unchanged0;
    encoder.close();
    if (frames > 0) {
        share.captureThreadMs = double(lastThreadNs - firstThreadNs) / 1e6 / frames;
        share.encodeMs = double(encodeNs) / 1e6 / frames;
        const double blocks = double((size.width() + 15) / 16) * double((size.height() + 15) / 16);
        share.unchangedShare = double(unchanged) / (blocks * frames);
    }
    return share;
}

QString num(double v, int precision = 2)
{
    return v < 0 ? QStringLiteral("n/a") : QString::number(v, 'f', precision);
}

QString ratio(double a, double b)
{
    return a < 0 || b <= 0 ? QStringLiteral("n/a") : QString::number(a / b, 'f', 2);
}

QString roundLine(const char *who, const Figures &f)
{
    if (!f.ok)
        return QStringLiteral("  %1 failed: %2").arg(who, f.note);
    return QStringLiteral(
               "  %1 %2 frames in %3 s, sender %4 + Xvfb %5 (net %6) ms/frame, latency p50 %7 p95 %8 ms%9")
        .arg(who)
        .arg(f.frames)
        .arg(num(f.seconds, 1), num(f.senderMs), num(f.xvfbMs), num(f.xvfbNetMs), num(f.p50), num(f.p95))
        .arg(f.note.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(f.note));
}

pid_t xvfbPid()
{
    // ":N" or ":N.S": the server's lock file holds its process id.
    QByteArray display = qgetenv("DISPLAY");
    const int colon = display.indexOf(':');
    if (colon < 0)
        return 0;
    display = display.mid(colon + 1);
    const int dot = display.indexOf('.');
    if (dot >= 0)
        display.truncate(dot);
    QFile lock(QStringLiteral("/tmp/.X%1-lock").arg(QString::fromLatin1(display)));
    if (!lock.open(QIODevice::ReadOnly))
        return 0;
    return pid_t(lock.readAll().trimmed().toLong());
}

int benchMain(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    Setup s;
    s.program = QCoreApplication::applicationFilePath();
    s.windowMs = 1000 * (argc > 1 ? qMax(2, atoi(argv[1])) : 10);
    const int rounds = argc > 2 ? qMax(1, atoi(argv[2])) : 3;
    // Optional: only these scenes ("moving", "still", comma-separated).
    const QStringList scenes = argc > 3 ? QString::fromLocal8Bit(argv[3]).split(',', Qt::SkipEmptyParts)
                                        : QStringList{"moving", "still"};
    QTemporaryDir tmp;
    s.tmp = tmp.path();
    s.xvfb = xvfbPid();
    if (s.xvfb <= 0 || processCpuNs(s.xvfb) < 0) {
        out << "no Xvfb found for DISPLAY=" << qgetenv("DISPLAY") << Qt::endl;
        return 1;
    }
    const QSize screen(1920, 1080); // the test display; both sides grab all of it

    struct Row
    {
        QString scene;
        QSize size;
        Figures ours, ffmpeg;
        EncoderShare share;
    };
    std::vector<Row> rows;
    for (const char *scene : {"moving", "still"}) {
        if (!scenes.contains(QLatin1String(scene)))
            continue;
        QProcess painter;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        painter.setProcessEnvironment(env);
        painter.setProcessChannelMode(QProcess::ForwardedChannels);
        painter.start(s.program, {"--paint", QString::fromLatin1(scene)});
        if (!painter.waitForStarted(5000)) {
            out << "the painter did not start" << Qt::endl;
            return 1;
        }
        sleepMs(2000);
        const int64_t idle0 = processCpuNs(s.xvfb), t0 = steadyNs();
        sleepMs(3000);
        s.xvfbIdleNsPerSec = double(processCpuNs(s.xvfb) - idle0) / (double(steadyNs() - t0) / 1e9);
        out << "display " << qgetenv("DISPLAY") << " 1920x1080, scene " << scene << ", " << kFrameRate
            << " fps; Xvfb serving the painter alone: " << num(s.xvfbIdleNsPerSec / 1e6, 1)
            << " ms CPU per second" << Qt::endl;
        out << "each side: " << kWarmUpMs / 1000 << " s warm-up, then a " << s.windowMs / 1000
            << " s window; median of " << rounds << " alternating rounds" << Qt::endl;
        for (const QSize size : {QSize(1280, 720), QSize(1920, 1080)}) {
            out << scene << " " << size.width() << "x" << size.height() << "@" << kFrameRate << ":"
                << Qt::endl;
            Row row{QString::fromLatin1(scene), size, {}, {}, {}};
            std::vector<Figures> ours, theirs;
            for (int r = 0; r < rounds; ++r) {
                const Figures o = runOurs(s, size);
                out << roundLine("ours  ", o) << Qt::endl;
                const Figures f = runFfmpeg(s, screen, size);
                out << roundLine("ffmpeg", f) << Qt::endl;
                out << "  round " << r + 1 << " sender+Xvfb ours/ffmpeg " << ratio(o.totalMs(), f.totalMs())
                    << Qt::endl;
                ours.push_back(o);
                theirs.push_back(f);
            }
            row.ours = median(ours);
            row.ffmpeg = median(theirs);
            row.share = measureEncoderShare(s, size);
            rows.push_back(row);
        }
        painter.terminate();
        if (!painter.waitForFinished(3000))
            painter.kill();
    }

    out << Qt::endl
        << "median of rounds (CPU in ms per delivered frame; latency grab -> last RTP packet at the sink)"
        << Qt::endl;
    for (const Row &row : rows) {
        const Figures &o = row.ours, &f = row.ffmpeg;
        out << row.scene << " " << row.size.width() << "x" << row.size.height() << "@" << kFrameRate
            << "       ours    ffmpeg  ours/ffmpeg" << Qt::endl;
        const auto line = [&](const char *label, double a, double b) {
            out << QStringLiteral("  %1 %2 %3 %4")
                       .arg(QLatin1String(label), -24)
                       .arg(num(a), 8)
                       .arg(num(b), 8)
                       .arg(ratio(a, b), 8)
                << Qt::endl;
        };
        line("frames/s delivered", o.seconds > 0 ? o.frames / o.seconds : -1,
             f.seconds > 0 ? f.frames / f.seconds : -1);
        line("sender CPU ms/frame", o.senderMs, f.senderMs);
        line("Xvfb CPU ms/frame", o.xvfbMs, f.xvfbMs);
        line("sender+Xvfb ms/frame", o.totalMs(), f.totalMs());
        line("  Xvfb net of painting", o.totalNetMs(), f.totalNetMs());
        line("latency p50 ms", o.p50, f.p50);
        line("latency p95 ms", o.p95, f.p95);
        out << "  ours in process (grab -> last packet handed to the socket): p50 " << num(o.inP50) << " p95 "
            << num(o.inP95) << " ms" << Qt::endl;
        out << "  x264 in ours (capture thread " << num(row.share.captureThreadMs)
            << " ms/frame, of which encode " << num(row.share.encodeMs) << "): encode alone is "
            << ratio(row.share.encodeMs, f.totalMs())
            << " of ffmpeg's sender+Xvfb; macroblocks marked unchanged "
            << num(row.share.unchangedShare * 100, 0) << " %" << Qt::endl;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--paint") == 0)
        return paintMain(argc, argv);
    if (argc > 3 && qstrcmp(argv[1], "--sink") == 0)
        return sinkMain(atoi(argv[2]), argv[3]);
    return benchMain(argc, argv);
}
