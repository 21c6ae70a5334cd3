// Grab + pointer + conversion cost per frame of our capture path against "ffmpeg -f x11grab" doing the
// same work (grab with the pointer drawn, bicubic swscale to yuv420p) in the same run, on $DISPLAY.
//
// Usage: bench_capture [frames]   (run through scripts/bench, which provides the Xvfb display)

#include "QnScreenShare/screencapture/CursorDraw.h"
#include "QnScreenShare/screencapture/I420Converter.h"

#include "platform/x11/QnScreenGrabber.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>
#include <chrono>
#include <ctime>

namespace {

struct Cost
{
    double wallMs = 0; ///< wall time per frame
    double cpuMs = 0;  ///< CPU time per frame of the capturing process (the X server not counted)
    bool ok = false;
};

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

Cost ours(QnX11::GrabBackend backend, QSize out, int frames)
{
    Cost c;
    QnX11::GrabOptions options;
    auto grabber = QnX11::openScreenGrabber(backend, options);
    if (!grabber)
        return c;
    I420Converter converter(out.width(), out.height());
    QnX11::CursorImage cursor;
    QByteArray frame;
    auto once = [&] {
        QnX11::GrabbedFrame f;
        if (grabber->grab(f) != QnX11::GrabStatus::Ok)
            return false;
        if (grabber->cursor(cursor) && cursor.valid)
            QnCursor::draw(f.data, f.width, f.height, f.stride, QnCursor::colorShape(cursor), cursor.x,
                           cursor.y);
        return converter.convert(f.data, f.width, f.height, f.stride, frame);
    };
    for (int i = 0; i < 10; ++i) // warm-up: scaler set-up, first faults
        once();
    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        if (!once())
            return c;
    }
    const auto t1 = std::chrono::steady_clock::now();
    c.wallMs = std::chrono::duration<double, std::milli>(t1 - t0).count() / frames;
    c.cpuMs = (cpuSeconds() - cpu0) * 1000 / frames;
    c.ok = true;
    return c;
}

Cost ffmpeg(QSize screen, QSize out, int frames)
{
    Cost c;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    const QString display = QString::fromLocal8Bit(qgetenv("DISPLAY"));
    // Twice: the difference removes start-up and the warm-up frames from the figure.
    double rtime[2] = {}, cpu[2] = {};
    const int counts[2] = {10, frames + 10};
    for (int run = 0; run < 2; ++run) {
        p.start("ffmpeg",
                {"-nostdin",
                 "-hide_banner",
                 "-benchmark",
                 "-threads",
                 "1",
                 "-filter_threads",
                 "1",
                 "-f",
                 "x11grab",
                 "-framerate",
                 "1000",
                 "-draw_mouse",
                 "1",
                 "-video_size",
                 QString("%1x%2").arg(screen.width()).arg(screen.height()),
                 "-i",
                 display,
                 "-frames:v",
                 QString::number(counts[run]),
                 "-vf",
                 QString("scale=%1:%2:flags=bicubic,format=yuv420p").arg(out.width()).arg(out.height()),
                 "-f",
                 "null",
                 "-"});
        if (!p.waitForFinished(120000) || p.exitCode() != 0)
            return c;
        const QString text = QString::fromLocal8Bit(p.readAll());
        const auto m =
            QRegularExpression("bench: utime=([0-9.]+)s stime=([0-9.]+)s rtime=([0-9.]+)s").match(text);
        if (!m.hasMatch())
            return c;
        cpu[run] = m.captured(1).toDouble() + m.captured(2).toDouble();
        rtime[run] = m.captured(3).toDouble();
    }
    c.wallMs = (rtime[1] - rtime[0]) * 1000 / frames;
    c.cpuMs = (cpu[1] - cpu[0]) * 1000 / frames;
    c.ok = true;
    return c;
}

Cost best(const Cost &a, const Cost &b)
{
    if (!a.ok)
        return b;
    if (!b.ok)
        return a;
    return Cost{std::min(a.wallMs, b.wallMs), std::min(a.cpuMs, b.cpuMs), true};
}

QString fmt(const Cost &c)
{
    return c.ok ? QString("%1 ms wall, %2 ms cpu").arg(c.wallMs, 6, 'f', 2).arg(c.cpuMs, 6, 'f', 2)
                : QString("failed");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int frames = argc > 1 ? qMax(10, atoi(argv[1])) : 300;
    QTextStream out(stdout);
    QString error;
    auto probe = QnX11::openScreenGrabber(QnX11::GrabBackend::GetImage, {}, &error);
    if (!probe) {
        out << "no display: " << error << Qt::endl;
        return 1;
    }
    const QSize screen = probe->region().size();
    probe.reset();
    out << "screen " << screen.width() << "x" << screen.height() << ", " << frames
        << " frames per figure, grab + pointer + bicubic scale to I420, one thread" << Qt::endl;
    for (const QSize size : {QSize(1920, 1080), QSize(1280, 720)}) {
        // Three alternating rounds; the best of each is kept, which damps the noise of a shared
        // machine without favouring either side.
        Cost shm, plain, ff;
        for (int round = 0; round < 3; ++round) {
            shm = best(shm, ours(QnX11::GrabBackend::Shm, size, frames));
            plain = best(plain, ours(QnX11::GrabBackend::GetImage, size, frames));
            ff = best(ff, ffmpeg(screen, size, frames));
        }
        out << "to " << size.width() << "x" << size.height() << ":" << Qt::endl;
        out << "  ours MIT-SHM:   " << fmt(shm) << Qt::endl;
        out << "  ours GetImage:  " << fmt(plain) << Qt::endl;
        out << "  ffmpeg x11grab: " << fmt(ff) << Qt::endl;
        if (shm.ok && ff.ok)
            out << "  MIT-SHM / ffmpeg: wall " << QString::number(shm.wallMs / ff.wallMs, 'f', 2) << ", cpu "
                << QString::number(shm.cpuMs / ff.cpuMs, 'f', 2) << Qt::endl;
    }
    return 0;
}
