#pragma once

// A known I420 test pattern: four quadrants red, green, blue, white (BT.601, limited range).

#include <QByteArray>
#include <QColor>
#include <QImage>

namespace QnTestPattern {

inline void yuv(const QColor &c, int &y, int &u, int &v)
{
    const double r = c.redF(), g = c.greenF(), b = c.blueF();
    y = qRound(16 + 65.481 * r + 128.553 * g + 24.966 * b);
    u = qRound(128 - 37.797 * r - 74.203 * g + 112.0 * b);
    v = qRound(128 + 112.0 * r - 93.786 * g - 18.214 * b);
}

inline QColor quadrant(int qx, int qy)
{
    static const QColor colours[4] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255),
                                      QColor(255, 255, 255)};
    return colours[qy * 2 + qx];
}

/// w x h (even sides) quadrant pattern, planes Y, U, V one after another.
inline QByteArray quadrants(int w, int h)
{
    QByteArray yp(w * h, '\0'), up((w / 2) * (h / 2), '\0'), vp((w / 2) * (h / 2), '\0');
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col) {
            int y, u, v;
            yuv(quadrant(col * 2 / w, row * 2 / h), y, u, v);
            yp[row * w + col] = char(y);
            if (row % 2 == 0 && col % 2 == 0) {
                up[(row / 2) * (w / 2) + col / 2] = char(u);
                vp[(row / 2) * (w / 2) + col / 2] = char(v);
            }
        }
    return yp + up + vp;
}

/// One colour, w x h.
inline QByteArray solid(int w, int h, const QColor &c)
{
    int y, u, v;
    yuv(c, y, u, v);
    const int cw = (w + 1) / 2, ch = (h + 1) / 2;
    QByteArray out(w * h, char(y));
    out.append(QByteArray(cw * ch, char(u)));
    out.append(QByteArray(cw * ch, char(v)));
    return out;
}

inline bool near(QRgb px, const QColor &want, int tolerance = 24)
{
    return qAbs(qRed(px) - want.red()) <= tolerance && qAbs(qGreen(px) - want.green()) <= tolerance &&
           qAbs(qBlue(px) - want.blue()) <= tolerance;
}

} // namespace QnTestPattern
