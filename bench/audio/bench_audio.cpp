// Capture + Opus encode of the system sound: our chain (PulseAudio loopback -> frame assembly ->
// task timer -> 480-frame blocks -> Opus -> UDP) against ffmpeg (-f pulse -> libopus -> RTP) on
// the same sink in the same run, and the capture-to-encode latency of our chain.
//
// Run inside the test namespace (PulseAudio with the default null sink "cast_sink"):
//   unshare -n bash -c 'source scripts/lib/test-env.sh; build/<dir>/bin/bench_audio [seconds]'
#include "QnScreenShare/audio/QnAudioCaptrue.h"
#include "QnScreenShare/h264/OpusCodec.h"

#include "platform/pulse/LoopbackSource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int peak(const int16_t *s, size_t n)
{
    int m = 0;
    for (size_t i = 0; i < n; ++i)
        m = std::max(m, std::abs(int(s[i])));
    return m;
}

// Finds the start of each tone burst (loud after at least 200 ms of silence).
struct OnsetDetector
{
    double quietMs = 1e9;
    bool onset(const int16_t *s, size_t samples, double ms)
    {
        const int p = peak(s, samples);
        if (p < 300) {
            quietMs += ms;
            return false;
        }
        const bool isOnset = p > 3000 && quietMs >= 200;
        quietMs = 0;
        return isOnset;
    }
};

// Passes the platform loopback through, stamping the arrival of each burst at the sound server.
class StampingSource : public qn::platform::LoopbackSource
{
public:
    explicit StampingSource(std::unique_ptr<LoopbackSource> inner) : m_inner(std::move(inner)) {}
    void setPacketCallback(PacketCallback cb) override
    {
        m_inner->setPacketCallback([this, cb](const int16_t *d, size_t frames, Format f) {
            if (m_detector.onset(d, frames * size_t(f.channels), 1000.0 * double(frames) / f.rate)) {
                std::lock_guard<std::mutex> g(lock);
                arrivals.push_back(Clock::now());
            }
            cb(d, frames, f);
        });
    }
    void setEventCallback(EventCallback cb) override { m_inner->setEventCallback(std::move(cb)); }
    int start(std::chrono::milliseconds t) override { return m_inner->start(t); }
    void stop() override { m_inner->stop(); }
    Format format() const override { return m_inner->format(); }

    std::mutex lock;
    std::vector<Clock::time_point> arrivals;

private:
    std::unique_ptr<LoopbackSource> m_inner;
    OnsetDetector m_detector;
};

QProcess *startPlayer(int seconds)
{
    // 50 ms bursts of 1 kHz every 500 ms, played in real time into the default sink.
    auto *p = new QProcess;
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start("ffmpeg", {"-nostdin", "-hide_banner", "-loglevel", "error", "-re", "-f", "lavfi", "-t",
                        QString::number(seconds), "-i",
                        "aevalsrc=if(lt(mod(t\\,0.5)\\,0.05)\\,0.3*sin(2*PI*1000*t)\\,0):s=48000:c=stereo",
                        "-f", "pulse", "-device", "cast_sink", "bench-player"});
    p->waitForStarted(5000);
    return p;
}

// CPU seconds per thread name of this process (from /proc), to see where our share goes.
void printThreads()
{
    const long hz = sysconf(_SC_CLK_TCK);
    for (const QString &t : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f("/proc/self/task/" + t + "/stat");
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray st = f.readAll();
        const int close = st.lastIndexOf(')');
        const QByteArray name = st.mid(st.indexOf('(') + 1, close - st.indexOf('(') - 1);
        const QList<QByteArray> fields = st.mid(close + 2).split(' ');
        if (fields.size() > 12)
            std::printf("    thread %-16s %.3f s\n", name.constData(),
                        double(fields[11].toLong() + fields[12].toLong()) / double(hz));
    }
}

