// A lesson with the built program, started as a teacher starts it (only its settings, keyring and
// environment are prepared): on a display of its own, on a private LAN with the receiver simulator
// and the cloud account service, it signs in with the remembered account, connects by the
// receiver's six-digit code typed on the keyboard, mirrors the screen (ffmpeg at the receiver
// decodes it), sends a picture chosen in the file dialog, shows the receiver's desktop and draws
// on it (the receiver gets the stroke), a second start brings the first window back, and the end
// of the session ends it. Clicks land where
// the program's own widgets are: the test lays out the same pages in its process to find them.
#include "QnBrush/qnboard.pb.h"
#include "QnBrush/src/QnBoardActions.h"
#include "client/ui/QnFonts.h"
#include "client/ui/QnLynDesktopTool.h"
#include "client/ui/desktop/QnLynDesktop.h"
#include "client/ui/sender/QnHomeWidget.h"
#include "client/ui/sender/QnLynAutoConnectWidget.h"
#include "client/ui/sender/QnLynCodeLineEdit.h"
#include "client/ui/sender/QnLynConnectWidget.h"
#include "client/ui/sender/QnLynFunctionHomeWidget.h"
#include "client/ui/sender/QnLynMirrorSwitchingResolutionWidget.h"
#include "client/ui/sender/UpdateContextDlg.h"
#include "lyn/input/QnLynInput.h"
#include "platform/keychain/QnCredentialStore.h"
#include "platform/scene/QnBoardWire.h"
#include "platform/xtest/QnInputInjector.h"
#include "resources/QnResources.h"
#include "tests/client/app/ProgramTestUtil.h"
#include "tests/fixtures/cloud/QnCloudFixture.h"
#include "tests/fixtures/media/MediaTestUtil.h"
#include "tests/fixtures/netns/QnNetnsTestMain.h"
#include "tests/fixtures/receiver_sim/sim/QnSimOnLan.h"
#include "tests/fixtures/ui/QnQuickItems.h"
#include "tests/fixtures/xvfb/XvfbServer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QQuickItem>
#include <QQuickWidget>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

const QString kCode = QStringLiteral("000060"); // the simulator at .2 of the PC's /24
const QString kPhone = QStringLiteral("13800000001");
const QString kPassword = QStringLiteral("lesson-pw-1");
const QString kTitle = QStringLiteral("昆洛传屏");
const QString kDesktopTitle = QStringLiteral("桌面同步");

bool xdotool(const QStringList &args, QByteArray *out = nullptr)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return false;
    if (out)
        *out = p.readAllStandardOutput();
    return true;
}

/// The on-screen rectangle of the visible window titled exactly title; empty when there is none.
QRect windowRect(const QString &title)
{
    QByteArray ids;
    if (!xdotool({"search", "--onlyvisible", "--name", QStringLiteral("^%1$").arg(title)}, &ids))
        return QRect();
    const QList<QByteArray> lines = ids.trimmed().split('\n');
    if (lines.isEmpty() || lines.last().isEmpty())
        return QRect();
    QByteArray shell;
    if (!xdotool({"getwindowgeometry", "--shell", QString::fromLatin1(lines.last())}, &shell))
        return QRect();
    QHash<QByteArray, int> v;
    for (const QByteArray &line : shell.split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            v.insert(line.left(eq), line.mid(eq + 1).toInt());
    }
    return QRect(v.value("X"), v.value("Y"), v.value("WIDTH"), v.value("HEIGHT"));
}

bool click(QPoint at)
{
    if (!xdotool({"mousemove", QString::number(at.x()), QString::number(at.y())}))
        return false;
    QTest::qWait(200);
    return xdotool({"click", "1"});
}

} // namespace

class TstLesson : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void startsAndSignsIn();
    void typedCodeConnects();
    void mirroringDecodedAtTheReceiver();
    void pictureArrivesWhole();
    void desktopShowsTheReceiversScreen();
    void secondStartShowsTheFirst();
    void endsWithTheSession();

