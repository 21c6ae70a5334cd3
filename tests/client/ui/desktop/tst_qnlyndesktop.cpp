// The desktop-sync window with the real client object against the receiver simulator (control side
// over a loopback gateway): pictures letterboxed, reverse input and pen strokes reaching the
// simulator, closing and resetting, the peer's cursor. Pictures are handed in from a separate
// thread, as the decode thread does.

#include "tests/client/ui/desktop/QnTestPattern.h"
#include "tests/fixtures/client/ClientTestUtil.h"
#include "tests/fixtures/media/MediaTestUtil.h"
#include "tests/fixtures/ui/QnPenStroke.h"

#include "QnBrush/qnboard.pb.h"
#include "QnBrush/src/QnBoardActions.h"
#include "QnBrush/src/QnBrushObject.h"
#include "client/ui/QnLynDesktopTool.h"
#include "client/ui/desktop/QnLynDesktop.h"
#include "client/ui/desktop/QnLynDesktopMath.h"
#include "platform/scene/QnBoardWire.h"
#include "platform/scene/QnGraphicsView.h"
#include "resources/QnResources.h"

#include <QPushButton>
#include <QtTest>

#include <climits>
#include <thread>

using namespace ClientTestUtil;
using namespace QnTestPattern;

class TstQnLynDesktop : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void refusedSizes_data();
    void refusedSizes();
    void picturesLetterboxedInputAndStroke();
    void closeEmitsResetDoesNot();
    void cursorFromAnotherThread();

private:
    /// Connects a rig, starts desktop sync and sets the window up as the root window does.
    bool startSync(ClientRig &rig, QnLynDesktop &desk, int w, int h);
    QnSimControl *m_rx = nullptr;
};

void TstQnLynDesktop::init()
{
    QnResources::init();
    m_rx = new QnSimControl;
    QVERIFY(m_rx->hostGateway());
    QSignalSpy ready(m_rx, &QnSimControl::ready);
    QVERIFY(m_rx->start());
    QVERIFY(ready.wait(5000));
}

void TstQnLynDesktop::cleanup()
{
    delete m_rx;
    m_rx = nullptr;
}

void TstQnLynDesktop::refusedSizes_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::newRow("zero") << 0 << 720;
    QTest::newRow("negative") << 1280 << -720;
    QTest::newRow("fits to 0 wide") << 1 << 16384;
    QTest::newRow("overflowing") << INT_MAX << INT_MAX;
}

void TstQnLynDesktop::refusedSizes()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QnLynInput input(nullptr);
    QnLynDesktop desk(nullptr, &input, QnYuvView::Backend::Software);
    QVERIFY(desk.setInfo("rx", "nick", "u", 1920, 1200));
    QCOMPARE(desk.viewSize(), QSize(1152, 720));
    QVERIFY(!desk.setInfo("other", "n2", "u2", w, h));
    QCOMPARE(desk.userId(), QStringLiteral("rx"));
    QCOMPARE(desk.viewSize(), QSize(1152, 720));
}

bool TstQnLynDesktop::startSync(ClientRig &rig, QnLynDesktop &desk, int w, int h)
{
    if (!connectTo(rig, *m_rx))
        return false;
    QnLynClientObject *c = rig.client.get();
    connect(c, &QnLynClientObject::addDesktop, &desk,
            [&desk](QString userId, QString nickName, QString url, int, int) {
                desk.setInfo(userId, nickName, url, 1920, 1080);
                desk.show();
            });
    connect(
        c, &QnLynClientObject::yuvDataChanged, &desk,
        [&desk](QString, QByteArray data, int pw, int ph) { desk.setYuvData(data, pw, ph); },
        Qt::DirectConnection);
    connect(&desk, &QnLynDesktop::sendData, c,
            [c, &desk](QByteArray data) { c->sendBoardData(desk.userId(), data); });
    QnSimReply accept;
    accept.port = MediaTestUtil::freePortBlock(4);
    m_rx->setReply(15, accept);
    QSignalSpy added(c, &QnLynClientObject::addDesktop);
    c->startDesktop(m_rx->identity().userId, "u");
    if (!added.wait(5000))
        return false;
    Q_UNUSED(w);
    Q_UNUSED(h);
    return QTest::qWaitForWindowExposed(&desk);
}

