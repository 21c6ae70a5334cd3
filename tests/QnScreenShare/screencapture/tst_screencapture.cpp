#include "QnScreenShare/screencapture/ScreenCapture.h"

#include "tests/fixtures/xvfb/XvfbServer.h"

#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <mutex>

// The capture thread end to end on private Xvfb servers (the shared test display may carry other
// tests' windows); the screens are injected so the picked area is known.
namespace {

struct Yuv
{
    int y, u, v;
};

// BT.601 limited range, as swscale produces by default.
Yuv expectedYuv(uint32_t rgb)
{
    const double r = (rgb >> 16) & 0xff, g = (rgb >> 8) & 0xff, b = rgb & 0xff;
    return {int(16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255 + 0.5),
            int(128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255 + 0.5),
            int(128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255 + 0.5)};
}

/// Collects frames from the capture thread.
struct Sink
{
    std::mutex mutex;
    QByteArray last;
    int width = 0, height = 0;
    std::atomic<int> count{0};
    bool sizesOk = true;

    ScreenCapture::FrameCallback callback()
    {
        return [this](const QByteArray &f, int w, int h) {
            std::lock_guard<std::mutex> lock(mutex);
            if (f.size() != w * h * 3 / 2)
                sizesOk = false;
            last = f;
            width = w;
            height = h;
            ++count;
        };
    }
    Yuv at(int x, int y)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto *p = reinterpret_cast<const uint8_t *>(last.constData());
        const int w = width, h = height;
        return {p[y * w + x], p[w * h + (y / 2) * (w / 2) + x / 2],
                p[w * h + w * h / 4 + (y / 2) * (w / 2) + x / 2]};
    }
    QByteArray frame()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return last;
    }
    /// Waits for a frame produced after this call.
    bool fresh(int frames = 3)
    {
        const int start = count;
        return QTest::qWaitFor([&] { return count >= start + frames; }, 10000);
    }
};

bool near(const Yuv &a, const Yuv &b, int tolerance = 6)
{
    return qAbs(a.y - b.y) <= tolerance && qAbs(a.u - b.u) <= tolerance && qAbs(a.v - b.v) <= tolerance;
}

QString show(const Yuv &a)
{
    return QString("Y%1 U%2 V%3").arg(a.y).arg(a.u).arg(a.v);
}

} // namespace

class TestScreenCapture : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void patternColoursAndRate_data();
    void patternColoursAndRate();
    void letterboxedScreen();
    void screenChoice_data();
    void screenChoice();
    void cursorDrawnAfterMove();
    void smallChangeGrabsItsRows_data();
    void smallChangeGrabsItsRows();
    void pointerMoveRedrawsOnlyThePointer();
    void withoutDamageEveryFrameIsWhole();
    void resizeCarriesOn();
    void lostServerRetries();
    void settingsFile();
    void defaultScreenIsQtPrimary();

private:
    QString settingsWith(const char *text);
    /// Starts a capture of the whole of `display` (width x height) into `sink`.
    void startCapture(ScreenCapture &capture, Sink &sink, const QByteArray &display, QSize screen, QSize out,
                      bool damage);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestScreenCapture::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestScreenCapture::settingsWith(const char *text)
{
    const QString path = m_dir->filePath("QnConfig.ini");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return path;
}

void TestScreenCapture::startCapture(ScreenCapture &capture, Sink &sink, const QByteArray &display,
                                     QSize screen, QSize out, bool damage)
{
    capture.setDisplayName(display);
    capture.setScreens({QRect(QPoint(0, 0), screen)}, 0, 1.0);
    capture.setDamageTracking(damage);
    capture.setFrameCallback(sink.callback());
    capture.start(0, 30, out.width(), out.height());
}