private:
    /// Where a teacher clicks, relative to the program's main window.
    struct Spots
    {
        QPoint codeLink; ///< "connect by code" under the receiver list
        QPoint codeEdit;
        QPoint mirrorCover;
        QPoint pictureCover;
        QPoint desktopCover;
        QPoint stopMirroring;
    };
    bool measure(QString *error);
    /// Where the tool bar's handle and, once opened, its pen button lie in a desktop-sync window
    /// of that size, laid out here without being shown.
    static bool measureDesktop(QSize size, QPoint *handle, QPoint *pen, QString *error);
    /// Clicks "stop" on the mirroring panel and lets the function page come back.
    void stopMirroring()
    {
        QTest::qWait(500);
        click(onWindow(m_spots.stopMirroring));
        QTest::qWait(1500);
    }
    QProcessEnvironment environment() const;
    QString log() const { return ProgramTestUtil::log(m_dir); }
    QString settingsPath() const
    {
        return m_dir.filePath("home/.local/share/QnLynClient/config/setting.ini");
    }
    QPoint onWindow(QPoint spot) const { return windowRect(kTitle).topLeft() + spot; }
    QStringList inRx(const QString &program, const QStringList &args) const
    {
        return QStringList{QStringLiteral("--net=/proc/%1/ns/net").arg(m_rxThread.tid()), program} + args;
    }
    template<class F> auto onRx(F f)
    {
        decltype(f(*m_rx)) result{};
        m_rx->call([&](QnSimReceiver &r) { result = f(r); });
        return result;
    }

    QTemporaryDir m_dir;
    QnSimNetnsThread m_rxThread;
    QnSimLan m_lan;
    QnSimReceiver *m_rx = nullptr;
    QnCloudFixture m_cloud;
    Spots m_spots;
    QProcess m_program;
};

QProcessEnvironment TstLesson::environment() const
{
    QProcessEnvironment env = ProgramTestUtil::environment(m_dir);
    env.remove("QT_QUICK_BACKEND"); // the program draws its carousel as a user's would
    return env;
}

bool TstLesson::measure(QString *error)
{
    // The same sender window, laid out here with the same fonts, tells where its parts are.
    QTemporaryDir notes;
    QnLynConnectWidget w;
    w.setUpdateNotesPath(notes.filePath(QStringLiteral("UpdateContext.ini")));
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) {
        *error = QStringLiteral("the measuring window was not shown");
        return false;
    }
    QLineEdit *edit = w.homeWidget()->codeEdits().value(0);
    if (!edit) {
        *error = QStringLiteral("no code box");
        return false;
    }
    m_spots.codeEdit = edit->mapTo(&w, edit->rect().center());
    w.stack()->setCurrentWidget(w.autoConnectWidget());
    auto *link = w.autoConnectWidget()->findChild<QPushButton *>(QStringLiteral("handBtn1"));
    if (!link) {
        *error = QStringLiteral("no code link under the receiver list");
        return false;
    }
    m_spots.codeLink = link->mapTo(&w, link->rect().center());

    w.stack()->setCurrentWidget(w.functionWidget());
    QQuickWidget *quick = w.functionWidget()->quickWidget();
    QQuickItem *mirror = nullptr;
    QElapsedTimer waited;
    waited.start();
    while (!(mirror = findQuickItem(quick->rootObject(), QStringLiteral("cover_mirror"))) ||
           mirror->scale() != 1.0) {
        if (waited.elapsed() > 10000) {
            *error = QStringLiteral("the carousel did not settle");
            return false;
        }
        QTest::qWait(50);
    }
    auto cover = [&](const char *name, qreal xShare) {
        QQuickItem *item = findQuickItem(quick->rootObject(), QStringLiteral("image_") + QLatin1String(name));
        if (!item)
            return QPoint(-1, -1);
        const QPointF scene = item->mapToScene(QPointF(item->width() * xShare, item->height() / 2));
        return quick->mapTo(&w, scene.toPoint());
    };
    // Side covers lie partly behind their neighbours: their visible outer parts are clicked.
    m_spots.mirrorCover = cover("mirror", 0.5);
    m_spots.pictureCover = cover("pic", 0.3);
    m_spots.desktopCover = cover("desktop", 0.7);

    w.stack()->setCurrentWidget(w.mirrorWidget());
    auto *stop = w.mirrorWidget()->findChild<QPushButton *>(QStringLiteral("stopBtn"));
    if (!stop) {
        *error = QStringLiteral("no stop button on the mirroring panel");
        return false;
    }
    m_spots.stopMirroring = stop->mapTo(&w, stop->rect().center());
    for (QPoint p : {m_spots.mirrorCover, m_spots.pictureCover, m_spots.desktopCover}) {
        if (!w.rect().contains(p)) {
            *error = QStringLiteral("a cover was not found");
            return false;
        }
    }
    return true;
}

