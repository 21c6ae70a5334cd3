// Session lock events and the sleep inhibitor: with no bus at all nothing is reported or held;
// against a stand-in logind on a private dbus-daemon the signals and the inhibitor arrive.
#include "platform/system/QnKeepAwake.h"
#include "platform/system/QnSessionEvents.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <unistd.h>

namespace {
const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kSessionPath = QStringLiteral("/org/freedesktop/login1/session/_3");
} // namespace

/// The part of logind's manager the keep-awake backend calls.
class FakeLogindManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    QStringList lastCall;

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why,
                                    const QString &mode)
    {
        lastCall = QStringList{what, who, why, mode};
        int fds[2];
        if (::pipe(fds) != 0)
            return QDBusUnixFileDescriptor();
        QDBusUnixFileDescriptor fd(fds[0]); // duplicates
        ::close(fds[0]);
        ::close(fds[1]);
        return fd;
    }
};

class TstPlatformSession : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_daemonPath = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (m_daemonPath.isEmpty())
            return;
        m_daemon.setProgram(m_daemonPath);
        m_daemon.setArguments(
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
             QStringLiteral("--print-address=1"),
             QStringLiteral("--address=unix:path=") + m_dir.filePath(QStringLiteral("bus"))});
        m_daemon.start();
        QVERIFY(m_daemon.waitForStarted());
        QTRY_VERIFY(m_daemon.canReadLine());
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        QVERIFY(!m_address.isEmpty());
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-logind"));
        QDBusConnection::disconnectFromBus(QStringLiteral("watcher"));
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            m_daemon.waitForFinished(3000);
        }
    }

    void noBusAtAll()
    {
        const QDBusConnection none = QDBusConnection::connectToBus(
            QStringLiteral("unix:path=") + m_dir.filePath(QStringLiteral("absent")), QStringLiteral("none"));
        QVERIFY(!none.isConnected());
        QnSessionEvents events(none, QString());
        QVERIFY(!events.isAvailable());
        QnKeepAwake awake(none);
        QVERIFY(!awake.hold(QStringLiteral("test")));
        QVERIFY(!awake.isHeld());
        awake.release();
        QDBusConnection::disconnectFromBus(QStringLiteral("none"));
    }

    void busWithoutLogind()
    {
        if (m_address.isEmpty())
            QSKIP("dbus-daemon is not installed");
        QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("plain"));
        QVERIFY(bus.isConnected());
        QnKeepAwake awake(bus);
        QVERIFY(!awake.hold(QStringLiteral("test")));
        QDBusConnection::disconnectFromBus(QStringLiteral("plain"));
    }

    void lockAndUnlockFromLogind()
    {
        if (m_address.isEmpty())
            QSKIP("dbus-daemon is not installed");
        QDBusConnection fake = QDBusConnection::connectToBus(m_address, QStringLiteral("fake-logind"));
        QVERIFY(fake.registerService(kService));
        QDBusConnection watcher = QDBusConnection::connectToBus(m_address, QStringLiteral("watcher"));
        QnSessionEvents events(watcher, kSessionPath);
        QVERIFY(events.isAvailable());
        QSignalSpy locked(&events, &QnSessionEvents::locked);
        QSignalSpy unlocked(&events, &QnSessionEvents::unlocked);
        auto sendSignal = [&](const QString &name) {
            QVERIFY(fake.send(QDBusMessage::createSignal(
                kSessionPath, QStringLiteral("org.freedesktop.login1.Session"), name)));
        };
        sendSignal(QStringLiteral("Lock"));
        QVERIFY(locked.wait(3000));
        sendSignal(QStringLiteral("Lock")); // no change: reported once
        QDBusMessage hint =
            QDBusMessage::createSignal(kSessionPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                       QStringLiteral("PropertiesChanged"));
        hint << QStringLiteral("org.freedesktop.login1.Session")
             << QVariantMap{{QStringLiteral("LockedHint"), false}} << QStringList();
        QVERIFY(fake.send(hint));
        QVERIFY(unlocked.wait(3000));
        QCOMPARE(locked.count(), 1);
        // Another session's signal is not ours.
        QVERIFY(fake.send(QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1/session/_9"),
                                                     QStringLiteral("org.freedesktop.login1.Session"),
                                                     QStringLiteral("Lock"))));
        QTest::qWait(300);
        QCOMPARE(locked.count(), 1);
        fake.unregisterService(kService);
    }

    void inhibitorHeldAndReleased()
    {
        if (m_address.isEmpty())
            QSKIP("dbus-daemon is not installed");
        QDBusConnection fake = QDBusConnection::connectToBus(m_address, QStringLiteral("fake-logind"));
        QVERIFY(fake.registerService(kService));
        // The stand-in answers on its own thread: the backend's call blocks this one.
        QThread thread;
        FakeLogindManager manager;
        manager.moveToThread(&thread);
        thread.start();
        QVERIFY(fake.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager,
                                    QDBusConnection::ExportAllSlots));
        QDBusConnection client = QDBusConnection::connectToBus(m_address, QStringLiteral("keepawake"));
        QnKeepAwake awake(client);
        QVERIFY(awake.hold(QStringLiteral("Casting the screen")));
        QCOMPARE(manager.lastCall, (QStringList{"sleep:idle", "QnLynClient", "Casting the screen", "block"}));
        QVERIFY(awake.isHeld());
        QVERIFY(awake.hold(QStringLiteral("again"))); // already held: no second call
        awake.release();
        QVERIFY(!awake.isHeld());
        fake.unregisterObject(QStringLiteral("/org/freedesktop/login1"));
        fake.unregisterService(kService);
        QDBusConnection::disconnectFromBus(QStringLiteral("keepawake"));
        thread.quit();
        thread.wait();
    }

private:
    QTemporaryDir m_dir;
    QString m_daemonPath;
    QProcess m_daemon;
    QString m_address;
};

QTEST_GUILESS_MAIN(TstPlatformSession)
#include "tst_platform_session.moc"