void TestScreenCapture::patternColoursAndRate_data()
{
    QTest::addColumn<bool>("gdi");
    QTest::addColumn<bool>("serverShm");
    QTest::addColumn<QString>("backend");
    QTest::newRow("shm") << false << true << "MIT-SHM";
    QTest::newRow("gdi setting") << true << true << "GetImage";
    QTest::newRow("server without shm") << false << false << "GetImage";
}

void TestScreenCapture::patternColoursAndRate()
{
    Sink sink; // outlives the capture, whose thread calls it
    QFETCH(bool, gdi);
    QFETCH(bool, serverShm);
    QFETCH(QString, backend);
    XvfbServer server;
    QVERIFY(
        server.start(QSize(1920, 1080), serverShm ? QStringList() : QStringList{"-extension", "MIT-SHM"}));
    XTestClient x;
    QVERIFY(x.open(server.display()));
    x.movePointer(1919, 1079);
    // Quadrants: red, green / blue, white; a small yellow square at (960..1019, 540..599).
    x.showPattern(0x000000, {{QRect(0, 0, 960, 540), 0xff0000},
                             {QRect(960, 0, 960, 540), 0x00ff00},
                             {QRect(0, 540, 960, 540), 0x0000ff},
                             {QRect(960, 540, 960, 540), 0xffffff},
                             {QRect(960, 540, 60, 60), 0xffff00}});

    ScreenCapture capture(settingsWith(gdi ? "[grubtype]\ngdi=true\n" : "[grubtype]\ngdi=false\n"), nullptr);
    QCOMPARE(capture.isGdiGrub(), gdi);
    capture.setDisplayName(server.display());
    capture.setScreens({QRect(0, 0, 1920, 1080)}, 0, 1.0);
    capture.setFrameCallback(sink.callback());
    capture.start(0, 30, 1280, 720);
    QVERIFY(capture.isRunning());
    QVERIFY(sink.fresh(1));
    QCOMPARE(capture.activeBackend(), backend);

    // About 30 frames per second over 3 s. The cadence is on the steady clock: every interval either
    // delivers a frame or, when the machine could not keep up, is counted as missed. On a machine
    // that kept up, nearly every interval delivers.
    const int frames0 = capture.framesDelivered(), missed0 = capture.intervalsMissed();
    QTest::qWait(3000);
    const int frames = capture.framesDelivered() - frames0;
    const int missed = capture.intervalsMissed() - missed0;
    qInfo() << frames << "frames in 3 s," << missed << "intervals missed";
    QVERIFY2(frames + missed >= 80 && frames + missed <= 95, qPrintable(QString::number(frames + missed)));
    if (missed == 0)
        QVERIFY2(frames >= 80, qPrintable(QString::number(frames)));
    QVERIFY(frames >= 5);

    QCOMPARE(sink.width, 1280);
    QCOMPARE(sink.height, 720);
    QVERIFY(sink.sizesOk);
    struct Probe
    {
        QPoint at;
        uint32_t rgb;
    } probes[] = {{{320, 180}, 0xff0000}, {{960, 180}, 0x00ff00}, {{320, 540}, 0x0000ff},
                  {{960, 540}, 0xffffff}, {{660, 380}, 0xffff00}, {{630, 350}, 0xff0000}};
    for (const Probe &p : probes) {
        const Yuv got = sink.at(p.at.x(), p.at.y());
        QVERIFY2(near(got, expectedYuv(p.rgb)), qPrintable(QString("at %1,%2: %3, expected %4")
                                                               .arg(p.at.x())
                                                               .arg(p.at.y())
                                                               .arg(show(got), show(expectedYuv(p.rgb)))));
    }
    capture.stop();
    QVERIFY(!capture.isRunning());
    const int stopped = sink.count;
    QTest::qWait(200);
    QCOMPARE(int(sink.count), stopped);
}

