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
/// Both hand out the pointer image from XFixes so that callers can draw it in.
///
/// A grabber belongs to the thread that opened it (it owns its own X connection); it is not
/// thread-safe. Frames point into memory owned by the grabber and stay valid until the next grab()
/// or the grabber's destruction.
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
    uint8_t *data = nullptr; ///< owned by the grabber; the caller may draw into it
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
    /// The current pointer image (one round trip; the pixels are refetched only when the shape
    /// changed). Returns false when XFixes is unavailable or the request failed.
    virtual bool cursor(CursorImage &image) = 0;

protected:
    ScreenGrabber() = default;
};

const char *backendName(GrabBackend backend);

/// Opens a grabber: MIT-SHM unless options.forceGetImage is set, the server lacks MIT-SHM, or
/// setting it up fails; then plain GetImage. Logs the backend chosen and why ("qn.x11": info, or
/// warning when the fast path failed). Returns null (and a reason in *error) when no backend can be
/// opened; that is left to the caller to log.
std::unique_ptr<ScreenGrabber> openScreenGrabber(const GrabOptions &options, QString *error = nullptr);

/// Opens one given backend without fallback (tests and benchmarks).
std::unique_ptr<ScreenGrabber> openScreenGrabber(GrabBackend backend, const GrabOptions &options,
                                                 QString *error = nullptr);

} // namespace QnX11
