#include "client/ui/desktop/QnLynDesktopMath.h"

#include <Qt>

namespace QnLynDesktopMath {

qint64 i420Size(int width, int height)
{
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return -1;
    const qint64 w = width;
    const qint64 h = height;
    return w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2);
}

bool acceptPicture(qint64 size, int width, int height)
{
    const qint64 need = i420Size(width, height);
    return need > 0 && size >= need;
}

QRect fitCentred(const QSize &source, const QRect &area)
{
    if (source.isEmpty() || area.isEmpty())
        return QRect();
    const qint64 sw = source.width(), sh = source.height();
    const qint64 aw = area.width(), ah = area.height();
    qint64 w = aw, h = ah;
    if (aw * sh < ah * sw) // wider than the area: full width
        h = aw * sh / sw;
    else
        w = ah * sw / sh;
    return QRect(area.x() + int((aw - w) / 2), area.y() + int((ah - h) / 2), int(w), int(h));
}

QSize viewSize(int remoteWidth, int remoteHeight)
{
    if (remoteWidth <= 0 || remoteHeight <= 0 || remoteWidth > kMaxSide || remoteHeight > kMaxSide)
        return QSize();
    const qint64 w = remoteWidth, h = remoteHeight;
    QSize fit;
    if (qint64(kBaseWidth) * h < qint64(kBaseHeight) * w)
        fit = QSize(kBaseWidth, int(kBaseWidth * h / w));
    else
        fit = QSize(int(kBaseHeight * w / h), kBaseHeight);
    if (fit.width() <= 0 || fit.height() <= 0)
        return QSize();
    return fit;
}

int clampCursor(int cursor)
{
    if (cursor < 0 || cursor > Qt::LastCursor || cursor == Qt::BitmapCursor)
        return Qt::ArrowCursor;
    return cursor;
}

} // namespace QnLynDesktopMath
