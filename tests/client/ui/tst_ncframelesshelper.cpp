#include "client/ui/NcFramelessGeometry.h"
#include "client/ui/NcFramelessHelper.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(NcEdgeZones)

class TstNcFramelessHelper : public QObject
{
    Q_OBJECT
private slots:
    void edgeZones_data();
    void edgeZones();
    void resized_data();
    void resized();
    void cursorShape_data();
    void cursorShape();

    void attachMakesFramelessAndDetachRestores();
    void dragMovesWindow_data();
    void dragMovesWindow();
    void dragBorderResizes();
    void rightButtonIgnored();
    void childStillGetsClicks();
    void hoverCursor();
};

namespace {
// A press, one move with the button held and a release, as a window receives them.
void drag(QWidget *w, Qt::MouseButton button, const QPoint &from, const QPoint &to)
{
    QTest::mousePress(w, button, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, w->mapToGlobal(to), Qt::NoButton, button, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
    QTest::mouseRelease(w, button, {}, to);
}

const QRect kRect(100, 200, 300, 150); // x 100..400, y 200..350 (edges inclusive)

NcEdgeZones zones(bool l, bool r, bool t, bool b)
{
    NcEdgeZones z;
    z.left = l;
    z.right = r;
    z.top = t;
    z.bottom = b;
    z.topLeft = t && l;
    z.bottomLeft = b && l;
    z.topRight = t && r;
    z.bottomRight = b && r;
    z.onEdges = l || r || t || b;
    return z;
}
} // namespace

void TstNcFramelessHelper::edgeZones_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<NcEdgeZones>("expected");
    QTest::newRow("10 inside left counts") << QPoint(110, 275) << zones(true, false, false, false);
    QTest::newRow("11 inside left does not") << QPoint(111, 275) << zones(false, false, false, false);
    QTest::newRow("on left edge") << QPoint(100, 275) << zones(true, false, false, false);
    QTest::newRow("one left of the window") << QPoint(99, 275) << zones(false, false, false, false);
    QTest::newRow("right at x+w") << QPoint(400, 275) << zones(false, true, false, false);
    QTest::newRow("right 10 inside x+w") << QPoint(390, 275) << zones(false, true, false, false);
    QTest::newRow("right 11 inside x+w") << QPoint(389, 275) << zones(false, false, false, false);
    QTest::newRow("past x+w") << QPoint(401, 275) << zones(false, false, false, false);
    QTest::newRow("top 10") << QPoint(250, 210) << zones(false, false, true, false);
    QTest::newRow("top 11") << QPoint(250, 211) << zones(false, false, false, false);
    QTest::newRow("bottom at y+h") << QPoint(250, 350) << zones(false, false, false, true);
    QTest::newRow("top-left corner") << QPoint(105, 205) << zones(true, false, true, false);
    QTest::newRow("bottom-right corner") << QPoint(400, 350) << zones(false, true, false, true);
    QTest::newRow("top-right corner") << QPoint(395, 200) << zones(false, true, true, false);
    QTest::newRow("bottom-left corner") << QPoint(100, 345) << zones(true, false, false, true);
    QTest::newRow("middle") << QPoint(250, 275) << zones(false, false, false, false);
}

void TstNcFramelessHelper::edgeZones()
{
    QFETCH(QPoint, point);
    QFETCH(NcEdgeZones, expected);
    QVERIFY(NcFrameless::edgeZones(point, kRect) == expected);
}

