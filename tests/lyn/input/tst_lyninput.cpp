// QnLynInput with the recording injector: capture from a watched view, and the receipt rules
// (who may drive the PC, scaling to the chosen screen, touch contacts, cursor-shape replies).
#include "lyn/input/QnLynInput.h"
#include "platform/xtest/QnFakeInputInjector.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QThread>
#include <QWidget>
#include <QtTest>

namespace {

const QString kReceiver = QStringLiteral("rx-1");

/// A view that counts the events that reach it past the filter.
class CountingView : public QWidget
{
public:
    int delivered = 0;

protected:
    bool event(QEvent *e) override
    {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::HoverMove:
        case QEvent::FocusOut:
        case QEvent::Enter:
        case QEvent::Leave:
            ++delivered;
            break;
        default:
            break;
        }
        return QWidget::event(e);
    }
};

QByteArray message(int type, const QJsonValue &data, const QString &jsonSender = QString())
{
    QJsonObject o{{"type", type}, {"data", data}, {"id", "pc"}};
    if (!jsonSender.isEmpty())
        o.insert("senderId", jsonSender);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray mouse(int type, int x, int y, int button = 0, int w = 1000, int h = 500)
{
    return message(type, QJsonObject{{"x", x}, {"y", y}, {"button", button}, {"width", w}, {"height", h}});
}

QByteArray touch(int type, const QList<QPoint> &points, int firstId)
{
    QJsonArray arr;
    int id = firstId;
    for (const QPoint &p : points)
        arr.append(
            QJsonObject{{"pointId", id++}, {"x", p.x()}, {"y", p.y()}, {"width", 1000}, {"height", 500}});
    return message(type, arr);
}

QJsonObject parse(const QByteArray &bytes)
{
    return QJsonDocument::fromJson(bytes).object();
}

QEvent *makeEvent(const QString &kind)
{
    const QPointF at(50, 60);
    if (kind == "press")
        return new QMouseEvent(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    if (kind == "double click")
        return new QMouseEvent(QEvent::MouseButtonDblClick, at, Qt::RightButton, Qt::RightButton,
                               Qt::NoModifier);
    if (kind == "move without button")
        return new QMouseEvent(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    if (kind == "release")
        return new QMouseEvent(QEvent::MouseButtonRelease, at, Qt::MiddleButton, Qt::NoButton,
                               Qt::NoModifier);
    if (kind == "wheel")
        return new QWheelEvent(at, at, QPoint(), QPoint(-120, 240), Qt::NoButton, Qt::NoModifier,
                               Qt::NoScrollPhase, false);
    if (kind == "key press")
        return new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier, QStringLiteral("A"));
    if (kind == "key release")
        return new QKeyEvent(QEvent::KeyRelease, Qt::Key_B, Qt::ControlModifier);
    if (kind == "hover")
        return new QHoverEvent(QEvent::HoverMove, at, QPointF(0, 0));
    if (kind == "focus out")
        return new QFocusEvent(QEvent::FocusOut);
    if (kind == "leave")
        return new QEvent(QEvent::Leave);
    return nullptr;
}

} // namespace

class TstLynInput : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void capture_data();
    void capture();
    void captureNullRectAndSecondWatch();
    void removeWatchStopsCapture();
    void onlyConnectedReceiverDrives_data();
    void onlyConnectedReceiverDrives();
    void mouseScaledToChosenScreen_data();
    void mouseScaledToChosenScreen();
    void keysTextAndHeld();
    void cursorShapeSentOncePerChange();
    void touchIdReuseAndDeduplication();
    void touchContactsAreBounded();
    void refusedInputFloodIsSummarised();
    void remoteCursorCallback();
    void receiverChangeReleasesHeld();
    void receiptFromAnotherThread();

private:
    QnFakeInputInjector *m_fake = nullptr;
    std::unique_ptr<QnLynInput> m_input;
};

void TstLynInput::init()
{
    auto fake = std::make_unique<QnFakeInputInjector>();
    m_fake = fake.get();
    m_input = std::make_unique<QnLynInput>(std::move(fake));
    // Two screens side by side; the second, scaled by 2, is chosen: 2000x1000 device pixels at
    // (1920, 0) (Qt 5 gives a screen's top-left unscaled).
    m_input->setScreen(1, {{QRect(0, 0, 1920, 1080), 1.0}, {QRect(1920, 0, 1000, 500), 2.0}});
    m_input->setConnectedReceiver(kReceiver);
    m_fake->takeLog();
}

void TstLynInput::cleanup()
{
    m_input.reset();
    m_fake = nullptr;
}

