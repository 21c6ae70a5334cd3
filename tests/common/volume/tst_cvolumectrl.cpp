#include "common/volume/CVolumeCtrl.h"
#include "platform/volume/QnVolumeWatcher.h"

#include "tests/fixtures/pulse/PrivatePulse.h"

#include <QMutex>
#include <QProcess>
#include <QtTest>

namespace {
struct Sink
{
    QMutex mutex;
    QList<QPair<int, void *>> calls;
    static void callback(int muted, void *context)
    {
        auto *self = static_cast<Sink *>(context);
        QMutexLocker lock(&self->mutex);
        self->calls << qMakePair(muted, context);
    }
    int count()
    {
        QMutexLocker lock(&mutex);
        return calls.size();
    }
};
} // namespace

// The plain-callback adaptor the client object uses: (muted as 1/0, its context).
class TestCVolumeCtrl : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void callbackWithContext();
    void notReadyWithoutServer();
};

void TestCVolumeCtrl::callbackWithContext()
{
    PrivatePulse pulse;
    QVERIFY(pulse.start());
    const auto pactl = [&pulse](const QStringList &args) { return pulse.pactl(args) == 0; };
    Sink sink;
    QnVolumeWatcherOptions options;
    options.server = QString::fromStdString(pulse.server());
    CVolumeCtrl ctrl(&Sink::callback, &sink, options);
    QVERIFY(ctrl.isReady());
    QVERIFY(ctrl.setNotify(true));
    QVERIFY(pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"}));
    QTRY_COMPARE(sink.count(), 1);
    QVERIFY(pactl({"set-sink-mute", "@DEFAULT_SINK@", "0"}));
    QTRY_COMPARE(sink.count(), 2);
    QMutexLocker lock(&sink.mutex);
    QCOMPARE(sink.calls[0], qMakePair(1, static_cast<void *>(&sink)));
    QCOMPARE(sink.calls[1], qMakePair(0, static_cast<void *>(&sink)));
}

void TestCVolumeCtrl::notReadyWithoutServer()
{
    Sink sink;
    QnVolumeWatcherOptions options;
    options.server = QStringLiteral("unix:/nonexistent/qn-no-pulse/native");
    CVolumeCtrl ctrl(&Sink::callback, &sink, options);
    QVERIFY(!ctrl.isReady());
    QVERIFY(!ctrl.setNotify(true));
    CVolumeCtrl nullCallback(nullptr, nullptr, options); // a null callback is allowed
    QVERIFY(!nullCallback.setNotify(true));
}

QTEST_GUILESS_MAIN(TestCVolumeCtrl)
#include "tst_cvolumectrl.moc"
