// The video view draws a known pattern; read back its pixels. Registered twice: on Xvfb with Mesa
// OpenGL (QN_EXPECT_OPENGL=1, the shader path) and offscreen (the software path).

#include "client/ui/desktop/QnYuvView.h"
#include "tests/client/ui/desktop/QnTestPattern.h"

#include <QtTest>

#include <thread>

using namespace QnTestPattern;

class TstQnYuvView : public QObject
{
    Q_OBJECT
private slots:
    void backendAsExpected();
    void patternPillarboxed();
    void badPicturesKeepTheLastGood_data();
    void badPicturesKeepTheLastGood();
    void latestFromAnotherThreadWins();
    void idlePicture();

private:
    bool expectGl() const { return qEnvironmentVariableIntValue("QN_EXPECT_OPENGL") == 1; }
    void checkPattern(QnYuvView &view);
};

void TstQnYuvView::backendAsExpected()
{
    QnYuvView view;
    QCOMPARE(QnYuvView::openGLAvailable(), expectGl());
    QCOMPARE(view.isOpenGL(), expectGl());
    QnYuvView soft(nullptr, QnYuvView::Backend::Software);
    QVERIFY(!soft.isOpenGL());
}

void TstQnYuvView::checkPattern(QnYuvView &view)
{
    const QRect r = view.videoRect();
    QCOMPARE(r, QRect(80, 0, 480, 360));
    const QImage img = view.grabImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(!img.isNull());
    const qreal dpr = img.devicePixelRatio();
    auto at = [&](int x, int y) { return img.pixel(qRound(x * dpr), qRound(y * dpr)); };
    for (int qy = 0; qy < 2; ++qy)
        for (int qx = 0; qx < 2; ++qx) {
            const QPoint p(r.x() + r.width() * (2 * qx + 1) / 4, r.y() + r.height() * (2 * qy + 1) / 4);
            const QRgb px = at(p.x(), p.y());
            QVERIFY2(near(px, quadrant(qx, qy)),
                     qPrintable(QStringLiteral("quadrant %1,%2: %3").arg(qx).arg(qy).arg(px, 8, 16)));
        }
    QVERIFY(near(at(20, 180), Qt::black, 4)); // bars left and right
    QVERIFY(near(at(620, 180), Qt::black, 4));
}

void TstQnYuvView::patternPillarboxed()
{
    QnYuvView view;
    view.resize(640, 360);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy sized(&view, &QnYuvView::frameSizeChanged);
    QVERIFY(view.present(quadrants(320, 240), 320, 240));
    QVERIFY(sized.wait(5000));
    QCOMPARE(sized.first().first().toSize(), QSize(320, 240));
    checkPattern(view);
}

void TstQnYuvView::badPicturesKeepTheLastGood_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("bytes");
    QTest::newRow("short buffer") << 320 << 240 << 320 * 240;
    QTest::newRow("zero width") << 0 << 240 << 320 * 240 * 2;
    QTest::newRow("negative sides") << -320 << -240 << 320 * 240 * 2;
    QTest::newRow("too wide") << 16385 << 2 << 16385 * 4;
    QTest::newRow("odd sides short by one") << 321 << 241 << 321 * 241 + 2 * 161 * 121 - 1;
}

void TstQnYuvView::badPicturesKeepTheLastGood()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, bytes);
    QnYuvView view;
    view.resize(640, 360);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy presented(&view, &QnYuvView::framePresented);
    QVERIFY(view.present(quadrants(320, 240), 320, 240));
    QVERIFY(presented.wait(5000));
    QVERIFY(!view.present(QByteArray(bytes, char(200)), w, h));
    QTest::qWait(50);
    QCOMPARE(presented.count(), 1);
    QCOMPARE(view.frameSize(), QSize(320, 240));
    checkPattern(view);
}

void TstQnYuvView::latestFromAnotherThreadWins()
{
    QnYuvView view;
    view.resize(640, 360);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QByteArray grey = solid(320, 240, QColor(128, 128, 128));
    const QByteArray pattern = quadrants(320, 240);
    std::thread decoder([&] {
        for (int i = 0; i < 200; ++i)
            view.present(grey, 320, 240);
        view.present(pattern, 320, 240);
    });
    decoder.join(); // the GUI thread drew nothing meanwhile: the slot held one picture at a time
    QVERIFY(view.droppedFrames() >= 199);
    QTRY_COMPARE(view.frameSize(), QSize(320, 240));
    QTest::qWait(20);
    checkPattern(view);
}

void TstQnYuvView::idlePicture()
{
    QnYuvView view;
    view.resize(640, 360);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.presentIdle();
    QCOMPARE(view.frameSize(), QSize(1920, 1080));
    QCOMPARE(view.videoRect(), QRect(0, 0, 640, 360));
    const QImage img = view.grabImage();
    QVERIFY(near(img.pixel(img.width() / 2, img.height() / 2), QColor(0x33, 0x33, 0x33), 3));
}

QTEST_MAIN(TstQnYuvView)
#include "tst_qnyuvview.moc"
