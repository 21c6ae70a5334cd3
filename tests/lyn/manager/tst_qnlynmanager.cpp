#include "QnScreenShare/sender/QnLynSender.h"
#include "QnScreenShare/taskpool/ThreadPool.h"
#include "lyn/manager/QnLynManager.h"
#include "tests/fixtures/media/MediaTestUtil.h"
#include "tests/fixtures/support/QnTestSkip.h"

#include <QNetworkDatagram>
#include <QtTest>

#include <atomic>
#include <thread>

// The media owner against real pipelines: pool ordering, replacement, teardown, muting from another
// thread, and mirroring beside desktop sync. Needs Xvfb, the PulseAudio null sink and ffmpeg.
class TestQnLynManager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void stopUnknownIdDoesNothing();
    void startThenStopStopsThatPipeline();
    void secondStartReplacesPipeline();
    void destructorStopsEveryPipeline();
    void muteFromAnotherThreadIsQueued();
    void desktopPicturesCarryUserId();
    void mirroringBesideDesktopSync();
    void startStopCyclesUnderTraffic();
};

void TestQnLynManager::stopUnknownIdDoesNothing()
{
    ThreadPool pool(1);
    QnLynManager manager(nullptr, &pool);
    bool called = false;
    manager.stopServer(QStringLiteral("nobody"), [&](int) { called = true; });
    QVERIFY(manager.serverIds().isEmpty());
    QVERIFY(!called);
}

void TestQnLynManager::startThenStopStopsThatPipeline()
{
    ThreadPool pool(1);
    QnLynManager manager(nullptr, &pool);
    const int base = MediaTestUtil::freePortBlock();
    std::atomic<int> stoppedId{0};
    manager.startServer(QStringLiteral("rx"), QStringLiteral("127.0.0.1"), base + 100, base,
                        QStringLiteral("127.0.0.1"));
    manager.stopServer(QStringLiteral("rx"), [&](int id) { stoppedId = id; });
    QVERIFY(manager.serverIds().isEmpty());
    QVERIFY(stoppedId.load() > 0);
    QVERIFY(MediaTestUtil::portsFree(base));
}

void TestQnLynManager::secondStartReplacesPipeline()
{
    ThreadPool pool(1);
    QnLynManager manager(nullptr, &pool);
    const int a = MediaTestUtil::freePortBlock(), b = MediaTestUtil::freePortBlock();
    manager.startServer(QStringLiteral("rx"), QStringLiteral("127.0.0.1"), a + 100, a,
                        QStringLiteral("127.0.0.1"));
    manager.startServer(QStringLiteral("rx"), QStringLiteral("127.0.0.1"), b + 100, b,
                        QStringLiteral("127.0.0.1"));
    QCOMPARE(manager.serverIds(), QStringList{QStringLiteral("rx")});
    QVERIFY(MediaTestUtil::portsFree(a));  // the replaced pipeline is gone
    QVERIFY(!MediaTestUtil::portsFree(b)); // the new one holds its ports
    int stops = 0;
    manager.stopServer(QStringLiteral("rx"), [&](int) { ++stops; });
    QVERIFY(manager.serverIds().isEmpty());
    QCOMPARE(stops, 1);
    QVERIFY(MediaTestUtil::portsFree(b));
}

void TestQnLynManager::destructorStopsEveryPipeline()
{
    ThreadPool pool(1);
    QList<int> bases;
    {
        QnLynManager manager(nullptr, &pool);
        for (const char *id : {"a", "b", "c"}) {
            const int base = MediaTestUtil::freePortBlock();
            bases << base;
            manager.startServer(QString::fromLatin1(id), QStringLiteral("127.0.0.1"), base + 100, base,
                                QStringLiteral("127.0.0.1"));
        }
    } // must not hang, leak or leave threads behind
    for (int base : bases)
        QVERIFY(MediaTestUtil::portsFree(base));
}

void TestQnLynManager::muteFromAnotherThreadIsQueued()
{
    QnLynManager manager;
    std::thread notifier([&] { manager.setAudioMuted(true); });
    notifier.join();
    QVERIFY(!manager.sender()->isAudioMuted()); // not applied on the notifier's thread
    QTRY_VERIFY(manager.sender()->isAudioMuted());
    QVERIFY(!manager.isCapturing()); // a mute change never starts anything
}

