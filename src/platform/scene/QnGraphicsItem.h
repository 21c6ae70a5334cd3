#pragma once

#include <QGraphicsPathItem>
#include <QUuid>

#include <memory>

class QnCoreGraphicsScene;

/// A board item: an item with an id that both ends of the whiteboard agree on.
class QnItem
{
public:
    virtual ~QnItem();
    virtual QUuid uuid() const = 0;
};

/// Takes a board item off its board. Owned by the item (QnGraphicsItem::Delegate).
class QnGraphicsItemDelegate
{
public:
    explicit QnGraphicsItemDelegate(QGraphicsItem *item);

    QGraphicsItem *item() const { return m_item; }

    /// Takes the item off its board scene. notifyEngines: the attached engines hear of it first
    /// through remoteRemoveItem. undoable: the removal is one command on the scene's undo stack (undo
    /// puts the item back); otherwise the item is deleted as soon as no undo command refers to it.
    /// The item, and this delegate with it, may be gone when this returns. No effect off a board.
    void removeFromScene(bool notifyEngines, bool undoable);

private:
    QGraphicsItem *m_item;
};

/// Mix-in of every item that belongs to a board scene: reports the item's changes to the scene's
/// engines and keeps the scene's item list. Concrete items derive from QnSceneItem<Base>.
///
/// Ownership: an item on the board belongs to the scene; one taken off the board is kept by the
/// scene while an undo command refers to it and deleted after. Do not delete a board item directly
/// while undo commands may refer to it: remove it through its delegate.
class QnGraphicsItem
{
public:
    explicit QnGraphicsItem(QGraphicsItem *self);
    virtual ~QnGraphicsItem();

    QnGraphicsItem(const QnGraphicsItem &) = delete;
    QnGraphicsItem &operator=(const QnGraphicsItem &) = delete;

    QnGraphicsItemDelegate *Delegate() const { return m_delegate.get(); }

protected:
    /// To be called from the item's itemChange with the value the base class returned.
    void reportChange(QGraphicsItem::GraphicsItemChange change, const QVariant &value);
    /// To be called from the most derived destructor, while the item is still whole.
    void leaveBoard();

private:
    QGraphicsItem *m_self;
    std::unique_ptr<QnGraphicsItemDelegate> m_delegate;
};

/// A QGraphicsItem class made a board item: selectable, movable, reporting geometry changes.
template<class Base> class QnSceneItem : public Base, public QnGraphicsItem
{
public:
    explicit QnSceneItem(QGraphicsItem *parent = nullptr) : Base(parent), QnGraphicsItem(this)
    {
        this->setFlags(this->flags() | QGraphicsItem::ItemIsSelectable | QGraphicsItem::ItemIsMovable |
                       QGraphicsItem::ItemSendsGeometryChanges);
    }
    ~QnSceneItem() override { leaveBoard(); }

protected:
    QVariant itemChange(QGraphicsItem::GraphicsItemChange change, const QVariant &value) override
    {
        QVariant result = Base::itemChange(change, value);
        reportChange(change, result);
        return result;
    }
};

/// A pen stroke: one path item per stroke.
class QnPathItem : public QnSceneItem<QGraphicsPathItem>, public QnItem
{
public:
    explicit QnPathItem(const QUuid &uuid, QGraphicsItem *parent = nullptr);
    QUuid uuid() const override { return m_uuid; }

    enum { Type = UserType + 0x5101 };
    int type() const override { return Type; }

private:
    QUuid m_uuid;
};
