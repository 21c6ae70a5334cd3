#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

/// Draws the login QR code.
class QnQRCodeWriter
{
public:
    /// A size.width() x size.height() RGB32 image: the QR symbol of text's UTF-8 bytes (error
    /// correction H, 8-bit mode, smallest version that fits) in colour on white, its modules
    /// covering the top-left square whose side is the smaller of width and height, without a quiet
    /// zone; the rest stays white. An empty size gives a null image; a text that cannot be encoded
    /// gives a white image, and a failed painter a black one (both logged).
    static QImage makeQRcode(const QString &text, const QSize &size, const QColor &colour);
};
