#pragma once

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QHash>
#include <QList>
#include <QSet>

class QUndoStack;
class QnObjectCore;

/// The board scene: its undo stack, its attached engines and the ownership of its board items.
///
/// GUI thread only. Engines attach through QnObjectCore::currentSceneChanged and are called in the
/// order they attached; the destructor detaches them before any item goes, so no engine is called
/// from, or left pointing at, a dying scene. Board items (QnGraphicsItem) on the board belong to the
/// scene; items taken off the board are kept while an undo command refers to them (retainItem /
/// releaseItem) and deleted once none does.
class QnCoreGraphicsScene : public QGraphicsScene
{
    Q_OBJECT
public:
    explicit QnCoreGraphicsScene(QObject *parent = nullptr);
    ~QnCoreGraphicsScene() override;

    /// Undo and redo of strokes and edits. Owned by the scene.
    QUndoStack *undoStack() const { return m_undoStack; }

    /// Engines attached, in the order they attached.
    QList<QnObjectCore *> engines() const { return m_engines; }

    /// Board items on the board, in the order they came onto it.
    QList<QGraphicsItem *> boardItems() const { return m_items; }

    // Calls into the attached engines.
    /// Tells every engine, and every engine attached later, the view's stylus.
    void setStylus(int stylus);
    int stylus() const { return m_stylus; }
    void dispatchPress(int id, const QPointF &scenePos, double pressure);
    void dispatchMove(int id, const QPointF &scenePos, double pressure);
    void dispatchRelease(int id);
    void notifyItemChanged(QGraphicsItem *item, QGraphicsItem::GraphicsItemChange change,
                           const QVariant &value);
    void notifyItemRemoved(QGraphicsItem *item);
    void notifyCleared();

    // Ownership of board items (used by undo commands, engines and delegates).
    void retainItem(QGraphicsItem *item);
    void releaseItem(QGraphicsItem *item);
    /// Takes the item off the board: kept while retained, else deleted at once.
    void takeOffBoard(QGraphicsItem *item);
    /// Puts a retained item (back) onto the board; no effect when it is on it.
    void putOnBoard(QGraphicsItem *item);
    /// Number of items off the board kept for undo (for diagnostics and tests).
    int offBoardCount() const { return m_offBoard.size(); }

private:
    friend class QnObjectCore;
    friend class QnGraphicsItem;
    void attachEngine(QnObjectCore *engine);
    void detachEngine(QnObjectCore *engine);
    void registerItem(QGraphicsItem *item);
    void unregisterItem(QGraphicsItem *item);
    void forgetItem(QGraphicsItem *item);
    bool isAttached(QnObjectCore *engine) const { return m_engines.contains(engine); }

    QUndoStack *m_undoStack;
    QList<QnObjectCore *> m_engines;
    QList<QGraphicsItem *> m_items;
    QHash<QGraphicsItem *, int> m_refs;
    QSet<QGraphicsItem *> m_offBoard;
    int m_stylus = 3;
    bool m_dying = false;
};

/// The board scene that the view shows.
class QnGraphicsScene : public QnCoreGraphicsScene
{
    Q_OBJECT
public:
    explicit QnGraphicsScene(QObject *parent = nullptr);
    ~QnGraphicsScene() override;

    /// Takes every board item off the board in one undo command. remote false: the clear is the
    /// user's, and every attached engine hears of it once through clearItems (with or without items);
    /// remote true: the clear came from a peer or from teardown and is not reported. Items are not
    /// reported one by one.
    void clearScene(bool remote);

    /// Board items on the board, in the order they came onto it.
    QList<QGraphicsItem *> getFastAccessItems() const { return boardItems(); }
};
