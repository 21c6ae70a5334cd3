#include "platform/scene/QnObjectCore.h"

#include "platform/scene/QnGraphicsItem.h"
#include "platform/scene/QnGraphicsScene.h"

QnObjectCore::QnObjectCore() = default;

QnObjectCore::~QnObjectCore()
{
    if (m_scene)
        m_scene->detachEngine(this);
}

QnCoreGraphicsScene *QnObjectCore::scene() const
{
    return m_scene.data();
}

void QnObjectCore::currentSceneChanged(QnCoreGraphicsScene *scene)
{
    if (m_scene == scene)
        return;
    if (m_scene)
        m_scene->detachEngine(this);
    m_scene = scene;
    if (scene)
        scene->attachEngine(this);
}

void QnObjectCore::forgetScene()
{
    m_scene = nullptr;
}

void QnObjectCore::inputDevicePress(int, const QPointF &, const double &) {}
void QnObjectCore::inputDevicePress(const QPointF &pos, const double &pressure)
{
    inputDevicePress(0, pos, pressure);
}
void QnObjectCore::inputDeviceMove(int, const QPointF &, const double &) {}
void QnObjectCore::inputDeviceMove(const QPointF &pos, const double &pressure)
{
    inputDeviceMove(0, pos, pressure);
}
void QnObjectCore::inputDeviceRelease(int) {}
void QnObjectCore::inputDeviceRelease()
{
    inputDeviceRelease(0);
}
void QnObjectCore::remoteData(const QString &, int, const QJsonObject &) {}
void QnObjectCore::itemChanged(QGraphicsItem *, QGraphicsItem::GraphicsItemChange, const QVariant &) {}
void QnObjectCore::remoteRemoveItem(QGraphicsItem *) {}
void QnObjectCore::clearItems() {}
void QnObjectCore::showFrame(QGraphicsItem *) {}
void QnObjectCore::showFrameItems(const QList<QGraphicsItem *> &) {}
void QnObjectCore::hideFrameItems() {}
bool QnObjectCore::isMainShowFrames()
{
    return false;
}

QnGraphicsItemDelegate *QnObjectCore::getItemDelegate(QGraphicsItem *item)
{
    auto *boardItem = dynamic_cast<QnGraphicsItem *>(item);
    return boardItem ? boardItem->Delegate() : nullptr;
}

void QnObjectCore::setStylus(int stylus)
{
    m_stylus = stylus;
}

void QnObjectCore::exportScene(QList<QnSaveDataItem> &, const QString &) {}
void QnObjectCore::importScene(const QList<QnSaveDataItem> &, const QString &) {}
void QnObjectCore::setEraseArea(const QRectF &) {}
void QnObjectCore::setEndErase() {}
