#include "QnScreenShare/screencapture/I420Converter.h"

#include "QnScreenShare/screencapture/CaptureGeometry.h"

#include <QLoggingCategory>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <libyuv/convert.h>

#include <cstring>

Q_DECLARE_LOGGING_CATEGORY(lcCapture)

namespace {
constexpr int kMaxSide = 16384;
} // namespace

void I420Converter::SwsDeleter::operator()(SwsContext *c) const
{
    sws_freeContext(c);
}
void I420Converter::AvFreeDeleter::operator()(uint8_t *p) const
{
    av_free(p);
}

I420Converter::I420Converter(int outWidth, int outHeight) : m_outWidth(outWidth), m_outHeight(outHeight) {}

I420Converter::~I420Converter() = default;

bool I420Converter::prepare(int width, int height)
{
    if (m_sws && width == m_srcWidth && height == m_srcHeight)
        return true;
    m_sws.reset();
    m_picture.reset();
    m_srcWidth = m_srcHeight = 0;
    const QRect fit = QnCaptureGeometry::fitRect(width, height, m_outWidth, m_outHeight);
    if (fit.isEmpty())
        return false;
    uint8_t *planes[4] = {};
    int linesizes[4] = {};
    if (av_image_alloc(planes, linesizes, fit.width(), fit.height(), AV_PIX_FMT_YUV420P, 32) < 0) {
        qCCritical(lcCapture) << "cannot allocate a" << fit.width() << "x" << fit.height() << "picture";
        return false;
    }
    m_picture.reset(planes[0]);
    std::memcpy(m_planes, planes, sizeof planes);
    std::memcpy(m_linesizes, linesizes, sizeof linesizes);
    m_sws.reset(sws_getContext(width, height, AV_PIX_FMT_BGR0, fit.width(), fit.height(), AV_PIX_FMT_YUV420P,
                               SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!m_sws) {
        qCCritical(lcCapture) << "cannot create a scaler" << width << "x" << height << "->" << fit.size();
        m_picture.reset();
        return false;
    }
    m_srcWidth = width;
    m_srcHeight = height;
    m_fit = fit;
    qCInfo(lcCapture) << "scaling" << width << "x" << height << "to" << m_outWidth << "x" << m_outHeight
                      << "picture at" << fit;
    return true;
}

void I420Converter::prepareFrame(QByteArray &out) const
{
    const size_t ySize = size_t(m_outWidth) * size_t(m_outHeight);
    // A frame still held by a consumer is left alone: a fresh buffer avoids copying it on detach.
    const int bytes = int(ySize * 3 / 2);
    if (out.size() != bytes || !out.isDetached())
        out = QByteArray(bytes, Qt::Uninitialized);
    if (m_fit != QRect(0, 0, m_outWidth, m_outHeight)) {
        std::memset(out.data(), 0, ySize);
        std::memset(out.data() + ySize, 128, ySize / 2);
    }
}

bool I420Converter::convert(const uint8_t *bgrx, int width, int height, int stride, QByteArray &out)
{
    if (!bgrx || width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || stride < width * 4 ||
        m_outWidth < 2 || m_outHeight < 2 || (m_outWidth | m_outHeight) & 1)
        return false;

    const int w = m_outWidth, h = m_outHeight;
    const size_t ySize = size_t(w) * size_t(h);
    const QRect fit = QnCaptureGeometry::fitRect(width, height, w, h);
    const bool unscaled = !m_scalerOnly && fit.size() == QSize(width, height) &&
                          ((fit.x() | fit.y() | fit.width() | fit.height()) & 1) == 0;
    if (unscaled) {
        // No scaling: convert straight into the band of the frame (chroma at half the offsets).
        m_fit = fit;
        prepareFrame(out);
        auto *y = reinterpret_cast<uint8_t *>(out.data());
        uint8_t *u = y + ySize;
        uint8_t *v = u + ySize / 4;
        const int fx = fit.x(), fy = fit.y();
        const size_t cAt = size_t(fy / 2) * size_t(w / 2) + size_t(fx / 2);
        if (libyuv::ARGBToI420(bgrx, stride, y + size_t(fy) * w + fx, w, u + cAt, w / 2, v + cAt, w / 2,
                               width, height) != 0)
            return false;
        m_lastUnscaled = true;
        return true;
    }

    if (!prepare(width, height))
        return false;
    m_fit = fit; // the band of this source size (the scaler is cached per size)
    const uint8_t *src[4] = {bgrx, nullptr, nullptr, nullptr};
    const int srcStride[4] = {stride, 0, 0, 0};
    if (sws_scale(m_sws.get(), src, srcStride, 0, height, m_planes, m_linesizes) < 0) {
        qCWarning(lcCapture) << "scaling failed; the scaler is rebuilt for the next frame";
        m_sws.reset();
        return false;
    }

    prepareFrame(out);
    uint8_t *y = reinterpret_cast<uint8_t *>(out.data());
    uint8_t *u = y + ySize;
    uint8_t *v = u + ySize / 4;
    const int fx = m_fit.x(), fy = m_fit.y(), fw = m_fit.width(), fh = m_fit.height();
    for (int r = 0; r < fh; ++r)
        std::memcpy(y + size_t(fy + r) * w + fx, m_planes[0] + size_t(r) * m_linesizes[0], size_t(fw));
    for (int r = 0; r < fh / 2; ++r) {
        const size_t at = size_t(fy / 2 + r) * (w / 2) + fx / 2;
        std::memcpy(u + at, m_planes[1] + size_t(r) * m_linesizes[1], size_t(fw / 2));
        std::memcpy(v + at, m_planes[2] + size_t(r) * m_linesizes[2], size_t(fw / 2));
    }
    m_lastUnscaled = false;
    return true;
}
