#include "platform/scene/QnGraphicsScene.h"

#include "platform/scene/QnObjectCore.h"
#include "platform/scene/QnSceneCommands.h"

#include <QLoggingCategory>
#include <QUndoStack>

Q_LOGGING_CATEGORY(lcScene, "qn.scene")

QnCoreGraphicsScene::QnCoreGraphicsScene(QObject *parent)
    : QGraphicsScene(parent), m_undoStack(new QUndoStack(this))
{}

QnCoreGraphicsScene::~QnCoreGraphicsScene()
{
    // Phase 1: no engine hears of anything from now on, and none keeps a pointer to this scene.
    const QList<QnObjectCore *> engines = m_engines;
    m_engines.clear();
    for (QnObjectCore *engine : engines)
        engine->forgetScene();
    // Phase 2: commands release their items; those off the board go with them.
    m_undoStack->clear();
    // Phase 3: everything left goes while this is still a whole board scene.
    m_dying = true;
    const QSet<QGraphicsItem *> off = m_offBoard;
    m_offBoard.clear();
    qDeleteAll(off);
    clear();
}

void QnCoreGraphicsScene::attachEngine(QnObjectCore *engine)
{
    if (m_dying || m_engines.contains(engine))
        return;
    m_engines.append(engine);
    engine->setStylus(m_stylus); // a new engine learns the view's current stylus
}

void QnCoreGraphicsScene::detachEngine(QnObjectCore *engine)
{
    m_engines.removeAll(engine);
}

void QnCoreGraphicsScene::setStylus(int stylus)
{
    m_stylus = stylus;
    for (QnObjectCore *engine : QList<QnObjectCore *>(m_engines))
        if (isAttached(engine))
            engine->setStylus(stylus);
}

// Engines may detach others (or themselves) while being called: iterate over a copy and skip the
// ones that left.
void QnCoreGraphicsScene::dispatchPress(int id, const QPointF &scenePos, double pressure)
{
    for (QnObjectCore *engine : QList<QnObjectCore *>(m_engines))
        if (isAttached(engine))
            engine->inputDevicePress(id, scenePos, pressure);
}

void QnCoreGraphicsScene::dispatchMove(int id, const QPointF &scenePos, double pressure)
{
    for (QnObjectCore *engine : QList<QnObjectCore *>(m_engines))
        if (isAttached(engine))
            engine->inputDeviceMove(id, scenePos, pressure);
}

void QnCoreGraphicsScene::dispatchRelease(int id)
{
    for (QnObjectCore *engine : QList<QnObjectCore *>(m_engines))
        if (isAttached(engine))
            engine->inputDeviceRelease(id);
}

void QnCoreGraphicsScene::notifyItemChanged(QGraphicsItem *item, QGraphicsItem::GraphicsItemChange change,
                                            const QVariant &value)
{
    if (m_dying)
        return;
    for (QnObjectCore *engine : QList<QnObjectCore *>(m_engines))
        if (isAttached(engine))
            engine->itemChanged(item, change, value);
}

void QnCoreGraphicsScene::notifyItemRemoved(QGraphicsItem *item)
{
    if (m_dying)
        return;
    for (QnObjectCore *engine : QList<QnObjectCore *>(m_engines))
        if (isAttached(engine))
            engine->remoteRemoveItem(item);
}

void QnCoreGraphicsScene::notifyCleared()
{
    if (m_dying)
        return;
    for (QnObjectCore *engine : QList<QnObjectCore *>(m_engines))
        if (isAttached(engine))
            engine->clearItems();
}

void QnCoreGraphicsScene::retainItem(QGraphicsItem *item)
{
    ++m_refs[item];
}

void QnCoreGraphicsScene::releaseItem(QGraphicsItem *item)
{
    auto it = m_refs.find(item);
    if (it == m_refs.end())
        return;
    if (--it.value() > 0)
        return;
    m_refs.erase(it);
    if (m_offBoard.remove(item))
        delete item;
}

void QnCoreGraphicsScene::takeOffBoard(QGraphicsItem *item)
{
    if (item->scene() != this)
        return;
    removeItem(item);
    if (m_refs.value(item) > 0)
        m_offBoard.insert(item);
    else
        delete item;
}

void QnCoreGraphicsScene::putOnBoard(QGraphicsItem *item)
{
    if (item->scene() == this)
        return;
    if (!m_offBoard.remove(item)) {
        qCWarning(lcScene) << "an item that this board does not keep cannot come onto it";
        return;
    }
    addItem(item);
}

void QnCoreGraphicsScene::registerItem(QGraphicsItem *item)
{
    if (!m_dying && !m_items.contains(item))
        m_items.append(item);
}

void QnCoreGraphicsScene::unregisterItem(QGraphicsItem *item)
{
    if (!m_dying)
        m_items.removeAll(item);
}

void QnCoreGraphicsScene::forgetItem(QGraphicsItem *item)
{
    if (m_dying)
        return;
    m_items.removeAll(item);
    m_offBoard.remove(item);
    m_refs.remove(item);
}

QnGraphicsScene::QnGraphicsScene(QObject *parent) : QnCoreGraphicsScene(parent) {}

QnGraphicsScene::~QnGraphicsScene() = default;

void QnGraphicsScene::clearScene(bool remote)
{
    if (!remote)
        notifyCleared();
    const QList<QGraphicsItem *> items = getFastAccessItems();
    if (items.isEmpty())
        return;
    undoStack()->push(new QnRemoveItemsCommand(this, items, QStringLiteral("clear")));
}
