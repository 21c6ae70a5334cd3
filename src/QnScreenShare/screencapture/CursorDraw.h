#pragma once

#include "platform/x11/QnScreenGrabber.h"

#include <cstdint>

/// Pointer drawing into a captured picture. Pure functions: no state, any thread.
namespace QnCursor {

/// One pointer shape.
///  - Color: width x height pixels of premultiplied ARGB (uint32 0xAARRGGBB, host order), rows of
///    `pitch` bytes; blended "over" the picture.
///  - Monochrome: an AND mask of height rows followed by an XOR mask of height rows, one bit per
///    pixel, most significant bit first, rows of `pitch` bytes. A set AND bit keeps the pixel, a
///    clear one keeps only its top byte; a set XOR bit then inverts the colour bytes (so AND 1 XOR 1
///    inverts the screen, AND 0 XOR 0 paints black, AND 0 XOR 1 paints white).
struct Shape
{
    enum class Type { Color, Monochrome };
    Type type = Type::Color;
    int width = 0;
    int height = 0;
    int pitch = 0; ///< bytes per row of data (of each mask for Monochrome)
    int hotX = 0;
    int hotY = 0;
    const uint8_t *data = nullptr;
};

/// Draws shape with its hot spot at (x, y) of a picture of width x height 32-bit pixels (bytes B,
/// G, R, X) whose rows are `stride` bytes apart. Parts outside the picture are clipped; a shape
/// whose sizes or pitch are inconsistent, or an invalid picture, draws nothing.
void draw(uint8_t *picture, int width, int height, int stride, const Shape &shape, int x, int y);

/// The colour shape of an X pointer image; it points into `image`, which must outlive it.
Shape colorShape(const QnX11::CursorImage &image);

} // namespace QnCursor
