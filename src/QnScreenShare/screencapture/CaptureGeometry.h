#pragma once

#include <QRect>
#include <QVector>

/// Geometry decisions of the capture: which part of the desktop, and where the picture lands in the
/// output frame. Pure functions: any thread.
namespace QnCaptureGeometry {

/// Where a source of srcWidth x srcHeight lands in an output of outWidth x outHeight when its
/// aspect ratio is kept: the whole output when the ratios match, else a centred band (black bars
/// above and below, or left and right). Sizes and offsets are even so that the 4:2:0 chroma planes
/// line up; an odd fitted side is rounded down by one pixel. Returns a null rectangle when a size is
/// not positive.
QRect fitRect(int srcWidth, int srcHeight, int outWidth, int outHeight);

/// The desktop area of screen `index` in device pixels: the logical geometry of that screen, or of
/// the primary one when index is out of range, with x, y, width and height multiplied by
/// devicePixelRatio. A null rectangle when the list is empty (capture the whole desktop).
QRect screenRect(const QVector<QRect> &logicalScreens, int primaryIndex, int index, qreal devicePixelRatio);

} // namespace QnCaptureGeometry