bool TstLesson::measureDesktop(QSize size, QPoint *handle, QPoint *pen, QString *error)
{
    if (size.isEmpty()) {
        *error = QStringLiteral("no desktop-sync window");
        return false;
    }
    QnLynInput input(nullptr);
    QnLynDesktop desk(nullptr, &input, QnYuvView::Backend::Software);
    desk.setAttribute(Qt::WA_DontShowOnScreen);
    desk.setLayoutDelay(0);
    desk.setInfo(QStringLiteral("rx"), QStringLiteral("Room"), QStringLiteral("u"), 640, 360);
    desk.show();
    desk.resize(size);
    QTest::qWait(200);
    auto *hide = desk.tool()->findChild<QPushButton *>(QStringLiteral("hideButton"));
    auto *penButton = desk.tool()->findChild<QPushButton *>(QStringLiteral("penButton"));
    if (!hide || !penButton) {
        *error = QStringLiteral("the tool bar has no handle or pen");
        return false;
    }
    *handle = hide->mapTo(&desk, hide->rect().center());
    QTest::mouseClick(hide, Qt::LeftButton);
    QTest::qWait(200);
    *pen = penButton->mapTo(&desk, penButton->rect().center());
    return true;
}

void TstLesson::initTestCase()
{
    QVERIFY2(QnSimNetns::onlyOwnInterfaces(), "not in a private namespace");
    if (QStandardPaths::findExecutable("xdotool").isEmpty() || !MediaTestUtil::haveFfmpeg())
        QFAIL("xdotool and ffmpeg are needed (scripts/setup installs them)");
    QVERIFY(QFileInfo(QStringLiteral(QN_PROGRAM)).isExecutable());
    QnResources::init();
    QnFonts::install();
    QString error;
    QVERIFY2(measure(&error), qPrintable(error));

    m_rx = startSimulatorOnLan(m_rxThread, m_lan, &error);
    QVERIFY2(m_rx, qPrintable(error));
    QVERIFY(m_cloud.listen());
    m_cloud.addAccount(kPhone, kPassword);

    // The teacher signed in last time and asked to be remembered: the name and the service address
    // in the settings, the password in the keyring.
    QVERIFY(QDir().mkpath(QFileInfo(settingsPath()).path()));
    QVERIFY(QDir().mkpath(m_dir.filePath("home/.config/autostart")));
    {
        QSettings ini(settingsPath(), QSettings::IniFormat);
        ini.setValue("system/cloudUrl", m_cloud.siteUrl());
        ini.setValue("user/username", kPhone);
        ini.setValue("user/remember", true);
        ini.setValue("user/loginstatus", true);
    }
    std::unique_ptr<QnCredentialStore> store = QnCredentialStore::create(QStringLiteral("qnlynclient"));
    bool written = false;
    QnCredentialStore::Error result = QnCredentialStore::Error::None;
    store->writeSecret(QStringLiteral("quenlo"), kPassword, this, [&](QnCredentialStore::Error e) {
        result = e;
        written = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(written, 10000);
    QCOMPARE(int(result), int(QnCredentialStore::Error::None));

    m_program.setProcessEnvironment(environment());
    m_program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_program.setStandardOutputFile(QProcess::nullDevice());
    m_program.start(QStringLiteral(QN_PROGRAM), QStringList());
    QVERIFY(m_program.waitForStarted());
}

void TstLesson::cleanupTestCase()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.terminate();
        if (!m_program.waitForFinished(10000))
            m_program.kill();
        m_program.waitForFinished();
    }
    stopSimulatorOnLan(m_rxThread, m_rx);
}

void TstLesson::startsAndSignsIn()
{
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("main window shown")), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(!windowRect(kTitle).isEmpty(), 10000);
    // The remembered account signs in at the service with the keyring's password.
    QTRY_VERIFY_WITH_TIMEOUT(m_cloud.requestCount(QnCloudRoute::kLogin) > 0, 20000);
    const QJsonObject body =
        QJsonDocument::fromJson(m_cloud.requests(QnCloudRoute::kLogin).first().body).object();
    QCOMPARE(body.value("username").toString(), kPhone);
    QCOMPARE(body.value("password").toString(), kPassword);
}

