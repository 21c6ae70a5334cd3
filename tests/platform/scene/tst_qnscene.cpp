#include "platform/scene/DeVizCore.h"
#include "platform/scene/QnBoardWire.h"
#include "platform/scene/QnGraphicsItem.h"
#include "platform/scene/QnGraphicsScene.h"
#include "platform/scene/QnGraphicsView.h"
#include "platform/scene/QnObjectCore.h"

#include <QGraphicsRectItem>
#include <QJsonObject>
#include <QSignalSpy>
#include <QUndoStack>
#include <QtTest>

#include <memory>

namespace {

// An engine that records what its scene tells it.
class RecordingEngine : public QnObjectCore
{
public:
    void clearItems() override { ++clears; }
    void remoteRemoveItem(QGraphicsItem *item) override
    {
        removed.append(item);
        removedWhileOnBoard.append(item->scene() != nullptr);
    }
    void itemChanged(QGraphicsItem *item, QGraphicsItem::GraphicsItemChange change, const QVariant &) override
    {
        changes.append({item, change});
    }
    int countChanges(QGraphicsItem::GraphicsItemChange change) const
    {
        int n = 0;
        for (const auto &c : changes)
            n += c.second == change ? 1 : 0;
        return n;
    }
    int clears = 0;
    QList<QGraphicsItem *> removed;
    QList<bool> removedWhileOnBoard;
    QList<QPair<QGraphicsItem *, QGraphicsItem::GraphicsItemChange>> changes;
};

// A path item that tells when it is deleted.
class TracedItem : public QnPathItem
{
public:
    TracedItem(bool *deleted) : QnPathItem(QUuid::createUuid()), m_deleted(deleted)
    {
        setPath(QPainterPath(QPointF(0, 0)));
    }
    ~TracedItem() override { *m_deleted = true; }

private:
    bool *m_deleted;
};

void sendMouse(QWidget *viewport, QEvent::Type type, const QPoint &pos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, viewport->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

// A stroke through viewport points: press at the first, moves with the button held, release at the last.
void stroke(QWidget *viewport, const QList<QPoint> &points)
{
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, points.first());
    for (int i = 1; i < points.size(); ++i)
        sendMouse(viewport, QEvent::MouseMove, points.at(i), Qt::NoButton, Qt::LeftButton);
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, points.last());
}

struct Board
{
    Board()
    {
        view.resize(400, 300);
        view.show();
        pen = new DeVizCore(view.qnScene());
        pen->currentSceneChanged(view.qnScene());
        pen->setIsCanRemote(true);
        pen->setIsCanRedo(true);
        pen->setPenColor(QColor(255, 0, 0));
        pen->setPenWidth(5);
    }
    QnGraphicsView view;
    DeVizCore *pen;
};

} // namespace

class TestQnScene : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void penStrokeIsOnePathItemAndOneCommand();
    void strokeInSceneUnits_data();
    void strokeInSceneUnits();
    void selectModeDoesNotDraw();
    void clearScene_data();
    void clearScene();
    void delegateRemoval();
    void itemChangesReachEngines();
    void selectModeDragAndDeleteKey();
    void removalKeepsItemsForUndo();
    void clearDuringStroke();
    void sceneDiesBeforeEngine();
    void engineDiesBeforeScene();
    void viewDiesMidStroke();
};

