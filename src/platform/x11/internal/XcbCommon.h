#pragma once

// Shared pieces of the X11 grab backends: RAII for xcb handles, the connection set-up and checks
// common to every backend, and the XFixes pointer query. Internal to qn_platform_x11.

#include "platform/x11/QnScreenGrabber.h"

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

/// Connection, root window and the pixel-format checks shared by the backends.
class XcbGrabberBase : public ScreenGrabber
{
public:
    QRect region() const override { return m_region; }
    bool coversRoot() const override { return m_coversRoot; }
    bool cursor(CursorImage &image) override;

protected:
    XcbGrabberBase() = default;
    /// Connects, checks the root's pixel format (32 bits per pixel, little-endian, 8-bit RGB) and
    /// fixes the region. False with *error set on failure.
    bool openBase(const GrabOptions &options, QString *error);

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
