// Cost per 1080p picture: the video view (OpenGL upload+draw, and its software path) against a
// plain swscale-to-QImage paint of the same picture, measured in the same run.

#include "client/ui/desktop/QnYuvSurfaces.h"
#include "client/ui/desktop/QnYuvView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>

#include <cstdio>

extern "C" {
#include <libswscale/swscale.h>
}

namespace {
constexpr int kW = 1920, kH = 1080;

QByteArray picture(int round)
{
    QByteArray p(kW * kH, char(100));
    for (int y = 0; y < kH; ++y)
        memset(p.data() + y * kW + (round * 37) % (kW - 64), 235, 64);
    p.append(QByteArray(2 * (kW / 2) * (kH / 2), char(128)));
    return p;
}

double viewCost(QnYuvView::Backend backend, int n, bool *gl)
{
    QnYuvView view(nullptr, backend);
    view.resize(1280, 720);
    view.show();
    for (int i = 0; i < 50 && !view.isVisible(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    *gl = view.isOpenGL();
    view.present(picture(0), kW, kH);
    view.drawNow(); // first upload allocates the textures
    QVector<QByteArray> pics;
    for (int i = 0; i < 8; ++i)
        pics.append(picture(i + 1));
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i) {
        view.present(pics.at(i % pics.size()), kW, kH);
        view.drawNow();
    }
    return double(t.nsecsElapsed()) / 1e6 / n;
}

double plainCost(int n)
{
    SwsContext *ctx = nullptr;
    QImage target(1280, 720, QImage::Format_RGB32);
    QVector<QByteArray> pics;
    for (int i = 0; i < 8; ++i)
        pics.append(picture(i + 1));
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i) {
        const QByteArray &p = pics.at(i % pics.size());
        ctx = sws_getCachedContext(ctx, kW, kH, AV_PIX_FMT_YUV420P, kW, kH, AV_PIX_FMT_RGB32, SWS_BILINEAR,
                                   nullptr, nullptr, nullptr);
        QImage img(kW, kH, QImage::Format_RGB32);
        const auto *y = reinterpret_cast<const uint8_t *>(p.constData());
        const uint8_t *src[4] = {y, y + kW * kH, y + kW * kH + (kW / 2) * (kH / 2), nullptr};
        const int srcStride[4] = {kW, kW / 2, kW / 2, 0};
        uint8_t *dst[4] = {img.bits(), nullptr, nullptr, nullptr};
        const int dstStride[4] = {int(img.bytesPerLine()), 0, 0, 0};
        sws_scale(ctx, src, srcStride, 0, kH, dst, dstStride);
        QPainter painter(&target);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(0, 0, 1280, 720), img);
    }
    const double ms = double(t.nsecsElapsed()) / 1e6 / n;
    sws_freeContext(ctx);
    return ms;
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int n = argc > 1 ? qMax(1, atoi(argv[1])) : 60;
    bool gl = false, soft = true;
    const double glMs = viewCost(QnYuvView::Backend::Auto, n, &gl);
    const double softMs = viewCost(QnYuvView::Backend::Software, n, &soft);
    const double plainMs = plainCost(n);
    std::printf("1080p pictures: %d, view 1280x720\n", n);
    std::printf("video view (%s): %.2f ms/picture\n", gl ? "OpenGL" : "software", glMs);
    std::printf("video view (software path): %.2f ms/picture\n", softMs);
    std::printf("plain swscale 1080p -> QImage, QPainter scaled paint: %.2f ms/picture\n", plainMs);
    std::printf("ratio view/plain: %.2f (%s), %.2f (software path)\n", glMs / plainMs,
                gl ? "OpenGL" : "software", softMs / plainMs);
    return 0;
}
