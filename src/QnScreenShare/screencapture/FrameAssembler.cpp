#include "QnScreenShare/screencapture/internal/FrameAssembler.h"

#include "QnScreenShare/screencapture/CursorDraw.h"

#include <algorithm>
#include <cstring>
#include <utility>

using QnX11::GrabStatus;

namespace {

// Bands closer than this are grabbed as one: a request less costs more than a few rows more.
constexpr int kMergeGap = 16;
// Changed rows beyond this share of the picture are grabbed and converted as a whole picture: the
// bands would cost as much, and the pointer then needs no second pass over a copy.
constexpr int kWholeShareNumerator = 1, kWholeShareDenominator = 2;

} // namespace

FrameAssembler::FrameAssembler(int outWidth, int outHeight) : m_converter(outWidth, outHeight) {}

void FrameAssembler::reset()
{
    m_havePicture = false;
    m_picture = QnX11::GrabbedFrame();
    m_cleanValid = false;
    m_outValid = false;
    m_outPointer = QRect();
}

void FrameAssembler::bandsOf(const std::vector<QRect> &rects)
{
    m_bands.clear();
    for (const QRect &r : rects)
        m_bands.push_back({r.top(), r.top() + r.height()});
    std::sort(m_bands.begin(), m_bands.end(), [](const Band &a, const Band &b) { return a.top < b.top; });
    size_t n = 0;
    for (const Band &b : m_bands) {
        if (n > 0 && b.top <= m_bands[n - 1].bottom + kMergeGap)
            m_bands[n - 1].bottom = std::max(m_bands[n - 1].bottom, b.bottom);
        else
            m_bands[n++] = b;
    }
    m_bands.resize(n);
}

QRect FrameAssembler::pointerRect(const QnX11::ScreenGrabber &grabber, QPoint *hotSpot) const
{
    const QRect region = grabber.region();
    *hotSpot = QPoint(m_cursor.x - region.x(), m_cursor.y - region.y());
    const QRect shape(hotSpot->x() - m_cursor.hotX, hotSpot->y() - m_cursor.hotY, m_cursor.width,
                      m_cursor.height);
    return shape.intersected(QRect(0, 0, m_picture.width, m_picture.height));
}

bool FrameAssembler::convertWhole(QByteArray &frame)
{
    return m_converter.convert(m_picture.data, m_picture.width, m_picture.height, m_picture.stride, frame);
}

void FrameAssembler::copyCleanToOut()
{
    if (m_out.size() == m_clean.size() && m_out.isDetached() && m_out.constData() != m_clean.constData())
        std::memcpy(m_out.data(), m_clean.constData(), size_t(m_clean.size()));
    else
        m_out = QByteArray(m_clean.constData(), m_clean.size());
}

bool FrameAssembler::convertWithPointer(const QRect &rect, QPoint at, bool whole)
{
    // The grabber's picture is borrowed for the pointer and given back as it was.
    const size_t rowBytes = size_t(rect.width()) * 4;
    m_under.resize(rowBytes * size_t(rect.height()));
    auto pixels = [&](int row) {
        return m_picture.data + size_t(row) * size_t(m_picture.stride) + size_t(rect.x()) * 4;
    };
    for (int y = 0; y < rect.height(); ++y)
        std::memcpy(m_under.data() + size_t(y) * rowBytes, pixels(rect.y() + y), rowBytes);

    QnCursor::draw(m_picture.data, m_picture.width, m_picture.height, m_picture.stride,
                   QnCursor::colorShape(m_cursor), at.x(), at.y());
    bool ok;
    if (whole) {
        ok = convertWhole(m_out);
    } else {
        copyCleanToOut();
        ok = m_converter.convertRows(m_picture.data, m_picture.width, m_picture.height, m_picture.stride,
                                     rect.y(), rect.height(), m_out) ||
             convertWhole(m_out);
    }

    for (int y = 0; y < rect.height(); ++y)
        std::memcpy(pixels(rect.y() + y), m_under.data() + size_t(y) * rowBytes, rowBytes);
    return ok;
}

