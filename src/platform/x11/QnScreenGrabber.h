#pragma once

#include <QByteArray>
#include <QRect>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

/// Screen grabbing on an X server.
///
/// Two backends stand behind one interface:
///  - Shm: MIT-SHM (xcb_shm_get_image into a shared segment), the fast path;
///  - GetImage: plain xcb_get_image, the path that works on any server.
/// Both hand out the pointer image from XFixes so that callers can draw it in, and both report
/// which parts of the screen were drawn (XDamage) so that callers can fetch only those rows.
///
/// A grabber belongs to the thread that opened it (it owns its own X connection); it is not
/// thread-safe. Frames point into one picture owned by the grabber: grab() refreshes all of it and
/// grabRows() some of its rows, the others keeping what the last grab left. The memory stays valid
/// until the next grab() or the grabber's destruction.
namespace QnX11 {

/// Result of one grab.
enum class GrabStatus {
    Ok,     ///< a frame was captured
    Reinit, ///< the screen changed (size, depth) or the region left it: open a new grabber
    Error,  ///< the connection failed or the server refused: open a new grabber later
};

enum class GrabBackend { Shm, GetImage };

/// One captured picture: 32-bit pixels, bytes B, G, R, X in memory (X undefined).
/// Width and stride are separate: rows may carry padding beyond width * 4 bytes.
struct GrabbedFrame
{
    uint8_t *data = nullptr; ///< owned by the grabber; what the caller draws stays until grabbed again
    int width = 0;
    int height = 0;
    int stride = 0; ///< bytes from one row to the next, >= width * 4
};

/// The pointer as XFixes reports it.
struct CursorImage
{
    bool valid = false;
    int x = 0, y = 0;       ///< hot-spot position in root coordinates
    int hotX = 0, hotY = 0; ///< hot spot inside the image
    int width = 0, height = 0;
    uint32_t serial = 0;        ///< changes when the shape changes
    std::vector<uint32_t> argb; ///< width * height premultiplied ARGB pixels, rows packed
};

/// What changed on the screen since the previous ScreenGrabber::takeChanges().
struct ScreenChanges
{
    bool whole = true;        ///< unknown or everything: grab the whole region
    std::vector<QRect> rects; ///< when !whole: the drawn areas, region coordinates, clipped (may be empty)
};

struct GrabOptions
{
    QByteArray display;         ///< X display name; empty means $DISPLAY
    QRect region;               ///< area of the root window to grab; null means the whole root
    bool forceGetImage = false; ///< skip MIT-SHM (the user's setting asks for the plain path)
};

class ScreenGrabber
{
public:
    virtual ~ScreenGrabber() = default;
    ScreenGrabber(const ScreenGrabber &) = delete;
    ScreenGrabber &operator=(const ScreenGrabber &) = delete;

    virtual GrabBackend backend() const = 0;
    /// The grabbed area in root coordinates (fixed for the grabber's life).
    virtual QRect region() const = 0;
    /// True when the region is the whole root window: after a Reinit the caller should then ask for
    /// the whole root again rather than the old rectangle.
    virtual bool coversRoot() const = 0;
    /// Captures the region. On Ok, frame describes the pixels.
    virtual GrabStatus grab(GrabbedFrame &frame) = 0;
    /// Captures rows [top, top + rows) of the region into the picture of the last grab(); the other
    /// rows are left as they are. Needs a successful grab() first (else it grabs everything). On
    /// Ok, frame describes the whole picture. Rows outside the region are clipped away.
    virtual GrabStatus grabRows(int top, int rows, GrabbedFrame &frame) = 0;
    /// The areas drawn since the previous call (since open for the first call: whole). Also
    /// checks the root's size: Reinit when it changed (the damage then is of no use). Whole when
    /// damage is not tracked or its report failed: such a failure is logged once per grabber, which
    /// then tries to set tracking up again at the next call and otherwise goes on without it.
    virtual GrabStatus takeChanges(ScreenChanges &changes) = 0;
    /// True while the server reports damage to this grabber.
    virtual bool tracksDamage() const = 0;
    /// Rows fetched from the server since open (grab() counts the region's height, grabRows() its
    /// clipped rows; the probe grab done while opening is not counted).
    virtual uint64_t rowsGrabbed() const = 0;
    /// The current pointer image (one round trip; the pixels are refetched only when the shape
    /// changed). Returns false when XFixes is unavailable or the request failed.
    virtual bool cursor(CursorImage &image) = 0;

protected:
    ScreenGrabber() = default;
};

const char *backendName(GrabBackend backend);

/// Opens a grabber: MIT-SHM unless options.forceGetImage is set, the server lacks MIT-SHM, or
/// setting it up fails; then plain GetImage. Logs the backend chosen and why ("qn.x11": info, or
/// warning when the fast path failed), and whether damage is tracked (info). Returns null (and a
/// reason in *error) when no backend can be opened; that is left to the caller to log.
std::unique_ptr<ScreenGrabber> openScreenGrabber(const GrabOptions &options, QString *error = nullptr);

/// Opens one given backend without fallback (tests and benchmarks).
std::unique_ptr<ScreenGrabber> openScreenGrabber(GrabBackend backend, const GrabOptions &options,
                                                 QString *error = nullptr);

} // namespace QnX11
