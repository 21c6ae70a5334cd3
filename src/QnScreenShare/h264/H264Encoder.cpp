#include "QnScreenShare/h264/H264Encoder.h"

#include "QnScreenShare/h264/internal/CodecLog.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <x264.h>
}

namespace {

constexpr int kMaxSide = 16384; // x264's limit on either side

void x264LogToQt(void *, int level, const char *format, va_list args)
{
    if (level > X264_LOG_WARNING)
        return;
    char line[512];
    std::vsnprintf(line, sizeof line, format, args);
    const size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\n')
        line[length - 1] = '\0';
    // Warnings (VBV underflow on busy pictures) come per frame: keep them out of the default log.
    if (level == X264_LOG_ERROR)
        qCWarning(lcCodec, "x264: %s", line);
    else
        qCDebug(lcCodec, "x264: %s", line);
}

// Copies a w x h plane into a plane of the coded size, repeating the last column and row.
void copyPlane(uint8_t *dst, int dstStride, int codedW, int codedH, const uint8_t *src, int w, int h)
{
    for (int y = 0; y < codedH; ++y) {
        const uint8_t *row = src + size_t(std::min(y, h - 1)) * size_t(w);
        uint8_t *out = dst + size_t(y) * size_t(dstStride);
        std::memcpy(out, row, size_t(w));
        for (int x = w; x < codedW; ++x)
            out[x] = row[w - 1];
    }
}

// True when the `bytes` bytes at a and b differ, read as 64-bit words where they fit.
inline bool differs(const uint8_t *a, const uint8_t *b, int bytes)
{
    uint64_t diff = 0;
    int i = 0;
    for (; i + 8 <= bytes; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        diff |= x ^ y;
    }
    for (; i < bytes; ++i)
        diff |= uint64_t(a[i] ^ b[i]);
    return diff != 0;
}

// Marks in `changed` (one byte per macroblock of the row) the macroblocks whose part of `rows`
// rows of `width` bytes, `block` bytes per macroblock, differ between a and b.
void markChangedBlocks(const uint8_t *a, const uint8_t *b, int width, int rows, int block, uint8_t *changed)
{
    for (int r = 0; r < rows; ++r) {
        const size_t at = size_t(r) * size_t(width);
        if (std::memcmp(a + at, b + at, size_t(width)) == 0)
            continue;
        for (int x = 0, mb = 0; x < width; x += block, ++mb)
            changed[mb] |= uint8_t(differs(a + at + x, b + at + x, std::min(block, width - x)));
    }
}

} // namespace

void H264Encoder::EncoderClose::operator()(x264_t *encoder) const
{
    x264_encoder_close(encoder);
}

void H264Encoder::PictureFree::operator()(x264_picture_t *picture) const
{
    x264_picture_clean(picture);
    delete picture;
}

H264Encoder &H264Encoder::instance()
{
    static H264Encoder encoder;
    return encoder;
}

H264Encoder::H264Encoder() = default;

H264Encoder::~H264Encoder()
{
    close();
}

bool H264Encoder::isOpen() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return opened;
}

bool H264Encoder::lastWasKeyframe() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lastKeyframe;
}

void H264Encoder::requestKeyframe()
{
    m_keyframeRequested.store(true);
}

void H264Encoder::setOpenFunction(OpenFunction open)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_open = open;
}

void H264Encoder::close()
{
    std::lock_guard<std::mutex> guard(m_lock);
    closeLocked();
}

void H264Encoder::closeLocked()
{
    opened = false;
    frameCounter = 0;
    m_pictureIn.reset();
    m_pictureOut.reset();
    m_encoder.reset();
    m_param.reset();
    m_forceKeyframe = false;
    m_lastKeyframe = false;
    m_previous.clear();
    m_unchanged = 0;
}