void TstLynInput::capture_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("type");
    QTest::addColumn<QJsonObject>("data");
    QTest::addColumn<bool>("consumed");
    const QJsonObject none;
    // The watched rectangle starts at (10, 20) and is 200x100.
    QTest::newRow("press")
        << "press" << 1 << QJsonObject{{"button", 1}, {"x", 40}, {"y", 40}, {"width", 200}, {"height", 100}}
        << true;
    QTest::newRow("double click is a press")
        << "double click" << 1
        << QJsonObject{{"button", 2}, {"x", 40}, {"y", 40}, {"width", 200}, {"height", 100}} << true;
    QTest::newRow("move carries button 0")
        << "move without button" << 2
        << QJsonObject{{"button", 0}, {"x", 40}, {"y", 40}, {"width", 200}, {"height", 100}} << true;
    QTest::newRow("release")
        << "release" << 3 << QJsonObject{{"button", 4}, {"x", 40}, {"y", 40}, {"width", 200}, {"height", 100}}
        << true;
    QTest::newRow("wheel") << "wheel" << 4
                           << QJsonObject{{"x", -120}, {"y", 240}, {"width", 200}, {"height", 100}} << false;
    QTest::newRow("key press") << "key press" << 6
                               << QJsonObject{{"key", int(Qt::Key_A)}, {"modifiers", int(Qt::ShiftModifier)}}
                               << false;
    QTest::newRow("key release") << "key release" << 5
                                 << QJsonObject{{"key", int(Qt::Key_B)},
                                                {"modifiers", int(Qt::ControlModifier)}}
                                 << false;
    QTest::newRow("hover") << "hover" << 11
                           << QJsonObject{{"x", 40}, {"y", 40}, {"width", 200}, {"height", 100}} << false;
    QTest::newRow("focus out") << "focus out" << 10 << none << false;
    QTest::newRow("leave") << "leave" << 10 << none << false;
}

void TstLynInput::capture()
{
    QFETCH(QString, kind);
    QFETCH(int, type);
    QFETCH(QJsonObject, data);
    QFETCH(bool, consumed);

    CountingView view;
    view.setMouseTracking(true);
    m_input->addWatch(&view, "peer-A", QRect(0, 0, 1, 1), nullptr);
    m_input->setRemoteSize("peer-A", QRect(10, 20, 200, 100));
    QSignalSpy spy(m_input.get(), &QnLynInput::sendDataToNetwork);
    std::unique_ptr<QEvent> ev(makeEvent(kind));
    QVERIFY(ev);
    QCoreApplication::sendEvent(&view, ev.get());

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("peer-A"));
    const QJsonObject msg = parse(spy.at(0).at(1).toByteArray());
    QCOMPARE(msg.value("type").toInt(), type);
    QCOMPARE(msg.value("data").toObject(), data);
    QCOMPARE(msg.value("id").toString(), QStringLiteral("peer-A"));
    QVERIFY(msg.value("senderId").isString());
    QCOMPARE(msg.value("senderId").toString(), QString());
    QCOMPARE(view.delivered, consumed ? 0 : 1);
}

void TstLynInput::captureNullRectAndSecondWatch()
{
    CountingView view;
    int firstCursor = -1;
    int secondCursor = -1;
    m_input->addWatch(&view, "peer-A", QRect(), [&firstCursor](int c) { firstCursor = c; });
    m_input->addWatch(&view, "peer-B", QRect(10, 10, 50, 50), [&secondCursor](int c) { secondCursor = c; });
    QSignalSpy spy(m_input.get(), &QnLynInput::sendDataToNetwork);

    QMouseEvent press(QEvent::MouseButtonPress, QPointF(33, 44), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &press);
    QCOMPARE(spy.count(), 1);
    const QJsonObject msg = parse(spy.last().at(1).toByteArray());
    QCOMPARE(spy.last().at(0).toString(), QStringLiteral("peer-A"));
    QCOMPARE(msg.value("data").toObject(),
             (QJsonObject{{"button", 1}, {"x", 33}, {"y", 44}, {"width", 0}, {"height", 0}}));

    // The second watch was dropped with its callback: only peer-A's cursor reaches the view.
    m_input->recvData("peer-B", message(14, QJsonObject{{"cursor", 4}}));
    m_input->recvData("peer-A", message(14, QJsonObject{{"cursor", 13}}));
    QCOMPARE(secondCursor, -1);
    QCOMPARE(firstCursor, 13);
}

