#pragma once

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

struct x264_t;
struct x264_param_t;
struct x264_picture_t;

/// The process-wide x264 encoder of the sender: veryfast/zerolatency, baseline profile, one thread,
/// CRF with QP 16..32 under a 6000 kbit/s VBV, one key frame per second, parameter sets before
/// every key frame (Annex B).
///
/// Threads: encode runs on the capture thread; init and close on the GUI thread while capture is
/// stopped. A mutex serialises them all the same.
class H264Encoder
{
public:
    /// Room the sender gives each encoded access unit.
    static constexpr int kOutputBufferSize = 512000;

    static H264Encoder &instance();

    /// (Re)opens the encoder for \a width x \a height at \a frameRate. \a bitRate and
    /// \a keyFrameHint are kept but not used by x264. Returns false, leaving the encoder closed
    /// (encode then returns 0), when the arguments are not positive or a side exceeds 16384, the preset is
    /// refused or x264 cannot open with them (for example a size beyond its limits). 4:2:0 H.264 cannot
    /// signal a crop of one pixel, so an odd width or height is encoded one pixel larger, its last column or
    /// row repeated.
    bool init(int width, int height, int bitRate, int frameRate, int keyFrameHint);

    /// Encodes one I420 picture (Y, then U and V of ((w+1)/2) x ((h+1)/2), tightly packed) into
    /// \a out. Returns the bytes written; 0 when not open or nothing was produced; -1 on error,
    /// when the size differs from init's, or when the access unit would not fit
    /// \a outCapacity (it is then dropped and the next picture is forced to be an IDR).
    int encode(const uint8_t *i420, int width, int height, uint8_t *out, int outCapacity = kOutputBufferSize);
    /// The same for a picture of a stream: the macroblocks equal to the previous picture handed in
    /// this way are marked unchanged for x264, which then codes them as skipped without analysing
    /// them (it does so only when the reference is that previous picture and was coded at least as
    /// finely). The pictures and their content are what x264 gets either way; a picture sharing
    /// its bytes with the previous one (QByteArray) is known unchanged without comparing. The
    /// previous picture is kept (shared, not copied) until the next one, close() or init(). A
    /// picture shorter than its size needs is refused (-1).
    int encode(const QByteArray &i420, int width, int height, uint8_t *out,
               int outCapacity = kOutputBufferSize);
    /// Macroblocks marked unchanged since init(), for tests and benchmarks.
    uint64_t unchangedMacroblocks() const;

    void close();

    /// Makes the next picture encoded an IDR (a peer lost a picture). Any thread; never blocks
    /// on an encode in progress.
    void requestKeyframe();

    /// Replaces the call that opens x264 (null: x264_encoder_open), so tests can make an open
    /// fail. Call only while no init runs.
    using OpenFunction = x264_t *(*)(x264_param_t *);
    void setOpenFunction(OpenFunction open);

    bool isOpen() const;
    /// True when the last access unit returned by encode was a key frame.
    bool lastWasKeyframe() const;

private:
    H264Encoder();
    ~H264Encoder();
    H264Encoder(const H264Encoder &) = delete;
    H264Encoder &operator=(const H264Encoder &) = delete;

    void closeLocked();
    int encodeLocked(const uint8_t *i420, int width, int height, uint8_t *out, int outCapacity,
                     uint8_t *macroblockInfo);
    /// x264's per-macroblock flags for `next` against m_previous (malloc'ed, x264 frees it), or null
    /// when there is nothing to compare with.
    uint8_t *macroblockFlags(const QByteArray &next, int width, int height);

    struct EncoderClose
    {
        void operator()(x264_t *encoder) const;
    };
    struct PictureFree
    {
        void operator()(x264_picture_t *picture) const;
    };

    mutable std::mutex m_lock;
    bool opened = false;
    int m_width = 0;
    int m_height = 0;
    int m_bitRate = 0;
    int m_frameRate = 0;
    int keyFrameHint = 0;
    int frameCounter = 0;
    std::unique_ptr<x264_t, EncoderClose> m_encoder;
    std::unique_ptr<x264_param_t> m_param;
    std::unique_ptr<x264_picture_t, PictureFree> m_pictureIn;
    std::unique_ptr<x264_picture_t> m_pictureOut;
    int m_codedWidth = 0;  ///< even
    int m_codedHeight = 0; ///< even
    bool m_forceKeyframe = false;
    std::atomic<bool> m_keyframeRequested{false};
    bool m_lastKeyframe = false;
    OpenFunction m_open = nullptr;
    QByteArray m_previous; ///< the last picture of the stream given to x264 (shared)
    uint64_t m_unchanged = 0;
    std::vector<uint8_t> m_changedInRow; ///< macroblockFlags()'s scratch, one byte per column
};
