#include "platform/x11/internal/XcbCommon.h"

#include <xcb/shm.h>
#include <xcb/xfixes.h>

#include <cstring>

Q_LOGGING_CATEGORY(lcX11, "qn.x11")

namespace QnX11 {

namespace {

// Pixel sizes the grab path accepts for one picture side.
constexpr int kMaxSide = 16384;

xcb_visualtype_t *findVisual(const xcb_screen_t *screen, xcb_visualid_t id)
{
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == id)
                return v.data;
        }
    }
    return nullptr;
}

XcbConnectionPtr connectDisplay(const QByteArray &display, int *screenNumber, QString *error)
{
    XcbConnectionPtr conn(xcb_connect(display.isEmpty() ? nullptr : display.constData(), screenNumber));
    if (xcb_connection_has_error(conn.get())) {
        if (error)
            *error = QStringLiteral("cannot open display \"%1\"")
                         .arg(QString::fromLocal8Bit(display.isEmpty() ? qgetenv("DISPLAY") : display));
        return nullptr;
    }
    return conn;
}

xcb_screen_t *screenOf(xcb_connection_t *conn, int number)
{
    auto it = xcb_setup_roots_iterator(xcb_get_setup(conn));
    for (; it.rem; --number, xcb_screen_next(&it)) {
        if (number == 0)
            return it.data;
    }
    return nullptr;
}

} // namespace

const char *backendName(GrabBackend backend)
{
    return backend == GrabBackend::Shm ? "MIT-SHM" : "GetImage";
}

bool XcbGrabberBase::openBase(const GrabOptions &options, QString *error)
{
    int screenNumber = 0;
    m_conn = connectDisplay(options.display, &screenNumber, error);
    if (!m_conn)
        return false;
    const xcb_setup_t *setup = xcb_get_setup(m_conn.get());
    xcb_screen_t *screen = screenOf(m_conn.get(), screenNumber);
    if (!screen) {
        *error = QStringLiteral("the display has no screen %1").arg(screenNumber);
        return false;
    }
    m_root = screen->root;
    m_rootWidth = screen->width_in_pixels;
    m_rootHeight = screen->height_in_pixels;
    m_rootDepth = screen->root_depth;

    // Only 32 bits per pixel, least significant byte first, 8-bit RGB masks: the B, G, R, X layout
    // the frame contract promises.
    int bpp = 0;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == m_rootDepth)
            bpp = f.data->bits_per_pixel;
    }
    const xcb_visualtype_t *visual = findVisual(screen, screen->root_visual);
    if (bpp != 32 || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST || !visual ||
        visual->red_mask != 0xff0000 || visual->green_mask != 0xff00 || visual->blue_mask != 0xff) {
        *error = QStringLiteral("unsupported pixel format (depth %1, %2 bits per pixel)")
                     .arg(m_rootDepth)
                     .arg(bpp);
        return false;
    }

    const QRect root(0, 0, m_rootWidth, m_rootHeight);
    if (options.region.isNull()) {
        m_region = root;
    } else {
        m_region = options.region.intersected(root);
        if (m_region.isEmpty()) {
            *error = QStringLiteral("region %1,%2 %3x%4 lies outside the %5x%6 screen")
                         .arg(options.region.x())
                         .arg(options.region.y())
                         .arg(options.region.width())
                         .arg(options.region.height())
                         .arg(m_rootWidth)
                         .arg(m_rootHeight);
            return false;
        }
    }
    m_coversRoot = m_region == root;
    if (m_region.width() > kMaxSide || m_region.height() > kMaxSide) {
        *error = QStringLiteral("screen too large: %1x%2").arg(m_region.width()).arg(m_region.height());
        return false;
    }

    // XFixes is optional: without it frames come without a pointer.
    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(m_conn.get(), &xcb_xfixes_id);
    if (ext && ext->present) {
        XcbReply<xcb_xfixes_query_version_reply_t> v(xcb_xfixes_query_version_reply(
            m_conn.get(), xcb_xfixes_query_version(m_conn.get(), 4, 0), nullptr));
        m_xfixes = v && v->major_version >= 1;
    }
    if (!m_xfixes)
        qCWarning(lcX11) << "XFixes unavailable: the pointer will not be drawn";

    // Damage is optional too: without it every frame is grabbed whole.
    QString why;
    if (m_damage.open(m_conn.get(), m_root, &why))
        qCInfo(lcX11) << "screen damage tracking: on";
    else
        qCInfo(lcX11).noquote()
            << QStringLiteral("screen damage tracking unavailable (%1): every frame is grabbed whole")
                   .arg(why);
    return true;
}