void TstLynInput::removeWatchStopsCapture()
{
    CountingView view;
    m_input->addWatch(&view, "peer-A", QRect(0, 0, 100, 100), nullptr);
    m_input->removeWatch("peer-A");
    QSignalSpy spy(m_input.get(), &QnLynInput::sendDataToNetwork);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &key);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(view.delivered, 1);

    // A destroyed view leaves the registry; a new watch of a fresh view works.
    auto gone = std::make_unique<CountingView>();
    m_input->addWatch(gone.get(), "peer-B", QRect(), nullptr);
    gone.reset();
    m_input->addWatch(&view, "peer-C", QRect(), nullptr);
    QCoreApplication::sendEvent(&view, &key);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("peer-C"));
}

void TstLynInput::onlyConnectedReceiverDrives_data()
{
    QTest::addColumn<QString>("connected");
    QTest::addColumn<QString>("sender");
    QTest::newRow("another room member") << kReceiver << "intruder";
    QTest::newRow("empty gateway sender") << kReceiver << "";
    QTest::newRow("no connected receiver, empty sender") << ""
                                                         << "";
    QTest::newRow("no connected receiver") << "" << kReceiver;
}

void TstLynInput::onlyConnectedReceiverDrives()
{
    QFETCH(QString, connected);
    QFETCH(QString, sender);
    m_input->setConnectedReceiver(connected);
    m_fake->takeLog();
    QSignalSpy spy(m_input.get(), &QnLynInput::sendDataToNetwork);
    // Even when the JSON names the connected receiver as its sender.
    const QList<QByteArray> messages = {
        mouse(1, 10, 10, 1),
        mouse(2, 20, 20),
        mouse(3, 10, 10, 1),
        mouse(4, 120, 0),
        message(6, QJsonObject{{"key", int(Qt::Key_A)}}, kReceiver),
        message(5, QJsonObject{{"key", int(Qt::Key_A)}}, kReceiver),
        message(12, QJsonObject{{"text", "rm -rf"}}, kReceiver),
        message(10, QJsonObject()),
        touch(7, {QPoint(5, 5)}, 1),
        mouse(13, 5, 5),
    };
    for (const QByteArray &m : messages)
        m_input->recvData(sender, m);
    QCOMPARE(m_fake->log(), QStringList());
    QCOMPARE(spy.count(), 0);
    QVERIFY(m_input->touchIds().isEmpty());
}

void TstLynInput::mouseScaledToChosenScreen_data()
{
    QTest::addColumn<QByteArray>("msg");
    QTest::addColumn<QStringList>("expected");
    // Picture 1000x500 onto the chosen screen: 2000x1000 device pixels at (1920, 0).
    QTest::newRow("move") << mouse(2, 100, 50) << QStringList{"move 2120,100"};
    QTest::newRow("left down moves first")
        << mouse(1, 500, 250, 1) << QStringList{"move 2920,500", "button left down"};
    QTest::newRow("right up") << mouse(3, 0, 0, 2) << QStringList{"move 1920,0", "button right up"};
    QTest::newRow("middle down") << mouse(1, 1, 1, 4) << QStringList{"move 1922,2", "button middle down"};
    QTest::newRow("negative position clicks in place")
        << mouse(1, -5, 20, 1) << QStringList{"button left down"};
    QTest::newRow("unknown button only moves") << mouse(1, 10, 10, 8) << QStringList{"move 1940,20"};
    QTest::newRow("relative move has no origin") << mouse(13, 10, -10) << QStringList{"move 20,-20"};
    QTest::newRow("wheel both axes: horizontal only") << mouse(4, -120, 240) << QStringList{"wheel -120,0"};
    QTest::newRow("wheel vertical") << mouse(4, 0, -360) << QStringList{"wheel 0,-360"};
    QTest::newRow("zero width ignored") << mouse(2, 10, 10, 0, 0, 500) << QStringList{};
    QTest::newRow("negative height ignored") << mouse(2, 10, 10, 0, 1000, -1) << QStringList{};
    QTest::newRow("huge coordinates are clamped")
        << message(2, QJsonObject{{"x", 1e300}, {"y", -1e300}, {"width", 1e-300}, {"height", 1}})
        << QStringList{"move 10001920,-10000000"};
    QTest::newRow("not JSON") << QByteArray("{\"type\":2,") << QStringList{};
    QTest::newRow("unknown type") << message(99, QJsonObject{{"x", 1}}) << QStringList{};
    QTest::newRow("hover ignored") << mouse(11, 10, 10) << QStringList{};
}

void TstLynInput::mouseScaledToChosenScreen()
{
    QFETCH(QByteArray, msg);
    QFETCH(QStringList, expected);
    m_input->recvData(kReceiver, msg);
    QCOMPARE(m_fake->log(), expected);
}

