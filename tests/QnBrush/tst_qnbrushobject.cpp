#include "QnBrush/qnboard.pb.h"
#include "QnBrush/src/QnBrushObject.h"
#include "QnBrush/src/QnRemoteAdaptor.h"
#include "QnBrush/src/QnRemoteCore.h"
#include "platform/scene/DeVizCore.h"
#include "platform/scene/QnBoardWire.h"
#include "platform/scene/QnGraphicsItem.h"
#include "platform/scene/QnGraphicsScene.h"
#include "platform/scene/QnGraphicsView.h"

#include "tests/fixtures/ui/QnPenStroke.h"
#include <QGraphicsRectItem>
#include <QGuiApplication>
#include <QScreen>
#include <QUndoStack>
#include <QtTest>

#include <memory>

using namespace std::chrono_literals;

namespace {

// Every action the overlay sent, in order, parsed back from its batches (GUI thread).
class Wire : public QObject
{
public:
    explicit Wire(QnBrushObject *board)
    {
        connect(board, &QnBrushObject::sendData, this, [this](QByteArray bytes) {
            raw.append(bytes);
            qnboard::Actions batch;
            if (!batch.ParseFromArray(bytes.constData(), bytes.size()))
                ++unparsable;
            for (const qnboard::OneAction &a : batch.data())
                actions.append(a);
        });
    }
    QList<int> types() const
    {
        QList<int> t;
        for (const auto &a : actions)
            t.append(a.actiontype());
        return t;
    }
    QList<qnboard::OneAction> ofType(int type) const
    {
        QList<qnboard::OneAction> out;
        for (const auto &a : actions)
            if (a.actiontype() == type)
                out.append(a);
        return out;
    }
    QList<QByteArray> raw;
    QList<qnboard::OneAction> actions;
    int unparsable = 0;
};

// Lets the adaptor's worker run a few periods, so that everything made so far has been sent.
void settle(QnBrushObject &board, Wire &wire)
{
    board.adaptor()->sendRemoteAction(QUuid(), 99, QJsonObject()); // a marker, sent last
    QTRY_VERIFY_WITH_TIMEOUT(!wire.ofType(99).isEmpty(), 10000);
    QList<qnboard::OneAction> kept;
    for (const auto &a : wire.actions)
        if (a.actiontype() != 99)
            kept.append(a);
    wire.actions = kept;
}

void stroke(QWidget *viewport, const QList<QPoint> &points)
{
    QnPenStroke::draw(viewport, points);
}

QnPathItem *addItem(QnGraphicsScene *scene, const QUuid &id = QUuid::createUuid())
{
    auto *item = new QnPathItem(id);
    QPainterPath path;
    path.addRect(0, 0, 20, 20);
    item->setPath(path);
    scene->addItem(item);
    return item;
}

} // namespace

class TestQnBrushObject : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void constructedState();
    void positionWithTranslation();
    void otherChangesSendNothing();
    void clearSendsOneClearItems();
    void selectModeSendsClearThenSelect();
    void undoRedoAlwaysSent();
    void penStrokeOnScaledView_data();
    void penStrokeOnScaledView();
    void deleteKeySendsDelete();
    void removeByIdIsNotEchoed();
    void viewDestroyedByNewParent();
    void teardownWithBatchPending();
    void receivedBatchIsDrawn();
};

