#include "QnQRCodeWriter/src/QnQRCodeWriter.h"

#include <qrencode.h>

#include <QLoggingCategory>
#include <QPainter>

#include <memory>

Q_LOGGING_CATEGORY(lcQrCode, "qn.login.qrcode")

namespace {

struct QrCodeFree
{
    void operator()(QRcode *code) const { QRcode_free(code); }
};
using QrCodePtr = std::unique_ptr<QRcode, QrCodeFree>;

} // namespace

QImage QnQRCodeWriter::makeQRcode(const QString &text, const QSize &size, const QColor &colour)
{
    if (size.isEmpty())
        return QImage();
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(QStringLiteral("#000000")));
    QPainter painter(&image);
    if (!painter.isActive()) {
        qCWarning(lcQrCode) << "ZvQRCodeWriter::makeQRcode: error";
        return image;
    }

    const QByteArray bytes = text.toUtf8();
    const QrCodePtr code(QRcode_encodeString(bytes.constData(), 1, QR_ECLEVEL_H, QR_MODE_8, 1));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(QStringLiteral("#ffffff")));
    painter.drawRect(0, 0, size.width(), size.height());
    if (!code) {
        qCWarning(lcQrCode) << "ZvQRCodeWriter::makeQRcode: empty qrcode";
        return image;
    }

    painter.setBrush(colour);
    const int n = qMax(1, code->width);
    const double side = qMin(size.width(), size.height());
    const double cell = side / n;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            if (code->data[r * n + c] & 1)
                painter.drawRect(QRectF(c * cell, r * cell, cell, cell));
        }
    }
    painter.end();
    return image;
}
