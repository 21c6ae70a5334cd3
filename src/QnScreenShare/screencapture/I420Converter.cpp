#include "QnScreenShare/screencapture/I420Converter.h"

#include "QnScreenShare/screencapture/CaptureGeometry.h"

#include <QLoggingCategory>

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <libyuv/convert.h>
#include <libyuv/convert_from_argb.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcCapture)

namespace {

constexpr int kMaxSide = 16384;

struct AvFrameFree
{
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameFree>;

void keepMemory(void *, uint8_t *) {}

/// A frame over planes it does not own: libswscale's slice calls take reference-counted frames,
/// and a buffer whose free function does nothing makes that reference without a copy.
AvFramePtr wrapPlanes(uint8_t *const data[4], const int linesize[4], int width, int height,
                      AVPixelFormat format)
{
    AvFramePtr f(av_frame_alloc());
    if (!f)
        return nullptr;
    f->buf[0] = av_buffer_create(data[0], size_t(linesize[0]) * size_t(height), keepMemory, nullptr, 0);
    if (!f->buf[0])
        return nullptr;
    for (int i = 0; i < 4; ++i) {
        f->data[i] = data[i];
        f->linesize[i] = linesize[i];
    }
    f->width = width;
    f->height = height;
    f->format = format;
    return f;
}

/// Where the scaler's slice output puts the luma rows of a slice that starts at output row `start`:
/// at start, or (libswscale 5.1, which shifts the luma plane by the chroma's vertical
/// subsampling) at start / 2; Unusable when it is neither, and then scaled pictures are only
/// converted whole.
enum class SlicePlacement { Unusable, AtRow, AtHalfRow };

int scaleSlice(SwsContext *sws, uint8_t *const src[4], const int srcStride[4], AVPixelFormat srcFormat,
               int srcWidth, int srcHeight, uint8_t *const dst[4], const int dstStride[4], int dstWidth,
               int dstHeight, int first, int last)
{
    AvFramePtr in = wrapPlanes(src, srcStride, srcWidth, srcHeight, srcFormat);
    AvFramePtr out = wrapPlanes(dst, dstStride, dstWidth, dstHeight, AV_PIX_FMT_YUV420P);
    if (!in || !out)
        return AVERROR(ENOMEM);
    int r = sws_frame_start(sws, out.get(), in.get());
    if (r >= 0)
        r = sws_send_slice(sws, 0, unsigned(srcHeight));
    if (r >= 0)
        r = sws_receive_slice(sws, unsigned(first), unsigned(last - first));
    sws_frame_end(sws);
    return r;
}

/// Scales a small gradient (4:2:2, as the scaled path feeds the scaler) whole and as one slice and
/// looks where the slice's rows landed.
SlicePlacement probeSlicePlacement()
{
    constexpr int kW = 32, kH = 32, kOutW = 16, kOutH = 16, kStart = 8, kRows = 4;
    std::vector<uint8_t> source(size_t(kW) * kH * 2);
    for (int y = 0; y < kH; ++y) {
        const size_t u = size_t(kW) * kH + size_t(y) * (kW / 2), v = u + size_t(kW / 2) * kH;
        std::memset(source.data() + size_t(y) * kW, 20 + 7 * y, size_t(kW));
        std::memset(source.data() + u, 200 - 5 * y, size_t(kW / 2));
        std::memset(source.data() + v, 60 + 3 * y, size_t(kW / 2));
    }
    struct SwsFree
    {
        void operator()(SwsContext *c) const { sws_freeContext(c); }
    };
    std::unique_ptr<SwsContext, SwsFree> sws(sws_getContext(kW, kH, AV_PIX_FMT_YUV422P, kOutW, kOutH,
                                                            AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr,
                                                            nullptr));
    if (!sws)
        return SlicePlacement::Unusable;
    constexpr int kY = kOutW * kOutH, kC = kY / 4;
    std::vector<uint8_t> whole(kY + 2 * kC), slice(kY + 2 * kC, 0xee);
    uint8_t *src[4] = {source.data(), source.data() + size_t(kW) * kH,
                       source.data() + size_t(kW) * kH * 3 / 2, nullptr};
    const int srcStride[4] = {kW, kW / 2, kW / 2, 0};
    const int dstStride[4] = {kOutW, kOutW / 2, kOutW / 2, 0};
    uint8_t *wholePlanes[4] = {whole.data(), whole.data() + kY, whole.data() + kY + kC, nullptr};
    uint8_t *slicePlanes[4] = {slice.data(), slice.data() + kY, slice.data() + kY + kC, nullptr};
    if (sws_scale(sws.get(), src, srcStride, 0, kH, wholePlanes, dstStride) != kOutH ||
        scaleSlice(sws.get(), src, srcStride, AV_PIX_FMT_YUV422P, kW, kH, slicePlanes, dstStride, kOutW,
                   kOutH, kStart, kStart + kRows) < 0)
        return SlicePlacement::Unusable;
    for (int p = 1; p < 3; ++p) {
        const size_t at = size_t(kStart / 2) * (kOutW / 2), bytes = size_t(kRows / 2) * (kOutW / 2);
        if (std::memcmp(wholePlanes[p] + at, slicePlanes[p] + at, bytes) != 0)
            return SlicePlacement::Unusable;
    }
    const size_t bytes = size_t(kRows) * kOutW;
    if (std::memcmp(whole.data() + kStart * kOutW, slice.data() + kStart * kOutW, bytes) == 0)
        return SlicePlacement::AtRow;
    if (std::memcmp(whole.data() + kStart * kOutW, slice.data() + kStart / 2 * kOutW, bytes) == 0)
        return SlicePlacement::AtHalfRow;
    return SlicePlacement::Unusable;
}

SlicePlacement slicePlacement()
{
    static const SlicePlacement placement = [] {
        const SlicePlacement p = probeSlicePlacement();
        if (p == SlicePlacement::Unusable)
            qCWarning(lcCapture) << "the scaler's slice output is unusable: changed rows of scaled pictures"
                                    " are converted with the whole picture";
        return p;
    }();
    return placement;
}

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
    m_middle.reset();
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
    // The scaler works on the source already in YUV: libyuv's SIMD does the colour conversion at
    // the source size and the scaler only filters planes. The chroma is kept as the scaler itself
    // would read it from BGRX: every other column averaged when the picture does not grow wider,
    // every column otherwise. Rows are never merged, so any source row converts on its own.
    m_middleFormat = (fit.width() >> 1) <= (width >> 1) ? AV_PIX_FMT_YUV422P : AV_PIX_FMT_YUV444P;
    uint8_t *middle[4] = {};
    int middleSizes[4] = {};
    if (av_image_alloc(middle, middleSizes, width, height, AVPixelFormat(m_middleFormat), 32) < 0) {
        qCCritical(lcCapture) << "cannot allocate a" << width << "x" << height << "source picture";
        m_picture.reset();
        return false;
    }
    m_middle.reset(middle[0]);
    std::memcpy(m_middlePlanes, middle, sizeof middle);
    std::memcpy(m_middleLinesizes, middleSizes, sizeof middleSizes);
    m_sws.reset(sws_getContext(width, height, AVPixelFormat(m_middleFormat), fit.width(), fit.height(),
                               AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!m_sws) {
        qCCritical(lcCapture) << "cannot create a scaler" << width << "x" << height << "->" << fit.size();
        m_picture.reset();
        m_middle.reset();
        return false;
    }
    m_srcWidth = width;
    m_srcHeight = height;
    m_fit = fit;
    qCInfo(lcCapture) << "scaling" << width << "x" << height << "to" << m_outWidth << "x" << m_outHeight
                      << "picture at" << fit;
    return true;
}

bool I420Converter::toMiddle(const uint8_t *bgrx, int stride, int first, int last)
{
    if (first >= last)
        return true;
    const auto row = [&](int plane, int r) {
        return m_middlePlanes[plane] + size_t(r) * size_t(m_middleLinesizes[plane]);
    };
    const uint8_t *src = bgrx + size_t(first) * size_t(stride);
    const auto convert = m_middleFormat == AV_PIX_FMT_YUV422P ? libyuv::ARGBToI422 : libyuv::ARGBToI444;
    return convert(src, stride, row(0, first), m_middleLinesizes[0], row(1, first), m_middleLinesizes[1],
                   row(2, first), m_middleLinesizes[2], m_srcWidth, last - first) == 0;
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
    m_lastWidth = m_lastHeight = 0;
    if (!bgrx || width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || stride < width * 4 ||
        m_outWidth < 2 || m_outHeight < 2 || (m_outWidth | m_outHeight) & 1)
        return false;

    const int w = m_outWidth, h = m_outHeight;
    const QRect fit = QnCaptureGeometry::fitRect(width, height, w, h);
    const bool unscaled = !m_scalerOnly && fit.size() == QSize(width, height) &&
                          ((fit.x() | fit.y() | fit.width() | fit.height()) & 1) == 0;
    if (unscaled) {
        // No scaling: convert straight into the band of the frame (chroma at half the offsets).
        m_fit = fit;
        prepareFrame(out);
        if (!convertUnscaled(bgrx, stride, 0, height, out))
            return false;
        m_lastUnscaled = true;
        m_lastWidth = width;
        m_lastHeight = height;
        return true;
    }

    if (!prepare(width, height))
        return false;
    m_fit = fit; // the band of this source size (the scaler is cached per size)
    if (!toMiddle(bgrx, stride, 0, height))
        return false;
    if (sws_scale(m_sws.get(), m_middlePlanes, m_middleLinesizes, 0, height, m_planes, m_linesizes) < 0) {
        qCWarning(lcCapture) << "scaling failed; the scaler is rebuilt for the next frame";
        m_sws.reset();
        return false;
    }
    prepareFrame(out);
    copyScaledRows(0, m_fit.height(), out);
    m_lastUnscaled = false;
    m_lastWidth = width;
    m_lastHeight = height;
    return true;
}

bool I420Converter::convertUnscaled(const uint8_t *bgrx, int stride, int first, int last, QByteArray &out)
{
    const int w = m_outWidth;
    const size_t ySize = size_t(w) * size_t(m_outHeight);
    auto *y = reinterpret_cast<uint8_t *>(out.data());
    uint8_t *u = y + ySize;
    uint8_t *v = u + ySize / 4;
    const int fx = m_fit.x(), fy = m_fit.y() + first;
    const size_t cAt = size_t(fy / 2) * size_t(w / 2) + size_t(fx / 2);
    return libyuv::ARGBToI420(bgrx + size_t(first) * size_t(stride), stride, y + size_t(fy) * w + fx, w,
                              u + cAt, w / 2, v + cAt, w / 2, m_fit.width(), last - first) == 0;
}

void I420Converter::copyScaledRows(int first, int last, QByteArray &out)
{
    const int w = m_outWidth;
    const size_t ySize = size_t(w) * size_t(m_outHeight);
    uint8_t *y = reinterpret_cast<uint8_t *>(out.data());
    uint8_t *u = y + ySize;
    uint8_t *v = u + ySize / 4;
    const int fx = m_fit.x(), fy = m_fit.y(), fw = m_fit.width();
    for (int r = first; r < last; ++r)
        std::memcpy(y + size_t(fy + r) * w + fx, m_planes[0] + size_t(r) * m_linesizes[0], size_t(fw));
    for (int r = first / 2; r < last / 2; ++r) {
        const size_t at = size_t(fy / 2 + r) * (w / 2) + fx / 2;
        std::memcpy(u + at, m_planes[1] + size_t(r) * m_linesizes[1], size_t(fw / 2));
        std::memcpy(v + at, m_planes[2] + size_t(r) * m_linesizes[2], size_t(fw / 2));
    }
}

QPair<int, int> I420Converter::outputRowsOf(int top, int rows) const
{
    const int height = m_lastHeight;
    const int a = qBound(0, top, height), b = qBound(0, top + qMax(0, rows), height);
    if (a >= b)
        return {0, 0};
    const int fy = m_fit.y(), fh = m_fit.height();
    if (m_lastUnscaled) // 2 x 2 chroma blocks: whole row pairs
        return {fy + (a & ~1), fy + qMin(fh, (b + 1) & ~1)};
    // Bicubic: an output row reads the source rows within two filter units of its centre, the unit
    // being the larger of a source row and an output row; a chroma row (two output rows tall)
    // reaches twice as far and its centre lies half a source row span from its luma rows'.
    const double scale = double(height) / double(fh); // source rows per output row
    const double reach = 2.0 * qMax(1.0, 2.0 * scale) + scale / 2 + 2.0;
    const int first = int(std::floor((a - reach + 0.5) / scale - 0.5)) - 1;
    const int last = int(std::ceil((b - 1 + reach + 0.5) / scale - 0.5)) + 2;
    return {fy + (qMax(0, first) & ~1), fy + qMin(fh, (last + 1) & ~1)};
}

bool I420Converter::scaleRows(const uint8_t *bgrx, int stride, int first, int last)
{
    const SlicePlacement placement = slicePlacement();
    if (placement == SlicePlacement::Unusable || !m_sws)
        return false;
    // The scaler reads the source picture around the band: every source row within its reach is
    // converted again, so rows changed and put back since (the pointer drawn in for one frame)
    // cannot leak into this one. Output row r is centred on source row (r + 0.5) * scale; a
    // chroma row (two output rows) on twice that; bicubic reaches two filter units either side.
    const double scale = double(m_srcHeight) / double(m_fit.height());
    const double reach = 2.0 * qMax(1.0, 2.0 * scale) + 2.0 * scale + 4.0;
    const int top = qBound(0, int(std::floor(first * scale - reach)), m_srcHeight);
    const int bottom = qBound(0, int(std::ceil((last + 1) * scale + reach)), m_srcHeight);
    if (!toMiddle(bgrx, stride, top, bottom))
        return false;
    uint8_t *dst[4] = {m_planes[0], m_planes[1], m_planes[2], nullptr};
    if (placement == SlicePlacement::AtHalfRow)
        dst[0] += ptrdiff_t(m_linesizes[0]) * (first - first / 2);
    if (scaleSlice(m_sws.get(), m_middlePlanes, m_middleLinesizes, AVPixelFormat(m_middleFormat), m_srcWidth,
                   m_srcHeight, dst, m_linesizes, m_fit.width(), m_fit.height(), first, last) < 0) {
        qCWarning(lcCapture) << "slice scaling failed; the scaler is rebuilt for the next frame";
        m_sws.reset();
        return false;
    }
    return true;
}

bool I420Converter::convertRows(const uint8_t *bgrx, int width, int height, int stride, int top, int rows,
                                QByteArray &frame)
{
    if (!bgrx || width != m_lastWidth || height != m_lastHeight || width < 1 || stride < width * 4 ||
        frame.size() != m_outWidth * m_outHeight * 3 / 2)
        return false;
    const QPair<int, int> range = outputRowsOf(top, rows);
    if (range.first >= range.second)
        return true;
    const int first = range.first - m_fit.y(), last = range.second - m_fit.y(); // rows of the band
    if (m_lastUnscaled)
        return convertUnscaled(bgrx, stride, first, last, frame);
    if (!scaleRows(bgrx, stride, first, last))
        return false;
    copyScaledRows(first, last, frame);
    return true;
}
