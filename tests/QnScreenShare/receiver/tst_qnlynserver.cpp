#include "QnScreenShare/receiver/QnLynServer.h"
#include "tests/fixtures/media/MediaTestUtil.h"
#include "tests/fixtures/support/QnTestSkip.h"

#include <QSignalSpy>
#include <QtTest>

#include <mutex>

class TestQnLynServer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void queuePolicies_data();
    void queuePolicies();
    void pictureLayout_data();
    void pictureLayout();
    void stopWhenIdleDoesNothing();
    void receivesFfmpegStream_data();
    void receivesFfmpegStream();
    void restartCyclesUnderTraffic();
};

void TestQnLynServer::queuePolicies_data()
{
    QTest::addColumn<bool>("dropBacklog");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("pushes");
    QTest::addColumn<QList<int>>("left");

    // Sound: the fifth block finds four waiting and drops them all.
    QTest::newRow("sound, five while busy") << true << 3 << 5 << QList<int>{5};
    QTest::newRow("sound, four while busy") << true << 3 << 4 << QList<int>{1, 2, 3, 4};
    // Video: the oldest frames make room, the newest are kept in order.
    QTest::newRow("video, over the limit") << false << 3 << 5 << QList<int>{3, 4, 5};
    QTest::newRow("video, under the limit") << false << 3 << 2 << QList<int>{1, 2};
}

void TestQnLynServer::queuePolicies()
{
    QFETCH(bool, dropBacklog);
    QFETCH(int, limit);
    QFETCH(int, pushes);
    QFETCH(QList<int>, left);
    FrameQueue<int> queue(size_t(limit), dropBacklog ? FrameQueue<int>::Overflow::DropBacklog
                                                     : FrameQueue<int>::Overflow::DropOldest);
    for (int i = 1; i <= pushes; ++i)
        queue.push(i);
    std::deque<int> taken;
    QVERIFY(queue.takeAll(taken));
    QCOMPARE(QList<int>(taken.begin(), taken.end()), left);
    queue.stop();
    QVERIFY(!queue.takeAll(taken)); // a stopped queue never blocks its consumer
    queue.push(9);
    QCOMPARE(queue.size(), size_t(0));
}

void TestQnLynServer::pictureLayout_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("outWidth");
    QTest::addColumn<int>("outHeight");
    QTest::newRow("1080p") << 1920 << 1080 << 1920 << 1080;
    QTest::newRow("odd size cropped to even") << 7 << 5 << 6 << 4;
}

void TestQnLynServer::pictureLayout()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, outWidth);
    QFETCH(int, outHeight);
    const int cw = (width + 1) / 2, ch = (height + 1) / 2;
    std::vector<uint8_t> y(size_t(width * height), 10), u(size_t(cw * ch), 20), v(size_t(cw * ch), 30);
    QnLynServer server;
    QSignalSpy spy(&server, &QnLynServer::yuvData);
    static_cast<RenderCallback &>(server).onFrame(y.data(), u.data(), v.data(), width, height);
    QCOMPARE(spy.count(), 1);
    const QByteArray data = spy.at(0).at(0).toByteArray();
    QCOMPARE(spy.at(0).at(1).toInt(), outWidth);
    QCOMPARE(spy.at(0).at(2).toInt(), outHeight);
    const int area = outWidth * outHeight;
    QCOMPARE(data.size(), area * 3 / 2);
    QCOMPARE(int(uint8_t(data.at(0))), 10);
    QCOMPARE(int(uint8_t(data.at(area))), 20);         // U at w*h
    QCOMPARE(int(uint8_t(data.at(area * 5 / 4))), 30); // V at w*h*5/4
    QCOMPARE(int(uint8_t(data.at(area * 3 / 2 - 1))), 30);
}

void TestQnLynServer::stopWhenIdleDoesNothing()
{
    QnLynServer server;
    server.stopServer();
    QVERIFY(!server.isRunning());
}

void TestQnLynServer::receivesFfmpegStream_data()
{
    QTest::addColumn<int>("opusFrameMs");
    QTest::newRow("opus 20 ms") << 20;
    QTest::newRow("opus 10 ms") << 10;
}

