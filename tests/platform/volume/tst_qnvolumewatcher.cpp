#include "platform/volume/QnVolumeWatcher.h"

#include "tests/fixtures/pulse/PrivatePulse.h"

#include <QMutex>
#include <QProcess>
#include <QtTest>

#include <atomic>
#include <pthread.h>

// Against a PulseAudio daemon of the test's own (null sink "cast_sink", the default).
class TestQnVolumeWatcher : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void muteUnmuteAndVolume();
    void forwardingSwitch();
    void noServerNotReady();
    void destroyWhileEventsArrive();
    void followsTheDefaultOutput();

private:
    bool pactl(const QStringList &args) { return m_pulse.pactl(args) == 0; }
    std::unique_ptr<QnVolumeWatcher> makeWatcher(QnVolumeWatcher::MuteChanged cb)
    {
        QnVolumeWatcherOptions options;
        options.server = QString::fromStdString(m_pulse.server());
        return qnCreateVolumeWatcher(std::move(cb), options);
    }
    PrivatePulse m_pulse;
};

namespace {
/// Collects the callbacks (they come on the watcher's thread).
struct Calls
{
    QMutex mutex;
    QList<bool> values;
    QStringList threads;
    QnVolumeWatcher::MuteChanged callback()
    {
        return [this](bool muted) {
            char name[32] = {};
            pthread_getname_np(pthread_self(), name, sizeof name);
            QMutexLocker lock(&mutex);
            values << muted;
            threads << QString::fromLatin1(name);
        };
    }
    QList<bool> snapshot()
    {
        QMutexLocker lock(&mutex);
        return values;
    }
    QString text()
    {
        QMutexLocker lock(&mutex);
        QStringList out;
        for (bool v : qAsConst(values))
            out << (v ? "1" : "0");
        return out.join(',');
    }
};
} // namespace

void TestQnVolumeWatcher::initTestCase()
{
    QVERIFY(m_pulse.start());
}

void TestQnVolumeWatcher::init()
{
    QVERIFY(pactl({"set-sink-mute", "@DEFAULT_SINK@", "0"}));
    QVERIFY(pactl({"set-sink-volume", "@DEFAULT_SINK@", "100%"}));
}

void TestQnVolumeWatcher::muteUnmuteAndVolume()
{
    Calls calls;
    auto watcher = makeWatcher(calls.callback());
    QVERIFY(watcher->isReady());
    QVERIFY(!watcher->isMuted());
    QVERIFY(watcher->setNotify(true));

    QVERIFY(pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"}));
    QTRY_COMPARE(calls.snapshot(), QList<bool>{true});
    QVERIFY(watcher->isMuted());
    // Volume changes alone forward nothing: the next call is the unmute.
    QVERIFY(pactl({"set-sink-volume", "@DEFAULT_SINK@", "40%"}));
    QVERIFY(pactl({"set-sink-volume", "@DEFAULT_SINK@", "+10%"}));
    QVERIFY(pactl({"set-sink-mute", "@DEFAULT_SINK@", "0"}));
    QTRY_COMPARE(calls.snapshot(), (QList<bool>{true, false}));
    QVERIFY(pactl({"set-sink-volume", "@DEFAULT_SINK@", "70%"}));
    QVERIFY(pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"}));
    QTRY_COMPARE(calls.snapshot(), (QList<bool>{true, false, true}));
    QMutexLocker lock(&calls.mutex);
    for (const QString &t : qAsConst(calls.threads))
        QCOMPARE(t, QString("qn-volume"));
}

void TestQnVolumeWatcher::forwardingSwitch()
{
    Calls calls;
    auto watcher = makeWatcher(calls.callback());
    QVERIFY(watcher->isReady());
    // Not switched on: the state is followed but nothing is forwarded.
    QVERIFY(pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"}));
    QTRY_VERIFY(watcher->isMuted());
    QVERIFY(watcher->setNotify(true));
    QVERIFY(pactl({"set-sink-mute", "@DEFAULT_SINK@", "0"}));
    QTRY_COMPARE(calls.snapshot(), QList<bool>{false});
    QVERIFY(watcher->setNotify(false));
    QVERIFY(pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"}));
    QTRY_VERIFY(watcher->isMuted());
    QCOMPARE(calls.snapshot(), QList<bool>{false});
}

void TestQnVolumeWatcher::noServerNotReady()
{
    Calls calls;
    QnVolumeWatcherOptions options;
    options.server = QStringLiteral("unix:/nonexistent/qn-no-pulse/native");
    auto absent = qnCreateVolumeWatcher(calls.callback(), options);
    QVERIFY(!absent->isReady());
    QVERIFY(!absent->setNotify(true));
    QVERIFY(!absent->isMuted());
    // A ready watcher sees the change; the one without a server never calls.
    Calls seen;
    auto present = makeWatcher(seen.callback());
    QVERIFY(present->setNotify(true));
    QVERIFY(pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"}));
    QTRY_COMPARE(seen.snapshot(), QList<bool>{true});
    QVERIFY(calls.snapshot().isEmpty());
}

void TestQnVolumeWatcher::destroyWhileEventsArrive()
{
    QProcess storm;
    const QString p = m_pulse.pactlCommand();
    storm.start("sh", {"-c", QStringLiteral("while :; do %1 set-sink-mute @DEFAULT_SINK@ toggle; "
                                            "%1 set-sink-volume @DEFAULT_SINK@ +1%; done")
                                 .arg(p)});
    QVERIFY(storm.waitForStarted());
    std::atomic<int> total{0};
    for (int i = 0; i < 25; ++i) {
        auto watcher = makeWatcher([&total](bool) { ++total; });
        QVERIFY(watcher->isReady());
        QVERIFY(watcher->setNotify(true));
        QTest::qWait(i % 5 * 10);
        watcher.reset(); // stops its thread while notifications are in flight
    }
    storm.kill();
    storm.waitForFinished();
    const int after = total.load();
    QVERIFY(pactl({"set-sink-mute", "@DEFAULT_SINK@", "toggle"}));
    QTest::qWait(100);
    QCOMPARE(total.load(), after); // nothing calls after destruction
}

void TestQnVolumeWatcher::followsTheDefaultOutput()
{
    Calls calls;
    auto w = makeWatcher(calls.callback());
    QVERIFY(w->setNotify(true));
    QVERIFY(pactl({"load-module", "module-null-sink", "sink_name=cast_sink2"}));
    QVERIFY(pactl({"set-sink-mute", "cast_sink2", "1"}));
    QVERIFY(pactl({"set-default-sink", "cast_sink2"})); // the new default output is muted
    QTRY_COMPARE(calls.snapshot(), QList<bool>{true});
    QVERIFY(pactl({"set-sink-mute", "cast_sink", "1"})); // the old one no longer counts
    QVERIFY(pactl({"set-sink-mute", "cast_sink2", "0"}));
    QTRY_COMPARE(calls.snapshot(), (QList<bool>{true, false}));
    QVERIFY(pactl({"set-default-sink", "cast_sink"}));
    QTRY_COMPARE(calls.snapshot(), (QList<bool>{true, false, true}));
}

QTEST_GUILESS_MAIN(TestQnVolumeWatcher)
#include "tst_qnvolumewatcher.moc"
