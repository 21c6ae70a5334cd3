#pragma once

#include <QByteArray>
#include <QPair>
#include <QRect>

#include <cstdint>
#include <memory>

struct SwsContext;

/// Scales 32-bit B, G, R, X pictures to tightly packed I420 frames of a fixed output size with
/// bicubic filtering, keeping the aspect ratio: the picture fills the band QnCaptureGeometry::fitRect
/// gives and the rest of the frame is black (Y 0, U and V 128).
///
/// A picture that fits without scaling (its size equals the band's, at even offsets and sizes) is
/// converted straight into the frame with libyuv's SIMD converter. Every other picture is converted
/// to YUV at its own size by libyuv and then scaled bicubically by libswscale; that gives the planes
/// libswscale makes from the BGRX picture directly within one code value of luma (two at a few
/// rounding ties when shrinking a lot) and two of chroma, at a fraction of the cost.
///
/// A picture that changed only in some rows can be brought up to date with convertRows(): only the
/// output rows those source rows reach are computed again, with the same arithmetic as a whole
/// conversion, so the frame ends up equal byte for byte to what convert() would make of it.
///
/// Not thread-safe: one converter per thread. The scaler is rebuilt when the source size changes.
class I420Converter
{
public:
    /// outWidth and outHeight must be even and positive (others make every convert() fail).
    I420Converter(int outWidth, int outHeight);
    ~I420Converter();
    I420Converter(const I420Converter &) = delete;
    I420Converter &operator=(const I420Converter &) = delete;

    /// Converts one picture into out (resized to outWidth * outHeight * 3 / 2 bytes: Y, then U, then
    /// V). Width and stride are separate: only width * 4 bytes of each row are read. False, and out
    /// left alone, when the source sizes are invalid (side outside 1..16384, stride < width * 4) or the
    /// scaler fails.
    bool convert(const uint8_t *bgrx, int width, int height, int stride, QByteArray &out);

    /// Brings `frame` up to date for a source that changed only in rows [top, top + rows): frame
    /// must hold the conversion of this source's earlier state (by convert() or this function, same
    /// source size and converter). Only the output rows that those source rows reach are written
    /// (frame detaches first when a consumer shares it). The source must be whole: the scaler reads
    /// the rows around the band. False, and frame left alone, when that cannot be done (another
    /// source size than the last convert(), bad arguments, a scaler without slice output): the
    /// caller converts the whole picture instead.
    bool convertRows(const uint8_t *bgrx, int width, int height, int stride, int top, int rows,
                     QByteArray &frame);
    /// The output rows [first, last) of the band that convertRows() rewrites for source rows
    /// [top, top + rows) of a source of the last convert()'s size, in frame coordinates; an empty
    /// range when nothing is written.
    QPair<int, int> outputRowsOf(int top, int rows) const;

    /// True (for comparisons): every picture goes through the bicubic scaler, also when no scaling
    /// is needed.
    void setScalerOnly(bool scalerOnly) { m_scalerOnly = scalerOnly; }
    /// True when the last successful convert() took the unscaled path.
    bool lastWasUnscaled() const { return m_lastUnscaled; }

    int outWidth() const { return m_outWidth; }
    int outHeight() const { return m_outHeight; }
    /// Where the picture lands for the last source size (null before the first convert()).
    QRect fitted() const { return m_fit; }

private:
    bool prepare(int width, int height);
    /// Scaled rows [first, last) of the band into m_planes through the scaler's slice output.
    bool scaleRows(const uint8_t *bgrx, int stride, int first, int last);
    /// Source rows [first, last) into the scaler's YUV source picture.
    bool toMiddle(const uint8_t *bgrx, int stride, int first, int last);
    /// Source rows [first, last) (even) of an unscaled picture straight into their place in out.
    bool convertUnscaled(const uint8_t *bgrx, int stride, int first, int last, QByteArray &out);
    /// Rows [first, last) (even) of the scaled band from m_planes into their place in out.
    void copyScaledRows(int first, int last, QByteArray &out);
    /// Sizes `out` to a frame, fresh when a consumer still holds the old one; black outside the
    /// band when the band does not fill the frame.
    void prepareFrame(QByteArray &out) const;

    struct SwsDeleter
    {
        void operator()(SwsContext *c) const;
    };
    struct AvFreeDeleter
    {
        void operator()(uint8_t *p) const;
    };

    const int m_outWidth;
    const int m_outHeight;
    int m_srcWidth = 0;
    int m_srcHeight = 0;
    QRect m_fit;
    bool m_scalerOnly = false;
    bool m_lastUnscaled = false;
    std::unique_ptr<SwsContext, SwsDeleter> m_sws;
    std::unique_ptr<uint8_t, AvFreeDeleter> m_picture; // one allocation holding the three planes
    int m_lastWidth = 0; // source size of the last convert(): the frame convertRows() builds on
    int m_lastHeight = 0;
    uint8_t *m_planes[4] = {};
    int m_linesizes[4] = {};
    std::unique_ptr<uint8_t, AvFreeDeleter>
        m_middle;            // the source in YUV (4:2:2 or 4:4:4), the scaler's input
    int m_middleFormat = -1; // its AVPixelFormat
    uint8_t *m_middlePlanes[4] = {};
    int m_middleLinesizes[4] = {};
};