void TestQnScene::penStrokeIsOnePathItemAndOneCommand()
{
    Board board;
    QSignalSpy spy(board.pen, &DeVizCore::sendRemoteData);
    board.view.setStylus(QnBoardWire::PenStylus);
    stroke(board.view.viewport(), {QPoint(10, 20), QPoint(30, 40), QPoint(50, 60)});

    QnGraphicsScene *scene = board.view.qnScene();
    QCOMPARE(scene->getFastAccessItems().size(), 1);
    auto *item = dynamic_cast<QnPathItem *>(scene->getFastAccessItems().first());
    QVERIFY(item);
    QCOMPARE(scene->undoStack()->count(), 1);

    // press, two moves, release: all Pen, all for the stroke's item
    QCOMPARE(spy.count(), 4);
    const QList<int> mouseTypes{QnBoardWire::MousePress, QnBoardWire::MouseMove, QnBoardWire::MouseMove,
                                QnBoardWire::MouseRelease};
    const QList<QPointF> points{{10, 20}, {30, 40}, {50, 60}, {50, 60}};
    for (int i = 0; i < spy.count(); ++i) {
        const QList<QVariant> args = spy.at(i);
        QCOMPARE(args.at(0).toUuid(), item->uuid());
        QCOMPARE(args.at(1).toInt(), int(QnBoardWire::Pen));
        const QJsonObject json = args.at(2).toJsonObject();
        QCOMPARE(json.value("mousetype").toInt(-1), mouseTypes.at(i));
        QCOMPARE(json.value("x").toDouble(), points.at(i).x());
        QCOMPARE(json.value("y").toDouble(), points.at(i).y());
        QCOMPARE(json.value("width").toDouble(), 5.0);
        QCOMPARE(json.value("id").toInt(-1), 0);
        QCOMPARE(json.value("color").toString(), QString("#ffff0000"));
        QCOMPARE(json.value("uuid").toString(), item->uuid().toString(QUuid::WithoutBraces));
        QCOMPARE(json.value("pen").toBool(), true);
        QCOMPARE(json.keys().size(), 8);
    }

    // undo takes the stroke off the board, redo brings back the same item
    scene->undoStack()->undo();
    QVERIFY(scene->getFastAccessItems().isEmpty());
    QCOMPARE(scene->offBoardCount(), 1);
    scene->undoStack()->redo();
    QCOMPARE(scene->getFastAccessItems(), QList<QGraphicsItem *>{item});
    // undone and then forgotten: the item goes with the history
    scene->undoStack()->undo();
    scene->undoStack()->clear();
    QCOMPARE(scene->offBoardCount(), 0);
    QVERIFY(scene->items().isEmpty());
}

void TestQnScene::strokeInSceneUnits_data()
{
    QTest::addColumn<QTransform>("transform");
    QTest::newRow("identity") << QTransform();
    QTest::newRow("scaled 2x") << QTransform::fromScale(2, 2);
    QTest::newRow("scaled 0.5x") << QTransform::fromScale(0.5, 0.5);
    QTest::newRow("scaled and translated") << QTransform::fromScale(1.5, 1.5).translate(20, 10);
}

void TestQnScene::strokeInSceneUnits()
{
    QFETCH(QTransform, transform);
    Board board;
    board.view.setTransform(transform);
    board.view.setStylus(QnBoardWire::PenStylus);
    QSignalSpy spy(board.pen, &DeVizCore::sendRemoteData);
    const QList<QPointF> scenePoints{{40, 30}, {60, 50}, {80, 40}};
    QList<QPoint> viewportPoints;
    for (const QPointF &p : scenePoints)
        viewportPoints.append(board.view.mapFromScene(p));
    stroke(board.view.viewport(), viewportPoints);
    QCOMPARE(spy.count(), 4);
    // A viewport pixel is 1/scale scene units wide: the reported point is within one pixel of the target.
    const double tolerance = 1.0 / std::min(transform.m11(), 1.0);
    for (int i = 0; i < 3; ++i) {
        const QJsonObject json = spy.at(i).at(2).toJsonObject();
        QVERIFY2(qAbs(json.value("x").toDouble() - scenePoints.at(i).x()) <= tolerance,
                 qPrintable(QString::number(json.value("x").toDouble())));
        QVERIFY2(qAbs(json.value("y").toDouble() - scenePoints.at(i).y()) <= tolerance,
                 qPrintable(QString::number(json.value("y").toDouble())));
    }
    auto *item = dynamic_cast<QnPathItem *>(board.view.qnScene()->getFastAccessItems().value(0));
    QVERIFY(item);
    QVERIFY(item->path().boundingRect().adjusted(-2, -2, 2, 2).contains(QRectF(40, 30, 40, 20)));
}

void TestQnScene::selectModeDoesNotDraw()
{
    Board board;
    QSignalSpy spy(board.pen, &DeVizCore::sendRemoteData);
    board.view.setStylus(QnBoardWire::SelectStylus);
    stroke(board.view.viewport(), {QPoint(10, 10), QPoint(100, 100)});
    QCOMPARE(spy.count(), 0);
    QVERIFY(board.view.qnScene()->getFastAccessItems().isEmpty());
    QCOMPARE(board.pen->stylus(), int(QnBoardWire::SelectStylus));
}

void TestQnScene::clearScene_data()
{
    QTest::addColumn<bool>("remote");
    QTest::addColumn<int>("items");
    QTest::addColumn<int>("expectedClears");
    QTest::newRow("user clear, empty board") << false << 0 << 1;
    QTest::newRow("user clear, three items") << false << 3 << 1;
    QTest::newRow("remote clear, three items") << true << 3 << 0;
}