void TstLesson::typedCodeConnects()
{
    // The window opens on the receiver list; the teacher chooses to connect by code, clicks the
    // first code box and types the receiver's code.
    QVERIFY(click(onWindow(m_spots.codeLink)));
    QTest::qWait(500);
    QVERIFY(click(onWindow(m_spots.codeEdit)));
    QVERIFY(xdotool({"type", "--delay", "80", kCode}));
    QTRY_VERIFY_WITH_TIMEOUT(onRx([](QnSimReceiver &r) { return r.control()->requestsOfType(1).size(); }) > 0,
                             20000);
    // The function page follows the connection; its carousel settles before anything is clicked.
    QTest::qWait(1500);
}

void TstLesson::mirroringDecodedAtTheReceiver()
{
    const int remote = 41004;
    QnSimReply reply;
    reply.ip = m_lan.rxIp;
    reply.port = remote;
    m_rx->call([reply](QnSimReceiver &r) { r.control()->setReply(4, reply); });
    const QString sdp = m_dir.filePath("mirror.sdp");
    QVERIFY(MediaTestUtil::writeMirroringSdp(sdp, m_lan.rxIp, remote));
    const QString md5 = m_dir.filePath("mirror.md5");
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start("nsenter",
                 inRx("ffmpeg", MediaTestUtil::ffmpegRtpReceiver(sdp) +
                                    QStringList{"-map", "0:v", "-frames:v", "60", "-f", "framemd5", md5}));
    QVERIFY(ffmpeg.waitForStarted());
    QTest::qWait(1000); // lets ffmpeg bind its ports before the stream begins

    // A click while the page or its carousel still settles may go astray: the teacher clicks again.
    auto mirrorAsked = [this] {
        return onRx([](QnSimReceiver &r) { return r.control()->requestsOfType(4).size(); });
    };
    for (int attempt = 0; attempt < 3 && mirrorAsked() == 0; ++attempt) {
        QVERIFY(click(onWindow(m_spots.mirrorCover)));
        for (int waited = 0; waited < 3000 && mirrorAsked() == 0; waited += 100)
            QTest::qWait(100);
    }
    // Whatever is found below, the teacher ends mirroring on its panel before the next step.
    struct StopLater
    {
        TstLesson *test;
        std::function<int()> asked;
        bool armed = true;
        void dismiss() { armed = false; }
        ~StopLater()
        {
            if (armed && asked() > 0)
                test->stopMirroring();
        }
    } stopped{this, mirrorAsked};
    QTRY_VERIFY_WITH_TIMEOUT(mirrorAsked() > 0, 20000);
    // (60 pictures take two seconds: ffmpeg may have ended already)
    const bool finished = ffmpeg.state() == QProcess::NotRunning || ffmpeg.waitForFinished(40000);
    if (!finished) {
        ffmpeg.kill();
        ffmpeg.waitForFinished();
    }
    QVERIFY2(finished, "ffmpeg at the receiver did not decode 60 pictures");
    QFile out(md5);
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QByteArray decoded = out.readAll();
    // The screen goes out whole (HD is the program's default) at 30 pictures a second.
    QVERIFY2(decoded.contains("#dimensions 0: 1920x1080"), decoded.left(300).constData());
    // Pictures follow each other one 30th of a second apart (a busy machine may skip a few).
    qint64 tbNum = 0, tbDen = 0, last = -1;
    QList<qint64> steps;
    for (const QByteArray &line : decoded.split('\n')) {
        if (line.startsWith("#tb 0: ")) {
            const QList<QByteArray> tb = line.mid(7).trimmed().split('/');
            tbNum = tb.value(0).toLongLong();
            tbDen = tb.value(1).toLongLong();
        } else if (!line.isEmpty() && !line.startsWith('#')) {
            const qint64 pts = line.split(',').value(2).trimmed().toLongLong();
            if (last >= 0)
                steps << pts - last;
            last = pts;
        }
    }
    QCOMPARE(steps.size(), 59);
    QVERIFY(tbNum > 0 && tbDen > 0);
    std::sort(steps.begin(), steps.end());
    const double step = double(steps.at(steps.size() / 2)) * tbNum / tbDen;
    QVERIFY2(step > 0.030 && step < 0.037, qPrintable(QString::number(step)));

    // The teacher stops mirroring on the panel: the receiver is told.
    stopped.dismiss();
    stopMirroring();
    QTRY_VERIFY_WITH_TIMEOUT(onRx([](QnSimReceiver &r) { return r.control()->requestsOfType(5).size(); }) > 0,
                             20000);
}