void TstNcFramelessHelper::resized_data()
{
    QTest::addColumn<NcEdgeZones>("press");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QRect>("expected");
    // kRect: left 100, top 200, right() 399, bottom() 349.
    QTest::newRow("right edge outwards") << zones(false, true, false, false) << QPoint(450, 0) << QSize()
                                         << true << QRect(QPoint(100, 200), QPoint(450, 349));
    QTest::newRow("left edge inwards") << zones(true, false, false, false) << QPoint(150, 0) << QSize()
                                       << true << QRect(QPoint(150, 200), QPoint(399, 349));
    QTest::newRow("top-left corner wins") << zones(true, false, true, false) << QPoint(90, 180) << QSize()
                                          << true << QRect(QPoint(90, 180), QPoint(399, 349));
    QTest::newRow("bottom-right corner") << zones(false, true, false, true) << QPoint(500, 400) << QSize()
                                         << true << QRect(QPoint(100, 200), QPoint(500, 400));
    QTest::newRow("left dragged past right: invalid")
        << zones(true, false, false, false) << QPoint(420, 0) << QSize() << false << QRect();
    QTest::newRow("bottom dragged above top: invalid")
        << zones(false, false, false, true) << QPoint(0, 150) << QSize() << false << QRect();
    QTest::newRow("left below minimum width keeps the left edge")
        << zones(true, false, false, false) << QPoint(300, 0) << QSize(200, 0) << true
        << QRect(QPoint(100, 200), QPoint(399, 349));
    QTest::newRow("right below minimum width keeps the right edge")
        << zones(false, true, false, false) << QPoint(200, 0) << QSize(200, 0) << true
        << QRect(QPoint(100, 200), QPoint(399, 349));
    QTest::newRow("top below minimum height keeps the top edge")
        << zones(false, false, true, false) << QPoint(0, 300) << QSize(0, 100) << true
        << QRect(QPoint(100, 200), QPoint(399, 349));
    QTest::newRow("right at minimum width")
        << zones(false, true, false, false) << QPoint(299, 0) << QSize(200, 0) << true
        << QRect(QPoint(100, 200), QPoint(299, 349));
}

void TstNcFramelessHelper::resized()
{
    QFETCH(NcEdgeZones, press);
    QFETCH(QPoint, point);
    QFETCH(QSize, minimum);
    QFETCH(bool, valid);
    QFETCH(QRect, expected);
    const auto r = NcFrameless::resized(kRect, press, point, minimum.isValid() ? minimum : QSize(0, 0));
    QCOMPARE(r.has_value(), valid);
    if (valid)
        QCOMPARE(*r, expected);
}

void TstNcFramelessHelper::cursorShape_data()
{
    QTest::addColumn<NcEdgeZones>("zones");
    QTest::addColumn<int>("shape");
    QTest::newRow("top-left") << zones(true, false, true, false) << int(Qt::SizeFDiagCursor);
    QTest::newRow("bottom-right") << zones(false, true, false, true) << int(Qt::SizeFDiagCursor);
    QTest::newRow("top-right") << zones(false, true, true, false) << int(Qt::SizeBDiagCursor);
    QTest::newRow("bottom-left") << zones(true, false, false, true) << int(Qt::SizeBDiagCursor);
    QTest::newRow("left") << zones(true, false, false, false) << int(Qt::SizeHorCursor);
    QTest::newRow("bottom") << zones(false, false, false, true) << int(Qt::SizeVerCursor);
    QTest::newRow("none") << zones(false, false, false, false) << int(Qt::ArrowCursor);
}

void TstNcFramelessHelper::cursorShape()
{
    QFETCH(NcEdgeZones, zones);
    QFETCH(int, shape);
    QCOMPARE(int(NcFrameless::cursorShape(zones)), shape);
}

void TstNcFramelessHelper::attachMakesFramelessAndDetachRestores()
{
    QWidget window;
    window.resize(300, 200);
    window.show();
    const Qt::WindowFlags original = window.windowFlags();
    auto *helper = new NcFramelessHelper;
    helper->attachWidget(&window);
    QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(window.testAttribute(Qt::WA_Hover));
    QVERIFY(window.hasMouseTracking());
    QVERIFY(window.isVisible());   // changing flags hides a window: the helper shows it again
    helper->attachWidget(&window); // a second attach is harmless
    delete helper;
    QCOMPARE(window.windowFlags(), original);
    QVERIFY(!window.testAttribute(Qt::WA_Hover));
    QVERIFY(!window.hasMouseTracking());
    QVERIFY(window.isVisible());
}

void TstNcFramelessHelper::dragMovesWindow_data()
{
    QTest::addColumn<bool>("resizable");
    QTest::addColumn<QPoint>("pressAt");
    QTest::newRow("movable, middle") << true << QPoint(150, 100);
    QTest::newRow("resizing off, press on a border moves") << false << QPoint(3, 100);
}

