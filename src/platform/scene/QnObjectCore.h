#pragma once

#include <QGraphicsItem>
#include <QJsonObject>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QUuid>
#include <QVariant>

class QnCoreGraphicsScene;
class QnGraphicsItemDelegate;

/// One board item as exportScene / importScene hand it over.
struct QnSaveDataItem
{
    QUuid uuid;
    int type = 0;
    QJsonObject data;
};

/// An engine object attached to one board scene.
///
/// The scene calls the attached engines on the GUI thread: input events (pen mode), item changes,
/// removals reported by item delegates, and clears reported by QnGraphicsScene::clearScene(false).
/// The engine holds its scene weakly: the scene detaches every engine in its destructor, after which
/// scene() is null and the engine must not touch items it remembers (the scene deleted them).
/// Destroying an engine detaches it from its scene. Not thread-safe: GUI thread only.
class QnObjectCore
{
public:
    QnObjectCore();
    virtual ~QnObjectCore();

    QnObjectCore(const QnObjectCore &) = delete;
    QnObjectCore &operator=(const QnObjectCore &) = delete;

    /// The attached scene, or null (never attached, or the scene is gone).
    QnCoreGraphicsScene *scene() const;

    /// Detaches from the current scene and attaches to scene (null only detaches).
    virtual void currentSceneChanged(QnCoreGraphicsScene *scene);

    /// Input in scene coordinates; id is the input point id (0 for the mouse).
    virtual void inputDevicePress(int id, const QPointF &pos, const double &pressure);
    virtual void inputDevicePress(const QPointF &pos, const double &pressure);
    virtual void inputDeviceMove(int id, const QPointF &pos, const double &pressure);
    virtual void inputDeviceMove(const QPointF &pos, const double &pressure);
    virtual void inputDeviceRelease(int id);
    virtual void inputDeviceRelease();

    /// An action received from a peer, with its sender id.
    virtual void remoteData(const QString &senderId, int actionType, const QJsonObject &json);

    /// A board item of the scene changed (QGraphicsItem::itemChange after the item handled it).
    virtual void itemChanged(QGraphicsItem *item, QGraphicsItem::GraphicsItemChange change,
                             const QVariant &value);
    /// A board item is about to leave the board through its delegate (still in the scene when called).
    virtual void remoteRemoveItem(QGraphicsItem *item);
    /// The board was cleared by the user (clearScene(false)).
    virtual void clearItems();

    virtual void showFrame(QGraphicsItem *item);
    virtual void showFrameItems(const QList<QGraphicsItem *> &items);
    virtual void hideFrameItems();
    virtual bool isMainShowFrames();
    /// The item's delegate when it is a board item, else null.
    virtual QnGraphicsItemDelegate *getItemDelegate(QGraphicsItem *item);
    virtual void setStylus(int stylus);
    virtual void exportScene(QList<QnSaveDataItem> &items, const QString &path);
    virtual void importScene(const QList<QnSaveDataItem> &items, const QString &path);
    virtual void setEraseArea(const QRectF &area);
    virtual void setEndErase();

    int stylus() const { return m_stylus; }

private:
    friend class QnCoreGraphicsScene;
    /// Called by the scene's destructor only: forget the scene without calling it back.
    void forgetScene();

    QPointer<QnCoreGraphicsScene> m_scene;
    int m_stylus = 3;
};
