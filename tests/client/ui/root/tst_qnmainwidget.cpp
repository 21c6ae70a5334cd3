// The root window with the real client object against the receiver simulator on a private LAN
// (two network namespaces joined by a veth pair): the code typed on the home page connects, the
// function page and its toast follow; mirroring starts and stops; desktop sync shows the window
// with its connecting overlay until the first picture; pictures chosen in the (injected) file
// dialog reach the simulator and are announced; the 9-file cap; the receiver leaving; the PC's
// network going away during mirroring and coming back.
#include "QnScreenShare/taskpool/ThreadPool.h"
#include "client/object/QnLynClientObject.h"
#include "client/ui/QnFloatTip.h"
#include "client/ui/QnFonts.h"
#include "client/ui/QnLynConnectWaittingWidget.h"
#include "client/ui/QnLynPromptDialog.h"
#include "client/ui/desktop/QnLynDesktop.h"
#include "client/ui/root/QnMainWidget.h"
#include "client/ui/sender/QnHomeWidget.h"
#include "client/ui/sender/QnLynAutoConnectWidget.h"
#include "client/ui/sender/QnLynConnectWidget.h"
#include "client/ui/sender/QnLynFunctionHomeWidget.h"
#include "client/ui/sender/QnLynMirrorSwitchingResolutionWidget.h"
#include "client/ui/sender/UpdateContextDlg.h"
#include "lyn/control/QnLynHttp.h"
#include "lyn/discovery/QnLynSocket.h"
#include "lyn/input/QnLynInput.h"
#include "platform/xtest/QnFakeInputInjector.h"
#include "resources/QnResources.h"
#include "tests/fixtures/media/MediaTestUtil.h"
#include "tests/fixtures/netns/QnNetnsTestMain.h"
#include "tests/fixtures/receiver_sim/sim/QnSimOnLan.h"
#include "tests/fixtures/support/QnTestSkip.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kCode = QStringLiteral("000060"); // the simulator at .2 of the PC's /24
const QString kRxId = QStringLiteral("rx-sim");

/// Texts of the toasts on screen now.
QStringList toasts()
{
    QStringList texts;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *tip = qobject_cast<QnFloatTip *>(w)) {
            if (tip->isVisible())
                if (auto *label = tip->findChild<QLabel *>())
                    texts << label->text();
        }
    }
    return texts;
}

/// Closes the next modal prompt after it opened, remembering its text.
void answerNextPrompt(QString *seen)
{
    QTimer::singleShot(300, [seen] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            const QList<QLabel *> labels = modal->findChildren<QLabel *>();
            for (QLabel *label : labels)
                *seen += label->text();
            modal->close();
        }
    });
}
} // namespace

class TstQnMainWidget : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void typedCodeConnects();
    void mirroringStartsAndStops();
    void desktopSyncShowsPictures();
    void picturesSentAndAnnounced();
    void moreThanNinePicturesRefused();
    void receiverLeavingIsReported();
    void networkLossAndReturn();

private:
    void typeCode();

    QnSimNetnsThread m_rxThread;
    QnSimLan m_lan;
    QnSimReceiver *m_rx = nullptr;
    QTemporaryDir m_dir;
    std::unique_ptr<QnLynInput> m_input;
    std::unique_ptr<ThreadPool> m_pool;
    std::unique_ptr<QnLynClientObject> m_client;
    std::unique_ptr<QnMainWidget> m_root;
    QStringList m_chosen; // what the injected file dialog answers
};

void TstQnMainWidget::initTestCase()
{
    QVERIFY2(QnSimNetns::onlyOwnInterfaces(), "not in a private namespace");
    QnResources::init();
    QnFonts::install();
    QString error;
    m_rx = startSimulatorOnLan(m_rxThread, m_lan, &error);
    QVERIFY2(m_rx, qPrintable(error));

    m_input = std::make_unique<QnLynInput>(std::make_unique<QnFakeInputInjector>());
    m_pool = std::make_unique<ThreadPool>(1);
    QnLynClientConfig c;
    c.settingsPath = m_dir.filePath(QStringLiteral("setting.ini"));
    c.gateway = QnGatewayConfig::loopback();
    c.input = m_input.get();
    c.pool = m_pool.get();
    c.volumeWatcher = false;
    c.audioOutput = false;
    m_client = std::make_unique<QnLynClientObject>(nullptr, c);
    QTRY_VERIFY_WITH_TIMEOUT(m_client->getLynSocket()->getItems().contains(kRxId), 10000);

    m_root = std::make_unique<QnMainWidget>();
    m_root->setAutostartHome(m_dir.filePath(QStringLiteral("config")));
    m_root->setFileDialog([this](const QString &, const QString &, const QString &) { return m_chosen; });
    m_root->setLynObject(m_client.get());
    m_root->showWithLoginStatus(false);
    QVERIFY(QTest::qWaitForWindowExposed(m_root->connectWidget()));
}