XcbGrabberBase::~XcbGrabberBase() = default; // m_damage goes before m_conn (declaration order)

GrabStatus XcbGrabberBase::grab(GrabbedFrame &frame)
{
    const GrabStatus status = fetchRows(0, m_region.height(), frame);
    if (status == GrabStatus::Ok) {
        m_havePicture = true;
        m_picture = frame;
        m_rowsGrabbed += uint64_t(m_region.height());
    }
    return status;
}

GrabStatus XcbGrabberBase::grabRows(int top, int rows, GrabbedFrame &frame)
{
    if (!m_havePicture)
        return grab(frame);
    const int from = qBound(0, top, m_region.height());
    const int to = qBound(0, top + qMax(0, rows), m_region.height());
    if (from >= to) {
        frame = m_picture;
        return GrabStatus::Ok;
    }
    const GrabStatus status = fetchRows(from, to - from, frame);
    if (status == GrabStatus::Ok) {
        m_picture = frame;
        m_rowsGrabbed += uint64_t(to - from);
    }
    return status;
}

GrabStatus XcbGrabberBase::takeChanges(ScreenChanges &changes)
{
    changes.whole = true;
    changes.rects.clear();
    const auto geometry = requestRootGeometry();
    // What was drawn while tracking was off is unknown: the report of a fresh set-up is not enough.
    bool reopened = false;
    if (m_damageLost && !m_damageRetried) {
        // Set up again once after a failed report; a second failure leaves it off for good.
        m_damageRetried = true;
        QString why;
        reopened = m_damage.open(m_conn.get(), m_root, &why);
        if (!reopened)
            qCWarning(lcX11).noquote()
                << QStringLiteral("damage tracking cannot be set up again (%1): every frame is grabbed whole")
                       .arg(why);
    }
    m_damageRects.clear();
    bool known = false;
    if (m_damage.isOpen()) {
        known = m_damage.take(m_damageRects);
        if (!known && !m_damageLost)
            qCWarning(lcX11) << "the damage report failed: grabbing whole frames until tracking is back";
        m_damageLost = m_damageLost || !known;
    }
    const bool changed = rootChanged(geometry);
    if (xcb_connection_has_error(m_conn.get())) {
        qCWarning(lcX11) << "damage report failed: the X connection is lost";
        return GrabStatus::Error;
    }
    if (changed) {
        qCInfo(lcX11) << "screen size changed: capture must be set up again";
        return GrabStatus::Reinit;
    }
    // The first report covers everything since open, before the caller held a picture.
    const bool first = !m_changesTaken;
    m_changesTaken = true;
    if (!known || reopened || first || !m_havePicture)
        return GrabStatus::Ok;
    changes.whole = false;
    for (const QRect &r : m_damageRects) {
        const QRect inside = r.intersected(m_region);
        if (!inside.isEmpty())
            changes.rects.push_back(inside.translated(-m_region.topLeft()));
    }
    return GrabStatus::Ok;
}

xcb_get_geometry_cookie_t XcbGrabberBase::requestRootGeometry()
{
    return xcb_get_geometry(m_conn.get(), m_root);
}

bool XcbGrabberBase::rootChanged(xcb_get_geometry_cookie_t cookie)
{
    XcbReply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(m_conn.get(), cookie, nullptr));
    if (!g)
        return false; // connection trouble: reported by the image request
    return g->width != m_rootWidth || g->height != m_rootHeight || g->depth != m_rootDepth;
}

GrabStatus XcbGrabberBase::failureStatus(const xcb_generic_error_t *error, bool changed, const char *what)
{
    if (xcb_connection_has_error(m_conn.get())) {
        qCWarning(lcX11) << what << "failed: the X connection is lost";
        return GrabStatus::Error;
    }
    if (changed) {
        qCInfo(lcX11) << "screen size changed: capture must be set up again";
        return GrabStatus::Reinit;
    }
    // BadMatch: the region no longer fits the screen (a resize raced the geometry check).
    if (error && error->error_code == XCB_MATCH) {
        qCInfo(lcX11) << what << "refused with BadMatch: capture must be set up again";
        return GrabStatus::Reinit;
    }
    qCWarning(lcX11) << what << "failed, X error" << (error ? int(error->error_code) : -1);
    return GrabStatus::Error;
}

