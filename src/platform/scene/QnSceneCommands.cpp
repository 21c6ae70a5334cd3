#include "platform/scene/QnSceneCommands.h"

#include "platform/scene/QnGraphicsScene.h"

QnAddItemCommand::QnAddItemCommand(QnCoreGraphicsScene *scene, QGraphicsItem *item, const QString &text)
    : QUndoCommand(text), m_scene(scene), m_item(item)
{
    scene->retainItem(item);
}

QnAddItemCommand::~QnAddItemCommand()
{
    if (m_scene)
        m_scene->releaseItem(m_item);
}

void QnAddItemCommand::undo()
{
    if (m_scene)
        m_scene->takeOffBoard(m_item);
}

void QnAddItemCommand::redo()
{
    if (m_scene)
        m_scene->putOnBoard(m_item);
}

QnRemoveItemsCommand::QnRemoveItemsCommand(QnCoreGraphicsScene *scene, const QList<QGraphicsItem *> &items,
                                           const QString &text)
    : QUndoCommand(text), m_scene(scene), m_items(items)
{
    for (QGraphicsItem *item : items)
        scene->retainItem(item);
}

QnRemoveItemsCommand::~QnRemoveItemsCommand()
{
    if (!m_scene)
        return;
    for (QGraphicsItem *item : m_items)
        m_scene->releaseItem(item);
}

void QnRemoveItemsCommand::undo()
{
    if (!m_scene)
        return;
    for (QGraphicsItem *item : m_items)
        m_scene->putOnBoard(item);
}

void QnRemoveItemsCommand::redo()
{
    if (!m_scene)
        return;
    for (QGraphicsItem *item : m_items)
        m_scene->takeOffBoard(item);
}
