#include "platform/scene/QnBoardWire.h"

namespace QnBoardWire {

QString colorText(const QColor &color)
{
    return color.name(QColor::HexArgb);
}

QColor colorFromText(const QString &text)
{
    return QColor(text);
}

QString idText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces);
}

} // namespace QnBoardWire
