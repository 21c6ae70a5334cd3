#pragma once

#include <QRect>
#include <QSize>

/// Checks and geometry of the desktop-sync window, free of widgets: what a peer picture must hold,
/// how the receiver's screen fits the overlay's reference canvas and the view, and which cursor
/// shapes a peer may ask for. Any thread.
namespace QnLynDesktopMath {

/// Largest picture side accepted from a peer.
constexpr int kMaxSide = 16384;
/// The overlay's reference canvas.
constexpr int kBaseWidth = 1280;
constexpr int kBaseHeight = 720;

/// Bytes of a planar I420 picture of w x h: w*h luma and two chroma planes of ceil(w/2) x ceil(h/2);
/// -1 when a side is not within 1..kMaxSide.
qint64 i420Size(int width, int height);
/// True when the sides are within 1..kMaxSide and size holds the whole picture.
bool acceptPicture(qint64 size, int width, int height);

/// source fitted into area keeping its aspect ratio, centred; an empty rectangle when either is
/// empty. Integer arithmetic in 64 bits.
QRect fitCentred(const QSize &source, const QRect &area);

/// The receiver's screen fitted into the kBaseWidth x kBaseHeight canvas (the overlay's view
/// size); an empty size when a side is not positive, beyond kMaxSide, or the fit is 0 wide or high.
QSize viewSize(int remoteWidth, int remoteHeight);

/// A peer's cursor number as a Qt::CursorShape: numbers outside the shapes Qt has (0 ..
/// Qt::LastCursor, without Qt::BitmapCursor) give Qt::ArrowCursor.
int clampCursor(int cursor);

} // namespace QnLynDesktopMath
