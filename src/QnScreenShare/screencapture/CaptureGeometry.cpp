#include "QnScreenShare/screencapture/CaptureGeometry.h"

#include <cmath>

namespace QnCaptureGeometry {

QRect fitRect(int srcWidth, int srcHeight, int outWidth, int outHeight)
{
    if (srcWidth <= 0 || srcHeight <= 0 || outWidth <= 0 || outHeight <= 0)
        return QRect();
    const qint64 sw = srcWidth, sh = srcHeight, w = outWidth, h = outHeight;
    if (w * sh == h * sw)
        return QRect(0, 0, outWidth, outHeight);
    int fw, fh;
    if (w * sh < h * sw) {
        fw = outWidth;
        fh = int(w * sh / sw);
    } else {
        fw = int(h * sw / sh);
        fh = outHeight;
    }
    fw = qMax(2, fw & ~1);
    fh = qMax(2, fh & ~1);
    fw = qMin(fw, outWidth & ~1);
    fh = qMin(fh, outHeight & ~1);
    const int x = ((outWidth - fw) / 2) & ~1;
    const int y = ((outHeight - fh) / 2) & ~1;
    return QRect(x, y, fw, fh);
}

QRect screenRect(const QVector<QRect> &logicalScreens, int primaryIndex, int index, qreal devicePixelRatio)
{
    if (logicalScreens.isEmpty())
        return QRect();
    if (index < 0 || index >= logicalScreens.size())
        index = (primaryIndex >= 0 && primaryIndex < logicalScreens.size()) ? primaryIndex : 0;
    const QRect g = logicalScreens.at(index);
    const qreal r = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    return QRect(qRound(g.x() * r), qRound(g.y() * r), qRound(g.width() * r), qRound(g.height() * r));
}

} // namespace QnCaptureGeometry
