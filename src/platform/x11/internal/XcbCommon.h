#pragma once

// Shared pieces of the X11 grab backends: RAII for xcb handles, the connection set-up and checks
// common to every backend, and the XFixes pointer query. Internal to qn_platform_x11.

#include "platform/x11/QnScreenGrabber.h"
#include "platform/x11/internal/XcbDamage.h"

#include <QLoggingCategory>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcX11)

namespace QnX11 {

struct XcbConnectionDeleter
{
    void operator()(xcb_connection_t *c) const { xcb_disconnect(c); }
};
using XcbConnectionPtr = std::unique_ptr<xcb_connection_t, XcbConnectionDeleter>;

/// Owns one reply or error structure (both are malloc'ed by xcb).
struct XcbFree
{
    void operator()(void *p) const { std::free(p); }
};
template<typename T> using XcbReply = std::unique_ptr<T, XcbFree>;

/// Connection, root window, the pixel-format checks, damage tracking and the row accounting shared
/// by the backends; a backend only fetches rows into its picture.
class XcbGrabberBase : public ScreenGrabber
{
public:
    ~XcbGrabberBase() override;

    QRect region() const override { return m_region; }
    bool coversRoot() const override { return m_coversRoot; }
    bool cursor(CursorImage &image) override;
    GrabStatus grab(GrabbedFrame &frame) final;
    GrabStatus grabRows(int top, int rows, GrabbedFrame &frame) final;
    GrabStatus takeChanges(ScreenChanges &changes) final;
    bool tracksDamage() const final { return m_damage.isOpen(); }
    uint64_t rowsGrabbed() const final { return m_rowsGrabbed; }

protected:
    XcbGrabberBase() = default;
    /// Connects, checks the root's pixel format (32 bits per pixel, little-endian, 8-bit RGB),
    /// fixes the region and starts damage tracking when the server offers it. False with *error set
    /// on failure.
    bool openBase(const GrabOptions &options, QString *error);
    /// Fetches rows [top, top + rows) of the region (already clipped, not empty) into the picture;
    /// all rows when top is 0 and rows the region's height, which a backend must support before any
    /// other band. On Ok, frame describes the whole picture.
    virtual GrabStatus fetchRows(int top, int rows, GrabbedFrame &frame) = 0;

    /// Sends a geometry request for the root; pair with rootChanged() after the image request.
    xcb_get_geometry_cookie_t requestRootGeometry();
    /// True when the root's size or depth differs from the one at open (the reply is consumed).
    bool rootChanged(xcb_get_geometry_cookie_t cookie);
    /// Maps a failed image request to a status: Reinit when the screen changed under us, else Error.
    GrabStatus failureStatus(const xcb_generic_error_t *error, bool changed, const char *what);

    XcbConnectionPtr m_conn;
    xcb_window_t m_root = 0;
    int m_rootWidth = 0;
    int m_rootHeight = 0;
    int m_rootDepth = 0;
    QRect m_region;
    bool m_coversRoot = false;

private:
    XcbDamage m_damage;           // before the connection goes (see ~XcbGrabberBase)
    bool m_damageLost = false;    // a report failed
    bool m_damageRetried = false; // tracking was set up again after that
    bool m_havePicture = false;   // a grab() succeeded: m_picture is whole
    GrabbedFrame m_picture;
    bool m_changesTaken = false;
    uint64_t m_rowsGrabbed = 0;
    std::vector<QRect> m_damageRects;
    bool m_xfixes = false;
    uint32_t m_cursorSerial = 0;
    bool m_cursorCached = false;
    CursorImage m_cursorCache;
};

std::unique_ptr<ScreenGrabber> openShmGrabber(const GrabOptions &options, QString *error);
std::unique_ptr<ScreenGrabber> openGetImageGrabber(const GrabOptions &options, QString *error);
/// True when the display's server offers MIT-SHM; *error set when the display cannot be opened.
bool serverHasShm(const QByteArray &display, QString *error);

} // namespace QnX11