double percentile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(3, atoi(argv[1])) : 10;
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        std::fprintf(stderr, "run inside the test environment (PULSE_SERVER unset)\n");
        return 2;
    }

    // --- our chain -----------------------------------------------------------------------------
    const int sock = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(41206);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    auto stampingOwned = std::make_unique<StampingSource>(qn::platform::createLoopbackSource());
    StampingSource *stamping = stampingOwned.get();
    auto loopback = std::make_unique<webrtc::RtcSoundCardCapture>(std::move(stampingOwned));
    TaskTimer &timer = TaskTimer::instance();
    QnAudioCaptrue front(std::make_unique<AudioCapture>(std::move(loopback), timer), timer);
    OpusCodec opus;
    if (!opus.createEncoder())
        return 1;
    std::mutex lock;
    std::vector<Clock::time_point> encodedOnsets;
    std::atomic<long> blocks{0}, bytesOut{0};
    double encodeSeconds = 0;
    OnsetDetector blockDetector;
    uint8_t packet[OpusCodec::kMaxPacketBytes];

    QProcess *player = startPlayer(seconds + 2);
    QThread::msleep(300);
    const double cpu0 = cpuSeconds(RUSAGE_SELF);
    const auto t0 = Clock::now();
    if (!front.start(false, 0)) {
        std::fprintf(stderr, "capture does not start\n");
        return 1;
    }
    front.setPcmCallback([&](const uint8_t *pcm, unsigned frames, int channels, int) {
        const auto *s = reinterpret_cast<const int16_t *>(pcm);
        const bool onset = blockDetector.onset(s, frames * unsigned(channels), 10.0);
        const auto e0 = Clock::now();
        const int n = opus.encode(s, packet);
        const auto e1 = Clock::now();
        encodeSeconds += std::chrono::duration<double>(e1 - e0).count();
        if (n > 0) {
            sendto(sock, packet, size_t(n), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
            bytesOut += n;
        }
        ++blocks;
        if (onset) {
            std::lock_guard<std::mutex> g(lock);
            encodedOnsets.push_back(e1);
        }
    });
    QThread::sleep(unsigned(seconds));
    printThreads();
    front.stop();
    const double ourWall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double ourCpu = cpuSeconds(RUSAGE_SELF) - cpu0;
    player->kill();
    player->waitForFinished(5000);
    delete player;

    // --- ffmpeg on the same sink ---------------------------------------------------------------
    player = startPlayer(seconds + 4);
    QThread::msleep(300);
    const double child0 = cpuSeconds(RUSAGE_CHILDREN);
    QProcess ff;
    ff.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto f0 = Clock::now();
    ff.start("ffmpeg", {"-nostdin",
                        "-hide_banner",
                        "-loglevel",
                        "error",
                        "-f",
                        "pulse",
                        "-fragment_size",
                        "1920",
                        "-i",
                        "cast_sink.monitor",
                        "-t",
                        QString::number(seconds),
                        "-c:a",
                        "libopus",
                        "-b:a",
                        "64k",
                        "-frame_duration",
                        "10",
                        "-application",
                        "audio",
                        "-ac",
                        "2",
                        "-ar",
                        "48000",
                        "-f",
                        "rtp",
                        "rtp://127.0.0.1:41208"});
    ff.waitForFinished((seconds + 30) * 1000);
    const double ffWall = std::chrono::duration<double>(Clock::now() - f0).count();
    const double ffCpu = cpuSeconds(RUSAGE_CHILDREN) - child0;
    player->kill();
    player->waitForFinished(5000);
    delete player;
    close(sock);

    // --- latency: each encoded burst against its arrival from the sound server -----------------
    std::vector<double> latencies;
    {
        std::lock_guard<std::mutex> g1(lock), g2(stamping->lock);
        for (const auto &e : encodedOnsets) {
            auto it = std::upper_bound(stamping->arrivals.begin(), stamping->arrivals.end(), e);
            if (it == stamping->arrivals.begin())
                continue;
            const double ms = std::chrono::duration<double, std::milli>(e - *(it - 1)).count();
            if (ms < 450)
                latencies.push_back(ms);
        }
    }

    std::printf(
        "audio capture + Opus encode, %d s of a 1 kHz burst signal, 48000 Hz stereo, 64 kbit/s, 10 ms "
        "frames\n",
        seconds);
    std::printf("  ours  : %5.2f%% of one core (%.3f s CPU in %.2f s), %ld blocks, %.1f kbit/s, encode %.1f "
                "us/block\n",
                100 * ourCpu / ourWall, ourCpu, ourWall, blocks.load(),
                8.0 * double(bytesOut) / ourWall / 1000, blocks ? 1e6 * encodeSeconds / double(blocks) : 0.0);
    std::printf("  ffmpeg: %5.2f%% of one core (%.3f s CPU in %.2f s), exit %d\n", 100 * ffCpu / ffWall,
                ffCpu, ffWall, ff.exitCode());
    std::printf("  ratio ours/ffmpeg CPU share: %.2f\n",
                ffCpu > 0 ? (ourCpu / ourWall) / (ffCpu / ffWall) : 0.0);
    std::printf(
        "  capture-to-encode latency (server delivery -> encoded packet), %zu bursts: median %.1f ms, "
        "p90 %.1f ms, min %.1f ms, max %.1f ms\n",
        latencies.size(), percentile(latencies, 0.5), percentile(latencies, 0.9), percentile(latencies, 0),
        percentile(latencies, 1));
    return 0;
}