void TestScreenCapture::letterboxedScreen()
{
    Sink sink; // outlives the capture, whose thread calls it
    XvfbServer server;
    QVERIFY(server.start(QSize(1920, 1200)));
    XTestClient x;
    QVERIFY(x.open(server.display()));
    x.movePointer(1000, 600); // drawn at (664, 360), away from the probes
    x.showPattern(0xffffff, {});
    ScreenCapture capture(settingsWith(""), nullptr);
    capture.setDisplayName(server.display());
    capture.setScreens({QRect(0, 0, 1920, 1200)}, 0, 1.0);
    capture.setFrameCallback(sink.callback());
    capture.start(0, 30, 1280, 720);
    QVERIFY(sink.fresh());
    const Yuv black{0, 128, 128}, white = expectedYuv(0xffffff);
    for (int y : {0, 360, 719}) {
        QVERIFY2(near(sink.at(10, y), black, 1), qPrintable(show(sink.at(10, y))));
        QVERIFY(near(sink.at(62, y), black, 1));
        QVERIFY(near(sink.at(66, y), white));
        QVERIFY(near(sink.at(1212, y), white));
        QVERIFY(near(sink.at(1218, y), black, 1));
    }
}

void TestScreenCapture::screenChoice_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QRect>("region");
    QTest::addColumn<uint32_t>("colour");
    QTest::newRow("left screen") << 0 << QRect(0, 0, 640, 360) << 0xff0000u;
    QTest::newRow("right screen") << 1 << QRect(640, 0, 640, 360) << 0x0000ffu;
    QTest::newRow("out of range: primary") << 7 << QRect(640, 0, 640, 360) << 0x0000ffu;
}

void TestScreenCapture::screenChoice()
{
    Sink sink; // outlives the capture, whose thread calls it
    QFETCH(int, index);
    QFETCH(QRect, region);
    QFETCH(uint32_t, colour);
    XvfbServer server;
    QVERIFY(server.start(QSize(1280, 360)));
    XTestClient x;
    QVERIFY(x.open(server.display()));
    x.movePointer(0, 359);
    x.showPattern(0x000000, {{QRect(0, 0, 640, 360), 0xff0000}, {QRect(640, 0, 640, 360), 0x0000ff}});
    ScreenCapture capture(settingsWith(""), nullptr);
    capture.setDisplayName(server.display());
    // Two screens side by side; the second one is primary. Logical sizes at a ratio of 2.
    capture.setScreens({QRect(0, 0, 320, 180), QRect(320, 0, 320, 180)}, 1, 2.0);
    capture.setFrameCallback(sink.callback());
    capture.start(index, 30, 320, 180);
    QVERIFY(sink.fresh());
    QCOMPARE(capture.activeRegion(), region);
    for (const QPoint p : {QPoint(2, 2), QPoint(160, 90), QPoint(317, 177)})
        QVERIFY2(near(sink.at(p.x(), p.y()), expectedYuv(colour)), qPrintable(show(sink.at(p.x(), p.y()))));
}

void TestScreenCapture::cursorDrawnAfterMove()
{
    Sink sink; // outlives the capture, whose thread calls it
    XvfbServer server;
    QVERIFY(server.start(QSize(640, 360)));
    XTestClient x;
    QVERIFY(x.open(server.display()));
    x.showPattern(0x808080, {});
    x.movePointer(100, 100);
    ScreenCapture capture(settingsWith(""), nullptr);
    capture.setDisplayName(server.display());
    capture.setScreens({QRect(0, 0, 640, 360)}, 0, 1.0);
    capture.setFrameCallback(sink.callback());
    capture.start(0, 30, 640, 360);
    const int grey = expectedYuv(0x808080).y;
    auto marked = [&](QPoint p) {
        int differing = 0;
        for (int dy = -8; dy <= 8; ++dy)
            for (int dx = -8; dx <= 8; ++dx)
                differing += qAbs(sink.at(p.x() + dx, p.y() + dy).y - grey) > 40;
        return differing;
    };
    for (const QPoint p : {QPoint(400, 250), QPoint(200, 60)}) {
        x.movePointer(p.x(), p.y());
        QVERIFY(sink.fresh());
        QVERIFY2(marked(p) >= 10, qPrintable(QString::number(marked(p))));
        QCOMPARE(marked(QPoint(520, 300)), 0);
    }
    QCOMPARE(marked(QPoint(400, 250)), 0); // the old position is clean again
}