void TestQnLynServer::receivesFfmpegStream()
{
    QFETCH(int, opusFrameMs);
    if (!MediaTestUtil::haveFfmpeg())
        QN_SKIP_MISSING("ffmpeg is not installed");
    const int base = MediaTestUtil::freePortBlock();
    QVERIFY(base > 0);

    std::mutex mutex;
    QVector<double> lumaMeans;
    QVector<QSize> sizes;
    std::vector<int16_t> pcm;
    int blocks = 0;
    bool blockShapeOk = true;

    QnLynServer server;
    connect(
        &server, &QnLynServer::yuvData, &server,
        [&](const QByteArray &data, int w, int h) {
            double sum = 0;
            for (int i = 0; i < w * h; ++i)
                sum += uint8_t(data.at(i));
            std::lock_guard<std::mutex> lock(mutex);
            lumaMeans << sum / (w * h);
            sizes << QSize(w, h);
        },
        Qt::DirectConnection);
    server.setAudioCallback(
        [&](int, unsigned char *data, unsigned bytes, int channels, int rate, int samples) {
            std::lock_guard<std::mutex> lock(mutex);
            blockShapeOk = blockShapeOk && bytes == 1920 && channels == 2 && rate == 48000 && samples == 480;
            const auto *s = reinterpret_cast<const int16_t *>(data);
            pcm.insert(pcm.end(), s, s + bytes / 2);
            ++blocks;
        });
    QVERIFY(server.startServer(QStringLiteral("127.0.0.1"), base, QStringLiteral("127.0.0.1"), base + 100));
    QVERIFY(server.audioId() > 0);

    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start(QStringLiteral("ffmpeg"), MediaTestUtil::ffmpegSender(base, 328, 240, 2.0, opusFrameMs));
    QVERIFY(ffmpeg.waitForStarted());
    QVERIFY(ffmpeg.waitForFinished(60000));
    QCOMPARE(ffmpeg.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                 std::lock_guard<std::mutex> lock(mutex);
                                 return lumaMeans.size() >= 55 && blocks >= 150;
                             }()),
                             10000);
    server.stopServer();

    std::lock_guard<std::mutex> lock(mutex);
    for (const QSize &s : sizes)
        QCOMPARE(s, QSize(328, 240)); // a width libavcodec pads
    // Pictures come in order: the sender's luma only grows.
    for (int i = 1; i < lumaMeans.size(); ++i)
        QVERIFY2(lumaMeans[i] + 2.0 >= lumaMeans[i - 1],
                 qPrintable(QStringLiteral("picture %1 out of order: %2 after %3")
                                .arg(i)
                                .arg(lumaMeans[i])
                                .arg(lumaMeans[i - 1])));
    QVERIFY(blockShapeOk);
    // Skip the codec's start-up: the tone must be there at 1 kHz.
    std::vector<int16_t> steady(pcm.begin() + std::min<size_t>(pcm.size(), 9600), pcm.end());
    QVERIFY2(std::abs(MediaTestUtil::toneFrequency(steady) - 1000.0) < 30.0,
             qPrintable(QString::number(MediaTestUtil::toneFrequency(steady))));
}

void TestQnLynServer::restartCyclesUnderTraffic()
{
    if (!MediaTestUtil::haveFfmpeg())
        QN_SKIP_MISSING("ffmpeg is not installed");
    const int base = MediaTestUtil::freePortBlock();
    QVERIFY(base > 0);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), MediaTestUtil::ffmpegSender(base, 160, 120, 8.0));
    QVERIFY(ffmpeg.waitForStarted());
    std::atomic<int> pictures{0};
    for (int cycle = 0; cycle < 60; ++cycle) {
        QnLynServer server;
        connect(
            &server, &QnLynServer::yuvData, &server, [&](const QByteArray &, int, int) { ++pictures; },
            Qt::DirectConnection);
        server.setAudioCallback([](int, unsigned char *, unsigned, int, int, int) {});
        QVERIFY(
            server.startServer(QStringLiteral("127.0.0.1"), base, QStringLiteral("127.0.0.1"), base + 100));
        QTest::qWait(cycle % 3 == 0 ? 50 : 5);
        if (cycle % 2)
            server.stopServer(); // otherwise the destructor stops it
    }
    // After all that churn a pipeline on the same ports still decodes the stream.
    pictures = 0;
    {
        QnLynServer server;
        connect(
            &server, &QnLynServer::yuvData, &server, [&](const QByteArray &, int, int) { ++pictures; },
            Qt::DirectConnection);
        QVERIFY(
            server.startServer(QStringLiteral("127.0.0.1"), base, QStringLiteral("127.0.0.1"), base + 100));
        QTRY_VERIFY_WITH_TIMEOUT(pictures.load() > 0, 5000);
    }
    ffmpeg.kill();
    ffmpeg.waitForFinished();
}

QTEST_GUILESS_MAIN(TestQnLynServer)
#include "tst_qnlynserver.moc"
