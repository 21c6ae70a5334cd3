#include "client/ui/coverflow/PictureFlow.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace {
constexpr int kAnimationIntervalMs = 30;
}

PictureFlow::PictureFlow(QWidget *parent) : QWidget(parent), m_triggerTimer(new QTimer(this))
{
    m_triggerTimer->setSingleShot(true);
    m_triggerTimer->setInterval(0);
    connect(m_triggerTimer, &QTimer::timeout, this, &PictureFlow::render);
    setAttribute(Qt::WA_StaticContents, true);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setAttribute(Qt::WA_NoSystemBackground, true);
    setFocusPolicy(Qt::StrongFocus);
    m_renderer.rebuild(size());
}

PictureFlow::~PictureFlow() = default;

void PictureFlow::setSlideCount(int count)
{
    m_renderer.setSlideCount(count);
    if (m_renderer.step() == 0)
        m_animateTimer.stop();
    triggerRender();
}

void PictureFlow::clear()
{
    m_animateTimer.stop();
    m_renderer.clear();
    triggerRender();
}

void PictureFlow::setSlideSize(const QSize &size)
{
    m_renderer.setSlideSize(size);
    triggerRender();
}

void PictureFlow::setZoomFactor(int z)
{
    if (m_renderer.setZoomFactor(z))
        triggerRender();
}

void PictureFlow::setSlide(int index, const QImage &image)
{
    m_renderer.setSlide(index, image);
    triggerRender();
}

void PictureFlow::setSlideCaption(int index, const QString &caption)
{
    m_renderer.setCaption(index, caption);
    triggerRender();
}

void PictureFlow::setCurrentSlide(int index)
{
    m_animateTimer.stop();
    m_renderer.setCurrentSlide(index);
    triggerRender();
}

void PictureFlow::render()
{
    // A hidden widget gets no resize event until shown: follow its size here as well.
    if (m_renderer.buffer().size() != size())
        m_renderer.rebuild(size());
    m_renderer.render();
    update();
}

void PictureFlow::startAnimation(bool start)
{
    if (start) {
        m_animateTimer.start(kAnimationIntervalMs, this);
        triggerRender();
    }
}

void PictureFlow::showPrevious()
{
    startAnimation(m_renderer.showPrevious(m_animateTimer.isActive()));
}

void PictureFlow::showNext()
{
    startAnimation(m_renderer.showNext(m_animateTimer.isActive()));
}

void PictureFlow::showSlide(int index)
{
    startAnimation(m_renderer.showSlide(index, m_animateTimer.isActive()));
}

void PictureFlow::animateStep()
{
    if (!m_renderer.animate())
        m_animateTimer.stop();
    triggerRender();
}

void PictureFlow::triggerRender()
{
    m_triggerTimer->start();
}

void PictureFlow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!m_renderer.buffer().isNull())
        painter.drawImage(QPoint(0, 0), m_renderer.buffer());
}

void PictureFlow::resizeEvent(QResizeEvent *event)
{
    m_renderer.rebuild(size());
    triggerRender();
    QWidget::resizeEvent(event);
}

void PictureFlow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        showPrevious();
        break;
    case Qt::Key_Right:
        showNext();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (slideCount() > 0)
            emit itemActivated(currentSlide());
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    emit inputReceived();
    event->accept();
}

void PictureFlow::mousePressEvent(QMouseEvent *event)
{
    const int third = width() / 3;
    if (event->x() < third)
        showPrevious();
    else if (event->x() >= width() - third)
        showNext();
    else if (slideCount() > 0)
        emit itemActivated(currentSlide());
    emit inputReceived();
}

void PictureFlow::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_animateTimer.timerId()) {
        animateStep();
        return;
    }
    QWidget::timerEvent(event);
}
