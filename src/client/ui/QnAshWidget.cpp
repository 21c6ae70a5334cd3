#include "client/ui/QnAshWidget.h"

#include <QPainter>

QnAshWidget::QnAshWidget(QWidget *parent) : QWidget(parent) {}

void QnAshWidget::setOpacity(double opacity)
{
    m_opacity = opacity;
}

void QnAshWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 255));
    painter.setOpacity(m_opacity);
    painter.drawRoundedRect(rect(), 4.0, 4.0, Qt::AbsoluteSize);
}
