#include "QnBrush/src/QnBrushObject.h"

#include "QnBrush/qnboard.pb.h"
#include "QnBrush/src/QnBoardActions.h"
#include "QnBrush/src/QnRemoteAdaptor.h"
#include "QnBrush/src/QnRemoteCore.h"
#include "platform/scene/DeVizCore.h"
#include "platform/scene/QnBoardWire.h"
#include "platform/scene/QnGraphicsScene.h"
#include "platform/scene/QnGraphicsView.h"

#include <QGuiApplication>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QScreen>
#include <QUndoStack>

Q_LOGGING_CATEGORY(lcBrush, "qn.board.overlay")

namespace {
const QColor kTransparent(0, 0, 0, 0);
const QColor kPenBackground(0, 0, 0, 10); // just enough alpha for the window to take the mouse
constexpr double kMaxPenWidth = 1000.0;   // received pen widths are clamped to this
} // namespace

QnBrushObject::QnBrushObject(QObject *parent) : QObject(parent)
{
    build(QnRemoteAdaptor::kDefaultPeriod);
}

QnBrushObject::QnBrushObject(QObject *parent, std::chrono::milliseconds period) : QObject(parent)
{
    build(period);
}

void QnBrushObject::build(std::chrono::milliseconds period)
{
    m_view = new QnGraphicsView(nullptr);
    m_view->setAttribute(Qt::WA_TranslucentBackground, true);
    m_view->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    m_view->setWindowFlag(Qt::Tool, true);
    m_view->setStylus(QnBoardWire::SelectStylus);
    m_view->setStyleSheet(QStringLiteral("background:transparent;border:0px;"));
    m_view->setBackColor(kTransparent);
    m_view->setIsBackColor(true);
    if (QScreen *screen = QGuiApplication::screens().value(0))
        m_view->setGeometry(screen->geometry());

    QnGraphicsScene *scene = m_view->qnScene();
    m_pen = new DeVizCore(scene);
    m_pen->currentSceneChanged(scene);
    m_pen->setIsCanRemote(true);
    m_pen->setIsCanRedo(true);

    m_adaptor = new QnRemoteAdaptor(this, period);

    m_hooks = new QnRemoteCore(this);
    m_hooks->currentSceneChanged(scene);
    m_hooks->setAdaptor(m_adaptor);

    connect(m_adaptor, &QnRemoteAdaptor::sendData, this, &QnBrushObject::sendData);
    connect(m_pen, &DeVizCore::sendRemoteData, this,
            [this](const QUuid &uuid, int actionType, const QJsonObject &json) {
                if (m_adaptor)
                    m_adaptor->sendRemoteAction(uuid, actionType, json);
            });
    m_view->hide();
}

QnBrushObject::~QnBrushObject()
{
    teardown();
    delete m_view.data(); // the scene and the pen engine go with it
    // The adaptor (stopped and joined, pending actions dropped) and the hooks go with the QObject
    // base, in the order made.
}

QnGraphicsView *QnBrushObject::view() const
{
    return m_view.data();
}

void QnBrushObject::teardown()
{
    if (!m_view)
        return;
    m_view->showNormal();
    m_view->qnScene()->clearScene(true);
    m_view->qnScene()->undoStack()->clear();
    m_view->setBackColor(kTransparent);
}

void QnBrushObject::setPen(const QColor &color, int width)
{
    if (!m_view)
        return;
    m_view->setBackColor(kPenBackground);
    if (m_pen) {
        m_pen->setPenColor(color);
        m_pen->setPenWidth(width);
    }
    m_view->setStylus(QnBoardWire::PenStylus);
}

void QnBrushObject::setSelectMode()
{
    if (m_view) {
        m_view->qnScene()->clearScene(false);
        m_view->setBackColor(kTransparent);
        m_view->setStylus(QnBoardWire::SelectStylus);
    }
    m_adaptor->sendRemoteAction(QUuid(), QnBoardWire::Select, QJsonObject());
}

void QnBrushObject::resetSceneState()
{
    if (m_view)
        m_view->qnScene()->clearScene(false);
}

void QnBrushObject::clearUndo()
{
    if (m_view)
        m_view->qnScene()->undoStack()->clear();
}

void QnBrushObject::undo()
{
    if (m_view)
        m_view->qnScene()->undoStack()->undo();
    m_adaptor->sendRemoteAction(QUuid(), QnBoardWire::Undo, QJsonObject());
}

void QnBrushObject::redo()
{
    if (m_view)
        m_view->qnScene()->undoStack()->redo();
    m_adaptor->sendRemoteAction(QUuid(), QnBoardWire::Redo, QJsonObject());
}

void QnBrushObject::setViewSize(int vwidth, int vheight)
{
    m_adaptor->setViewSize(vwidth, vheight);
}

void QnBrushObject::receiveData(QByteArray data)
{
    qnboard::Actions actions;
    if (QnBoardActions::parseActions(data, actions) != QnBoardActions::ParseResult::Used) {
        qCDebug(lcBrush) << "parase json failed";
        return;
    }
    if (!m_view)
        return;
    m_incoming = true;
    const QString senderId = QString::fromStdString(actions.senderid());
    QnGraphicsScene *scene = m_view->qnScene();
    for (const qnboard::OneAction &action : actions.data()) {
        if (!m_view)
            break;
        // Scale from the sender's drawing area to this view; an unknown area is taken as this one.
        const double sx = action.vwidth() > 0 ? double(m_view->width()) / action.vwidth() : 1.0;
        const double sy = action.vheight() > 0 ? double(m_view->height()) / action.vheight() : 1.0;
        switch (action.actiontype()) {
        case qnboard::OneAction::Pen: {
            if (!action.has_pendata() || !m_pen)
                break;
            const qnboard::PenData &pen = action.pendata();
            const double x = pen.x() * sx, y = pen.y() * sy, width = pen.width() * sx;
            if (!qIsFinite(x) || !qIsFinite(y) || !qIsFinite(width)) {
                qCDebug(lcBrush) << "pen action with coordinates out of range ignored";
                break;
            }
            QJsonObject json;
            json.insert(QStringLiteral("mousetype"), pen.mousetype());
            json.insert(QStringLiteral("width"), qBound(0.0, width, kMaxPenWidth));
            json.insert(QStringLiteral("x"), x);
            json.insert(QStringLiteral("y"), y);
            json.insert(QStringLiteral("id"), pen.id());
            json.insert(QStringLiteral("color"), QString::fromStdString(pen.color()));
            json.insert(QStringLiteral("uuid"), QString::fromStdString(pen.uuid()));
            json.insert(QStringLiteral("pen"), pen.pen());
            m_pen->remoteData(senderId, QnBoardWire::Pen, json);
            break;
        }
        case qnboard::OneAction::Delete:
            if (action.has_deletedata())
                m_hooks->removeItem(QUuid::fromString(QString::fromStdString(action.deletedata().uuid())));
            break;
        case qnboard::OneAction::ClearItems:
            scene->clearScene(true);
            break;
        case qnboard::OneAction::Undo:
            scene->undoStack()->undo();
            break;
        case qnboard::OneAction::Redo:
            scene->undoStack()->redo();
            break;
        case qnboard::OneAction::Select:
            teardown();
            break;
        default:
            break;
        }
    }
    m_incoming = false;
}

DeVizCore *QnBrushObject::penEngine() const
{
    return m_pen.data();
}
