// MIT-SHM backend: the server writes each picture straight into a System V shared segment.

#include "platform/x11/internal/XcbCommon.h"

#include <xcb/shm.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cerrno>
#include <cstring>

namespace QnX11 {

namespace {

/// A System V shared segment attached here and, once attach() succeeded, on the server.
/// The segment is marked for removal as soon as both sides hold it, so it cannot leak past the
/// process even on a crash. Destroy before the connection it was attached to.
class ShmSegment
{
public:
    ShmSegment() = default;
    ShmSegment(const ShmSegment &) = delete;
    ShmSegment &operator=(const ShmSegment &) = delete;
    ~ShmSegment()
    {
        if (m_conn && m_seg) {
            xcb_shm_detach(m_conn, m_seg);
            xcb_flush(m_conn);
        }
        if (m_addr)
            shmdt(m_addr);
        if (m_id >= 0)
            shmctl(m_id, IPC_RMID, nullptr);
    }

    bool create(xcb_connection_t *conn, size_t size, QString *error)
    {
        m_id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (m_id < 0) {
            *error = QStringLiteral("shmget of %1 bytes: %2")
                         .arg(size)
                         .arg(QString::fromLocal8Bit(strerror(errno)));
            return false;
        }
        void *addr = shmat(m_id, nullptr, 0);
        if (addr == reinterpret_cast<void *>(-1)) {
            *error = QStringLiteral("shmat: %1").arg(QString::fromLocal8Bit(strerror(errno)));
            return false;
        }
        m_addr = static_cast<uint8_t *>(addr);
        m_size = size;
        const xcb_shm_seg_t seg = xcb_generate_id(conn);
        XcbReply<xcb_generic_error_t> err(
            xcb_request_check(conn, xcb_shm_attach_checked(conn, seg, uint32_t(m_id), 0)));
        if (err) {
            *error = QStringLiteral("the server refused the segment (X error %1)").arg(err->error_code);
            return false;
        }
        m_conn = conn;
        m_seg = seg;
        shmctl(m_id, IPC_RMID, nullptr);
        m_id = -1;
        return true;
    }

    xcb_shm_seg_t seg() const { return m_seg; }
    uint8_t *data() const { return m_addr; }
    size_t size() const { return m_size; }

private:
    xcb_connection_t *m_conn = nullptr;
    xcb_shm_seg_t m_seg = 0;
    int m_id = -1;
    uint8_t *m_addr = nullptr;
    size_t m_size = 0;
};

class XcbShmGrabber final : public XcbGrabberBase
{
public:
    ~XcbShmGrabber() override { m_segment.reset(); }

    bool open(const GrabOptions &options, QString *error)
    {
        if (!openBase(options, error))
            return false;
        const xcb_query_extension_reply_t *ext = xcb_get_extension_data(m_conn.get(), &xcb_shm_id);
        if (!ext || !ext->present) {
            *error = QStringLiteral("the X server lacks MIT-SHM");
            return false;
        }
        XcbReply<xcb_shm_query_version_reply_t> v(
            xcb_shm_query_version_reply(m_conn.get(), xcb_shm_query_version(m_conn.get()), nullptr));
        if (!v) {
            *error = QStringLiteral("MIT-SHM version query failed");
            return false;
        }
        m_segment = std::make_unique<ShmSegment>();
        const size_t size = size_t(m_region.width()) * size_t(m_region.height()) * 4;
        if (!m_segment->create(m_conn.get(), size, error))
            return false;
        // One trial grab proves that the server can write into the segment (it cannot when it
        // lives in another IPC namespace, for instance).
        GrabbedFrame probe;
        if (fetchRows(0, m_region.height(), probe) != GrabStatus::Ok) {
            *error = QStringLiteral("the first MIT-SHM grab failed");
            return false;
        }
        return true;
    }

    GrabBackend backend() const override { return GrabBackend::Shm; }

protected:
    GrabStatus fetchRows(int top, int rows, GrabbedFrame &frame) override
    {
        xcb_connection_t *c = m_conn.get();
        // Rows land at their own place in the segment: a band refreshes part of the last picture.
        const size_t rowBytes = size_t(m_region.width()) * 4;
        const auto geometry = requestRootGeometry();
        const auto cookie =
            xcb_shm_get_image(c, m_root, int16_t(m_region.x()), int16_t(m_region.y() + top),
                              uint16_t(m_region.width()), uint16_t(rows), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                              m_segment->seg(), uint32_t(size_t(top) * rowBytes));
        xcb_generic_error_t *rawError = nullptr;
        XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(c, cookie, &rawError));
        XcbReply<xcb_generic_error_t> error(rawError);
        const bool changed = rootChanged(geometry);
        if (!reply || changed)
            return failureStatus(error.get(), changed, "MIT-SHM grab");
        // 32 bits per pixel with 32-bit scanline padding: rows are packed, width * 4 bytes each.
        if (reply->depth != m_rootDepth || reply->size != rowBytes * size_t(rows) ||
            size_t(top + rows) * rowBytes > m_segment->size()) {
            qCWarning(lcX11) << "MIT-SHM grab returned" << reply->size << "bytes at depth" << reply->depth;
            return GrabStatus::Reinit;
        }
        frame.data = m_segment->data();
        frame.width = m_region.width();
        frame.height = m_region.height();
        frame.stride = int(rowBytes);
        return GrabStatus::Ok;
    }

private:
    std::unique_ptr<ShmSegment> m_segment; // before the connection goes (see ~XcbShmGrabber)
};

} // namespace

std::unique_ptr<ScreenGrabber> openShmGrabber(const GrabOptions &options, QString *error)
{
    auto g = std::make_unique<XcbShmGrabber>();
    if (!g->open(options, error))
        return nullptr;
    return g;
}

} // namespace QnX11
