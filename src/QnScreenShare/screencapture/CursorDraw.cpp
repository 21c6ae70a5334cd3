#include "QnScreenShare/screencapture/CursorDraw.h"

#include <algorithm>
#include <cstring>

namespace QnCursor {

namespace {

inline uint32_t load(const uint8_t *p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void store(uint8_t *p, uint32_t v)
{
    std::memcpy(p, &v, 4);
}

// Premultiplied "over": dst = src + dst * (255 - a) / 255, per colour channel, saturated.
inline uint32_t over(uint32_t src, uint32_t dst)
{
    const uint32_t a = src >> 24;
    if (a == 255)
        return (dst & 0xff000000u) | (src & 0x00ffffffu);
    uint32_t out = dst & 0xff000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t s = (src >> shift) & 0xff;
        const uint32_t d = (dst >> shift) & 0xff;
        uint32_t v = s + (d * (255 - a) + 127) / 255;
        out |= std::min<uint32_t>(v, 255) << shift;
    }
    return out;
}

inline bool bit(const uint8_t *row, int x)
{
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

} // namespace

void draw(uint8_t *picture, int width, int height, int stride, const Shape &shape, int x, int y)
{
    if (!picture || width <= 0 || height <= 0 || stride < width * 4 || !shape.data || shape.width <= 0 ||
        shape.height <= 0)
        return;
    const bool mono = shape.type == Shape::Type::Monochrome;
    const int minPitch = mono ? (shape.width + 7) / 8 : shape.width * 4;
    if (shape.pitch < minPitch)
        return;

    // Shape rectangle in picture coordinates, then clipped to the picture.
    const long left = long(x) - shape.hotX;
    const long top = long(y) - shape.hotY;
    const long x0 = std::max<long>(left, 0);
    const long y0 = std::max<long>(top, 0);
    const long x1 = std::min<long>(left + shape.width, width);
    const long y1 = std::min<long>(top + shape.height, height);
    if (x0 >= x1 || y0 >= y1)
        return;

    for (long py = y0; py < y1; ++py) {
        const int sy = int(py - top);
        uint8_t *dst = picture + size_t(py) * size_t(stride);
        if (mono) {
            const uint8_t *andRow = shape.data + size_t(sy) * size_t(shape.pitch);
            const uint8_t *xorRow = shape.data + size_t(sy + shape.height) * size_t(shape.pitch);
            for (long px = x0; px < x1; ++px) {
                const int sx = int(px - left);
                uint32_t v = load(dst + px * 4);
                v &= bit(andRow, sx) ? 0xffffffffu : 0xff000000u;
                if (bit(xorRow, sx))
                    v ^= 0x00ffffffu;
                store(dst + px * 4, v);
            }
        } else {
            const uint8_t *srcRow = shape.data + size_t(sy) * size_t(shape.pitch);
            for (long px = x0; px < x1; ++px) {
                const uint32_t s = load(srcRow + (px - left) * 4);
                if (s == 0)
                    continue;
                store(dst + px * 4, over(s, load(dst + px * 4)));
            }
        }
    }
}

Shape colorShape(const QnX11::CursorImage &image)
{
    Shape shape;
    shape.type = Shape::Type::Color;
    shape.width = image.width;
    shape.height = image.height;
    shape.pitch = image.width * 4;
    shape.hotX = image.hotX;
    shape.hotY = image.hotY;
    shape.data = reinterpret_cast<const uint8_t *>(image.argb.data());
    return shape;
}

} // namespace QnCursor
