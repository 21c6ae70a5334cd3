// Encode time per frame: H264Encoder against ffmpeg/libx264 with the same settings, same input.
#include "QnScreenShare/h264/H264Encoder.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace {

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

bool run(const QStringList &args, QString *errors)
{
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", args);
    if (!ffmpeg.waitForFinished(600000) || ffmpeg.exitCode() != 0) {
        std::fprintf(stderr, "ffmpeg failed: %s\n", ffmpeg.readAllStandardError().constData());
        return false;
    }
    if (errors)
        *errors = QString::fromUtf8(ffmpeg.readAllStandardError());
    return true;
}

struct Result
{
    double msPerFrame = 0;
    qint64 bytes = 0;
};

bool benchOurs(const QString &raw, int w, int h, int frames, Result &result)
{
    QFile in(raw);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const qint64 frameBytes = qint64(w) * h * 3 / 2;
    H264Encoder &encoder = H264Encoder::instance();
    encoder.init(w, h, 10000000, 30, 60);
    QByteArray out(H264Encoder::kOutputBufferSize, '\0');
    double spent = 0;
    for (int f = 0; f < frames; ++f) {
        const QByteArray picture = in.read(frameBytes);
        if (picture.size() != frameBytes)
            return false;
        const double start = threadCpuMs();
        const int n = encoder.encode(reinterpret_cast<const uint8_t *>(picture.constData()), w, h,
                                     reinterpret_cast<uint8_t *>(out.data()));
        spent += threadCpuMs() - start;
        if (n > 0)
            result.bytes += n;
    }
    encoder.close();
    result.msPerFrame = spent / frames;
    return true;
}

// CPU milliseconds of one ffmpeg run as -benchmark reports them, or -1.
double ffmpegCpuMs(const QStringList &args)
{
    QString log;
    if (!run(QStringList{"-nostdin", "-hide_banner", "-benchmark"} + args, &log))
        return -1;
    const QRegularExpression bench("bench: utime=([0-9.]+)s stime=([0-9.]+)s");
    const QRegularExpressionMatch m = bench.match(log);
    return m.hasMatch() ? (m.captured(1).toDouble() + m.captured(2).toDouble()) * 1000.0 : -1;
}

// ffmpeg's encode cost: a libx264 run less a run that only reads and discards the same frames.
bool benchFfmpeg(const QString &raw, const QString &output, int w, int h, int frames, Result &result,
                 double &overheadMs)
{
    const QStringList input = {
        "-f", "rawvideo", "-pix_fmt", "yuv420p", "-s",        QString("%1x%2").arg(w).arg(h),
        "-r", "30",       "-i",       raw,       "-frames:v", QString::number(frames)};
    const double encode = ffmpegCpuMs(
        input + QStringList{"-c:v", "libx264", "-preset", "veryfast", "-tune", "zerolatency", "-profile:v",
                            "baseline", "-threads", "1", "-crf", "23", "-x264-params",
                            "sliced-threads=0:repeat-headers=1:keyint=30:min-keyint=30:qpmin=16:qpmax=32:"
                            "qpstep=4:ratetol=0.1:vbv-maxrate=6000:vbv-bufsize=4000:cqm=flat",
                            "-y", "-f", "h264", output});
    const double readOnly = ffmpegCpuMs(input + QStringList{"-c:v", "rawvideo", "-f", "null", "-"});
    if (encode < 0 || readOnly < 0)
        return false;
    overheadMs = readOnly / frames;
    result.msPerFrame = (encode - readOnly) / frames;
    result.bytes = QFile(output).size();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const int frames = argc > 1 ? std::max(30, std::atoi(argv[1])) : 300;
    QTemporaryDir dir;
    std::printf("%-6s %8s %14s %14s %8s %12s %12s\n", "size", "frames", "ours ms/frame", "ffmpeg ms/frm",
                "ratio", "ours bytes", "ffmpeg bytes");
    const struct
    {
        const char *name;
        int w, h;
    } sizes[] = {{"720p", 1280, 720}, {"1080p", 1920, 1080}};
    for (const auto &size : sizes) {
        const QString raw = dir.filePath(QString("%1.yuv").arg(size.name));
        if (!run({"-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                  QString("testsrc2=size=%1x%2:rate=30").arg(size.w).arg(size.h), "-frames:v",
                  QString::number(frames), "-pix_fmt", "yuv420p", "-f", "rawvideo", "-y", raw},
                 nullptr))
            return 1;
        Result ours, theirs;
        double overhead = 0;
        if (!benchFfmpeg(raw, dir.filePath("out.h264"), size.w, size.h, frames, theirs, overhead) ||
            !benchOurs(raw, size.w, size.h, frames, ours)) {
            std::fprintf(stderr, "%s: benchmark failed\n", size.name);
            return 1;
        }
        std::printf("%-6s %7d %14.2f %14.2f %7.2f %16.2f %12lld %12lld\n", size.name, frames, ours.msPerFrame,
                    theirs.msPerFrame, ours.msPerFrame / theirs.msPerFrame, overhead, (long long)ours.bytes,
                    (long long)theirs.bytes);
        QFile::remove(raw);
    }
    return 0;
}