void TstQnMainWidget::cleanupTestCase()
{
    m_root.reset();
    m_client.reset();
    m_pool.reset();
    m_input.reset();
    stopSimulatorOnLan(m_rxThread, m_rx);
}

void TstQnMainWidget::typeCode()
{
    QnLynConnectWidget *w = m_root->connectWidget();
    QnHomeWidget *home = w->homeWidget();
    w->stack()->setCurrentWidget(home);
    for (int i = 0; i < kCode.size(); ++i) {
        auto *edit = home->findChild<QLineEdit *>(QStringLiteral("codeEdit%1").arg(i));
        QVERIFY(edit);
        edit->setFocus();
        QTest::keyClicks(edit, kCode.mid(i, 1));
    }
}

void TstQnMainWidget::typedCodeConnects()
{
    QnLynConnectWidget *w = m_root->connectWidget();
    QSignalSpy result(m_client.get(), &QnLynClientObject::startConnectResult);
    // The user types the six digits into the home page's code boxes.
    typeCode();
    QVERIFY(result.wait(15000));
    QCOMPARE(result.first().at(0).toBool(), true);
    QCOMPARE(m_root->chosenReceiverId(), kRxId);
    QTRY_COMPARE(w->stack()->currentWidget(), static_cast<QWidget *>(w->functionWidget()));
    QTRY_VERIFY(toasts().contains(QStringLiteral("connect successfully")));
}

void TstQnMainWidget::mirroringStartsAndStops()
{
    QnLynConnectWidget *w = m_root->connectWidget();
    QSignalSpy started(m_client.get(), &QnLynClientObject::startLynSenderResult);
    emit w->clickedMirror(kCode);
    QVERIFY(started.wait(15000));
    QCOMPARE(started.first().at(0).toBool(), true);
    QVERIFY(m_client->isLynSending());
    QTRY_COMPARE(w->stack()->currentWidget(), static_cast<QWidget *>(w->mirrorWidget()));
    int mirrorRequests = 0;
    m_rx->call([&](QnSimReceiver &r) { mirrorRequests = r.control()->requestsOfType(4).size(); });
    QCOMPARE(mirrorRequests, 1);
    emit w->stopMirrorConnect();
    QTRY_VERIFY(!m_client->isLynSending());
    w->showNormal();
}

void TstQnMainWidget::desktopSyncShowsPictures()
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
    QSignalSpy added(m_client.get(), &QnLynClientObject::addDesktop);
    const int local = m_client->nextMediaPort();
    emit m_root->connectWidget()->clickedDesktop(kCode);
    QVERIFY(added.wait(10000));
    QnLynDesktop *desk = m_root->desktopWindow();
    QTRY_VERIFY(desk->isVisible());
    QVERIFY(m_root->desktopOverlay()->isVisible()); // connecting, until the first picture
    if (!MediaTestUtil::haveFfmpeg())
        QN_SKIP_MISSING("ffmpeg is not installed");
    QStringList args = MediaTestUtil::ffmpegSender(local, 640, 360, 3.0);
    args.replaceInStrings(QStringLiteral("rtp://127.0.0.1:"), QStringLiteral("rtp://%1:").arg(m_lan.pcIp));
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start("nsenter", QStringList{QStringLiteral("--net=/proc/%1/ns/net").arg(m_rxThread.tid()),
                                        QStringLiteral("ffmpeg")} +
                                args);
    QVERIFY(ffmpeg.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!m_root->desktopOverlay()->isVisible(), 15000);
    ffmpeg.waitForFinished(20000);
    // Closing the window ends desktop sync with the receiver.
    desk->close();
    QTRY_VERIFY(!m_client->isDesktopSending());
}