void TstQnLynDesktop::picturesLetterboxedInputAndStroke()
{
    ClientRig rig;
    rig.make(rig.config(MediaTestUtil::freePortBlock(8)));
    QnLynDesktop desk(nullptr, rig.input.get(), QnYuvView::Backend::Software);
    desk.setLayoutDelay(20);
    QVERIFY(startSync(rig, desk, 1920, 1080));
    QCOMPARE(desk.userId(), m_rx->identity().userId);
    QCOMPARE(desk.viewSize(), QSize(1280, 720));

    // pictures from the decode thread: 1920x1080 into the 856x463 video area, bars left and right
    std::thread decoder([&] { desk.setYuvData(quadrants(1920, 1080), 1920, 1080); });
    decoder.join();
    QnYuvView *view = desk.videoView();
    QCOMPARE(view->size(), QSize(856, 463));
    const QRect expected(16, 0, 823, 463);
    QTRY_COMPARE(view->videoRect(), expected);
    // the receiver's screen fitted into the shown picture (integer arithmetic: one row less)
    const QRect remote = QnLynDesktopMath::fitCentred(QSize(1920, 1080), expected);
    QCOMPARE(remote, QRect(16, 0, 823, 462));
    QTRY_COMPARE(desk.videoRect(), remote);
    const QImage img = view->grabImage();
    QVERIFY(near(img.pixel(8, 230), Qt::black, 4));
    QVERIFY(near(img.pixel(848, 230), Qt::black, 4));
    QVERIFY(near(img.pixel(16 + 823 / 4, 463 / 4), quadrant(0, 0)));
    QVERIFY(near(img.pixel(16 + 823 * 3 / 4, 463 * 3 / 4), quadrant(1, 1)));

    // reverse input on the view reaches the simulator on channel 1
    QSignalSpy received(m_rx, &QnSimControl::messageReceived);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, expected.center());
    QTRY_VERIFY_WITH_TIMEOUT(std::any_of(received.begin(), received.end(),
                                         [](const QList<QVariant> &a) { return a.at(0).toInt() == 1; }),
                             5000);

    // pen from the tool bar: the overlay lies over the picture; one stroke goes out as a qnboard batch
    emit desk.tool()->sigPen(QColor(255, 0, 0));
    QnGraphicsView *overlay = desk.brush()->view();
    QVERIFY(overlay->isVisible());
    QCOMPARE(overlay->geometry(), remote.translated(view->pos()));
    // the picture stays visible under the pen overlay
    const QImage shown = desk.grab().toImage();
    QVERIFY(near(shown.pixel(view->mapTo(&desk, QPoint(16 + 823 / 4, 463 / 4))), quadrant(0, 0)));
    received.clear();
    QWidget *vp = overlay->viewport();
    QList<QPoint> points{QPoint(100, 100)};
    for (int x = 110; x <= 200; x += 10)
        points << QPoint(x, 120);
    QnPenStroke::draw(vp, points);
    qnboard::Actions batch;
    QTRY_VERIFY_WITH_TIMEOUT(std::any_of(received.begin(), received.end(),
                                         [&batch](const QList<QVariant> &a) {
                                             return a.at(0).toInt() == 2 &&
                                                    QnBoardActions::parseActions(a.at(1).toByteArray(),
                                                                                 batch) ==
                                                        QnBoardActions::ParseResult::Used &&
                                                    batch.data_size() > 0;
                                         }),
                             5000);
    const qnboard::OneAction &first = batch.data(0);
    QCOMPARE(int(first.actiontype()), int(QnBoardWire::Pen));
    QCOMPARE(first.vwidth(), 1280);
    QCOMPARE(first.vheight(), 720);
    // the stroke lies in the 1280x720 canvas: the view is scaled by 823/1280
    QVERIFY2(qAbs(first.pendata().x() - 100 * 1280.0 / 823) < 3,
             qPrintable(QString::number(first.pendata().x())));

    // clear reaches the receiver too (ClearItems through the scene hooks)
    received.clear();
    emit desk.tool()->sigClear();
    QTRY_VERIFY_WITH_TIMEOUT(std::any_of(received.begin(), received.end(),
                                         [](const QList<QVariant> &a) {
                                             qnboard::Actions b;
                                             return a.at(0).toInt() == 2 &&
                                                    QnBoardActions::parseActions(a.at(1).toByteArray(), b) ==
                                                        QnBoardActions::ParseResult::Used &&
                                                    b.data_size() > 0 &&
                                                    int(b.data(0).actiontype()) ==
                                                        int(QnBoardWire::ClearItems);
                                         }),
                             5000);
    desk.resetDesktop();
}

void TstQnLynDesktop::closeEmitsResetDoesNot()
{
    QnLynInput input(nullptr);
    QnLynDesktop desk(nullptr, &input, QnYuvView::Backend::Software);
    QVERIFY(desk.setInfo("rx", "nick", "http://u", 1920, 1080));
    QSignalSpy closed(&desk, &QnLynDesktop::closeDesktop);
    desk.show();
    QVERIFY(QTest::qWaitForWindowExposed(&desk));
    desk.resetDesktop();
    QVERIFY(!desk.isVisible());
    QCOMPARE(closed.count(), 0);
    QCOMPARE(desk.videoView()->frameSize(), QSize(1920, 1080)); // the idle picture
    desk.show();
    emit desk.tool()->sigPen(Qt::red);
    desk.on_fullButton_clicked();
    QVERIFY(desk.exitFullButton()->isVisibleTo(&desk));
    QVERIFY(!desk.titleWidget()->isVisibleTo(&desk));
    QTest::mouseClick(desk.findChild<QPushButton *>("closeButton"), Qt::LeftButton);
    QVERIFY(!desk.isVisible());
    QCOMPARE(closed.count(), 1);
    QCOMPARE(closed.first(), (QVariantList{QStringLiteral("rx"), QStringLiteral("http://u")}));
    QVERIFY(!desk.brush()->view()->isVisibleTo(&desk));
    QVERIFY(desk.titleWidget()->isVisibleTo(&desk));
    QVERIFY(!desk.exitFullButton()->isVisibleTo(&desk));
}

void TstQnLynDesktop::cursorFromAnotherThread()
{
    QnLynInput input(nullptr);
    QnLynDesktop desk(nullptr, &input, QnYuvView::Backend::Software);
    std::thread gateway([&] { desk.setCursorType(Qt::IBeamCursor); });
    gateway.join();
    QTRY_COMPARE(desk.videoView()->cursor().shape(), Qt::IBeamCursor);
    std::thread bad([&] { desk.setCursorType(9999); });
    bad.join();
    QTRY_COMPARE(desk.videoView()->cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(TstQnLynDesktop)
#include "tst_qnlyndesktop.moc"
