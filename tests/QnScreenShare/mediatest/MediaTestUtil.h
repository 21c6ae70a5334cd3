#pragma once

// Helpers shared by the media tests: free port blocks and ffmpeg as a real RTP peer.

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QUdpSocket>

#include <cmath>
#include <random>
#include <vector>

namespace MediaTestUtil {

/// A base port B such that B..B+count-1 are free UDP ports on 127.0.0.1 right now.
inline int freePortBlock(int count = 4)
{
    std::mt19937 rng(std::random_device{}());
    std::uniform_int_distribution<int> pick(20000, 60000);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int base = pick(rng) & ~3;
        std::vector<std::unique_ptr<QUdpSocket>> held;
        bool ok = true;
        for (int i = 0; i < count && ok; ++i) {
            auto socket = std::make_unique<QUdpSocket>();
            ok = socket->bind(QHostAddress::LocalHost, quint16(base + i));
            held.push_back(std::move(socket));
        }
        if (ok)
            return base;
    }
    return -1;
}

inline bool haveFfmpeg()
{
    return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
}

/// ffmpeg arguments that send `seconds` of H.264 (payload type 127) to ports base/base+1 and
/// Opus (payload type 120) to base+2/base+3 on 127.0.0.1. Video: width x height at 30 fps whose
/// luma grows by 3 per frame; sound: a 1 kHz tone. opusFrameMs selects the Opus packet length.
inline QStringList ffmpegSender(int base, int width, int height, double seconds, int opusFrameMs = 20)
{
    const QString t = QString::number(seconds);
    return {
        QStringLiteral("-nostdin"),
        QStringLiteral("-loglevel"),
        QStringLiteral("error"),
        QStringLiteral("-re"),
        QStringLiteral("-t"),
        t,
        QStringLiteral("-f"),
        QStringLiteral("lavfi"),
        QStringLiteral("-i"),
        QStringLiteral("nullsrc=s=%1x%2:r=30,geq=lum='min(N*3\\,250)':cb=128:cr=128").arg(width).arg(height),
        QStringLiteral("-re"),
        QStringLiteral("-t"),
        t,
        QStringLiteral("-f"),
        QStringLiteral("lavfi"),
        QStringLiteral("-i"),
        QStringLiteral("sine=frequency=1000:sample_rate=48000"),
        QStringLiteral("-map"),
        QStringLiteral("0:v"),
        QStringLiteral("-c:v"),
        QStringLiteral("libx264"),
        QStringLiteral("-preset"),
        QStringLiteral("ultrafast"),
        QStringLiteral("-tune"),
        QStringLiteral("zerolatency"),
        QStringLiteral("-profile:v"),
        QStringLiteral("baseline"),
        QStringLiteral("-pix_fmt"),
        QStringLiteral("yuv420p"),
        QStringLiteral("-g"),
        QStringLiteral("30"),
        QStringLiteral("-payload_type"),
        QStringLiteral("127"),
        QStringLiteral("-f"),
        QStringLiteral("rtp"),
        QStringLiteral("rtp://127.0.0.1:%1?rtcpport=%2").arg(base).arg(base + 1),
        QStringLiteral("-map"),
        QStringLiteral("1:a"),
        QStringLiteral("-c:a"),
        QStringLiteral("libopus"),
        QStringLiteral("-ac"),
        QStringLiteral("2"),
        QStringLiteral("-b:a"),
        QStringLiteral("64k"),
        QStringLiteral("-frame_duration"),
        QString::number(opusFrameMs),
        QStringLiteral("-payload_type"),
        QStringLiteral("120"),
        QStringLiteral("-f"),
        QStringLiteral("rtp"),
        QStringLiteral("rtp://127.0.0.1:%1?rtcpport=%2").arg(base + 2).arg(base + 3)};
}

/// Dominant frequency of interleaved stereo 16-bit PCM at 48 kHz (left channel), by zero crossings.
inline double toneFrequency(const std::vector<int16_t> &interleaved)
{
    int crossings = 0;
    const size_t frames = interleaved.size() / 2;
    for (size_t i = 1; i < frames; ++i) {
        const int a = interleaved[(i - 1) * 2];
        const int b = interleaved[i * 2];
        if ((a < 0 && b >= 0) || (a >= 0 && b < 0))
            ++crossings;
    }
    return frames ? crossings / 2.0 / (double(frames) / 48000.0) : 0.0;
}

} // namespace MediaTestUtil
