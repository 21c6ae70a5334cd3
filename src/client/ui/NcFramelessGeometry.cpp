#include "client/ui/NcFramelessGeometry.h"

bool NcEdgeZones::operator==(const NcEdgeZones &o) const
{
    return onEdges == o.onEdges && left == o.left && right == o.right && top == o.top && bottom == o.bottom &&
           topLeft == o.topLeft && bottomLeft == o.bottomLeft && topRight == o.topRight &&
           bottomRight == o.bottomRight;
}

namespace NcFrameless {

NcEdgeZones edgeZones(const QPoint &p, const QRect &r)
{
    NcEdgeZones z;
    const int x = r.x();
    const int y = r.y();
    const int w = r.width();
    const int h = r.height();
    z.left = p.x() >= x && p.x() <= x + kBorder;
    z.right = p.x() >= x + w - kBorder && p.x() <= x + w;
    z.top = p.y() >= y && p.y() <= y + kBorder;
    z.bottom = p.y() >= y + h - kBorder && p.y() <= y + h;
    z.topLeft = z.top && z.left;
    z.bottomLeft = z.bottom && z.left;
    z.topRight = z.top && z.right;
    z.bottomRight = z.bottom && z.right;
    z.onEdges = z.left || z.right || z.top || z.bottom;
    return z;
}

std::optional<QRect> resized(const QRect &frame, const NcEdgeZones &press, const QPoint &p,
                             const QSize &minimum)
{
    int left = frame.left();
    int top = frame.top();
    int right = frame.right();
    int bottom = frame.bottom();
    if (press.topLeft) {
        left = p.x();
        top = p.y();
    } else if (press.bottomLeft) {
        left = p.x();
        bottom = p.y();
    } else if (press.topRight) {
        right = p.x();
        top = p.y();
    } else if (press.bottomRight) {
        right = p.x();
        bottom = p.y();
    } else if (press.left) {
        left = p.x();
    } else if (press.right) {
        right = p.x();
    } else if (press.top) {
        top = p.y();
    } else if (press.bottom) {
        bottom = p.y();
    }
    QRect r(QPoint(left, top), QPoint(right, bottom));
    if (!r.isValid())
        return std::nullopt;
    if (r.width() < minimum.width()) {
        if (r.left() == frame.left())
            r.setRight(frame.right());
        else
            r.setLeft(frame.left());
    }
    if (r.height() < minimum.height()) {
        if (r.top() == frame.top())
            r.setBottom(frame.bottom());
        else
            r.setTop(frame.top());
    }
    return r;
}

Qt::CursorShape cursorShape(const NcEdgeZones &z)
{
    if (z.topLeft || z.bottomRight)
        return Qt::SizeFDiagCursor;
    if (z.topRight || z.bottomLeft)
        return Qt::SizeBDiagCursor;
    if (z.left || z.right)
        return Qt::SizeHorCursor;
    if (z.top || z.bottom)
        return Qt::SizeVerCursor;
    return Qt::ArrowCursor;
}

} // namespace NcFrameless
