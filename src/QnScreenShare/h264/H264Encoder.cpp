#include "QnScreenShare/h264/H264Encoder.h"

#include "QnScreenShare/h264/internal/CodecLog.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
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

int H264Encoder::encode(const uint8_t *i420, int width, int height, uint8_t *out, int outCapacity)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!opened)
        return 0;
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
    if (m_keyframeRequested.exchange(false))
        m_forceKeyframe = true;
    picture->i_type = m_forceKeyframe ? X264_TYPE_IDR : X264_TYPE_AUTO;

    x264_nal_t *nals = nullptr;
    int nalCount = 0;
    const int size = x264_encoder_encode(m_encoder.get(), &nals, &nalCount, picture, m_pictureOut.get());
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
