#include "platform/scene/QnGraphicsItem.h"

#include "platform/scene/QnGraphicsScene.h"
#include "platform/scene/QnSceneCommands.h"

#include <QUndoStack>

namespace {
QnCoreGraphicsScene *boardSceneOf(const QGraphicsItem *item)
{
    return item ? qobject_cast<QnCoreGraphicsScene *>(item->scene()) : nullptr;
}
} // namespace

QnItem::~QnItem() = default;

QnGraphicsItemDelegate::QnGraphicsItemDelegate(QGraphicsItem *item) : m_item(item) {}

void QnGraphicsItemDelegate::removeFromScene(bool notifyEngines, bool undoable)
{
    QGraphicsItem *item = m_item; // this delegate may be deleted with the item below
    QnCoreGraphicsScene *scene = boardSceneOf(item);
    if (!scene)
        return;
    if (notifyEngines)
        scene->notifyItemRemoved(item);
    if (item->scene() != scene)
        return; // an engine already took it off
    if (undoable)
        scene->undoStack()->push(new QnRemoveItemsCommand(scene, {item}, QStringLiteral("delete")));
    else
        scene->takeOffBoard(item);
}

QnGraphicsItem::QnGraphicsItem(QGraphicsItem *self)
    : m_self(self), m_delegate(std::make_unique<QnGraphicsItemDelegate>(self))
{}

QnGraphicsItem::~QnGraphicsItem() = default;

void QnGraphicsItem::reportChange(QGraphicsItem::GraphicsItemChange change, const QVariant &value)
{
    switch (change) {
    case QGraphicsItem::ItemSceneChange:
        // Still in the old scene: leave its item list.
        if (QnCoreGraphicsScene *old = boardSceneOf(m_self))
            old->unregisterItem(m_self);
        return;
    case QGraphicsItem::ItemSceneHasChanged:
        if (QnCoreGraphicsScene *now = boardSceneOf(m_self))
            now->registerItem(m_self);
        return;
    default:
        break;
    }
    if (QnCoreGraphicsScene *scene = boardSceneOf(m_self))
        scene->notifyItemChanged(m_self, change, value);
}

void QnGraphicsItem::leaveBoard()
{
    if (QnCoreGraphicsScene *scene = boardSceneOf(m_self))
        scene->forgetItem(m_self);
}

QnPathItem::QnPathItem(const QUuid &uuid, QGraphicsItem *parent)
    : QnSceneItem<QGraphicsPathItem>(parent), m_uuid(uuid)
{}