void TestQnLynManager::desktopPicturesCarryUserId()
{
    if (!MediaTestUtil::haveFfmpeg())
        QN_SKIP_MISSING("ffmpeg is not installed");
    QnLynManager manager;
    const int base = MediaTestUtil::freePortBlock();
    std::atomic<int> pictures{0};
    std::atomic<int> pcmBlocks{0};
    std::atomic<bool> wrongId{false};
    connect(
        &manager, &QnLynManager::yuvDataChanged, &manager,
        [&](const QString &userId, const QByteArray &data, int w, int h) {
            wrongId = wrongId || userId != QLatin1String("rx") || data.size() != w * h * 3 / 2;
            ++pictures;
        },
        Qt::DirectConnection);
    manager.setAudioCallback([&](int, unsigned char *, unsigned, int, int, int samples) {
        if (samples == 480)
            ++pcmBlocks;
    });
    manager.startServer(QStringLiteral("rx"), QStringLiteral("127.0.0.1"), base + 100, base,
                        QStringLiteral("127.0.0.1"));
    QCOMPARE(manager.serverIds(), QStringList{QStringLiteral("rx")});
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), MediaTestUtil::ffmpegSender(base, 640, 360, 1.5));
    QVERIFY(ffmpeg.waitForFinished(30000));
    QTRY_VERIFY_WITH_TIMEOUT(pictures.load() >= 30 && pcmBlocks.load() >= 100, 10000);
    QVERIFY(!wrongId);
    manager.stopServer(QStringLiteral("rx"));
    QVERIFY(manager.serverIds().isEmpty());
}

void TestQnLynManager::mirroringBesideDesktopSync()
{
    if (!MediaTestUtil::haveFfmpeg())
        QN_SKIP_MISSING("ffmpeg is not installed");
    QnLynManager manager;
    // The client steps the local base by 4 per run: mirroring on L..L+3, desktop sync on L+4..L+7.
    const int local = MediaTestUtil::freePortBlock(8);
    const int remote = MediaTestUtil::freePortBlock();
    QUdpSocket sink;
    QVERIFY(sink.bind(QHostAddress::LocalHost, quint16(remote)));
    std::atomic<int> pictures{0};
    connect(
        &manager, &QnLynManager::yuvDataChanged, &manager, [&] { ++pictures; }, Qt::DirectConnection);

    QVERIFY(manager.startSender(0, 640, 360, 30, QStringLiteral("127.0.0.1"), remote, local));
    manager.startServer(QStringLiteral("rx"), QStringLiteral("127.0.0.1"), remote + 100, local + 4,
                        QStringLiteral("127.0.0.1"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), MediaTestUtil::ffmpegSender(local + 4, 320, 240, 1.5));
    QVERIFY(ffmpeg.waitForFinished(30000));
    QTRY_VERIFY_WITH_TIMEOUT(pictures.load() >= 20, 10000);
    int sent = 0;
    while (sink.hasPendingDatagrams()) {
        sink.receiveDatagram();
        ++sent;
    }
    QVERIFY(sent > 20);
    manager.stopSender();
    manager.stopServer(QStringLiteral("rx"));
    QVERIFY(manager.serverIds().isEmpty());
}

void TestQnLynManager::startStopCyclesUnderTraffic()
{
    if (!MediaTestUtil::haveFfmpeg())
        QN_SKIP_MISSING("ffmpeg is not installed");
    ThreadPool pool(1);
    QnLynManager manager(nullptr, &pool);
    const int base = MediaTestUtil::freePortBlock(8);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), MediaTestUtil::ffmpegSender(base, 160, 120, 30.0));
    QVERIFY(ffmpeg.waitForStarted());
    for (int cycle = 0; cycle < 500; ++cycle) {
        manager.startServer(QStringLiteral("rx"), QStringLiteral("127.0.0.1"), base + 100, base,
                            QStringLiteral("127.0.0.1"));
        if (cycle % 5 == 0)
            QVERIFY(manager.serverIds().contains(QStringLiteral("rx"))); // lets some traffic in
        manager.stopServer(QStringLiteral("rx"));
    }
    QVERIFY(manager.serverIds().isEmpty());
    QVERIFY(MediaTestUtil::portsFree(base));
    for (int cycle = 0; cycle < 50; ++cycle) {
        QVERIFY(manager.startSender(0, 320, 240, 30, QStringLiteral("127.0.0.1"), base + 104, base + 4));
        if (cycle % 10 == 0)
            QCOMPARE(manager.restartCapture(0, 160, 120, 30), 0);
        manager.stopSender();
    }
    QVERIFY(!manager.isCapturing());
    ffmpeg.kill();
    ffmpeg.waitForFinished();
}

QTEST_MAIN(TestQnLynManager)
#include "tst_qnlynmanager.moc"
