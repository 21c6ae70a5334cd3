#include "QnScreenShare/h264/KRH264Decoder.h"

#include "QnScreenShare/h264/internal/CodecLog.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

void KRH264Decoder::ContextFree::operator()(AVCodecContext *context) const
{
    avcodec_free_context(&context);
}
void KRH264Decoder::FrameFree::operator()(AVFrame *frame) const
{
    av_frame_free(&frame);
}
void KRH264Decoder::PacketFree::operator()(AVPacket *packet) const
{
    av_packet_free(&packet);
}
void KRH264Decoder::ScalerFree::operator()(SwsContext *scaler) const
{
    sws_freeContext(scaler);
}

KRH264Decoder::KRH264Decoder() = default;

KRH264Decoder::~KRH264Decoder()
{
    close();
    if (m_callback)
        m_callback->onStop();
}

int KRH264Decoder::Init(RenderCallback *callback)
{
    QnCodecLog::installAvLog();
    close();
    m_callback = callback;
    if (m_callback)
        m_callback->onStart();
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec) {
        qCWarning(lcCodec) << "avcodec_find_decoder fail";
        return -1;
    }
    m_context.reset(avcodec_alloc_context3(codec));
    if (!m_context) {
        qCWarning(lcCodec) << "avcodec_alloc_context3 fail";
        return -1;
    }
    m_context->thread_count = 1;
    // Damaged units are decoded with libavcodec's error concealment; the pictures it conceals
    // are shown rather than held back until the next key frame.
    m_context->flags |= AV_CODEC_FLAG_OUTPUT_CORRUPT;
    if (avcodec_open2(m_context.get(), codec, nullptr) < 0) {
        qCWarning(lcCodec) << "avcodec_open2 fail";
        m_context.reset();
        return -1;
    }
    m_frame.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!m_frame || !m_packet) {
        qCWarning(lcCodec) << "av_frame_alloc fail";
        m_context.reset();
        return -1;
    }
    return 0;
}

int KRH264Decoder::close()
{
    m_context.reset();
    m_frame.reset();
    m_packet.reset();
    m_converted.reset();
    m_scaler.reset();
    return 0;
}

int KRH264Decoder::DecodeFrame(const uint8_t *data, int length, int64_t, uint32_t, bool damaged)
{
    if (!m_context || !data || length <= 0)
        return -1;
    // libavcodec reads past the end of its input: give it a padded copy.
    if (av_new_packet(m_packet.get(), length) < 0)
        return -1;
    std::memcpy(m_packet->data, data, size_t(length));
    if (damaged) {
        ++m_damagedUnits;
        m_packet->flags |= AV_PKT_FLAG_CORRUPT;
    }
    const int sent = avcodec_send_packet(m_context.get(), m_packet.get());
    av_packet_unref(m_packet.get());
    if (sent != 0) {
        qCWarning(lcCodec) << "avcodec_send_packet" << sent;
        return -1;
    }
    while (avcodec_receive_frame(m_context.get(), m_frame.get()) == 0) {
        ++m_pictures;
        if ((m_frame->flags & AV_FRAME_FLAG_CORRUPT) || m_frame->decode_error_flags)
            ++m_corrupt;
        deliver(m_frame.get());
        av_frame_unref(m_frame.get());
    }
    return 0;
}

void KRH264Decoder::deliver(const AVFrame *frame)
{
    const auto format = AVPixelFormat(frame->format);
    if (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P) {
        emitPlanes(frame->data, frame->linesize, frame->width, frame->height);
        return;
    }
    // Anything else becomes 8-bit 4:2:0 first.
    m_scaler.reset(sws_getCachedContext(m_scaler.release(), frame->width, frame->height, format, frame->width,
                                        frame->height, AV_PIX_FMT_YUV420P, SWS_POINT, nullptr, nullptr,
                                        nullptr));
    if (!m_scaler) {
        qCWarning(lcCodec) << "decoder: picture format" << frame->format << "cannot be converted; dropped";
        return;
    }
    if (!m_converted || m_converted->width != frame->width || m_converted->height != frame->height) {
        m_converted.reset(av_frame_alloc());
        if (!m_converted)
            return;
        m_converted->format = AV_PIX_FMT_YUV420P;
        m_converted->width = frame->width;
        m_converted->height = frame->height;
        if (av_frame_get_buffer(m_converted.get(), 0) < 0) {
            m_converted.reset();
            return;
        }
    }
    sws_scale(m_scaler.get(), frame->data, frame->linesize, 0, frame->height, m_converted->data,
              m_converted->linesize);
    emitPlanes(m_converted->data, m_converted->linesize, frame->width, frame->height);
}

void KRH264Decoder::emitPlanes(const uint8_t *const planes[3], const int strides[3], int width, int height)
{
    if (!m_callback || width <= 0 || height <= 0)
        return;
    // libavcodec pads its rows; the callback gets the picture at its own width, rows packed.
    const int chromaW = (width + 1) / 2;
    const int chromaH = (height + 1) / 2;
    const size_t lumaSize = size_t(width) * size_t(height);
    const size_t chromaSize = size_t(chromaW) * size_t(chromaH);
    m_picture.resize(lumaSize + 2 * chromaSize);
    uint8_t *y = m_picture.data();
    uint8_t *u = y + lumaSize;
    uint8_t *v = u + chromaSize;
    for (int row = 0; row < height; ++row)
        std::memcpy(y + size_t(row) * size_t(width), planes[0] + size_t(row) * size_t(strides[0]),
                    size_t(width));
    for (int row = 0; row < chromaH; ++row) {
        const size_t dst = size_t(row) * size_t(chromaW);
        std::memcpy(u + dst, planes[1] + size_t(row) * size_t(strides[1]), size_t(chromaW));
        std::memcpy(v + dst, planes[2] + size_t(row) * size_t(strides[2]), size_t(chromaW));
    }
    m_callback->onFrame(y, u, v, width, height);
}
