#pragma once

#include "platform/scene/QnObjectCore.h"

#include <QColor>
#include <QHash>
#include <QObject>
#include <QPainterPath>
#include <QUuid>

class QnPathItem;

/// The pen engine: draws strokes on its scene and describes each stroke to a peer.
///
/// One stroke, from press to release of one input point, is one QnPathItem and, when redo is on,
/// one undo command pushed at release. With remote on, every press, move and release emits
/// sendRemoteData(stroke id, Pen, JSON with the keys of the board schema's PenData:
/// "mousetype", "width", "x", "y", "id", "color", "uuid", "pen"), in the forms given in
/// QnBoardWire.h. Strokes made by remoteData are drawn the same way but never emitted.
/// GUI thread only.
class DeVizCore : public QObject, public QnObjectCore
{
    Q_OBJECT
public:
    explicit DeVizCore(QObject *parent = nullptr);
    ~DeVizCore() override;

    void setIsCanRemote(bool on) { m_canRemote = on; }
    bool isCanRemote() const { return m_canRemote; }
    /// On: every finished stroke is one command on the scene's undo stack.
    void setIsCanRedo(bool on) { m_canRedo = on; }
    bool isCanRedo() const { return m_canRedo; }
    void setPenColor(const QColor &color) { m_penColor = color; }
    QColor penColor() const { return m_penColor; }
    void setPenWidth(int width) { m_penWidth = width; }
    int penWidth() const { return m_penWidth; }

    using QnObjectCore::inputDeviceMove;
    using QnObjectCore::inputDevicePress;
    using QnObjectCore::inputDeviceRelease;
    void currentSceneChanged(QnCoreGraphicsScene *scene) override;
    void inputDevicePress(int id, const QPointF &pos, const double &pressure) override;
    void inputDeviceMove(int id, const QPointF &pos, const double &pressure) override;
    void inputDeviceRelease(int id) override;
    /// Draws a peer's Pen actions (keys as emitted, already scaled to this board); other types are
    /// ignored here.
    void remoteData(const QString &senderId, int actionType, const QJsonObject &json) override;

Q_SIGNALS:
    void sendRemoteData(const QUuid &uuid, int actionType, const QJsonObject &json);

private:
    struct Stroke
    {
        QnPathItem *item = nullptr; // retained from the scene while the stroke lasts
        QPainterPath path;
        QPointF last;
        QColor color;
        double width = 0;
    };

    bool beginStroke(Stroke &stroke, const QUuid &uuid, const QPointF &pos, const QColor &color,
                     double width);
    void extendStroke(Stroke &stroke, const QPointF &pos);
    void endStroke(Stroke &stroke);
    void dropStrokes();
    QJsonObject penJson(const Stroke &stroke, int mouseType, int id) const;

    bool m_canRemote = false;
    bool m_canRedo = false;
    QColor m_penColor{Qt::red};
    int m_penWidth = 5;
    QHash<int, Stroke> m_strokes;           // by input point id
    QHash<QString, Stroke> m_remoteStrokes; // by sender id and point id
};