void TestQnScene::clearScene()
{
    QFETCH(bool, remote);
    QFETCH(int, items);
    QFETCH(int, expectedClears);
    QnGraphicsScene scene;
    RecordingEngine engine;
    engine.currentSceneChanged(&scene);
    QList<QGraphicsItem *> added;
    for (int i = 0; i < items; ++i) {
        added.append(new QnPathItem(QUuid::createUuid()));
        scene.addItem(added.last());
    }
    scene.clearScene(remote);
    QCOMPARE(engine.clears, expectedClears);
    QVERIFY(engine.removed.isEmpty());
    QVERIFY(scene.getFastAccessItems().isEmpty());
    QVERIFY(scene.items().isEmpty());
    if (items > 0) {
        // one command, and undo brings every item back
        QCOMPARE(scene.undoStack()->count(), 1);
        scene.undoStack()->undo();
        QCOMPARE(scene.getFastAccessItems().size(), items);
        QCOMPARE(engine.clears, expectedClears);
    }
}

void TestQnScene::delegateRemoval()
{
    QnGraphicsScene scene;
    RecordingEngine engine;
    engine.currentSceneChanged(&scene);
    bool deleted = false;
    auto *item = new TracedItem(&deleted);
    scene.addItem(item);

    // undoable: reported while still on the board, then off it and kept for undo
    item->Delegate()->removeFromScene(true, true);
    QCOMPARE(engine.removed, QList<QGraphicsItem *>{item});
    QCOMPARE(engine.removedWhileOnBoard, QList<bool>{true});
    QVERIFY(scene.getFastAccessItems().isEmpty());
    QVERIFY(!deleted);
    scene.undoStack()->undo();
    QCOMPARE(scene.getFastAccessItems(), QList<QGraphicsItem *>{item});

    // not undoable and unreferenced once the history is gone: deleted at once, unreported
    scene.undoStack()->clear();
    item->Delegate()->removeFromScene(false, false);
    QVERIFY(deleted);
    QCOMPARE(engine.removed.size(), 1);

    // an item off any board: no effect
    bool otherDeleted = false;
    auto loose = std::make_unique<TracedItem>(&otherDeleted);
    loose->Delegate()->removeFromScene(true, true);
    QVERIFY(!otherDeleted);
    QCOMPARE(engine.removed.size(), 1);
}

void TestQnScene::itemChangesReachEngines()
{
    QnGraphicsScene scene;
    RecordingEngine engine;
    engine.currentSceneChanged(&scene);
    auto *item = new QnPathItem(QUuid::createUuid());
    scene.addItem(item);
    engine.changes.clear();
    item->setPos(10, 20);
    item->setTransform(QTransform::fromTranslate(5, -5));
    QCOMPARE(engine.countChanges(QGraphicsItem::ItemPositionHasChanged), 1);
    QCOMPARE(engine.countChanges(QGraphicsItem::ItemTransformHasChanged), 1);
    // plain Qt items on the same scene are not board items and are not reported
    auto *plain = new QGraphicsRectItem(0, 0, 10, 10);
    plain->setFlag(QGraphicsItem::ItemSendsGeometryChanges);
    scene.addItem(plain);
    plain->setPos(3, 3);
    QCOMPARE(engine.countChanges(QGraphicsItem::ItemPositionHasChanged), 1);
    QCOMPARE(scene.getFastAccessItems(), QList<QGraphicsItem *>{item});
}

void TestQnScene::selectModeDragAndDeleteKey()
{
    QnGraphicsView view;
    view.resize(400, 300);
    view.show();
    RecordingEngine engine;
    engine.currentSceneChanged(view.qnScene());
    auto *item = new QnPathItem(QUuid::createUuid());
    QPainterPath path;
    path.addRect(50, 50, 60, 60);
    item->setPath(path);
    item->setBrush(Qt::black);
    view.qnScene()->addItem(item);
    view.setStylus(QnBoardWire::SelectStylus);

    QWidget *vp = view.viewport();
    const QPoint start = view.mapFromScene(QPointF(80, 80));
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, start);
    for (int step = 1; step <= 3; ++step)
        sendMouse(vp, QEvent::MouseMove, start + QPoint(10 * step, 5 * step), Qt::NoButton, Qt::LeftButton);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, start + QPoint(30, 15));
    QVERIFY(engine.countChanges(QGraphicsItem::ItemPositionHasChanged) >= 1);
    QCOMPARE(item->pos(), QPointF(30, 15));
    QVERIFY(item->isSelected());

    QTest::keyClick(&view, Qt::Key_Delete);
    QCOMPARE(engine.removed, QList<QGraphicsItem *>{item});
    QVERIFY(view.qnScene()->getFastAccessItems().isEmpty());
}

