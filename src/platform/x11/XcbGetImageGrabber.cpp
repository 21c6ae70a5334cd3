// Plain GetImage backend: the picture travels through the X connection; works on any server.

#include "platform/x11/internal/XcbCommon.h"

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
        if (grab(probe) != GrabStatus::Ok) {
            *error = QStringLiteral("the first GetImage grab failed");
            return false;
        }
        return true;
    }

    GrabBackend backend() const override { return GrabBackend::GetImage; }

    GrabStatus grab(GrabbedFrame &frame) override
    {
        xcb_connection_t *c = m_conn.get();
        const auto geometry = requestRootGeometry();
        const auto cookie =
            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, int16_t(m_region.x()), int16_t(m_region.y()),
                          uint16_t(m_region.width()), uint16_t(m_region.height()), ~0u);
        xcb_generic_error_t *rawError = nullptr;
        XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(c, cookie, &rawError));
        XcbReply<xcb_generic_error_t> error(rawError);
        const bool changed = rootChanged(geometry);
        if (!reply || changed)
            return failureStatus(error.get(), changed, "GetImage grab");
        const int length = xcb_get_image_data_length(reply.get());
        const size_t rowBytes = size_t(m_region.width()) * 4;
        if (reply->depth != m_rootDepth || length < 0 ||
            size_t(length) < rowBytes * size_t(m_region.height())) {
            qCWarning(lcX11) << "GetImage returned" << length << "bytes at depth" << reply->depth;
            return GrabStatus::Reinit;
        }
        // The reply holds the pixels: keep it until the next grab.
        m_reply = std::move(reply);
        frame.data = xcb_get_image_data(m_reply.get());
        frame.width = m_region.width();
        frame.height = m_region.height();
        frame.stride = int(size_t(length) / size_t(m_region.height()));
        return GrabStatus::Ok;
    }

private:
    XcbReply<xcb_get_image_reply_t> m_reply;
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