bool XcbGrabberBase::cursor(CursorImage &image)
{
    if (!m_xfixes)
        return false;
    xcb_generic_error_t *rawError = nullptr;
    XcbReply<xcb_xfixes_get_cursor_image_reply_t> r(xcb_xfixes_get_cursor_image_reply(
        m_conn.get(), xcb_xfixes_get_cursor_image(m_conn.get()), &rawError));
    XcbReply<xcb_generic_error_t> error(rawError);
    if (!r)
        return false;
    const int w = r->width, h = r->height;
    const int n = xcb_xfixes_get_cursor_image_cursor_image_length(r.get());
    if (w <= 0 || h <= 0 || w > 1024 || h > 1024 || n < w * h)
        return false;
    if (!m_cursorCached || r->cursor_serial != m_cursorSerial) {
        const uint32_t *px = xcb_xfixes_get_cursor_image_cursor_image(r.get());
        m_cursorCache.argb.assign(px, px + size_t(w) * size_t(h));
        m_cursorCache.width = w;
        m_cursorCache.height = h;
        m_cursorCache.hotX = r->xhot;
        m_cursorCache.hotY = r->yhot;
        m_cursorCache.serial = r->cursor_serial;
        m_cursorSerial = r->cursor_serial;
        m_cursorCached = true;
    }
    m_cursorCache.x = r->x;
    m_cursorCache.y = r->y;
    m_cursorCache.valid = true;
    // Copy only what changed: the pixel vector is reused when the shape is the same.
    if (image.serial != m_cursorCache.serial || image.argb.size() != m_cursorCache.argb.size() ||
        !image.valid)
        image = m_cursorCache;
    else {
        image.x = m_cursorCache.x;
        image.y = m_cursorCache.y;
    }
    return true;
}

bool serverHasShm(const QByteArray &display, QString *error)
{
    int screenNumber = 0;
    XcbConnectionPtr conn = connectDisplay(display, &screenNumber, error);
    if (!conn)
        return false;
    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(conn.get(), &xcb_shm_id);
    return ext && ext->present;
}

std::unique_ptr<ScreenGrabber> openScreenGrabber(GrabBackend backend, const GrabOptions &options,
                                                 QString *error)
{
    QString why;
    auto g = backend == GrabBackend::Shm ? openShmGrabber(options, &why) : openGetImageGrabber(options, &why);
    if (!g && error)
        *error = why;
    return g;
}

std::unique_ptr<ScreenGrabber> openScreenGrabber(const GrabOptions &options, QString *error)
{
    QString why;
    QString reason;
    bool fellBack = false; // the fast path was wanted and available but could not be set up
    if (options.forceGetImage) {
        reason = QStringLiteral("the capture settings ask for the plain path");
    } else {
        QString connectError;
        const bool hasShm = serverHasShm(options.display, &connectError);
        if (!connectError.isEmpty()) {
            if (error)
                *error = connectError;
            qCDebug(lcX11) << "no screen grabber:" << connectError;
            return nullptr;
        }
        if (!hasShm) {
            reason = QStringLiteral("the X server lacks MIT-SHM");
        } else if (auto g = openShmGrabber(options, &why)) {
            qCInfo(lcX11).noquote() << "screen grab backend: MIT-SHM (preferred path)";
            return g;
        } else {
            reason = QStringLiteral("MIT-SHM set-up failed: %1").arg(why);
            fellBack = true;
        }
    }
    auto g = openGetImageGrabber(options, &why);
    if (!g) {
        if (error)
            *error = why;
        qCDebug(lcX11).noquote() << "no screen grabber:" << why;
        return nullptr;
    }
    if (fellBack)
        qCWarning(lcX11).noquote() << "screen grab backend: GetImage, because" << reason;
    else
        qCInfo(lcX11).noquote() << "screen grab backend: GetImage, because" << reason;
    return g;
}

} // namespace QnX11