void TstLesson::pictureArrivesWhole()
{
    const QString file = m_dir.filePath("slide.png");
    QImage image(320, 200, QImage::Format_RGB32);
    image.fill(QColor(0x30, 0x90, 0xC0));
    QVERIFY(image.save(file));
    QFile source(file);
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();

    QVERIFY(click(onWindow(m_spots.pictureCover)));
    // The file dialog opens with its name field focused: the teacher types the path.
    QTest::qWait(2000);
    QVERIFY(xdotool({"type", "--delay", "20", file}));
    QVERIFY(xdotool({"key", "Return"}));
    QTRY_VERIFY_WITH_TIMEOUT(onRx([](QnSimReceiver &r) { return r.http()->uploads().size(); }) > 0, 30000);
    const QList<QnSimUpload> uploads = onRx([](QnSimReceiver &r) { return r.http()->uploads(); });
    QCOMPARE(uploads.first().files.size(), 1);
    QCOMPARE(uploads.first().files.first().bytes, bytes);
    QTRY_VERIFY_WITH_TIMEOUT(
        onRx([](QnSimReceiver &r) { return r.control()->requestsOfType(10).size(); }) > 0, 10000);
    QTest::qWait(1500);
}

void TstLesson::desktopShowsTheReceiversScreen()
{
    QnSimReply reply;
    reply.ip = m_lan.rxIp;
    reply.port = 42004;
    reply.width = 640;
    reply.height = 360;
    m_rx->call([reply](QnSimReceiver &r) {
        r.control()->setReply(15, reply);
        r.control()->setReply(6, reply);
    });
    // A click while the carousel still moves may be taken for a drag: the teacher clicks again.
    auto asked = [this] {
        return onRx([](QnSimReceiver &r) { return r.control()->requestsOfType(15).size(); });
    };
    for (int attempt = 0; attempt < 3 && asked() == 0; ++attempt) {
        QVERIFY(click(onWindow(m_spots.desktopCover)));
        for (int waited = 0; waited < 3000 && asked() == 0; waited += 100)
            QTest::qWait(100);
    }
    QTRY_VERIFY_WITH_TIMEOUT(asked() > 0, 20000);
    const int local = onRx([](QnSimReceiver &r) {
        return r.control()->requestsOfType(15).last().data.value("lynPort").toInt();
    });
    QVERIFY(local > 0);
    // The receiver's screen: a plain blue picture with a tone.
    MediaTestUtil::FfmpegRtpSend send;
    send.video = QStringLiteral("color=c=0x2040E0:s=640x360:r=30");
    send.audio = QStringLiteral("sine=frequency=1000:sample_rate=48000");
    send.videoUrl = QStringLiteral("rtp://%1:%2?rtcpport=%3").arg(m_lan.pcIp).arg(local).arg(local + 1);
    send.audioUrl = QStringLiteral("rtp://%1:%2?rtcpport=%3").arg(m_lan.pcIp).arg(local + 2).arg(local + 3);
    send.seconds = 6;
    const QStringList args = MediaTestUtil::ffmpegRtpSend(send);
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start("nsenter", inRx("ffmpeg", args));
    QVERIFY(ffmpeg.waitForStarted());
    QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    auto middleIsBlue = [screen] {
        const QRect window = windowRect(kDesktopTitle);
        if (window.isEmpty())
            return false;
        const QImage shot = screen->grabWindow(0).toImage();
        const QColor c = shot.pixelColor(window.center());
        return c.blue() > 150 && c.blue() > c.red() + 80 && c.blue() > c.green() + 60;
    };
    QTRY_VERIFY_WITH_TIMEOUT(middleIsBlue(), 20000);

    // The teacher opens the tool bar, takes the pen (closing its colour palette) and draws a line
    // over the picture: it reaches the receiver as a whiteboard batch.
    const QRect desk = windowRect(kDesktopTitle);
    QPoint handle, pen;
    QString error;
    QVERIFY2(measureDesktop(desk.size(), &handle, &pen, &error), qPrintable(error));
    QVERIFY(click(desk.topLeft() + handle));
    QTest::qWait(500);
    QVERIFY(click(desk.topLeft() + pen));
    QTest::qWait(500);
    QVERIFY(xdotool({"key", "Escape"}));
    QTest::qWait(500);
    const QPoint from = desk.center() - QPoint(150, 40);
    QVERIFY(xdotool({"mousemove", QString::number(from.x()), QString::number(from.y()), "mousedown", "1"}));
    for (int i = 1; i <= 15; ++i) {
        QTest::qWait(30);
        QVERIFY(xdotool(
            {"mousemove", QString::number(from.x() + i * 20), QString::number(from.y() + (i % 4) * 8)}));
    }
    QVERIFY(xdotool({"mouseup", "1"}));
    auto penBatches = [this] {
        return onRx([](QnSimReceiver &r) {
            int pens = 0;
            for (const QnSimControl::Received &m : r.control()->received()) {
                qnboard::Actions batch;
                if (m.channel == 2 &&
                    QnBoardActions::parseActions(m.raw, batch) == QnBoardActions::ParseResult::Used) {
                    for (const qnboard::OneAction &a : batch.data())
                        pens += int(a.actiontype()) == int(QnBoardWire::Pen);
                }
            }
            return pens;
        });
    };
    QTRY_VERIFY_WITH_TIMEOUT(penBatches() > 0, 15000);
    ffmpeg.waitForFinished(20000);
}

