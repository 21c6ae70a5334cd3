#include "qnloginbase/src/UI/LoginWindowKit.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

LoginFrameMover::LoginFrameMover(QObject *parent) : QObject(parent) {}

void LoginFrameMover::attachWidget(QWidget *window)
{
    m_window = window;
    window->setWindowFlags(window->windowFlags() | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint);
    window->installEventFilter(this);
}

bool LoginFrameMover::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || !m_movable)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton) {
            m_dragging = true;
            m_pressOffset = mouse->globalPos() - m_window->pos();
        }
        break;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (m_dragging && (mouse->buttons() & Qt::LeftButton))
            m_window->move(mouse->globalPos() - m_pressOffset);
        break;
    }
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

LoginLoadingWidget::LoginLoadingWidget(QWidget *parent) : QWidget(parent), m_timer(new QTimer(this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(60, 60);
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + 40) % 360;
        update();
    });
}

void LoginLoadingWidget::start()
{
    m_timer->start();
}

void LoginLoadingWidget::stop()
{
    m_timer->stop();
}

bool LoginLoadingWidget::isRunning() const
{
    return m_timer->isActive();
}

void LoginLoadingWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = qMin(width(), height()) - 8;
    const QRectF ring((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    painter.setPen(QPen(QColor(0xDE, 0x6F, 0x6F, 60), 4));
    painter.drawEllipse(ring);
    painter.setPen(QPen(QColor(QStringLiteral("#DE6F6F")), 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(ring, -m_angle * 16, 100 * 16);
}