void TestScreenCapture::smallChangeGrabsItsRows_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QSize>("out");
    QTest::newRow("shm, scaled") << "[grubtype]\ngdi=false\n" << QSize(1280, 720);
    QTest::newRow("shm, unscaled") << "[grubtype]\ngdi=false\n" << QSize(1920, 1080);
    QTest::newRow("getimage, scaled") << "[grubtype]\ngdi=true\n" << QSize(1280, 720);
}

void TestScreenCapture::smallChangeGrabsItsRows()
{
    // Two captures of one screen: one fetching only what was drawn, one grabbing every frame
    // whole. After a small change the first has grabbed only the changed rows, and both frames are
    // the same bytes.
    Sink sink, wholeSink; // outlive the captures, whose threads call them
    QFETCH(QString, settings);
    QFETCH(QSize, out);
    XvfbServer server;
    QVERIFY(server.start(QSize(1920, 1080)));
    XTestClient x;
    QVERIFY(x.open(server.display()));
    x.movePointer(700, 400); // the pointer in the picture, away from the change
    x.showPattern(0x336699, {{QRect(100, 100, 600, 300), 0xf0f0f0}, {QRect(1200, 700, 300, 200), 0x202020}});
    ScreenCapture capture(settingsWith(settings.toLatin1().constData()), nullptr);
    ScreenCapture whole(settingsWith(settings.toLatin1().constData()), nullptr);
    startCapture(capture, sink, server.display(), QSize(1920, 1080), out, true);
    startCapture(whole, wholeSink, server.display(), QSize(1920, 1080), out, false);
    QVERIFY(sink.fresh() && wholeSink.fresh());

    // Nothing drawn: no row is grabbed, the frame is the last one again.
    const quint64 rows0 = capture.rowsGrabbed(), reused0 = capture.framesReused();
    const quint64 wholeRows0 = whole.rowsGrabbed();
    QVERIFY(sink.fresh(5));
    QCOMPARE(capture.rowsGrabbed(), rows0);
    QVERIFY(capture.framesReused() >= reused0 + 4);
    // The other capture grabs every frame whole, however slowly (sanitizer builds) it goes.
    QVERIFY(wholeSink.fresh(5));
    QVERIFY(whole.rowsGrabbed() >= wholeRows0 + 5 * 1080);

    const QRect drawn(300, 500, 40, 24);
    x.fillRect(drawn, 0xff8000);
    QVERIFY(sink.fresh() && wholeSink.fresh());
    QCOMPARE(capture.rowsGrabbed() - rows0, quint64(drawn.height()));
    QVERIFY(sink.frame() == wholeSink.frame());
    const int cx = (drawn.center().x() * out.width()) / 1920, cy = (drawn.center().y() * out.height()) / 1080;
    QVERIFY2(near(sink.at(cx, cy), expectedYuv(0xff8000)), qPrintable(show(sink.at(cx, cy))));
}