void TstLesson::secondStartShowsTheFirst()
{
    QProcess second;
    second.setProcessEnvironment(environment());
    second.setStandardOutputFile(QProcess::nullDevice());
    second.setStandardErrorFile(QProcess::nullDevice());
    second.start(QStringLiteral(QN_PROGRAM), QStringList());
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("a second start asked to show the window")),
                             10000);
    QCOMPARE(m_program.state(), QProcess::Running);
}

void TstLesson::endsWithTheSession()
{
    // Logging out sends SIGTERM: the program quits through its event loop and ends with 0.
    m_program.terminate();
    QVERIFY(m_program.waitForFinished(30000));
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 0);
    QVERIFY(log().contains(QStringLiteral("pass ended with 0")));
}

/// A session bus with an unlocked Secret Service inside the test's own network namespace (the bus
/// of a wrapper outside it may sit on an abstract socket this namespace cannot reach). Stopped at
/// exit; the keyring daemon leaves with its bus.
struct PrivateKeyring
{
    QTemporaryDir home;
    std::unique_ptr<QProcess> bus;

    bool start()
    {
        bus = std::make_unique<QProcess>();
        bus->start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        if (!bus->waitForStarted() || !bus->waitForReadyRead(10000))
            return false;
        const QByteArray address = bus->readLine().trimmed();
        if (address.isEmpty())
            return false;
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        QProcess keyring;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_DATA_HOME", home.filePath("share"));
        keyring.setProcessEnvironment(env);
        keyring.start(QStringLiteral("gnome-keyring-daemon"), {"--unlock", "--components=secrets"});
        if (!keyring.waitForStarted())
            return false;
        keyring.write("test-pw");
        keyring.closeWriteChannel();
        if (!keyring.waitForFinished(10000) || keyring.exitCode() != 0)
            return false;
        for (const QByteArray &line : keyring.readAllStandardOutput().split('\n')) {
            const int eq = line.indexOf('=');
            if (eq > 0)
                qputenv(line.left(eq).constData(), line.mid(eq + 1));
        }
        return true;
    }
    ~PrivateKeyring()
    {
        if (bus) {
            bus->kill();
            bus->waitForFinished();
        }
    }
};

int main(int argc, char **argv)
{
    return qnNetnsTestMain<TstLesson, QApplication>(argc, argv, [] {
        // A display of the lesson's own: nothing else draws on it or takes its clicks.
        static XvfbServer xvfb;
        if (!xvfb.start(QSize(1920, 1080))) {
            std::fprintf(stderr, "Xvfb did not start\n");
            std::exit(1);
        }
        qputenv("DISPLAY", xvfb.display());
        qputenv("QT_QPA_PLATFORM", "xcb");
        static PrivateKeyring keyring;
        if (!keyring.start()) {
            std::fprintf(stderr, "no private Secret Service could be started\n");
            std::exit(1);
        }
    });
}
#include "tst_lesson.moc"
