#pragma once

#include "QnScreenShare/h264/RenderCallback.h"

#include <cstdint>
#include <memory>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

/// libavcodec H.264 decoder of the receiving pipeline. Used by one thread (the video decode
/// thread), which also receives the pictures through the RenderCallback.
///
/// Pictures leave as I420 at their own size, rows packed (libavcodec's row padding is never
/// handed on). Other pixel formats (4:2:2, 4:4:4, high bit depth) are converted first.
class KRH264Decoder
{
public:
    KRH264Decoder();
    ~KRH264Decoder();
    KRH264Decoder(const KRH264Decoder &) = delete;
    KRH264Decoder &operator=(const KRH264Decoder &) = delete;

    /// Opens the decoder and calls \a callback's onStart (not owned; it must outlive the
    /// decoder). Returns 0 or -1.
    int Init(RenderCallback *callback);
    /// Decodes one access unit (Annex B); every picture produced goes to the callback.
    /// \a damaged: part of the unit was lost; it is decoded all the same and libavcodec conceals
    /// what is missing. Returns 0, or -1 when not open or libavcodec refuses the data.
    int DecodeFrame(const uint8_t *data, int length, int64_t timestamp, uint32_t extra, bool damaged = false);
    /// Closes the decoder; returns 0. Init may be called again.
    int close();

    /// Pictures libavcodec flagged as damaged (concealed errors), for diagnostics and tests.
    uint64_t corruptPictures() const { return m_corrupt; }
    uint64_t pictures() const { return m_pictures; }
    /// Access units handed in as damaged.
    uint64_t damagedUnits() const { return m_damagedUnits; }

private:
    struct ContextFree
    {
        void operator()(AVCodecContext *context) const;
    };
    struct FrameFree
    {
        void operator()(AVFrame *frame) const;
    };
    struct PacketFree
    {
        void operator()(AVPacket *packet) const;
    };
    struct ScalerFree
    {
        void operator()(SwsContext *scaler) const;
    };

    void deliver(const AVFrame *frame);
    void emitPlanes(const uint8_t *const planes[3], const int strides[3], int width, int height);

    std::unique_ptr<AVCodecContext, ContextFree> m_context;
    std::unique_ptr<AVFrame, FrameFree> m_frame;
    std::unique_ptr<AVPacket, PacketFree> m_packet;
    std::unique_ptr<AVFrame, FrameFree> m_converted;
    std::unique_ptr<SwsContext, ScalerFree> m_scaler;
    RenderCallback *m_callback = nullptr;
    std::vector<uint8_t> m_picture;
    uint64_t m_corrupt = 0;
    uint64_t m_pictures = 0;
    uint64_t m_damagedUnits = 0;
};