void TstLynInput::keysTextAndHeld()
{
    m_input->recvData(kReceiver, message(6, QJsonObject{{"key", int(Qt::Key_Shift)}, {"modifiers", 0}}));
    m_input->recvData(kReceiver, message(5, QJsonObject{{"key", int(Qt::Key_Shift)}}));
    m_input->recvData(kReceiver, message(12, QJsonObject{{"text", QStringLiteral("a\u20ac")}}));
    m_input->recvData(kReceiver, message(10, QJsonObject()));
    m_input->recvData(kReceiver, message(12, QJsonObject{{"text", QString(5000, QChar('x'))}}));
    const QStringList log = m_fake->log();
    QCOMPARE(log.mid(0, 4), (QStringList{QStringLiteral("key %1 down").arg(int(Qt::Key_Shift)),
                                         QStringLiteral("key %1 up").arg(int(Qt::Key_Shift)),
                                         QStringLiteral("text a\u20ac"), "release-held"}));
    QCOMPARE(log.at(4), "text " + QString(QnLynInput::kMaxTextLength, QChar('x')));

    // A screen of no size scales nothing.
    m_input->setScreen(5, {});
    m_input->setScreenWidth(0);
    m_fake->takeLog();
    m_input->recvData(kReceiver, mouse(2, 10, 10));
    QCOMPARE(m_fake->log(), QStringList());
}

void TstLynInput::cursorShapeSentOncePerChange()
{
    QSignalSpy spy(m_input.get(), &QnLynInput::sendDataToNetwork);
    m_fake->setCursorShape(Qt::IBeamCursor);
    // The JSON's own "senderId" does not choose where the reply goes.
    m_input->recvData(kReceiver,
                      message(2, QJsonObject{{"x", 1}, {"y", 1}, {"width", 10}, {"height", 10}}, "spoof"));
    m_input->recvData(kReceiver, mouse(2, 20, 20));
    m_input->recvData(kReceiver, mouse(1, 30, 30, 1));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), kReceiver);
    QJsonObject reply = parse(spy.at(0).at(1).toByteArray());
    QCOMPARE(reply.value("type").toInt(), 14);
    QCOMPARE(reply.value("id").toString(), kReceiver);
    QCOMPARE(reply.value("data").toObject(), (QJsonObject{{"cursor", int(Qt::IBeamCursor)}}));

    m_fake->setCursorShape(Qt::ArrowCursor);
    m_input->recvData(kReceiver, mouse(2, 40, 40));
    m_input->recvData(kReceiver, mouse(13, 1, 1));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(parse(spy.at(1).at(1).toByteArray()).value("data").toObject(), (QJsonObject{{"cursor", 0}}));
}

void TstLynInput::touchIdReuseAndDeduplication()
{
    // Point 5 down: it takes local id 0 and drives the pointer.
    m_input->recvData(kReceiver, touch(7, {QPoint(100, 50)}, 5));
    QCOMPARE(m_input->touchIds(), (QMap<int, int>{{5, 0}}));
    QCOMPARE(m_fake->takeLog(), (QStringList{"move 2120,100", "button left down"}));
    // Point 6 down beside it: local id 1, tracked only.
    m_input->recvData(kReceiver, touch(7, {QPoint(300, 300)}, 6));
    QCOMPARE(m_input->touchIds(), (QMap<int, int>{{5, 0}, {6, 1}}));
    QCOMPARE(m_fake->takeLog(), QStringList());

    // The receiver's mouse echo of the touch is not injected twice.
    m_input->recvData(kReceiver, mouse(2, 100, 50));
    QCOMPARE(m_fake->takeLog(), QStringList());

    m_input->recvData(kReceiver, touch(8, {QPoint(110, 60)}, 5));
    QCOMPARE(m_fake->takeLog(), QStringList{"move 2140,120"});
    m_input->recvData(kReceiver, touch(9, {QPoint(110, 60)}, 5));
    QCOMPARE(m_fake->takeLog(), (QStringList{"move 2140,120", "button left up"}));
    QCOMPARE(m_input->touchIds(), (QMap<int, int>{{6, 1}}));

    // After touch-up the same positions are plain mouse input again.
    m_input->recvData(kReceiver, mouse(2, 100, 50));
    QCOMPARE(m_fake->takeLog(), QStringList{"move 2120,100"});

    // The freed local id 0 goes to the next new point, which then drives the pointer.
    m_input->recvData(kReceiver, touch(7, {QPoint(10, 10)}, 9));
    QCOMPARE(m_input->touchIds(), (QMap<int, int>{{6, 1}, {9, 0}}));
    QCOMPARE(m_fake->takeLog(), (QStringList{"move 1940,20", "button left down"}));
}

