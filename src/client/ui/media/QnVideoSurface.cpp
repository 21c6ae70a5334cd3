#include "client/ui/media/QnVideoSurface.h"

#include <QPainter>
#include <QVideoSurfaceFormat>

QnVideoSurface::QnVideoSurface(QObject *parent) : QAbstractVideoSurface(parent) {}

QList<QVideoFrame::PixelFormat>
QnVideoSurface::supportedPixelFormats(QAbstractVideoBuffer::HandleType type) const
{
    if (type != QAbstractVideoBuffer::NoHandle)
        return {};
    return {QVideoFrame::Format_RGB32, QVideoFrame::Format_ARGB32, QVideoFrame::Format_BGR32};
}

bool QnVideoSurface::present(const QVideoFrame &frame)
{
    QVideoFrame copy(frame);
    if (!copy.map(QAbstractVideoBuffer::ReadOnly))
        return false;
    const QImage::Format format = QVideoFrame::imageFormatFromPixelFormat(copy.pixelFormat());
    QImage image;
    if (format != QImage::Format_Invalid)
        image = QImage(copy.bits(), copy.width(), copy.height(), copy.bytesPerLine(), format).copy();
    copy.unmap();
    if (image.isNull())
        return false;
    emit frameReady(image);
    return true;
}

QnVideoView::QnVideoView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

void QnVideoView::setFrame(const QImage &image)
{
    m_frame = image;
    update();
}

void QnVideoView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_frame.isNull())
        return;
    const QSize size = m_frame.size().scaled(this->size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, m_frame);
}