bool H264Encoder::init(int width, int height, int bitRate, int frameRate, int keyFrameHint)
{
    std::lock_guard<std::mutex> guard(m_lock);
    closeLocked();
    m_width = width;
    m_height = height;
    m_bitRate = bitRate;
    m_frameRate = frameRate;
    this->keyFrameHint = keyFrameHint;
    // x264 refuses sides above 16384 and leaks a little on that refusal: refused here first.
    if (width <= 0 || height <= 0 || frameRate <= 0 || width > kMaxSide || height > kMaxSide) {
        qCWarning(lcCodec) << "encoder: invalid size or frame rate" << width << height << frameRate;
        return false;
    }

    auto param = std::make_unique<x264_param_t>();
    std::memset(param.get(), 0, sizeof(x264_param_t));
    x264_param_default(param.get());
    if (x264_param_default_preset(param.get(), "veryfast", "zerolatency") < 0) {
        qCWarning(lcCodec) << "encoder: preset refused";
        return false;
    }
    m_codedWidth = (width + 1) & ~1;
    m_codedHeight = (height + 1) & ~1;
    param->pf_log = x264LogToQt;
    param->i_threads = 1;
    param->b_sliced_threads = 0;
    param->i_width = m_codedWidth;
    param->i_height = m_codedHeight;
    param->b_repeat_headers = 1;
    param->b_annexb = 1;
    param->i_fps_num = uint32_t(frameRate);
    param->i_fps_den = 1;
    param->i_keyint_max = frameRate;
    param->i_keyint_min = frameRate;
    param->i_csp = X264_CSP_I420;
    param->rc.i_rc_method = X264_RC_CRF;
    param->rc.i_qp_min = 16;
    param->rc.i_qp_max = 32;
    param->rc.i_qp_step = 4;
    param->rc.f_rate_tolerance = 0.1f;
    param->rc.i_vbv_max_bitrate = 6000;
    param->rc.i_vbv_buffer_size = 4000;
    param->i_cqm_preset = X264_CQM_FLAT;
    // Lets encode(QByteArray) tell x264 which macroblocks did not change (without such flags x264
    // codes exactly as without this switch).
    param->analyse.b_mb_info = 1;
    if (x264_param_apply_profile(param.get(), "baseline") < 0) {
        qCWarning(lcCodec) << "encoder: baseline profile refused";
        return false;
    }
    m_param = std::move(param);
    m_encoder.reset(m_open ? m_open(m_param.get()) : x264_encoder_open(m_param.get()));
    if (!m_encoder) {
        qCWarning(lcCodec) << "encoder: x264_encoder_open failed for" << width << "x" << height;
        m_param.reset();
        return false; // closed: encode yields 0 until the next successful init
    }
    m_pictureOut = std::make_unique<x264_picture_t>();
    x264_picture_init(m_pictureOut.get());
    auto in = std::unique_ptr<x264_picture_t, PictureFree>(new x264_picture_t);
    x264_picture_init(in.get());
    if (x264_picture_alloc(in.get(), X264_CSP_I420, m_codedWidth, m_codedHeight) < 0) {
        delete in.release(); // nothing allocated inside
        m_encoder.reset();
        m_param.reset();
        m_pictureOut.reset();
        qCWarning(lcCodec) << "encoder: picture allocation failed";
        return false;
    }
    m_pictureIn = std::move(in);
    m_pictureIn->img.i_csp = X264_CSP_I420;
    m_pictureIn->img.i_plane = 3;
    m_pictureIn->i_type = X264_TYPE_AUTO;
    opened = true;
    qCInfo(lcCodec) << "encoder open:" << width << "x" << height << "@" << frameRate;
    return true;
}

uint64_t H264Encoder::unchangedMacroblocks() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_unchanged;
}

uint8_t *H264Encoder::macroblockFlags(const QByteArray &next, int width, int height)
{
    const int chromaW = (width + 1) / 2, chromaH = (height + 1) / 2;
    const size_t ySize = size_t(width) * size_t(height), cSize = size_t(chromaW) * size_t(chromaH);
    if (m_previous.size() != next.size() || size_t(next.size()) != ySize + 2 * cSize)
        return nullptr;
    const int mbW = (m_codedWidth + 15) / 16, mbH = (m_codedHeight + 15) / 16;
    auto *info = static_cast<uint8_t *>(std::malloc(size_t(mbW) * size_t(mbH)));
    if (!info)
        return nullptr;
    if (next.constData() == m_previous.constData()) {
        std::memset(info, X264_MBINFO_CONSTANT, size_t(mbW) * size_t(mbH));
        m_unchanged += uint64_t(mbW) * uint64_t(mbH);
        return info;
    }
    const auto *a = reinterpret_cast<const uint8_t *>(next.constData());
    const auto *b = reinterpret_cast<const uint8_t *>(m_previous.constData());
    std::vector<uint8_t> &changed = m_changedInRow;
    for (int my = 0; my < mbH; ++my) {
        changed.assign(size_t(mbW), 0);
        // Rows past the picture (an odd height padded) repeat its last row, compared already.
        const int y0 = my * 16, rows = std::max(0, std::min(16, height - y0));
        const int c0 = my * 8, chromaRows = std::max(0, std::min(8, chromaH - c0));
        markChangedBlocks(a + size_t(y0) * width, b + size_t(y0) * width, width, rows, 16, changed.data());
        for (int plane = 0; plane < 2; ++plane) {
            const size_t at = ySize + size_t(plane) * cSize + size_t(c0) * size_t(chromaW);
            markChangedBlocks(a + at, b + at, chromaW, chromaRows, 8, changed.data());
        }
        for (int mx = 0; mx < mbW; ++mx) {
            info[size_t(my) * mbW + mx] = changed[size_t(mx)] ? 0 : X264_MBINFO_CONSTANT;
            m_unchanged += changed[size_t(mx)] ? 0 : 1;
        }
    }
    return info;
}