GrabStatus FrameAssembler::tick(QnX11::ScreenGrabber &grabber, const QByteArray *&frame)
{
    frame = nullptr;
    const uint64_t rowsBefore = grabber.rowsGrabbed();
    auto done = [&](GrabStatus status) {
        m_rowsGrabbed += grabber.rowsGrabbed() - rowsBefore;
        return status;
    };

    // What changed: asked also when a whole grab follows, so that the next report starts here.
    bool whole = !m_damageTracking || !m_havePicture || !(m_cleanValid || m_outValid);
    if (m_damageTracking) {
        const GrabStatus status = grabber.takeChanges(m_changes);
        if (status != GrabStatus::Ok)
            return done(status);
        whole = whole || m_changes.whole;
        if (!whole && !m_changes.rects.empty()) {
            bandsOf(m_changes.rects);
            int rows = 0;
            for (const Band &b : m_bands)
                rows += b.bottom - b.top;
            whole = int64_t(rows) * kWholeShareDenominator > int64_t(m_picture.height) * kWholeShareNumerator;
        }
    }

    const bool banded = !whole && !m_changes.rects.empty();
    if (whole) {
        const GrabStatus status = grabber.grab(m_picture);
        if (status != GrabStatus::Ok) {
            reset();
            return done(status);
        }
        m_havePicture = true;
        m_cleanValid = m_outValid = false;
    } else if (banded) {
        for (const Band &b : m_bands) {
            const GrabStatus status = grabber.grabRows(b.top, b.bottom - b.top, m_picture);
            if (status != GrabStatus::Ok) {
                reset();
                return done(status);
            }
        }
    }

    const bool pointerShown = grabber.cursor(m_cursor) && m_cursor.valid;
    QPoint at;
    const QRect pointer = pointerShown ? pointerRect(grabber, &at) : QRect();

    if (whole) {
        if (!pointer.isEmpty()) {
            // The clean picture is left unconverted: made from this frame when first needed.
            m_outValid = convertWithPointer(pointer, at, true);
            m_outPointer = pointer;
            m_outPointerSerial = m_cursor.serial;
            frame = m_outValid ? &m_out : nullptr;
        } else {
            m_cleanValid = convertWhole(m_clean);
            m_outPointer = QRect();
            frame = m_cleanValid ? &m_clean : nullptr;
        }
        return done(GrabStatus::Ok);
    }

    bool cleanChanged = banded;
    if (!m_cleanValid) {
        // The last frame was converted whole with the pointer in it: its rows are converted again
        // from the clean picture.
        std::swap(m_clean, m_out);
        m_cleanValid =
            m_outPointer.isEmpty() ||
            m_converter.convertRows(m_picture.data, m_picture.width, m_picture.height, m_picture.stride,
                                    m_outPointer.y(), m_outPointer.height(), m_clean) ||
            convertWhole(m_clean);
        m_outValid = false;
        cleanChanged = true;
    }
    for (size_t i = 0; banded && m_cleanValid && i < m_bands.size(); ++i) {
        const Band &b = m_bands[i];
        if (!m_converter.convertRows(m_picture.data, m_picture.width, m_picture.height, m_picture.stride,
                                     b.top, b.bottom - b.top, m_clean)) {
            m_cleanValid = convertWhole(m_clean);
            break;
        }
    }
    if (!m_cleanValid) {
        m_outValid = false;
        return done(GrabStatus::Ok);
    }

    if (pointer.isEmpty()) {
        if (!cleanChanged && m_outPointer.isEmpty())
            ++m_framesReused;
        m_outValid = false;
        m_outPointer = QRect();
        frame = &m_clean;
        return done(GrabStatus::Ok);
    }
    if (!cleanChanged && m_outValid && pointer == m_outPointer && m_cursor.serial == m_outPointerSerial) {
        ++m_framesReused;
        frame = &m_out;
        return done(GrabStatus::Ok);
    }
    m_outValid = convertWithPointer(pointer, at, false);
    m_outPointer = pointer;
    m_outPointerSerial = m_cursor.serial;
    frame = m_outValid ? &m_out : nullptr;
    return done(GrabStatus::Ok);
}