void TestScreenCapture::pointerMoveRedrawsOnlyThePointer()
{
    Sink sink, wholeSink; // outlive the captures, whose threads call them
    XvfbServer server;
    QVERIFY(server.start(QSize(1920, 1080)));
    XTestClient x;
    QVERIFY(x.open(server.display()));
    const QPoint from(400, 300), to(1300, 800);
    x.movePointer(from.x(), from.y());
    x.showPattern(0x808080, {{QRect(0, 0, 960, 1080), 0x4060a0}});
    ScreenCapture capture(settingsWith(""), nullptr);
    ScreenCapture whole(settingsWith(""), nullptr);
    const QSize out(1280, 720);
    startCapture(capture, sink, server.display(), QSize(1920, 1080), out, true);
    startCapture(whole, wholeSink, server.display(), QSize(1920, 1080), out, false);
    QVERIFY(sink.fresh() && wholeSink.fresh());
    const QByteArray before = sink.frame();
    const quint64 rows0 = capture.rowsGrabbed();

    x.movePointer(to.x(), to.y());
    QVERIFY(sink.fresh() && wholeSink.fresh());
    const QByteArray after = sink.frame();
    // A pointer move draws nothing on the screen: nothing is grabbed, and the frame changed only
    // where the pointer was and is (the pointer image lies within 64 pixels of its hot spot; the
    // scaler reaches a few rows and columns further).
    QCOMPARE(capture.rowsGrabbed(), rows0);
    QVERIFY(after != before);
    QVERIFY(after == wholeSink.frame());
    const double sx = out.width() / 1920.0, sy = out.height() / 1080.0;
    auto around = [&](QPoint p) {
        return QRect(int((p.x() - 64) * sx) - 4, int((p.y() - 64) * sy) - 4, int(128 * sx) + 8,
                     int(128 * sy) + 8);
    };
    const QRect oldArea = around(from), newArea = around(to);
    const auto *a = reinterpret_cast<const uint8_t *>(before.constData());
    const auto *b = reinterpret_cast<const uint8_t *>(after.constData());
    int changed = 0;
    for (int yy = 0; yy < out.height(); ++yy) {
        for (int xx = 0; xx < out.width(); ++xx) {
            const size_t i = size_t(yy) * size_t(out.width()) + size_t(xx);
            const size_t c = size_t(out.width()) * out.height() + size_t(yy / 2) * (out.width() / 2) + xx / 2;
            const size_t c2 = c + size_t(out.width()) * out.height() / 4;
            if (a[i] == b[i] && a[c] == b[c] && a[c2] == b[c2])
                continue;
            ++changed;
            QVERIFY2(oldArea.contains(xx, yy) || newArea.contains(xx, yy),
                     qPrintable(QString("changed at %1,%2").arg(xx).arg(yy)));
        }
    }
    QVERIFY(changed > 0);
}

void TestScreenCapture::withoutDamageEveryFrameIsWhole()
{
    Sink sink; // outlives the capture, whose thread calls it
    XvfbServer server;
    QVERIFY(server.start(QSize(640, 360), {"-extension", "DAMAGE"}));
    XTestClient x;
    QVERIFY(x.open(server.display()));
    x.movePointer(0, 0);
    x.showPattern(0x00ff00, {});
    ScreenCapture capture(settingsWith(""), nullptr);
    startCapture(capture, sink, server.display(), QSize(640, 360), QSize(640, 360), true);
    QVERIFY(sink.fresh());
    const int frames0 = sink.count;
    const quint64 rows0 = capture.rowsGrabbed();
    QVERIFY(sink.fresh(5));
    capture.stop();
    // Every frame grabbed whole (the rows of a frame being delivered when read count as well).
    const quint64 rows = capture.rowsGrabbed() - rows0;
    const quint64 frames = quint64(sink.count - frames0);
    QVERIFY2(rows >= frames * 360 && rows <= (frames + 1) * 360, qPrintable(QString::number(rows)));
    QCOMPARE(capture.framesReused(), quint64(0));
    QVERIFY(near(sink.at(320, 180), expectedYuv(0x00ff00)));
}

