#include "client/ui/account/QnLynHeadButton.h"

#include <QPainter>
#include <QPainterPath>

QnLynHeadButton::QnLynHeadButton(QWidget *parent) : QPushButton(parent)
{
    setStyleSheet(QStringLiteral("border: none;"));
}

void QnLynHeadButton::loadHeadImage(const QString &path)
{
    m_image = QPixmap(path);
    update();
}

void QnLynHeadButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (m_image.isNull() || m_diameter <= 2)
        return;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 51));
    painter.drawEllipse(QRectF(0, 0, width(), height()));
    QPainterPath clip;
    clip.addEllipse(QRectF(1, 1, m_diameter - 2, m_diameter - 2));
    painter.setClipPath(clip);
    // The scaled copy is kept, as the button has always done: a later larger diameter enlarges it.
    m_image = m_image.scaled(m_diameter, m_diameter, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    painter.drawPixmap(0, 0, m_image);
    painter.setClipping(false);
}
