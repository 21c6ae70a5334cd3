#include "platform/x11/QnScreenGrabber.h"
#include "tests/fixtures/xvfb/XvfbServer.h"

#include <QtTest>

#include <cstring>

Q_DECLARE_METATYPE(QnX11::GrabBackend)
Q_DECLARE_METATYPE(QnX11::GrabStatus)

using namespace QnX11;

// Every case runs on a private Xvfb: the shared test display may carry other tests' windows.
class TestX11Grab : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void grabShowsPattern_data();
    void grabShowsPattern();
    void backendChoice_data();
    void backendChoice();
    void shmRefusedWithoutExtension();
    void regionOutsideScreenRefused();
    void resizeAsksForReinit_data();
    void resizeAsksForReinit();
    void lostServerIsError();
    void cursorFollowsPointer();
    void damageGivesDrawnRows_data();
    void damageGivesDrawnRows();
    void noDamageExtensionMeansWhole();
    void resizeSeenByChanges();

private:
    static QByteArray rows(const GrabbedFrame &f)
    {
        QByteArray out;
        for (int y = 0; y < f.height; ++y)
            out.append(reinterpret_cast<const char *>(f.data) + size_t(y) * size_t(f.stride), f.width * 4);
        return out;
    }
    static uint32_t pixel(const GrabbedFrame &f, int x, int y)
    {
        uint32_t v;
        std::memcpy(&v, f.data + size_t(y) * size_t(f.stride) + size_t(x) * 4, 4);
        return v & 0xffffff;
    }
};

void TestX11Grab::grabShowsPattern_data()
{
    QTest::addColumn<GrabBackend>("backend");
    QTest::addColumn<QRect>("region");
    QTest::newRow("shm whole") << GrabBackend::Shm << QRect();
    QTest::newRow("getimage whole") << GrabBackend::GetImage << QRect();
    QTest::newRow("shm part") << GrabBackend::Shm << QRect(100, 50, 300, 200);
    QTest::newRow("getimage part") << GrabBackend::GetImage << QRect(100, 50, 300, 200);
    QTest::newRow("getimage odd width") << GrabBackend::GetImage << QRect(101, 50, 333, 201);
}

void TestX11Grab::grabShowsPattern()
{
    QFETCH(GrabBackend, backend);
    QFETCH(QRect, region);
    XvfbServer server;
    QVERIFY(server.start(QSize(640, 480)));
    XTestClient client;
    QVERIFY(client.open(server.display()));
    client.movePointer(630, 470); // keep the pointer off the checked pixels
    client.showPattern(0x202020, {{QRect(150, 100, 50, 40), 0xff0000}, {QRect(300, 200, 20, 20), 0x00ff00}});

    GrabOptions o;
    o.display = server.display();
    o.region = region;
    QString error;
    auto g = openScreenGrabber(backend, o, &error);
    QVERIFY2(g, qPrintable(error));
    QCOMPARE(g->backend(), backend);
    const QRect expected = region.isNull() ? QRect(0, 0, 640, 480) : region;
    QCOMPARE(g->region(), expected);
    QCOMPARE(g->coversRoot(), region.isNull());

    GrabbedFrame f;
    QCOMPARE(g->grab(f), GrabStatus::Ok);
    QCOMPARE(f.width, expected.width());
    QCOMPARE(f.height, expected.height());
    QVERIFY(f.stride >= f.width * 4);
    const QPoint o0 = expected.topLeft();
    QCOMPARE(pixel(f, 160 - o0.x(), 110 - o0.y()), 0xff0000u);
    QCOMPARE(pixel(f, 310 - o0.x(), 210 - o0.y()), 0x00ff00u);
    QCOMPARE(pixel(f, 149 - o0.x(), 110 - o0.y()), 0x202020u);
    QCOMPARE(pixel(f, 0, 0), 0x202020u);
    // The last pixel of the last row is readable and right (stride covers the row).
    QCOMPARE(pixel(f, f.width - 1, f.height - 1),
             expected.contains(630, 470) ? pixel(f, f.width - 1, f.height - 1) : 0x202020u);

    // A second grab sees a change.
    client.showPattern(0x0000ff, {});
    QCOMPARE(g->grab(f), GrabStatus::Ok);
    QCOMPARE(pixel(f, 160 - o0.x(), 110 - o0.y()), 0x0000ffu);
}

