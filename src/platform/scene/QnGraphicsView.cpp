#include "platform/scene/QnGraphicsView.h"

#include "platform/scene/QnBoardWire.h"
#include "platform/scene/QnGraphicsItem.h"
#include "platform/scene/QnGraphicsScene.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int kMousePointId = 0;
constexpr double kMousePressure = 1.0;
} // namespace

QnGraphicsView::QnGraphicsView(QWidget *parent)
    : QGraphicsView(parent), m_scene(new QnGraphicsScene(this)), m_stylus(QnBoardWire::SelectStylus)
{
    setScene(m_scene);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setRenderHint(QPainter::Antialiasing);
    setTransformationAnchor(QGraphicsView::NoAnchor);
    setResizeAnchor(QGraphicsView::NoAnchor);
    m_scene->setSceneRect(QRectF(QPointF(0, 0), QSizeF(viewport()->size())));
    setStylus(QnBoardWire::SelectStylus);
}

QnGraphicsView::~QnGraphicsView()
{
    // The scene goes first, while this view is whole; it detaches its engines.
    QnGraphicsScene *scene = m_scene;
    m_scene = nullptr;
    setScene(nullptr);
    delete scene;
}

void QnGraphicsView::setStylus(int stylus)
{
    if (m_penDown) {
        m_penDown = false;
        m_scene->dispatchRelease(kMousePointId);
    }
    m_stylus = stylus;
    setDragMode(stylus == QnBoardWire::SelectStylus ? QGraphicsView::RubberBandDrag : QGraphicsView::NoDrag);
    setInteractive(stylus == QnBoardWire::SelectStylus);
    m_scene->setStylus(stylus);
}

void QnGraphicsView::setBackColor(const QColor &color)
{
    m_backColor = color;
    viewport()->update();
}

void QnGraphicsView::setIsBackColor(bool on)
{
    m_isBackColor = on;
    viewport()->update();
}

void QnGraphicsView::drawBackground(QPainter *painter, const QRectF &rect)
{
    if (!m_isBackColor) {
        QGraphicsView::drawBackground(painter, rect);
        return;
    }
    painter->save();
    painter->setCompositionMode(QPainter::CompositionMode_Source);
    painter->fillRect(rect, m_backColor);
    painter->restore();
}

QPointF QnGraphicsView::toScene(const QPointF &viewportPos) const
{
    return viewportTransform().inverted().map(viewportPos);
}

void QnGraphicsView::mousePressEvent(QMouseEvent *event)
{
    if (m_stylus != QnBoardWire::PenStylus) {
        QGraphicsView::mousePressEvent(event);
        return;
    }
    event->accept();
    if (event->button() != Qt::LeftButton || m_penDown)
        return;
    m_penDown = true;
    m_scene->dispatchPress(kMousePointId, toScene(event->localPos()), kMousePressure);
}

void QnGraphicsView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_stylus != QnBoardWire::PenStylus) {
        QGraphicsView::mouseMoveEvent(event);
        return;
    }
    event->accept();
    if (m_penDown)
        m_scene->dispatchMove(kMousePointId, toScene(event->localPos()), kMousePressure);
}

void QnGraphicsView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_stylus != QnBoardWire::PenStylus) {
        QGraphicsView::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->button() != Qt::LeftButton || !m_penDown)
        return;
    m_penDown = false;
    m_scene->dispatchRelease(kMousePointId);
}

void QnGraphicsView::keyPressEvent(QKeyEvent *event)
{
    if (m_stylus == QnBoardWire::SelectStylus && event->key() == Qt::Key_Delete) {
        for (QGraphicsItem *item : m_scene->selectedItems()) {
            if (auto *boardItem = dynamic_cast<QnGraphicsItem *>(item))
                boardItem->Delegate()->removeFromScene(true, true);
        }
        event->accept();
        return;
    }
    QGraphicsView::keyPressEvent(event);
}

void QnGraphicsView::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    m_scene->setSceneRect(QRectF(QPointF(0, 0), QSizeF(viewport()->size())));
}
