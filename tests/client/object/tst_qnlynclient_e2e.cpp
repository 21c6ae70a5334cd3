// The main road end to end on a veth LAN between two network namespaces: the receiver simulator
// (gateway, control answers, discovery, HTTP) in its own namespace, the client object with the real
// media pipeline in the test's. ffmpeg, started in the receiver's namespace, decodes our mirroring
// stream and sends the desktop-sync stream.
#include "QnScreenShare/sender/QnLynSender.h"
#include "QnScreenShare/taskpool/ThreadPool.h"
#include "QnSignal/client/QnSignalClient.h"
#include "client/object/QnLynClientObject.h"
#include "client/videomodel/QnLynVideoModel.h"
#include "lyn/control/QnLynHttp.h"
#include "lyn/input/QnLynInput.h"
#include "lyn/manager/QnLynManager.h"
#include "platform/xtest/QnFakeInputInjector.h"
#include "tests/fixtures/gateway/QnGatewayServer.h"
#include "tests/fixtures/media/MediaTestUtil.h"
#include "tests/fixtures/netns/QnNetnsTestMain.h"
#include "tests/fixtures/receiver_sim/sim/QnSimOnLan.h"
#include "tests/fixtures/support/QnTestSkip.h"

#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cstring>

namespace {
const QString kRxIp = QStringLiteral("10.99.0.2");
const QString kPcIp = QStringLiteral("10.99.0.1");

} // namespace

class TstQnLynClientE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void discovered();
    void connectByCode();
    void mirroringDecodedByFfmpeg();
    void desktopSyncPictures();
    void reverseInputReachesInjector();
    void uploadAnnounced();
    void gatewayDropComesBack();
    void outputMuteFollowsSink();

private:
    /// A program run in the receiver's namespace.
    QStringList inRx(const QString &program, const QStringList &args) const
    {
        return QStringList{QStringLiteral("--net=/proc/%1/ns/net").arg(m_rxThread.tid()), program} + args;
    }
    QString rxId() const { return QStringLiteral("rx-sim"); }
    QString pcId() const { return m_client->getLynHttp()->getDeviceId(); }

    bool startPrivateSoundServer();

    QnSimNetnsThread m_rxThread;
    QnSimLan m_lan;
    QProcess m_pulse; // a sound server of this test's own: other tests mute and record the shared one
    QnSimReceiver *m_rx = nullptr;
    QTemporaryDir m_dir;
    QnFakeInputInjector *m_injector = nullptr;
    std::unique_ptr<QnLynInput> m_input;
    std::unique_ptr<ThreadPool> m_pool;
    std::unique_ptr<QnLynClientObject> m_client;
    QnLynItemInfo m_item;
};

void TstQnLynClientE2e::initTestCase()
{
    if (!MediaTestUtil::haveFfmpeg())
        QN_SKIP_MISSING("ffmpeg is not installed");
    QVERIFY2(QnSimNetns::onlyOwnInterfaces(), "not in a private namespace");
    QString error;
    m_rx = startSimulatorOnLan(m_rxThread, m_lan, &error);
    QVERIFY2(m_rx, qPrintable(error));

    QVERIFY(startPrivateSoundServer());

    auto fake = std::make_unique<QnFakeInputInjector>();
    m_injector = fake.get();
    m_input = std::make_unique<QnLynInput>(std::move(fake));
    m_pool = std::make_unique<ThreadPool>(1);
    QnLynClientConfig c;
    c.settingsPath = m_dir.filePath(QStringLiteral("setting.ini"));
    c.gateway = QnGatewayConfig::loopback();
    c.input = m_input.get();
    c.pool = m_pool.get();
    // Live adapters (the veth with its default route), network notices, volume watcher and the
    // PulseAudio output: all real.
    m_client = std::make_unique<QnLynClientObject>(nullptr, c);
    QCOMPARE(m_client->getCurrentIp().value(QStringLiteral("ip")).toString(), kPcIp);
}

