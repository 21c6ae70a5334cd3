#pragma once

// XDamage on the root window of one grabber connection: which parts of the screen were drawn
// since the previous take(). Internal to qn_platform_x11.

#include <QRect>
#include <QString>

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

namespace QnX11 {

/// One damage object (report level "non-empty") and one XFixes region on a connection it does not
/// own. take() moves the accumulated damage into the region and fetches its rectangles: one round
/// trip, whatever the number of notify events. The notify events themselves carry nothing we need
/// and are dropped as they come.
///
/// Belongs to its grabber's thread, like the connection. Destroy it before the connection.
class XcbDamage
{
public:
    XcbDamage() = default;
    ~XcbDamage();
    XcbDamage(const XcbDamage &) = delete;
    XcbDamage &operator=(const XcbDamage &) = delete;

    /// Starts tracking the root window. Needs DAMAGE >= 1.1 and XFixes >= 2 (regions); false with
    /// *why set when the server lacks them or refuses the objects.
    bool open(xcb_connection_t *conn, xcb_window_t root, QString *why);
    bool isOpen() const { return m_damage != 0; }

    /// The damage since the previous take() (since open() for the first), in root coordinates,
    /// appended to `rects`; the damage is cleared. Waits for the reply (requests sent before it on
    /// the connection are answered in the same round trip). False when the requests failed (the
    /// object is gone or the connection is in trouble): the damage is then unknown and the object
    /// is closed; open() may be tried again.
    bool take(std::vector<QRect> &rects);

    /// Drops the damage notify events queued on the connection (and any stray error of ours).
    void dropEvents();

private:
    void close();

    xcb_connection_t *m_conn = nullptr;
    uint32_t m_damage = 0;
    uint32_t m_region = 0;
};

} // namespace QnX11
