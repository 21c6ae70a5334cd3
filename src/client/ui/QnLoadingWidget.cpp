#include "client/ui/QnLoadingWidget.h"

#include <QPainter>

namespace {
constexpr int kIntervalMs = 100;
constexpr int kStepDegrees = 40;
} // namespace

QnLoadingDots::QnLoadingDots(QWidget *parent) : QWidget(parent), m_timer(new QTimer(this))
{
    connect(m_timer, &QTimer::timeout, this, &QnLoadingDots::step);
}

void QnLoadingDots::start()
{
    m_timer->start(kIntervalMs);
}

void QnLoadingDots::stop()
{
    m_timer->stop();
}

int QnLoadingDots::nextAngle(int angle)
{
    angle += kStepDegrees;
    return angle >= 360 ? 0 : angle;
}

void QnLoadingDots::step()
{
    m_angle = nextAngle(m_angle);
    update();
}

void QnLoadingDots::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.translate(width() / 2, height() / 2);
    const double scale = qMin(width(), height()) / 100.0;
    painter.scale(scale, scale);
    painter.save();
    painter.rotate(m_angle);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    static const int radii[] = {3, 3, 4, 4, 5, 5, 6};
    for (int i = 0; i < 7; ++i) {
        painter.drawEllipse(QPointF(m_radius, 0), radii[i], radii[i]);
        if (i < 6)
            painter.rotate(45);
    }
    painter.restore();
}

QnLoadingWidget::QnLoadingWidget(QWidget *parent) : QnLoadingDots(parent) {}

QnFileLoadingFileWidget::QnFileLoadingFileWidget(QWidget *parent) : QnLoadingDots(parent) {}
