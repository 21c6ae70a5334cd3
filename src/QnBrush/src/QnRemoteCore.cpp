#include "QnBrush/src/QnRemoteCore.h"

#include "QnBrush/src/QnRemoteAdaptor.h"
#include "platform/scene/QnBoardWire.h"
#include "platform/scene/QnGraphicsItem.h"
#include "platform/scene/QnGraphicsScene.h"

#include <QJsonObject>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcBoardHooks, "qn.board.hooks")

QnRemoteCore::QnRemoteCore(QObject *parent) : QObject(parent) {}

QnRemoteCore::~QnRemoteCore() = default;

void QnRemoteCore::setAdaptor(QnRemoteAdaptor *adaptor)
{
    m_adaptor = adaptor;
}

void QnRemoteCore::itemChanged(QGraphicsItem *item, QGraphicsItem::GraphicsItemChange change,
                               const QVariant &)
{
    if (change != QGraphicsItem::ItemPositionHasChanged && change != QGraphicsItem::ItemTransformHasChanged)
        return;
    if (m_movedByRemote.removeAll(item) > 0)
        return;
    auto *boardItem = dynamic_cast<QnItem *>(item);
    if (!boardItem)
        return;
    // Position plus the transform's translation; rotation and scale are not carried.
    const QTransform transform = item->transform();
    QJsonObject json;
    json.insert(QStringLiteral("x"), transform.dx() + item->pos().x());
    json.insert(QStringLiteral("y"), transform.dy() + item->pos().y());
    json.insert(QStringLiteral("uuid"), QnBoardWire::idText(boardItem->uuid()));
    if (m_adaptor)
        m_adaptor->sendRemoteAction(boardItem->uuid(), QnBoardWire::Move, json);
}

void QnRemoteCore::remoteRemoveItem(QGraphicsItem *item)
{
    if (m_removedByRemote.removeAll(item) > 0)
        return;
    auto *boardItem = dynamic_cast<QnItem *>(item);
    if (!boardItem)
        return;
    QJsonObject json;
    json.insert(QStringLiteral("uuid"), QnBoardWire::idText(boardItem->uuid()));
    if (m_adaptor)
        m_adaptor->sendRemoteAction(boardItem->uuid(), QnBoardWire::Delete, json);
}

void QnRemoteCore::clearItems()
{
    if (m_adaptor)
        m_adaptor->sendRemoteAction(QUuid(), QnBoardWire::ClearItems, QJsonObject());
}

void QnRemoteCore::removeItem(const QUuid &uuid)
{
    auto *board = qobject_cast<QnGraphicsScene *>(scene());
    if (!board)
        return;
    for (QGraphicsItem *item : board->getFastAccessItems()) {
        auto *boardItem = dynamic_cast<QnItem *>(item);
        auto *graphicsItem = dynamic_cast<QnGraphicsItem *>(item);
        if (!boardItem || !graphicsItem || boardItem->uuid() != uuid)
            continue;
        qCDebug(lcBoardHooks).noquote() << "remove" << uuid.toString();
        m_removedByRemote.append(item);
        graphicsItem->Delegate()->removeFromScene(true, true);
        // Should the board not have reported the removal, the entry must not outlive the item.
        m_removedByRemote.removeAll(item);
    }
}