bool TstQnLynClientE2e::startPrivateSoundServer()
{
    const QString runtime = m_dir.filePath("xdg");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QDir().mkpath(m_dir.filePath("home"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("HOME", m_dir.filePath("home"));
    env.remove("PULSE_SERVER");
    env.remove("DBUS_SESSION_BUS_ADDRESS"); // the shared server holds the bus name already
    env.remove("DISPLAY");
    m_pulse.setProcessEnvironment(env);
    m_pulse.start("pulseaudio",
                  {"-n", "--daemonize=no", "--exit-idle-time=-1",
                   "--log-target=file:" + m_dir.filePath("pa.log"), "-L",
                   "module-native-protocol-unix auth-anonymous=1", "-L",
                   "module-null-sink sink_name=cast_sink rate=48000 channels=2", "-L", "module-always-sink"});
    if (!m_pulse.waitForStarted())
        return false;
    qputenv("PULSE_SERVER", ("unix:" + runtime + "/pulse/native").toUtf8());
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        if (QProcess::execute("pactl", {"info"}) == 0)
            return QProcess::execute("pactl", {"set-default-sink", "cast_sink"}) == 0;
        QTest::qWait(50);
    }
    QFile log(m_dir.filePath("pa.log"));
    if (log.open(QIODevice::ReadOnly))
        qWarning("sound server log: %s", log.readAll().constData());
    return false;
}

void TstQnLynClientE2e::cleanupTestCase()
{
    m_client.reset();
    m_pool.reset();
    m_input.reset();
    stopSimulatorOnLan(m_rxThread, m_rx);
    if (m_pulse.state() != QProcess::NotRunning) {
        m_pulse.terminate();
        if (!m_pulse.waitForFinished(5000)) {
            m_pulse.kill();
            m_pulse.waitForFinished();
        }
    }
}

void TstQnLynClientE2e::discovered()
{
    QnLynSocket *socket = m_client->getLynSocket();
    QTRY_VERIFY_WITH_TIMEOUT(socket->getItems().contains(rxId()), 10000);
    m_item = socket->getItems().value(rxId());
    QCOMPARE(m_item.ip, kRxIp);
    QCOMPARE(m_item.code, QStringLiteral("000060"));
}

void TstQnLynClientE2e::connectByCode()
{
    // "000060" / 3 = 20 -> "000020" -> digits 0, 2, 4 = "002": host .2 of the own /24.
    QSignalSpy info(m_client.get(), &QnLynClientObject::getConnectInfo);
    m_client->connectServer(QStringLiteral("000060"));
    QVERIFY(info.wait(10000));
    const QJsonObject obj = info.first().at(0).toJsonObject();
    QCOMPARE(obj.value("id").toString(), rxId());
    QCOMPARE(obj.value("port").toInt(), m_item.port);
    int lookups = 0;
    m_rx->call([&lookups](QnSimReceiver &r) { lookups = r.http()->server()->requests().size(); });
    QCOMPARE(lookups, 1);
    QCOMPARE(obj.value("roomId").toString(), m_item.roomId);
    // The root window connects with the receiver's record.
    QSignalSpy result(m_client.get(), &QnLynClientObject::startConnectResult);
    m_client->startConnect(m_item.url, obj.value("id").toString(), obj.value("ip").toString(),
                           obj.value("port").toInt(), obj.value("roomId").toString());
    QVERIFY(result.wait(10000));
    QCOMPARE(result.first(), (QVariantList{true, rxId(), QStringLiteral("Room 101")}));
    QCOMPARE(m_client->getUploadUrl(), QStringLiteral("http://10.99.0.2:1989/file"));
}

void TstQnLynClientE2e::mirroringDecodedByFfmpeg()
{
    const int remote = 41004;
    QnSimReply reply;
    reply.ip = kRxIp;
    reply.port = remote;
    m_rx->call([reply](QnSimReceiver &r) { r.control()->setReply(4, reply); });

    const QString sdp = m_dir.filePath("mirror.sdp");
    QVERIFY(MediaTestUtil::writeMirroringSdp(sdp, kRxIp, remote));
    const QString md5 = m_dir.filePath("mirror.md5");
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start("nsenter",
                 inRx("ffmpeg", MediaTestUtil::ffmpegRtpReceiver(sdp) +
                                    QStringList{"-map", "0:v", "-frames:v", "20", "-f", "framemd5", md5}));
    QVERIFY(ffmpeg.waitForStarted());
    QTest::qWait(1000); // lets ffmpeg bind its ports before the stream begins

    const int port = m_client->nextMediaPort();
    QSignalSpy result(m_client.get(), &QnLynClientObject::startLynSenderResult);
    m_client->startLynSender(rxId(), m_item.url, 0, false);
    QVERIFY(result.wait(10000));
    QCOMPARE(result.first(), (QVariantList{true, rxId()}));
    QVERIFY(m_client->isLynSending());
    QList<QnSimControl::Received> asked;
    m_rx->call([&asked](QnSimReceiver &r) { asked = r.control()->requestsOfType(4); });
    QCOMPARE(asked.last().data.value("lynPort").toInt(), port);
    QCOMPARE(asked.last().data.value("ip").toString(), kPcIp);

    const bool finished = ffmpeg.waitForFinished(30000);
    m_client->stopLynSender(rxId(), m_item.url);
    QVERIFY(!m_client->isLynSending());
    QVERIFY(!m_client->getLynManager()->isCapturing());
    if (!finished) {
        ffmpeg.kill();
        ffmpeg.waitForFinished();
    }
    QVERIFY(finished);
    QFile out(md5);
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QByteArray decoded = out.readAll();
    QVERIFY2(decoded.contains("#dimensions 0: 1280x720"), decoded.left(300).constData()); // not hd
    int frames = 0;
    for (const QByteArray &line : decoded.split('\n'))
        if (!line.isEmpty() && !line.startsWith('#'))
            ++frames;
    QCOMPARE(frames, 20);
    QTRY_COMPARE_WITH_TIMEOUT(
        [this] {
            int n = 0;
            m_rx->call([&n](QnSimReceiver &r) { n = r.control()->requestsOfType(5).size(); });
            return n;
        }(),
        1, 5000);
}

void TstQnLynClientE2e::desktopSyncPictures()
{
    QnSimReply reply;
    reply.ip = kRxIp;
    reply.port = 42004;
    reply.width = 640;
    reply.height = 360;
    m_rx->call([reply](QnSimReceiver &r) {
        r.control()->setReply(15, reply);
        r.control()->setReply(6, reply);
    });
    std::atomic<int> pictures{0};
    std::atomic<bool> wrong{false};
    connect(
        m_client.get(), &QnLynClientObject::yuvDataChanged, this,
        [&](const QString &id, const QByteArray &data, int w, int h) {
            wrong = wrong || id != rxId() || data.size() != w * h * 3 / 2;
            ++pictures;
        },
        Qt::DirectConnection);
    QSignalSpy added(m_client.get(), &QnLynClientObject::addDesktop);
    const int local = m_client->nextMediaPort();
    m_client->startDesktop(rxId(), m_item.url);
    QVERIFY(added.wait(10000));
    QCOMPARE(added.first(), (QVariantList{rxId(), QStringLiteral("Room 101"), m_item.url, 640, 360}));
    QVERIFY(m_client->isDesktopSending());
    QCOMPARE(m_client->getVideoModel()->rowCount(), 1);
    QVERIFY(m_client->getLynManager()->serverIds().contains(rxId()));

    // The received sound is played on the default output: record its monitor meanwhile.
    QCOMPARE(QProcess::execute("pactl", {"set-sink-volume", "cast_sink", "100%"}), 0);
    QCOMPARE(QProcess::execute("pactl", {"set-sink-mute", "cast_sink", "0"}), 0);
    const QString recording = m_dir.filePath("played.raw");
    QProcess recorder; // into a file: a full pipe would stall the recorder while the test waits
    recorder.setStandardOutputFile(recording);
    recorder.start("parec", {"-d", "cast_sink.monitor", "--raw", "--format=s16le", "--rate=48000",
                             "--channels=2", "--latency-msec=20"});
    QVERIFY(recorder.waitForStarted());
    QStringList args = MediaTestUtil::ffmpegSender(local, 640, 360, 2.0);
    args.replaceInStrings(QStringLiteral("rtp://127.0.0.1:"), QStringLiteral("rtp://%1:").arg(kPcIp));
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start("nsenter", inRx("ffmpeg", args));
    QVERIFY(ffmpeg.waitForFinished(30000));
    QTRY_VERIFY_WITH_TIMEOUT(pictures.load() >= 20, 10000);
    QVERIFY(!wrong);
    // Keep the loud part of what was played: the tone sent by ffmpeg is 1 kHz.
    std::vector<int16_t> loud;
    int peak = 0;
    auto readLoud = [&] {
        QFile f(recording);
        if (!f.open(QIODevice::ReadOnly))
            return size_t(0);
        const QByteArray pcm = f.readAll();
        std::vector<int16_t> samples(size_t(pcm.size()) / 2);
        std::memcpy(samples.data(), pcm.constData(), samples.size() * 2);
        loud.clear();
        for (size_t i = 0; i + 1 < samples.size(); i += 2) {
            peak = std::max(peak, std::abs(int(samples[i])));
            if (std::abs(samples[i]) > 200 || !loud.empty())
                loud.insert(loud.end(), {samples[i], samples[i + 1]});
        }
        return loud.size();
    };
    QTRY_VERIFY_WITH_TIMEOUT(readLoud() > 48000, 10000);
    recorder.terminate();
    QVERIFY(recorder.waitForFinished(5000));
    loud.resize(48000); // half a second from the start of the sound
    const double tone = MediaTestUtil::toneFrequency(loud);
    QVERIFY2(std::abs(tone - 1000.0) < 50.0, qPrintable(QString::number(tone)));

    QSignalSpy removed(m_client.get(), &QnLynClientObject::removeDesktop);
    m_client->stopDesktop(rxId(), m_item.url);
    QCOMPARE(removed.count(), 1);
    QVERIFY(!m_client->isDesktopSending());
    QVERIFY(m_client->getLynManager()->serverIds().isEmpty());
    disconnect(m_client.get(), &QnLynClientObject::yuvDataChanged, this, nullptr);
}

void TstQnLynClientE2e::reverseInputReachesInjector()
{
    m_input->setScreenWidth(1000);
    m_input->setScreenHeight(500);
    m_injector->takeLog();
    const QByteArray move =
        QJsonDocument(
            QJsonObject{{"type", 2},
                        {"data", QJsonObject{{"x", 100}, {"y", 50}, {"width", 1000}, {"height", 500}}},
                        {"id", "pc"}})
            .toJson(QJsonDocument::Compact);
    const QString pc = pcId();
    m_rx->call([pc, move](QnSimReceiver &r) { r.control()->sendRaw(pc, 1, move); });
    QTRY_COMPARE_WITH_TIMEOUT(m_injector->log(), QStringList{"move 100,50"}, 5000);
}

void TstQnLynClientE2e::uploadAnnounced()
{
    const QString file = m_dir.filePath("board.png");
    QImage image(32, 16, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QVERIFY(image.save(file));
    QSignalSpy result(m_client.get(), &QnLynClientObject::uploadPixmapResult);
    m_client->uploadPixmaps(m_item.url, rxId(), m_client->getUploadUrl(), {file}, QStringLiteral("teacher"));
    QVERIFY(result.wait(15000));
    QCOMPARE(result.first(), (QVariantList{true, rxId()}));
    int uploads = 0, announcements = 0;
    m_rx->call([&](QnSimReceiver &r) {
        uploads = r.http()->uploads().size();
        announcements = r.control()->requestsOfType(10).size();
    });
    QCOMPARE(uploads, 1);
    QCOMPARE(announcements, 1);
}

void TstQnLynClientE2e::gatewayDropComesBack()
{
    QSignalSpy changed(m_client.get(), &QnLynClientObject::serverConnectChanged);
    const QString pc = pcId();
    bool dropped = false;
    m_rx->call([&](QnSimReceiver &r) { dropped = r.control()->server()->dropClient(pc); });
    QVERIFY(dropped);
    QTRY_VERIFY_WITH_TIMEOUT(!changed.isEmpty() && changed.last().at(0).toBool(), 15000);
    QCOMPARE(m_input->connectedReceiver(), rxId());
}

void TstQnLynClientE2e::outputMuteFollowsSink()
{
    QnLynSender *sender = m_client->getLynManager()->sender();
    QVERIFY(!sender->isAudioMuted());
    // A volume change alone reports nothing and starts nothing.
    QCOMPARE(QProcess::execute("pactl", {"set-sink-volume", "cast_sink", "40%"}), 0);
    QCOMPARE(QProcess::execute("pactl", {"set-sink-mute", "cast_sink", "1"}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(sender->isAudioMuted(), 5000);
    QVERIFY(!m_client->getLynManager()->isCapturing());
    QCOMPARE(QProcess::execute("pactl", {"set-sink-mute", "cast_sink", "0"}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!sender->isAudioMuted(), 5000);
    QVERIFY(!m_client->getLynManager()->isCapturing());
    QCOMPARE(QProcess::execute("pactl", {"set-sink-volume", "cast_sink", "100%"}), 0);
}

int main(int argc, char **argv)
{
    return qnNetnsTestMain<TstQnLynClientE2e, QGuiApplication>(argc, argv);
}

#include "tst_qnlynclient_e2e.moc"