void TestQnBrushObject::constructedState()
{
    QnBrushObject board(nullptr, 20ms);
    QnGraphicsView *view = board.view();
    QVERIFY(view);
    QVERIFY(!view->isVisible());
    QCOMPARE(view->stylus(), int(QnBoardWire::SelectStylus));
    QCOMPARE(view->getBackColor().alpha(), 0);
    QVERIFY(view->isBackColor());
    QVERIFY(view->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY((view->windowFlags() & Qt::Tool) == Qt::Tool);
    QCOMPARE(view->geometry(), QGuiApplication::screens().at(0)->geometry());
    QVERIFY(board.adaptor()->isRunning());
    QVERIFY(board.penEngine()->isCanRemote());
    QCOMPARE(board.penEngine()->scene(), view->qnScene());
    QCOMPARE(board.hooks()->scene(), view->qnScene());

    // pen mode: background at alpha 10, stylus 0, and nothing sent
    Wire wire(&board);
    board.setPen(QColor(0, 0, 255), 5);
    QCOMPARE(view->stylus(), int(QnBoardWire::PenStylus));
    QCOMPARE(view->getBackColor(), QColor(0, 0, 0, 10));
    QCOMPARE(board.penEngine()->penColor(), QColor(0, 0, 255));
    QCOMPARE(board.penEngine()->penWidth(), 5);
    settle(board, wire);
    QVERIFY(wire.actions.isEmpty());
}

void TestQnBrushObject::positionWithTranslation()
{
    QnBrushObject board(nullptr, 20ms);
    Wire wire(&board);
    QnPathItem *item = addItem(board.view()->qnScene());
    item->setTransform(QTransform::fromTranslate(5, -5));
    item->setPos(10, 20);
    settle(board, wire);
    const QList<qnboard::OneAction> moves = wire.ofType(QnBoardWire::Move);
    QCOMPARE(moves.size(), 2); // one per notification, not merged
    const qnboard::MoveData &last = moves.last().movedata();
    QCOMPARE(last.x(), 15.0);
    QCOMPARE(last.y(), 15.0);
    QCOMPARE(QString::fromStdString(last.uuid()), item->uuid().toString(QUuid::WithoutBraces));
    // a rotation is not carried: only the translation counts
    item->setTransform(QTransform::fromTranslate(5, -5).rotate(30));
    settle(board, wire);
    QCOMPARE(wire.ofType(QnBoardWire::Move).size(), 3);
    QCOMPARE(wire.ofType(QnBoardWire::Move).last().movedata().x(), 15.0);
}

void TestQnBrushObject::otherChangesSendNothing()
{
    QnBrushObject board(nullptr, 20ms);
    Wire wire(&board);
    QnGraphicsScene *scene = board.view()->qnScene();
    QnPathItem *item = addItem(scene);
    item->setSelected(true);
    item->setVisible(false);
    item->setZValue(3);
    // an item that is a scene item but not a board item (no id) moves unreported
    auto *plain = new QnSceneItem<QGraphicsRectItem>();
    scene->addItem(plain);
    plain->setPos(4, 4);
    // and the hook ignores a non-board item whatever the change
    QGraphicsRectItem loose;
    board.hooks()->itemChanged(&loose, QGraphicsItem::ItemPositionHasChanged, QVariant());
    board.hooks()->remoteRemoveItem(&loose);
    settle(board, wire);
    QVERIFY2(wire.actions.isEmpty(), qPrintable(QString::number(wire.actions.size())));
}

void TestQnBrushObject::clearSendsOneClearItems()
{
    QnBrushObject board(nullptr, 20ms);
    Wire wire(&board);
    QnGraphicsScene *scene = board.view()->qnScene();
    for (int i = 0; i < 3; ++i)
        addItem(scene);
    scene->clearScene(false);
    settle(board, wire);
    QCOMPARE(wire.types(), QList<int>{QnBoardWire::ClearItems});
    QCOMPARE(wire.actions.first().data(), std::string("{}"));
    QVERIFY(scene->getFastAccessItems().isEmpty());

    // resetSceneState is the same clear, reported the same way
    addItem(scene);
    board.resetSceneState();
    settle(board, wire);
    QCOMPARE(wire.types(), (QList<int>{QnBoardWire::ClearItems, QnBoardWire::ClearItems}));
}

void TestQnBrushObject::selectModeSendsClearThenSelect()
{
    QnBrushObject board(nullptr, 20ms);
    Wire wire(&board);
    board.setPen(Qt::red, 5);
    addItem(board.view()->qnScene());
    board.setSelectMode();
    settle(board, wire);
    QCOMPARE(wire.types(), (QList<int>{QnBoardWire::ClearItems, QnBoardWire::Select}));
    const qnboard::OneAction &select = wire.actions.last();
    QCOMPARE(select.data(), std::string("{}"));
    QCOMPARE(board.view()->stylus(), int(QnBoardWire::SelectStylus));
    QCOMPARE(board.view()->getBackColor(), QColor(0, 0, 0, 0));
    board.clearUndo();
    QCOMPARE(board.view()->qnScene()->undoStack()->count(), 0);
    QCOMPARE(board.view()->qnScene()->offBoardCount(), 0);
}

void TestQnBrushObject::undoRedoAlwaysSent()
{
    QnBrushObject board(nullptr, 20ms);
    Wire wire(&board);
    QCOMPARE(board.view()->qnScene()->undoStack()->count(), 0);
    board.undo();
    board.redo();
    settle(board, wire);
    QCOMPARE(wire.types(), (QList<int>{QnBoardWire::Undo, QnBoardWire::Redo}));
    for (const auto &a : wire.actions) {
        QCOMPARE(a.data(), std::string("{}"));
        QCOMPARE(a.test_oneof_case(), qnboard::OneAction::kData);
    }
}

void TestQnBrushObject::penStrokeOnScaledView_data()
{
    QTest::addColumn<double>("scale");
    QTest::newRow("unscaled") << 1.0;
    QTest::newRow("scaled 2x") << 2.0;
    QTest::newRow("scaled 0.5x") << 0.5;
}

void TestQnBrushObject::penStrokeOnScaledView()
{
    QFETCH(double, scale);
    QnBrushObject board(nullptr, 20ms);
    Wire wire(&board);
    // as the desktop-sync window does it: re-parented into the picture widget, laid out, shown
    QWidget picture;
    picture.resize(640, 360);
    QnGraphicsView *view = board.view();
    view->setParent(&picture, view->windowFlags() & ~Qt::Window);
    view->setGeometry(0, 0, 640, 360);
    picture.show();
    view->show();
    board.setViewSize(640, 360);
    board.setPen(QColor(0, 128, 0), 5);
    view->setTransform(QTransform::fromScale(scale, scale));

    const QList<QPointF> scenePoints{{100, 80}, {140, 100}, {180, 90}};
    QList<QPoint> points;
    for (const QPointF &p : scenePoints)
        points.append(view->mapFromScene(p));
    stroke(view->viewport(), points);
    settle(board, wire);

    const QList<qnboard::OneAction> pens = wire.ofType(QnBoardWire::Pen);
    QCOMPARE(pens.size(), 4);
    QCOMPARE(wire.actions.size(), 4);
    auto *item = dynamic_cast<QnPathItem *>(view->qnScene()->getFastAccessItems().value(0));
    QVERIFY(item);
    const double tolerance = 1.0 / std::min(scale, 1.0);
    const QList<int> mouseTypes{0, 1, 1, 2};
    for (int i = 0; i < 4; ++i) {
        const qnboard::OneAction &a = pens.at(i);
        QCOMPARE(a.vwidth(), 640);
        QCOMPARE(a.vheight(), 360);
        const qnboard::PenData &pen = a.pendata();
        QCOMPARE(pen.mousetype(), mouseTypes.at(i));
        const QPointF target = scenePoints.at(std::min(i, 2));
        QVERIFY2(qAbs(pen.x() - target.x()) <= tolerance && qAbs(pen.y() - target.y()) <= tolerance,
                 qPrintable(QStringLiteral("%1,%2").arg(pen.x()).arg(pen.y())));
        QCOMPARE(pen.width(), 5.0);
        QCOMPARE(pen.id(), 0);
        QCOMPARE(pen.color(), std::string("#ff008000"));
        QCOMPARE(QString::fromStdString(pen.uuid()), item->uuid().toString(QUuid::WithoutBraces));
        QVERIFY(pen.pen());
    }
    // one stroke, one undo command; undo takes it off and still tells the receiver
    QCOMPARE(view->qnScene()->undoStack()->count(), 1);
    board.undo();
    QVERIFY(view->qnScene()->getFastAccessItems().isEmpty());
    settle(board, wire);
    QCOMPARE(wire.types().last(), int(QnBoardWire::Undo));
    view->setParent(nullptr); // back to the overlay's ownership before the picture goes
}

void TestQnBrushObject::deleteKeySendsDelete()
{
    QnBrushObject board(nullptr, 20ms);
    Wire wire(&board);
    board.view()->resize(300, 200);
    board.view()->show();
    QnPathItem *item = addItem(board.view()->qnScene());
    const QUuid id = item->uuid();
    item->setSelected(true);
    QTest::keyClick(board.view(), Qt::Key_Delete);
    settle(board, wire);
    QCOMPARE(wire.types(), QList<int>{QnBoardWire::Delete});
    QCOMPARE(QString::fromStdString(wire.actions.first().deletedata().uuid()),
             id.toString(QUuid::WithoutBraces));
}

void TestQnBrushObject::removeByIdIsNotEchoed()
{
    QnBrushObject board(nullptr, 20ms);
    Wire wire(&board);
    QnGraphicsScene *scene = board.view()->qnScene();
    const QUuid shared = QUuid::createUuid();
    addItem(scene, shared);
    addItem(scene, shared);
    QnPathItem *other = addItem(scene);
    board.hooks()->removeItem(shared);
    QCOMPARE(scene->getFastAccessItems(), QList<QGraphicsItem *>{other}); // every match goes
    QCOMPARE(board.hooks()->removedByRemoteCount(), 0);
    settle(board, wire);
    QVERIFY(wire.actions.isEmpty());
}

void TestQnBrushObject::viewDestroyedByNewParent()
{
    auto board = std::make_unique<QnBrushObject>(nullptr, 20ms);
    Wire wire(board.get());
    auto picture = std::make_unique<QWidget>();
    board->view()->setParent(picture.get());
    addItem(board->view()->qnScene());
    picture.reset(); // the view, its scene and the pen engine go with the picture
    QCOMPARE(board->view(), nullptr);
    QCOMPARE(board->penEngine(), nullptr);
    QCOMPARE(board->hooks()->scene(), nullptr);
    // every operation still works on what is left; Select, Undo and Redo are still sent
    board->setPen(Qt::red, 5);
    board->resetSceneState();
    board->setSelectMode();
    board->undo();
    board->redo();
    board->clearUndo();
    board->setViewSize(10, 10);
    settle(*board, wire);
    QCOMPARE(wire.types(), (QList<int>{QnBoardWire::Select, QnBoardWire::Undo, QnBoardWire::Redo}));
    board.reset();
}

void TestQnBrushObject::teardownWithBatchPending()
{
    // A period that never ends: every action below is still pending when the overlay goes.
    auto board = std::make_unique<QnBrushObject>(nullptr, 60000ms);
    Wire wire(board.get());
    QnGraphicsView *view = board->view();
    view->resize(300, 200);
    view->show();
    board->setPen(Qt::red, 5);
    stroke(view->viewport(), {QPoint(10, 10), QPoint(20, 20), QPoint(30, 10)});
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50)); // stroke in progress
    board->undo();
    board->setSelectMode();
    board.reset();
    QCoreApplication::processEvents();
    QVERIFY(wire.raw.isEmpty());
}