void TestX11Grab::backendChoice_data()
{
    QTest::addColumn<bool>("serverHasShm");
    QTest::addColumn<bool>("force");
    QTest::addColumn<GrabBackend>("expected");
    QTest::addColumn<QString>("reason");
    QTest::newRow("shm preferred") << true << false << GrabBackend::Shm << "MIT-SHM (preferred path)";
    QTest::newRow("settings ask for plain") << true << true << GrabBackend::GetImage << "capture settings";
    QTest::newRow("server without shm") << false << false << GrabBackend::GetImage << "lacks MIT-SHM";
    // The server cannot see our segment from its own IPC namespace: the set-up fails.
    QTest::newRow("shm set-up fails") << true << false << GrabBackend::GetImage << "MIT-SHM set-up failed";
}

void TestX11Grab::backendChoice()
{
    QFETCH(bool, serverHasShm);
    QFETCH(bool, force);
    QFETCH(GrabBackend, expected);
    QFETCH(QString, reason);
    const bool setUpFails = QByteArray(QTest::currentDataTag()) == "shm set-up fails";
    XvfbServer server;
    QVERIFY(server.start(QSize(320, 240), serverHasShm ? QStringList() : QStringList{"-extension", "MIT-SHM"},
                         setUpFails));
    GrabOptions o;
    o.display = server.display();
    o.forceGetImage = force;
    QTest::ignoreMessage(setUpFails ? QtWarningMsg : QtInfoMsg,
                         QRegularExpression(QRegularExpression::escape(reason)));
    auto g = openScreenGrabber(o);
    QVERIFY(g);
    QCOMPARE(g->backend(), expected);
    GrabbedFrame f;
    QCOMPARE(g->grab(f), GrabStatus::Ok);
}

void TestX11Grab::shmRefusedWithoutExtension()
{
    XvfbServer server;
    QVERIFY(server.start(QSize(320, 240), {"-extension", "MIT-SHM"}));
    GrabOptions o;
    o.display = server.display();
    QString error;
    QVERIFY(!openScreenGrabber(GrabBackend::Shm, o, &error));
    QVERIFY2(error.contains("MIT-SHM"), qPrintable(error));
}

void TestX11Grab::regionOutsideScreenRefused()
{
    XvfbServer server;
    QVERIFY(server.start(QSize(320, 240)));
    GrabOptions o;
    o.display = server.display();
    o.region = QRect(400, 0, 100, 100);
    QString error;
    QVERIFY(!openScreenGrabber(GrabBackend::GetImage, o, &error));
    QVERIFY2(error.contains("outside"), qPrintable(error));
    QVERIFY(!openScreenGrabber(o, &error));
    // Partly outside: clipped to the screen.
    o.region = QRect(300, 200, 100, 100);
    auto g = openScreenGrabber(GrabBackend::Shm, o, &error);
    QVERIFY(g);
    QCOMPARE(g->region(), QRect(300, 200, 20, 40));
}

void TestX11Grab::resizeAsksForReinit_data()
{
    QTest::addColumn<GrabBackend>("backend");
    QTest::newRow("shm") << GrabBackend::Shm;
    QTest::newRow("getimage") << GrabBackend::GetImage;
}

