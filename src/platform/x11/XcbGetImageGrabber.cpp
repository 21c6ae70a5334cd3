// Plain GetImage backend: the picture travels through the X connection; works on any server.

#include "platform/x11/internal/XcbCommon.h"

#include <cstring>

namespace QnX11 {

namespace {

class XcbGetImageGrabber final : public XcbGrabberBase
{
public:
    bool open(const GrabOptions &options, QString *error)
    {
        if (!openBase(options, error))
            return false;
        GrabbedFrame probe;
        if (fetchRows(0, m_region.height(), probe) != GrabStatus::Ok) {
            *error = QStringLiteral("the first GetImage grab failed");
            return false;
        }
        return true;
    }

    GrabBackend backend() const override { return GrabBackend::GetImage; }

protected:
    GrabStatus fetchRows(int top, int rows, GrabbedFrame &frame) override
    {
        xcb_connection_t *c = m_conn.get();
        const bool whole = top == 0 && rows == m_region.height();
        if (!whole && !m_reply)
            return GrabStatus::Error; // the base asks for everything first
        const auto geometry = requestRootGeometry();
        const auto cookie =
            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, int16_t(m_region.x()),
                          int16_t(m_region.y() + top), uint16_t(m_region.width()), uint16_t(rows), ~0u);
        xcb_generic_error_t *rawError = nullptr;
        XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(c, cookie, &rawError));
        XcbReply<xcb_generic_error_t> error(rawError);
        const bool changed = rootChanged(geometry);
        if (!reply || changed)
            return failureStatus(error.get(), changed, "GetImage grab");
        const int length = xcb_get_image_data_length(reply.get());
        const size_t rowBytes = size_t(m_region.width()) * 4;
        if (reply->depth != m_rootDepth || length < 0 || size_t(length) < rowBytes * size_t(rows) ||
            (!whole && size_t(length) / size_t(rows) != size_t(m_stride))) {
            qCWarning(lcX11) << "GetImage returned" << length << "bytes at depth" << reply->depth;
            return GrabStatus::Reinit;
        }
        if (whole) {
            // The reply holds the pixels: keep it as the picture until the next whole grab.
            m_reply = std::move(reply);
            m_stride = int(size_t(length) / size_t(m_region.height()));
        } else {
            // A band is copied into the picture at its place.
            std::memcpy(xcb_get_image_data(m_reply.get()) + size_t(top) * size_t(m_stride),
                        xcb_get_image_data(reply.get()), size_t(m_stride) * size_t(rows));
        }
        frame.data = xcb_get_image_data(m_reply.get());
        frame.width = m_region.width();
        frame.height = m_region.height();
        frame.stride = m_stride;
        return GrabStatus::Ok;
    }

private:
    XcbReply<xcb_get_image_reply_t> m_reply; // the picture: the last whole grab, bands copied in
    int m_stride = 0;
};

} // namespace

std::unique_ptr<ScreenGrabber> openGetImageGrabber(const GrabOptions &options, QString *error)
{
    auto g = std::make_unique<XcbGetImageGrabber>();
    if (!g->open(options, error))
        return nullptr;
    return g;
}

} // namespace QnX11
