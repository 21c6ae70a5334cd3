#pragma once

#include "platform/scene/QnObjectCore.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QnRemoteAdaptor;

/// Scene hooks of the whiteboard: reports the board's moves, removals and clears to the adaptor as
/// Move, Delete and ClearItems actions, and deletes items by id for received actions without sending
/// those deletions back.
///
/// GUI thread only. The adaptor is not owned and is held weakly. The two lists hold plain item
/// pointers that are only compared, never followed, and never own the items.
class QnRemoteCore : public QObject, public QnObjectCore
{
    Q_OBJECT
public:
    explicit QnRemoteCore(QObject *parent = nullptr);
    ~QnRemoteCore() override;

    void setAdaptor(QnRemoteAdaptor *adaptor);

    void itemChanged(QGraphicsItem *item, QGraphicsItem::GraphicsItemChange change,
                     const QVariant &value) override;
    void remoteRemoveItem(QGraphicsItem *item) override;
    void clearItems() override;

    /// Deletes every board item with this id (received Delete); their removal is not sent back.
    void removeItem(const QUuid &uuid);

    /// Items whose next removal / position change is not reported (for diagnostics and tests).
    int removedByRemoteCount() const { return m_removedByRemote.size(); }
    int movedByRemoteCount() const { return m_movedByRemote.size(); }

private:
    QPointer<QnRemoteAdaptor> m_adaptor;
    QList<QGraphicsItem *> m_movedByRemote;
    QList<QGraphicsItem *> m_removedByRemote;
};