void TestQnBrushObject::receivedBatchIsDrawn()
{
    QnBrushObject sender(nullptr, 20ms);
    Wire wire(&sender);
    QnGraphicsView *view = sender.view();
    view->resize(400, 300);
    view->show();
    sender.setViewSize(400, 300);
    sender.setPen(QColor(255, 0, 0), 4);
    stroke(view->viewport(), {QPoint(10, 10), QPoint(100, 50), QPoint(200, 100)});
    settle(sender, wire);
    QVERIFY(!wire.raw.isEmpty());

    // a board twice the size draws the same stroke, scaled, with the same id, and sends nothing back
    QnBrushObject receiver(nullptr, 20ms);
    Wire echo(&receiver);
    receiver.view()->resize(800, 600);
    for (const QByteArray &bytes : wire.raw)
        receiver.receiveData(bytes);
    receiver.receiveData(QByteArray("\x0a\x05\x08", 3)); // garbage is ignored
    const QList<QGraphicsItem *> items = receiver.view()->qnScene()->getFastAccessItems();
    QCOMPARE(items.size(), 1);
    auto *drawn = dynamic_cast<QnPathItem *>(items.first());
    auto *original = dynamic_cast<QnPathItem *>(view->qnScene()->getFastAccessItems().first());
    QCOMPARE(drawn->uuid(), original->uuid());
    QVERIFY(qAbs(drawn->path().boundingRect().right() - 400.0) <= 2.0);
    QCOMPARE(drawn->pen().widthF(), 8.0);
    settle(receiver, echo);
    QVERIFY(echo.actions.isEmpty());
}

QTEST_MAIN(TestQnBrushObject)
#include "tst_qnbrushobject.moc"