void TestQnScene::removalKeepsItemsForUndo()
{
    // A stroke removed outright (as a received delete does) while its undo command still refers to
    // it: undo and redo must find a live item, and it goes with the history.
    Board board;
    board.view.setStylus(QnBoardWire::PenStylus);
    stroke(board.view.viewport(), {QPoint(10, 10), QPoint(20, 20)});
    QnGraphicsScene *scene = board.view.qnScene();
    auto *item = dynamic_cast<QnGraphicsItem *>(scene->getFastAccessItems().value(0));
    QVERIFY(item);
    item->Delegate()->removeFromScene(true, false);
    QVERIFY(scene->getFastAccessItems().isEmpty());
    QCOMPARE(scene->offBoardCount(), 1);
    scene->undoStack()->undo(); // the stroke is already off: nothing to take
    scene->undoStack()->redo(); // puts the kept item back
    QCOMPARE(scene->getFastAccessItems().size(), 1);
    scene->undoStack()->undo();
    scene->undoStack()->clear();
    QCOMPARE(scene->offBoardCount(), 0);
    QVERIFY(scene->items().isEmpty());
}

void TestQnScene::clearDuringStroke()
{
    Board board;
    board.view.setStylus(QnBoardWire::PenStylus);
    QnGraphicsScene *scene = board.view.qnScene();
    QWidget *vp = board.view.viewport();
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    scene->clearScene(false);
    sendMouse(vp, QEvent::MouseMove, QPoint(30, 30), Qt::NoButton, Qt::LeftButton);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    // the cleared stroke is not pushed as a stroke of its own; undoing the clear brings it back whole
    QCOMPARE(scene->undoStack()->count(), 1);
    QVERIFY(scene->getFastAccessItems().isEmpty());
    scene->undoStack()->undo();
    auto *item = dynamic_cast<QnPathItem *>(scene->getFastAccessItems().value(0));
    QVERIFY(item);
    QVERIFY(item->path().boundingRect().contains(QPointF(20, 20)));
    // engines attached later learn the current stylus
    RecordingEngine late;
    late.currentSceneChanged(scene);
    QCOMPARE(late.stylus(), int(QnBoardWire::PenStylus));
}

void TestQnScene::sceneDiesBeforeEngine()
{
    auto scene = std::make_unique<QnGraphicsScene>();
    RecordingEngine engine;
    DeVizCore pen; // not a child of the scene: outlives it
    engine.currentSceneChanged(scene.get());
    pen.currentSceneChanged(scene.get());
    pen.inputDevicePress(QPointF(1, 1), 1.0); // a stroke in progress when the scene goes
    scene.reset();
    QCOMPARE(engine.scene(), nullptr);
    QCOMPARE(pen.scene(), nullptr);
    // calls after the scene is gone do nothing
    pen.inputDeviceMove(QPointF(2, 2), 1.0);
    pen.inputDeviceRelease();
    engine.currentSceneChanged(nullptr);
}

void TestQnScene::engineDiesBeforeScene()
{
    QnGraphicsScene scene;
    auto engine = std::make_unique<RecordingEngine>();
    engine->currentSceneChanged(&scene);
    auto *item = new QnPathItem(QUuid::createUuid());
    scene.addItem(item);
    QCOMPARE(scene.engines().size(), 1);
    engine.reset();
    QVERIFY(scene.engines().isEmpty());
    item->setPos(5, 5);
    scene.clearScene(false);
    item = new QnPathItem(QUuid::createUuid());
    scene.addItem(item);
    item->Delegate()->removeFromScene(true, true);
}

void TestQnScene::viewDiesMidStroke()
{
    auto view = std::make_unique<QnGraphicsView>();
    view->resize(200, 200);
    view->show();
    auto *pen = new DeVizCore(view->qnScene()); // goes with the scene
    QPointer<DeVizCore> guard(pen);
    pen->currentSceneChanged(view->qnScene());
    view->setStylus(QnBoardWire::PenStylus);
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    view.reset();
    QVERIFY(guard.isNull());
}

QTEST_MAIN(TestQnScene)
#include "tst_qnscene.moc"
