#include "platform/x11/internal/XcbDamage.h"

#include "platform/x11/internal/XcbCommon.h"

#include <xcb/damage.h>
#include <xcb/xfixes.h>

namespace QnX11 {

XcbDamage::~XcbDamage()
{
    close();
}

void XcbDamage::close()
{
    if (m_conn && !xcb_connection_has_error(m_conn)) {
        if (m_damage)
            xcb_damage_destroy(m_conn, m_damage);
        if (m_region)
            xcb_xfixes_destroy_region(m_conn, m_region);
        xcb_flush(m_conn);
    }
    m_damage = 0;
    m_region = 0;
}

bool XcbDamage::open(xcb_connection_t *conn, xcb_window_t root, QString *why)
{
    close();
    m_conn = conn;
    const xcb_query_extension_reply_t *damage = xcb_get_extension_data(conn, &xcb_damage_id);
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(conn, &xcb_xfixes_id);
    if (!damage || !damage->present) {
        *why = QStringLiteral("the X server lacks DAMAGE");
        return false;
    }
    if (!xfixes || !xfixes->present) {
        *why = QStringLiteral("the X server lacks XFIXES");
        return false;
    }
    // Both versions must be announced before the extensions' requests are used.
    const auto fixesCookie = xcb_xfixes_query_version(conn, 4, 0);
    const auto damageCookie = xcb_damage_query_version(conn, 1, 1);
    XcbReply<xcb_xfixes_query_version_reply_t> fixesVersion(
        xcb_xfixes_query_version_reply(conn, fixesCookie, nullptr));
    XcbReply<xcb_damage_query_version_reply_t> damageVersion(
        xcb_damage_query_version_reply(conn, damageCookie, nullptr));
    if (!fixesVersion || fixesVersion->major_version < 2 || !damageVersion ||
        (damageVersion->major_version == 1 && damageVersion->minor_version < 1)) {
        *why = QStringLiteral("DAMAGE 1.1 and XFIXES 2 are needed");
        return false;
    }
    const uint32_t region = xcb_generate_id(conn);
    const uint32_t object = xcb_generate_id(conn);
    const auto regionCookie = xcb_xfixes_create_region_checked(conn, region, 0, nullptr);
    const auto damageCreate =
        xcb_damage_create_checked(conn, object, root, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    XcbReply<xcb_generic_error_t> regionError(xcb_request_check(conn, regionCookie));
    XcbReply<xcb_generic_error_t> damageError(xcb_request_check(conn, damageCreate));
    if (!regionError)
        m_region = region;
    if (!damageError)
        m_damage = object;
    if (regionError || damageError) {
        *why = QStringLiteral("the server refused the damage objects (X error %1)")
                   .arg(regionError ? regionError->error_code : damageError->error_code);
        close();
        return false;
    }
    return true;
}

void XcbDamage::dropEvents()
{
    if (!m_conn)
        return;
    while (xcb_generic_event_t *e = xcb_poll_for_event(m_conn))
        std::free(e);
}

bool XcbDamage::take(std::vector<QRect> &rects)
{
    if (!isOpen())
        return false;
    const auto subtract = xcb_damage_subtract_checked(m_conn, m_damage, XCB_NONE, m_region);
    const auto fetch = xcb_xfixes_fetch_region(m_conn, m_region);
    xcb_generic_error_t *rawError = nullptr;
    XcbReply<xcb_xfixes_fetch_region_reply_t> reply(xcb_xfixes_fetch_region_reply(m_conn, fetch, &rawError));
    XcbReply<xcb_generic_error_t> fetchError(rawError);
    // The fetch reply came after the subtract was handled: checking it costs no round trip.
    XcbReply<xcb_generic_error_t> subtractError(xcb_request_check(m_conn, subtract));
    dropEvents();
    if (!reply || fetchError || subtractError) {
        close();
        return false;
    }
    const xcb_rectangle_t *r = xcb_xfixes_fetch_region_rectangles(reply.get());
    const int n = xcb_xfixes_fetch_region_rectangles_length(reply.get());
    for (int i = 0; i < n; ++i) {
        if (r[i].width > 0 && r[i].height > 0)
            rects.emplace_back(r[i].x, r[i].y, r[i].width, r[i].height);
    }
    return true;
}

} // namespace QnX11