void TstNcFramelessHelper::dragMovesWindow()
{
    QFETCH(bool, resizable);
    QFETCH(QPoint, pressAt);
    QWidget window;
    window.setGeometry(200, 200, 300, 200);
    NcFramelessHelper helper(&window);
    helper.setResizable(resizable);
    helper.attachWidget(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect before = window.frameGeometry();
    drag(&window, Qt::LeftButton, pressAt, pressAt + QPoint(40, 25));
    QCOMPARE(window.frameGeometry().topLeft(), before.topLeft() + QPoint(40, 25));
    QCOMPARE(window.size(), before.size());
}

void TstNcFramelessHelper::dragBorderResizes()
{
    QWidget window;
    window.setGeometry(200, 200, 300, 200);
    window.setMinimumSize(150, 100);
    NcFramelessHelper helper(&window);
    helper.setMovable(false);
    helper.attachWidget(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect before = window.frameGeometry();
    const QPoint rightBorder(before.width() - 3, 100);
    drag(&window, Qt::LeftButton, rightBorder, rightBorder + QPoint(50, 0));
    QCOMPARE(window.frameGeometry().width(), before.width() + 50 - 2);
    QCOMPARE(window.frameGeometry().left(), before.left());
    // Dragging the right border past the left one: the window keeps its geometry.
    const QRect wide = window.frameGeometry();
    drag(&window, Qt::LeftButton, QPoint(wide.width() - 2, 100), QPoint(-40, 100));
    QCOMPARE(window.frameGeometry(), wide);
    // Below the minimum width: the dragged edge stays.
    drag(&window, Qt::LeftButton, QPoint(wide.width() - 2, 100), QPoint(60, 100));
    QCOMPARE(window.frameGeometry(), wide);

    // Not movable: a drag in the middle changes nothing.
    const QRect after = window.frameGeometry();
    drag(&window, Qt::LeftButton, QPoint(100, 100), QPoint(160, 140));
    QCOMPARE(window.frameGeometry(), after);
}

void TstNcFramelessHelper::rightButtonIgnored()
{
    QWidget window;
    window.setGeometry(200, 200, 300, 200);
    NcFramelessHelper helper(&window);
    helper.attachWidget(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect before = window.frameGeometry();
    for (const QPoint p : {QPoint(150, 100), QPoint(2, 100)})
        drag(&window, Qt::RightButton, p, p + QPoint(30, 30));
    QCOMPARE(window.frameGeometry(), before);
}

void TstNcFramelessHelper::childStillGetsClicks()
{
    QWidget window;
    window.resize(300, 200);
    auto *button = new QPushButton(QStringLiteral("ok"), &window);
    button->setGeometry(100, 80, 80, 30);
    NcFramelessHelper helper(&window);
    helper.attachWidget(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicked(button, &QPushButton::clicked);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);

    // Events on the window itself reach it too.
    struct Counter : QObject
    {
        int presses = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            presses += e->type() == QEvent::MouseButtonPress;
            return false;
        }
    } counter;
    window.installEventFilter(&counter); // runs after the helper's filter
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(counter.presses, 1);
}

void TstNcFramelessHelper::hoverCursor()
{
    QWidget window;
    window.setGeometry(200, 200, 300, 200);
    NcFramelessHelper helper(&window);
    helper.attachWidget(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseMove(&window, QPoint(2, 100));
    QCOMPARE(window.cursor().shape(), Qt::SizeHorCursor);
    QTest::mouseMove(&window, QPoint(298, 198));
    QCOMPARE(window.cursor().shape(), Qt::SizeFDiagCursor);
    QTest::mouseMove(&window, QPoint(150, 100));
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);

    // A maximized window shows no resize cursors.
    window.showMaximized();
    QTRY_VERIFY(window.isMaximized());
    QTest::mouseMove(&window, QPoint(2, 100));
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(TstNcFramelessHelper)
#include "tst_ncframelesshelper.moc"