void TestX11Grab::resizeAsksForReinit()
{
    QFETCH(GrabBackend, backend);
    XvfbServer server;
    QVERIFY(server.start(QSize(640, 480)));
    GrabOptions o;
    o.display = server.display();
    auto g = openScreenGrabber(backend, o);
    QVERIFY(g);
    GrabbedFrame f;
    QCOMPARE(g->grab(f), GrabStatus::Ok);
    QVERIFY(server.resize(QSize(400, 300)));
    QCOMPARE(g->grab(f), GrabStatus::Reinit);
    g = openScreenGrabber(backend, o);
    QVERIFY(g);
    QCOMPARE(g->region(), QRect(0, 0, 400, 300));
    QCOMPARE(g->grab(f), GrabStatus::Ok);
    QCOMPARE(f.width, 400);
    QCOMPARE(f.height, 300);
}

void TestX11Grab::lostServerIsError()
{
    XvfbServer server;
    QVERIFY(server.start(QSize(320, 240)));
    GrabOptions o;
    o.display = server.display();
    auto shm = openScreenGrabber(GrabBackend::Shm, o);
    auto plain = openScreenGrabber(GrabBackend::GetImage, o);
    QVERIFY(shm && plain);
    server.kill();
    GrabbedFrame f;
    QCOMPARE(shm->grab(f), GrabStatus::Error);
    QCOMPARE(plain->grab(f), GrabStatus::Error);
    CursorImage c;
    QVERIFY(!shm->cursor(c));
}

void TestX11Grab::cursorFollowsPointer()
{
    XvfbServer server;
    QVERIFY(server.start(QSize(320, 240)));
    XTestClient client;
    QVERIFY(client.open(server.display()));
    GrabOptions o;
    o.display = server.display();
    auto g = openScreenGrabber(o);
    QVERIFY(g);
    for (const QPoint p : {QPoint(100, 120), QPoint(5, 200)}) {
        client.movePointer(p.x(), p.y());
        QCOMPARE(client.pointer(), p);
        CursorImage c;
        QVERIFY(g->cursor(c));
        QVERIFY(c.valid);
        QCOMPARE(QPoint(c.x, c.y), p);
        QVERIFY(c.width > 0 && c.height > 0);
        QCOMPARE(c.argb.size(), size_t(c.width) * size_t(c.height));
        QVERIFY(c.hotX < c.width && c.hotY < c.height);
        // The default X cursor has opaque pixels.
        QVERIFY(std::any_of(c.argb.begin(), c.argb.end(), [](uint32_t v) { return (v >> 24) == 0xff; }));
    }
}

void TestX11Grab::damageGivesDrawnRows_data()
{
    QTest::addColumn<GrabBackend>("backend");
    QTest::addColumn<QRect>("region");
    QTest::newRow("shm whole") << GrabBackend::Shm << QRect();
    QTest::newRow("getimage whole") << GrabBackend::GetImage << QRect();
    QTest::newRow("shm part") << GrabBackend::Shm << QRect(100, 50, 400, 300);
    QTest::newRow("getimage part") << GrabBackend::GetImage << QRect(100, 50, 400, 300);
}