int H264Encoder::encode(const QByteArray &i420, int width, int height, uint8_t *out, int outCapacity)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!opened)
        return 0;
    const qint64 needed = qint64(width) * height + 2 * qint64((width + 1) / 2) * ((height + 1) / 2);
    if (width > 0 && height > 0 && i420.size() < needed) {
        qCWarning(lcCodec) << "encoder: picture of" << i420.size() << "bytes refused," << width << "x"
                           << height << "needs" << needed;
        m_previous.clear();
        return -1;
    }
    uint8_t *info = nullptr;
    if (width == m_width && height == m_height && !m_previous.isNull())
        info = macroblockFlags(i420, width, height);
    const int result = encodeLocked(reinterpret_cast<const uint8_t *>(i420.constData()), width, height, out,
                                    outCapacity, info);
    // Only a picture x264 took is a reference the next one can be compared with.
    if (result >= 0)
        m_previous = i420;
    else
        m_previous.clear();
    return result;
}

int H264Encoder::encode(const uint8_t *i420, int width, int height, uint8_t *out, int outCapacity)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!opened)
        return 0;
    m_previous.clear(); // a picture outside the stream: the next one is not compared with it
    return encodeLocked(i420, width, height, out, outCapacity, nullptr);
}

int H264Encoder::encodeLocked(const uint8_t *i420, int width, int height, uint8_t *out, int outCapacity,
                              uint8_t *macroblockInfo)
{
    std::unique_ptr<uint8_t, void (*)(void *)> info(macroblockInfo, std::free); // until x264 takes it
    if (!i420 || !out || width != m_width || height != m_height) {
        qCWarning(lcCodec) << "encoder: picture" << width << "x" << height << "refused, open for" << m_width
                           << "x" << m_height;
        return -1;
    }
    const int chromaW = (width + 1) / 2;
    const int chromaH = (height + 1) / 2;
    const uint8_t *y = i420;
    const uint8_t *u = y + size_t(width) * size_t(height);
    const uint8_t *v = u + size_t(chromaW) * size_t(chromaH);
    // A picture of the coded size goes to x264 as it is (x264 copies it into its own frame and
    // only reads ours); an odd-sized one is padded into the allocated picture first.
    x264_picture_t direct;
    x264_picture_t *picture = m_pictureIn.get();
    if (width == m_codedWidth && height == m_codedHeight) {
        x264_picture_init(&direct);
        direct.img.plane[0] = const_cast<uint8_t *>(y);
        direct.img.plane[1] = const_cast<uint8_t *>(u);
        direct.img.plane[2] = const_cast<uint8_t *>(v);
        direct.img.i_stride[0] = width;
        direct.img.i_stride[1] = direct.img.i_stride[2] = chromaW;
        picture = &direct;
    } else {
        x264_image_t &img = m_pictureIn->img;
        copyPlane(img.plane[0], img.i_stride[0], m_codedWidth, m_codedHeight, y, width, height);
        copyPlane(img.plane[1], img.i_stride[1], m_codedWidth / 2, m_codedHeight / 2, u, chromaW, chromaH);
        copyPlane(img.plane[2], img.i_stride[2], m_codedWidth / 2, m_codedHeight / 2, v, chromaW, chromaH);
    }
    picture->i_pts = frameCounter++;
    picture->i_qpplus1 = 0;
    picture->param = nullptr;
    picture->img.i_csp = X264_CSP_I420;
    picture->img.i_plane = 3;
    // x264 frees the flags when it is done with the picture (it may keep them past this call).
    picture->prop.mb_info = info.get();
    picture->prop.mb_info_free = info ? std::free : nullptr;
    if (m_keyframeRequested.exchange(false))
        m_forceKeyframe = true;
    picture->i_type = m_forceKeyframe ? X264_TYPE_IDR : X264_TYPE_AUTO;

    x264_nal_t *nals = nullptr;
    int nalCount = 0;
    const int size = x264_encoder_encode(m_encoder.get(), &nals, &nalCount, picture, m_pictureOut.get());
    info.release(); // x264's now, whatever the result
    picture->prop.mb_info = nullptr;
    picture->prop.mb_info_free = nullptr;
    if (size < 0)
        return -1;
    if (size == 0)
        return 0;
    if (nalCount <= 0)
        return -1;
    int total = 0;
    for (int i = 0; i < nalCount; ++i)
        total += nals[i].i_payload;
    if (total > outCapacity) {
        qCWarning(lcCodec) << "encoder: access unit of" << total << "bytes exceeds" << outCapacity
                           << "; dropped, next picture is a key frame";
        m_forceKeyframe = true;
        return -1;
    }
    int written = 0;
    for (int i = 0; i < nalCount; ++i) {
        std::memcpy(out + written, nals[i].p_payload, size_t(nals[i].i_payload));
        written += nals[i].i_payload;
    }
    m_lastKeyframe = m_pictureOut->b_keyframe;
    if (m_lastKeyframe)
        m_forceKeyframe = false;
    return written;
}