void TestScreenCapture::resizeCarriesOn()
{
    Sink sink; // outlives the capture, whose thread calls it
    XvfbServer server;
    QVERIFY(server.start(QSize(1920, 1080)));
    XTestClient x;
    QVERIFY(x.open(server.display()));
    x.movePointer(0, 0);
    x.showPattern(0xffffff, {});
    ScreenCapture capture(settingsWith(""), nullptr);
    capture.setDisplayName(server.display());
    capture.setScreens({QRect(0, 0, 1920, 1080)}, 0, 1.0);
    capture.setFrameCallback(sink.callback());
    capture.start(0, 30, 1280, 720);
    QVERIFY(sink.fresh());
    QCOMPARE(capture.activeRegion(), QRect(0, 0, 1920, 1080));
    QVERIFY(server.resize(QSize(1280, 1024)));
    QTRY_COMPARE_WITH_TIMEOUT(capture.activeRegion(), QRect(0, 0, 1280, 1024), 10000);
    QVERIFY(sink.fresh());
    QCOMPARE(sink.width, 1280);
    QCOMPARE(sink.height, 720);
    // 5:4 into 16:9: the picture at x 190..1089, bars beside it.
    const Yuv black{0, 128, 128};
    QVERIFY2(near(sink.at(100, 400), black, 1), qPrintable(show(sink.at(100, 400))));
    QVERIFY(near(sink.at(1200, 400), black, 1));
    QVERIFY(near(sink.at(640, 400), expectedYuv(0xffffff)));
    // The new grabber reports what is drawn as well: a small change grabs only its rows.
    QVERIFY(sink.fresh());
    const quint64 rows0 = capture.rowsGrabbed();
    x.fillRect(QRect(600, 500, 20, 10), 0x000000);
    QVERIFY(sink.fresh());
    QCOMPARE(capture.rowsGrabbed() - rows0, quint64(10));
}

void TestScreenCapture::lostServerRetries()
{
    Sink sink; // outlives the capture, whose thread calls it
    auto server = std::make_unique<XvfbServer>();
    QVERIFY(server->start(QSize(320, 180)));
    ScreenCapture capture(settingsWith(""), nullptr);
    capture.setDisplayName(server->display());
    capture.setScreens({}, 0, 1.0);
    capture.setFrameCallback(sink.callback());
    capture.start(0, 30, 320, 180);
    QVERIFY(sink.fresh());
    server->kill();
    QTRY_COMPARE_WITH_TIMEOUT(capture.activeBackend(), QString(), 10000);
    QVERIFY(capture.isRunning());
    // The thread keeps retrying and stops promptly when asked.
    QElapsedTimer t;
    t.start();
    capture.stop();
    QVERIFY(t.elapsed() < 2000);
}

void TestScreenCapture::settingsFile()
{
    const QString path = m_dir->filePath("QnConfig.ini");
    {
        ScreenCapture capture(path, nullptr);
        QVERIFY(!capture.isGdiGrub());
    }
    QSettings s(path, QSettings::IniFormat);
    QVERIFY(s.childGroups().contains("grubtype"));
    QCOMPARE(s.value("grubtype/gdi").toString(), QString("false"));
    s.setValue("grubtype/gdi", true);
    s.sync();
    ScreenCapture capture(path, nullptr);
    QVERIFY(capture.isGdiGrub());
    QCOMPARE(ScreenCapture::settingsFilePath(), QCoreApplication::applicationDirPath() + "/QnConfig.ini");
}

void TestScreenCapture::defaultScreenIsQtPrimary()
{
    Sink sink; // outlives the capture, whose thread calls it
    // Without an injected list the area comes from Qt's screens (one under Xvfb).
    QScreen *primary = QGuiApplication::primaryScreen();
    QVERIFY(primary);
    ScreenCapture capture(settingsWith(""), nullptr);
    capture.setFrameCallback(sink.callback());
    capture.start(3, 10, 320, 180);
    QVERIFY(sink.fresh(1));
    const qreal r = qApp->devicePixelRatio();
    const QRect g = primary->geometry();
    QCOMPARE(capture.activeRegion(),
             QRect(qRound(g.x() * r), qRound(g.y() * r), qRound(g.width() * r), qRound(g.height() * r)));
}

QTEST_MAIN(TestScreenCapture)
#include "tst_screencapture.moc"