void TestX11Grab::damageGivesDrawnRows()
{
    QFETCH(GrabBackend, backend);
    QFETCH(QRect, region);
    XvfbServer server;
    QVERIFY(server.start(QSize(640, 480)));
    XTestClient client;
    QVERIFY(client.open(server.display()));
    client.movePointer(630, 470);
    client.showPattern(0x202020, {{QRect(150, 100, 50, 40), 0xff0000}});

    GrabOptions o;
    o.display = server.display();
    o.region = region;
    auto g = openScreenGrabber(backend, o);
    QVERIFY(g);
    QVERIFY(g->tracksDamage());
    const QRect area = g->region();

    // The first report is whole; with nothing drawn since, the next one is empty.
    ScreenChanges changes;
    QCOMPARE(g->takeChanges(changes), GrabStatus::Ok);
    QVERIFY(changes.whole);
    GrabbedFrame f;
    QCOMPARE(g->grab(f), GrabStatus::Ok);
    QCOMPARE(g->rowsGrabbed(), uint64_t(area.height()));
    QCOMPARE(g->takeChanges(changes), GrabStatus::Ok);
    QVERIFY(!changes.whole);
    QVERIFY(changes.rects.empty());

    // Two small areas drawn, one of them partly outside a partial region: reported clipped, in
    // region coordinates.
    const QRect drawn(200, 120, 30, 20), edge(80, 300, 40, 10);
    client.fillRect(drawn, 0x00ff00);
    client.fillRect(edge, 0x0000ff);
    QCOMPARE(g->takeChanges(changes), GrabStatus::Ok);
    QVERIFY(!changes.whole);
    QRect reported;
    for (const QRect &r : changes.rects) {
        QVERIFY(QRect(QPoint(0, 0), area.size()).contains(r));
        reported |= r;
    }
    const QRect expected = (drawn & area) | (edge & area);
    QCOMPARE(reported, expected.translated(-area.topLeft()));

    // Grabbing only those rows gives the same picture as a whole grab of another grabber.
    const uint64_t before = g->rowsGrabbed();
    for (const QRect &r : changes.rects)
        QCOMPARE(g->grabRows(r.y(), r.height(), f), GrabStatus::Ok);
    int expectedRows = 0;
    for (const QRect &r : changes.rects)
        expectedRows += r.height();
    QCOMPARE(g->rowsGrabbed() - before, uint64_t(expectedRows));
    auto reference = openScreenGrabber(backend, o);
    QVERIFY(reference);
    GrabbedFrame whole;
    QCOMPARE(reference->grab(whole), GrabStatus::Ok);
    QCOMPARE(f.width, whole.width);
    QCOMPARE(f.height, whole.height);
    QVERIFY(rows(f) == rows(whole));
    QCOMPARE(pixel(f, 210 - area.x(), 130 - area.y()), 0x00ff00u);

    // Rows outside the region are clipped away; an empty band grabs nothing.
    const uint64_t beforeClip = g->rowsGrabbed();
    QCOMPARE(g->grabRows(area.height() - 5, 50, f), GrabStatus::Ok);
    QCOMPARE(g->grabRows(area.height() + 10, 5, f), GrabStatus::Ok);
    QCOMPARE(g->rowsGrabbed() - beforeClip, uint64_t(5));
    QVERIFY(rows(f) == rows(whole));
}

void TestX11Grab::noDamageExtensionMeansWhole()
{
    XvfbServer server;
    QVERIFY(server.start(QSize(320, 240), {"-extension", "DAMAGE"}));
    GrabOptions o;
    o.display = server.display();
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression("damage tracking unavailable.*grabbed whole"));
    auto g = openScreenGrabber(GrabBackend::Shm, o);
    QVERIFY(g);
    QVERIFY(!g->tracksDamage());
    GrabbedFrame f;
    QCOMPARE(g->grab(f), GrabStatus::Ok);
    for (int i = 0; i < 3; ++i) {
        ScreenChanges changes;
        QCOMPARE(g->takeChanges(changes), GrabStatus::Ok);
        QVERIFY(changes.whole);
    }
}

void TestX11Grab::resizeSeenByChanges()
{
    XvfbServer server;
    QVERIFY(server.start(QSize(640, 480)));
    GrabOptions o;
    o.display = server.display();
    auto g = openScreenGrabber(GrabBackend::Shm, o);
    QVERIFY(g);
    GrabbedFrame f;
    ScreenChanges changes;
    QCOMPARE(g->takeChanges(changes), GrabStatus::Ok);
    QCOMPARE(g->grab(f), GrabStatus::Ok);
    QVERIFY(server.resize(QSize(400, 300)));
    QCOMPARE(g->takeChanges(changes), GrabStatus::Reinit);
}

QTEST_GUILESS_MAIN(TestX11Grab)
#include "tst_x11grab.moc"
