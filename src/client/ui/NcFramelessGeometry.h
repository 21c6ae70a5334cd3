#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

/// Which borders of a window a point lies on (see NcFrameless::edgeZones).
struct NcEdgeZones
{
    bool onEdges = false;
    bool left = false;
    bool right = false;
    bool top = false;
    bool bottom = false;
    bool topLeft = false;
    bool bottomLeft = false;
    bool topRight = false;
    bool bottomRight = false;

    bool operator==(const NcEdgeZones &o) const;
};

/// The geometry rules of NcFramelessHelper, free of widgets so they can be tested with tables.
namespace NcFrameless {

/// Width of the resize border, in pixels.
constexpr int kBorder = 10;

/// Edge test of p against r, comparisons inclusive. The right and bottom tests run to x + width
/// and y + height (one pixel past the last column and row).
NcEdgeZones edgeZones(const QPoint &p, const QRect &r);

/// The geometry a drag of the border(s) in press to point p gives a window whose frame is frame.
/// Corner zones win over single edges. Returns nothing when the rectangle would be invalid (the
/// dragged edge went past the opposite one). When it would be narrower (lower) than minimum, the
/// dragged edge stays where it was and the other edge is kept.
std::optional<QRect> resized(const QRect &frame, const NcEdgeZones &press, const QPoint &p,
                             const QSize &minimum);

/// The cursor shape for hover zones; Qt::ArrowCursor (meaning "no resize cursor") off the borders.
Qt::CursorShape cursorShape(const NcEdgeZones &zones);

} // namespace NcFrameless