void TstQnMainWidget::picturesSentAndAnnounced()
{
    const QStringList files{m_dir.filePath("one.png"), m_dir.filePath("two.png")};
    for (const QString &file : files) {
        QImage image(32, 16, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(image.save(file));
    }
    m_chosen = files;
    emit m_root->connectWidget()->clickedPicture();
    QTRY_VERIFY_WITH_TIMEOUT(toasts().contains(QStringLiteral("picture upload successfully")), 20000);
    // Each file's result may come before the receiver has read its announcement.
    auto counts = [this] {
        QPair<int, int> c;
        m_rx->call([&c](QnSimReceiver &r) {
            c.first = r.http()->uploads().size();
            c.second = r.control()->requestsOfType(10).size();
        });
        return c;
    };
    QTRY_COMPARE_WITH_TIMEOUT(counts(), qMakePair(2, 2), 10000);
}

void TstQnMainWidget::moreThanNinePicturesRefused()
{
    int before = 0;
    m_rx->call([&](QnSimReceiver &r) { before = r.http()->uploads().size(); });
    m_chosen.clear();
    for (int i = 0; i < 10; ++i)
        m_chosen << m_dir.filePath(QStringLiteral("one.png"));
    QString prompt;
    answerNextPrompt(&prompt);
    emit m_root->connectWidget()->clickedPicture();
    QVERIFY2(prompt.contains(QStringLiteral("No more than 9 pictures can be uploaded")), qPrintable(prompt));
    QTest::qWait(500);
    int after = 0;
    m_rx->call([&](QnSimReceiver &r) { after = r.http()->uploads().size(); });
    QCOMPARE(after, before);
}

void TstQnMainWidget::receiverLeavingIsReported()
{
    // The receiver says this PC is disconnected: the user is told the connection broke.
    QSignalSpy changed(m_client.get(), &QnLynClientObject::userConnectedChanged);
    const QString pcId = m_client->getLynHttp()->getDeviceId();
    m_rx->call([pcId](QnSimReceiver &r) { r.control()->sendRequest(pcId, 2); });
    QTRY_VERIFY_WITH_TIMEOUT(!changed.isEmpty(), 10000);
    QCOMPARE(changed.first().at(2).toBool(), false);
    QTRY_VERIFY(toasts().contains(QStringLiteral("The connection is broken")));
}

void TstQnMainWidget::networkLossAndReturn()
{
    QnLynConnectWidget *w = m_root->connectWidget();
    QWidget *noNetwork = w->autoConnectWidget()->noNetworkWidget();
    QSignalSpy connected(m_client.get(), &QnLynClientObject::startConnectResult);
    typeCode();
    QVERIFY(connected.wait(15000));
    QVERIFY(connected.first().at(0).toBool());
    QSignalSpy started(m_client.get(), &QnLynClientObject::startLynSenderResult);
    emit w->clickedMirror(kCode);
    QVERIFY(started.wait(15000));
    QVERIFY(m_client->isLynSending());
    QVERIFY(noNetwork->isHidden());

    // The PC's only network goes away while mirroring: mirroring ends, the user is told why and
    // the home page says there is no network.
    QVERIFY(QnSimNetns::run("ip", {"link", "set", m_lan.pcIf, "down"}));
    QTRY_VERIFY_WITH_TIMEOUT(!m_client->isLynSending(), 10000);
    QTRY_VERIFY(toasts().contains(QStringLiteral("The connection is broken,lyn screen disconnected ")));
    QTRY_VERIFY(!noNetwork->isHidden());

    // It comes back: the no-network notice goes and the code connects again.
    QVERIFY(QnSimNetns::run("ip", {"link", "set", m_lan.pcIf, "up"}));
    QnSimNetns::run("ip", {"route", "replace", "default", "via", m_lan.rxIp, "dev", m_lan.pcIf});
    QTRY_VERIFY_WITH_TIMEOUT(noNetwork->isHidden(), 10000);
    connected.clear();
    typeCode();
    QVERIFY(connected.wait(15000));
    QVERIFY(connected.first().at(0).toBool());
}

int main(int argc, char **argv)
{
    return qnNetnsTestMain<TstQnMainWidget, QApplication>(argc, argv);
}
#include "tst_qnmainwidget.moc"
