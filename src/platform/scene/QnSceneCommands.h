#pragma once

#include <QList>
#include <QPointer>
#include <QUndoCommand>

class QGraphicsItem;
class QnCoreGraphicsScene;

/// Undo command: one item came onto the board (one pen stroke). The first redo finds the item on
/// the board already; undo takes it off, redo puts it back. Retains the item while it lives.
class QnAddItemCommand : public QUndoCommand
{
public:
    QnAddItemCommand(QnCoreGraphicsScene *scene, QGraphicsItem *item, const QString &text);
    ~QnAddItemCommand() override;
    void undo() override;
    void redo() override;

private:
    QPointer<QnCoreGraphicsScene> m_scene;
    QGraphicsItem *m_item;
};

/// Undo command: items left the board (a delete or a clear). Redo takes them off, undo puts back
/// those that are still off the board. Retains the items while it lives.
class QnRemoveItemsCommand : public QUndoCommand
{
public:
    QnRemoveItemsCommand(QnCoreGraphicsScene *scene, const QList<QGraphicsItem *> &items,
                         const QString &text);
    ~QnRemoveItemsCommand() override;
    void undo() override;
    void redo() override;

private:
    QPointer<QnCoreGraphicsScene> m_scene;
    QList<QGraphicsItem *> m_items;
};