void TstLynInput::touchContactsAreBounded()
{
    QList<QPoint> twelve;
    for (int i = 0; i < 12; ++i)
        twelve.append(QPoint(i, i));
    m_input->recvData(kReceiver, touch(7, twelve, 100));
    QCOMPARE(m_input->touchIds().size(), QnLynInput::kMaxTouchContacts);
    // A new point while all contacts are held is dropped.
    m_input->recvData(kReceiver, touch(7, {QPoint(1, 1)}, 500));
    QVERIFY(!m_input->touchIds().contains(500));
    // Width 0: the ids are still kept in step, nothing is injected.
    m_fake->takeLog();
    QJsonArray up{QJsonObject{{"pointId", 100}, {"x", 1}, {"y", 1}, {"width", 0}, {"height", 0}}};
    m_input->recvData(kReceiver, message(9, up));
    QCOMPARE(m_fake->log(), QStringList());
    QCOMPARE(m_input->touchIds().size(), QnLynInput::kMaxTouchContacts - 1);
}

namespace {
QStringList g_lines;
void collectLine(QtMsgType, const QMessageLogContext &, const QString &msg)
{
    g_lines << msg;
}
} // namespace

void TstLynInput::refusedInputFloodIsSummarised()
{
    QList<QPoint> ten;
    for (int i = 0; i < QnLynInput::kMaxTouchContacts; ++i)
        ten.append(QPoint(i, i));
    m_input->recvData(kReceiver, touch(7, ten, 100));
    g_lines.clear();
    const QtMessageHandler old = qInstallMessageHandler(collectLine);
    for (int i = 0; i < 1000; ++i) {
        m_input->recvData(kReceiver, touch(7, {QPoint(1, 1)}, 1000 + i)); // every contact in use
        m_input->recvData(kReceiver, "{\"type\": 1,");                    // not one JSON object
    }
    qInstallMessageHandler(old);
    // The first lines of each kind, not one per message (the summaries follow in a later interval).
    QCOMPARE(g_lines.filter("all contacts in use").size(), QnLogLimiter::kDefaultBurst);
    QCOMPARE(g_lines.filter("not one well-formed JSON object").size(), QnLogLimiter::kDefaultBurst);
}

void TstLynInput::remoteCursorCallback()
{
    QWidget view;
    QList<int> shapes;
    m_input->addWatch(&view, "peer-A", QRect(), [&shapes](int c) { shapes.append(c); });
    m_input->recvData("peer-A", message(14, QJsonObject{{"cursor", 4}}, "someone-else"));
    m_input->recvData("stranger", message(14, QJsonObject{{"cursor", 9}}, "peer-A"));
    QCOMPARE(shapes, QList<int>{4});
    QCOMPARE(m_fake->log(), QStringList());
}

void TstLynInput::receiverChangeReleasesHeld()
{
    m_input->recvData(kReceiver, touch(7, {QPoint(1, 1)}, 1));
    m_fake->takeLog();
    m_input->setConnectedReceiver(kReceiver);
    QCOMPARE(m_fake->takeLog(), QStringList());
    m_input->setConnectedReceiver("rx-2");
    QCOMPARE(m_fake->takeLog(), QStringList{"release-held"});
    QVERIFY(m_input->touchIds().isEmpty());
    m_input->recvData(kReceiver, mouse(2, 1, 1));
    QCOMPARE(m_fake->log(), QStringList());
    m_input->recvData("rx-2", mouse(2, 1, 1));
    QCOMPARE(m_fake->log(), QStringList{"move 1922,2"});
}

void TstLynInput::receiptFromAnotherThread()
{
    // Injection runs on the gateway's thread while the GUI thread changes the registries.
    QWidget view;
    std::unique_ptr<QThread> worker(QThread::create([this] {
        for (int i = 0; i < 2000; ++i) {
            m_input->recvData(kReceiver, mouse(2, i % 100, 1));
            m_input->recvData("peer-A", message(14, QJsonObject{{"cursor", 1}}));
        }
    }));
    worker->start();
    while (!worker->isFinished()) {
        m_input->addWatch(&view, "peer-A", QRect(0, 0, 5, 5), [](int) {});
        m_input->setRemoteSize("peer-A", QRect(1, 1, 5, 5));
        m_input->removeWatch("peer-A");
        m_input->setScreenWidth(2000);
    }
    QVERIFY(worker->wait(60000));
    QCOMPARE(m_fake->log().size(), 2000);
}

QTEST_MAIN(TstLynInput)
#include "tst_lyninput.moc"
