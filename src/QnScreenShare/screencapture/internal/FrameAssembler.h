#pragma once

// The frames of one capture run, kept up to date from what the screen reports as drawn. Internal
// to the capture (ScreenCapture and its tests).

#include "QnScreenShare/screencapture/I420Converter.h"

#include "platform/x11/QnScreenGrabber.h"

#include <QByteArray>
#include <QPoint>
#include <QRect>

#include <cstdint>
#include <vector>

/// Makes one I420 frame per tick from a grabber, doing only the work the screen's changes need:
///  - nothing drawn and the pointer still: the last frame again (no grab, no conversion);
///  - some areas drawn: the rows they cover are grabbed (MIT-SHM sub-image) and only the output
///    rows those rows reach are converted again;
///  - everything drawn, or what was drawn is unknown (no damage tracking, a failed report, a new
///    grabber): the whole screen is grabbed and converted.
/// The pointer is drawn into a copy: the clean picture (screen without pointer) is what the
/// changes are applied to, so a pointer move costs only the rows of its old and new places.
/// Every frame equals byte for byte what converting a whole grab with the pointer drawn in makes.
///
/// Capture thread only (like the grabber it is given). The frames it hands out share their bytes
/// with the assembler (QByteArray): a consumer keeping one makes the next change copy it first.
class FrameAssembler
{
public:
    FrameAssembler(int outWidth, int outHeight);

    /// False: every tick grabs and converts the whole screen (for comparisons and as a fallback).
    void setDamageTracking(bool on) { m_damageTracking = on; }
    /// Forgets the pictures: the next tick grabs whole (call when the grabber is replaced).
    void reset();

    /// One tick on `grabber` (the same one since the last reset()). On Ok, `frame` points to the
    /// frame to hand out (valid until the next tick), or is null when the conversion failed.
    QnX11::GrabStatus tick(QnX11::ScreenGrabber &grabber, const QByteArray *&frame);

    /// Source rows fetched from the server since construction (across grabbers).
    uint64_t rowsGrabbed() const { return m_rowsGrabbed; }
    /// Ticks that reused the last frame unchanged.
    uint64_t framesReused() const { return m_framesReused; }

private:
    struct Band
    {
        int top = 0;
        int bottom = 0; // exclusive
    };
    /// Sorted, merged row bands of the changed areas (region coordinates).
    void bandsOf(const std::vector<QRect> &rects);
    /// The pointer's rectangle in picture coordinates (empty when not shown), and its hot spot.
    QRect pointerRect(const QnX11::ScreenGrabber &grabber, QPoint *hotSpot) const;
    /// Converts into m_out with the pointer drawn into the picture at `rect` (hot spot `at`), then
    /// puts the pixels under it back: all of the picture (whole), or only the pointer's rows into a
    /// copy of m_clean. False when converting failed.
    bool convertWithPointer(const QRect &rect, QPoint at, bool whole);
    /// m_out becomes a copy of m_clean, reusing its buffer when nobody else holds it.
    void copyCleanToOut();
    /// Converts all of the picture into `frame`.
    bool convertWhole(QByteArray &frame);

    I420Converter m_converter;
    bool m_damageTracking = true;
    QnX11::GrabbedFrame m_picture; // the grabber's picture: the screen without the pointer
    bool m_havePicture = false;
    QByteArray m_clean; // conversion of m_picture, when m_cleanValid
    bool m_cleanValid = false;
    QByteArray m_out; // the frame handed out: m_clean with the pointer
    bool m_outValid = false;
    QRect m_outPointer; // the pointer rows in m_out (empty: none, m_out is m_clean)
    uint32_t m_outPointerSerial = 0;
    QnX11::CursorImage m_cursor;
    std::vector<uint8_t> m_under; // pixels under the pointer while it is drawn in
    QnX11::ScreenChanges m_changes;
    std::vector<Band> m_bands;
    uint64_t m_rowsGrabbed = 0;
    uint64_t m_framesReused = 0;
};
