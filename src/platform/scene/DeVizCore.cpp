#include "platform/scene/DeVizCore.h"

#include "platform/scene/QnBoardWire.h"
#include "platform/scene/QnGraphicsItem.h"
#include "platform/scene/QnGraphicsScene.h"
#include "platform/scene/QnSceneCommands.h"

#include <QJsonObject>
#include <QLoggingCategory>
#include <QPen>
#include <QUndoStack>

Q_LOGGING_CATEGORY(lcPen, "qn.scene.pen")

DeVizCore::DeVizCore(QObject *parent) : QObject(parent) {}

DeVizCore::~DeVizCore()
{
    dropStrokes();
}

void DeVizCore::currentSceneChanged(QnCoreGraphicsScene *scene)
{
    dropStrokes();
    QnObjectCore::currentSceneChanged(scene);
}

// Strokes in progress hold their items retained from the scene. When the scene is gone it deleted
// them itself, so only the records go.
void DeVizCore::dropStrokes()
{
    if (QnCoreGraphicsScene *board = scene()) {
        for (const Stroke &stroke : qAsConst(m_strokes))
            board->releaseItem(stroke.item);
        for (const Stroke &stroke : qAsConst(m_remoteStrokes))
            board->releaseItem(stroke.item);
    }
    m_strokes.clear();
    m_remoteStrokes.clear();
}

bool DeVizCore::beginStroke(Stroke &stroke, const QUuid &uuid, const QPointF &pos, const QColor &color,
                            double width)
{
    QnCoreGraphicsScene *board = scene();
    if (!board)
        return false;
    stroke.item = new QnPathItem(uuid);
    stroke.color = color;
    stroke.width = width;
    stroke.last = pos;
    stroke.path = QPainterPath(pos);
    stroke.path.lineTo(pos); // a press alone leaves a dot
    QPen pen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    stroke.item->setPen(pen);
    stroke.item->setPath(stroke.path);
    board->addItem(stroke.item);
    board->retainItem(stroke.item);
    return true;
}

void DeVizCore::extendStroke(Stroke &stroke, const QPointF &pos)
{
    stroke.last = pos;
    stroke.path.lineTo(pos);
    // The item may have left the board during the stroke (a clear): it is still retained.
    stroke.item->setPath(stroke.path);
}

void DeVizCore::endStroke(Stroke &stroke)
{
    QnCoreGraphicsScene *board = scene();
    if (!board)
        return;
    if (m_canRedo && stroke.item->scene() == board)
        board->undoStack()->push(new QnAddItemCommand(board, stroke.item, QStringLiteral("stroke")));
    board->releaseItem(stroke.item);
}

QJsonObject DeVizCore::penJson(const Stroke &stroke, int mouseType, int id) const
{
    QJsonObject json;
    json.insert(QStringLiteral("mousetype"), mouseType);
    json.insert(QStringLiteral("width"), stroke.width);
    json.insert(QStringLiteral("x"), stroke.last.x());
    json.insert(QStringLiteral("y"), stroke.last.y());
    json.insert(QStringLiteral("id"), id);
    json.insert(QStringLiteral("color"), QnBoardWire::colorText(stroke.color));
    json.insert(QStringLiteral("uuid"), QnBoardWire::idText(stroke.item->uuid()));
    json.insert(QStringLiteral("pen"), true);
    return json;
}

void DeVizCore::inputDevicePress(int id, const QPointF &pos, const double &)
{
    if (m_strokes.contains(id))
        inputDeviceRelease(id); // a press without release ends the old stroke first
    Stroke stroke;
    if (!beginStroke(stroke, QUuid::createUuid(), pos, m_penColor, m_penWidth))
        return;
    m_strokes.insert(id, stroke);
    if (m_canRemote)
        emit sendRemoteData(stroke.item->uuid(), QnBoardWire::Pen,
                            penJson(stroke, QnBoardWire::MousePress, id));
}

void DeVizCore::inputDeviceMove(int id, const QPointF &pos, const double &)
{
    auto it = m_strokes.find(id);
    if (it == m_strokes.end() || !scene())
        return;
    extendStroke(it.value(), pos);
    if (m_canRemote)
        emit sendRemoteData(it->item->uuid(), QnBoardWire::Pen,
                            penJson(it.value(), QnBoardWire::MouseMove, id));
}

void DeVizCore::inputDeviceRelease(int id)
{
    auto it = m_strokes.find(id);
    if (it == m_strokes.end())
        return;
    const Stroke stroke = it.value();
    m_strokes.erase(it);
    if (!scene())
        return;
    // Emitted before the stroke ends: the item is alive while receivers look at it.
    if (m_canRemote)
        emit sendRemoteData(stroke.item->uuid(), QnBoardWire::Pen,
                            penJson(stroke, QnBoardWire::MouseRelease, id));
    Stroke done = stroke;
    endStroke(done);
}

void DeVizCore::remoteData(const QString &senderId, int actionType, const QJsonObject &json)
{
    if (actionType != QnBoardWire::Pen || !scene())
        return;
    const int id = json.value(QStringLiteral("id")).toInt();
    const QString key = senderId + QLatin1Char('/') + QString::number(id);
    const QPointF pos(json.value(QStringLiteral("x")).toDouble(), json.value(QStringLiteral("y")).toDouble());
    switch (json.value(QStringLiteral("mousetype")).toInt(-1)) {
    case QnBoardWire::MousePress: {
        if (m_remoteStrokes.contains(key)) {
            Stroke old = m_remoteStrokes.take(key);
            endStroke(old);
        }
        QUuid uuid = QUuid::fromString(json.value(QStringLiteral("uuid")).toString());
        if (uuid.isNull())
            uuid = QUuid::createUuid();
        QColor color = QnBoardWire::colorFromText(json.value(QStringLiteral("color")).toString());
        if (!color.isValid())
            color = m_penColor;
        Stroke stroke;
        if (beginStroke(stroke, uuid, pos, color, json.value(QStringLiteral("width")).toDouble(m_penWidth)))
            m_remoteStrokes.insert(key, stroke);
        break;
    }
    case QnBoardWire::MouseMove: {
        auto it = m_remoteStrokes.find(key);
        if (it != m_remoteStrokes.end())
            extendStroke(it.value(), pos);
        break;
    }
    case QnBoardWire::MouseRelease: {
        auto it = m_remoteStrokes.find(key);
        if (it == m_remoteStrokes.end())
            break;
        Stroke stroke = it.value();
        m_remoteStrokes.erase(it);
        extendStroke(stroke, pos);
        endStroke(stroke);
        break;
    }
    default:
        qCDebug(lcPen) << "pen action with unknown mouse type ignored";
        break;
    }
}
