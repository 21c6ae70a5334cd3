#include "platform/system/QnSingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstdlib>

#include <signal.h>
#include <unistd.h>

// The single-instance guard between real processes: this test binary started again as a peer
// ("--peer <mode> <folder> <key> ...") plays the other start.
namespace {

const QString kKey = QStringLiteral("QnTestInstance");
constexpr int kRestartCode = -10086;

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// hold: become the primary, print every message, quit on "quit" from inside the handler.
// exit: become the primary and end without running any destructor.
// send: hand argv[5] to the primary with a time-out of argv[6] ms; 0 delivered, 1 not, 2 was primary.
// loop: argv[5] passes, each with a new application object and guard; "next" ends a pass with the
//       restart code, as the program's restart loop does.
int runPeer(int argc, char **argv)
{
    if (argc < 5)
        return 100;
    const QString mode = QString::fromLocal8Bit(argv[2]);
    const QString folder = QString::fromLocal8Bit(argv[3]);
    const QString key = QString::fromLocal8Bit(argv[4]);
    if (mode == QLatin1String("loop")) {
        const int passes = argc > 5 ? std::atoi(argv[5]) : 1;
        for (int pass = 1; pass <= passes; ++pass) {
            int appArgc = 1;
            QCoreApplication app(appArgc, argv);
            QnSingleInstance guard(key, folder);
            say(QStringLiteral("pass %1 %2").arg(pass).arg(guard.isPrimary() ? "primary" : "running"));
            if (!guard.isPrimary())
                return 3;
            QObject::connect(&guard, &QnSingleInstance::messageReceived, &app, [](const QString &message) {
                if (message == QLatin1String("next"))
                    QCoreApplication::exit(kRestartCode);
            });
            if (app.exec() != kRestartCode)
                return 4;
        }
        return 0;
    }
    int appArgc = 1;
    QCoreApplication app(appArgc, argv);
    QnSingleInstance guard(key, folder);
    if (mode == QLatin1String("send")) {
        if (!guard.isRunning())
            return 2;
        return guard.sendMessage(QString::fromLocal8Bit(argv[5]), std::atoi(argv[6])) ? 0 : 1;
    }
    if (!guard.isPrimary()) {
        say(QStringLiteral("running"));
        return 3;
    }
    say(QStringLiteral("primary"));
    if (mode == QLatin1String("exit"))
        std::_Exit(0);
    QObject::connect(&guard, &QnSingleInstance::messageReceived, &app, [](const QString &message) {
        say(QStringLiteral("got:") + message);
        if (message == QLatin1String("quit"))
            QCoreApplication::quit();
    });
    return app.exec();
}

} // namespace

class TestQnSingleInstance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void secondStartHandsShowToFirst();
    void quittingHandlerStillReplies();
    void staleLockTakenOver_data();
    void staleLockTakenOver();
    void createDestroyCreateInOneProcess();
    void sameProcessSecondObjectWaitsItsTurn();
    void primaryThatDoesNotListenTimesOut();
    void oversizedMessageRefused();
    void defaultFolderIsTheUsersOwn();

private:
    QProcess *startPeer(const QStringList &arguments);
    bool waitForLine(QProcess *peer, const QString &line, int ms = 10000);

    std::unique_ptr<QTemporaryDir> m_dir;
    QList<QProcess *> m_peers;
};

void TestQnSingleInstance::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestQnSingleInstance::cleanup()
{
    for (QProcess *peer : qAsConst(m_peers)) {
        if (peer->state() != QProcess::NotRunning) {
            peer->kill();
            peer->waitForFinished(5000);
        }
        delete peer;
    }
    m_peers.clear();
    m_dir.reset();
}

QProcess *TestQnSingleInstance::startPeer(const QStringList &arguments)
{
    auto *peer = new QProcess;
    m_peers.append(peer);
    peer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer->start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--peer")} + arguments);
    return peer;
}

bool TestQnSingleInstance::waitForLine(QProcess *peer, const QString &line, int ms)
{
    QDeadlineTimer deadline(ms);
    for (;;) {
        while (peer->canReadLine()) {
            if (QString::fromUtf8(peer->readLine()).trimmed() == line)
                return true;
        }
        if (deadline.hasExpired() || !peer->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return false;
    }
}

void TestQnSingleInstance::secondStartHandsShowToFirst()
{
    const QString folder = m_dir->path();
    QProcess *first = startPeer({QStringLiteral("hold"), folder, kKey});
    QVERIFY(waitForLine(first, QStringLiteral("primary")));

    // A second start (another process) hands "show" over and ends with 0.
    QProcess *second =
        startPeer({QStringLiteral("send"), folder, kKey, QStringLiteral("show"), QStringLiteral("2000")});
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(waitForLine(first, QStringLiteral("got:show")));

    // And from this process too; text beyond ASCII arrives unchanged.
    QnSingleInstance here(kKey, folder);
    QVERIFY(here.isRunning());
    QVERIFY(!here.isPrimary());
    QVERIFY(here.sendMessage(QStringLiteral("show \u663e\u793a"), 2000));
    QVERIFY(waitForLine(first, QStringLiteral("got:show \u663e\u793a")));
    QCOMPARE(first->state(), QProcess::Running);
}

void TestQnSingleInstance::quittingHandlerStillReplies()
{
    const QString folder = m_dir->path();
    QProcess *first = startPeer({QStringLiteral("hold"), folder, kKey});
    QVERIFY(waitForLine(first, QStringLiteral("primary")));

    QnSingleInstance here(kKey, folder);
    QVERIFY(here.isRunning());
    // The primary quits from inside its handler: the acknowledgement has gone out before.
    QVERIFY(here.sendMessage(QStringLiteral("quit"), 5000));
    QVERIFY(first->waitForFinished(10000));
    QCOMPARE(first->exitStatus(), QProcess::NormalExit);
    QCOMPARE(first->exitCode(), 0);
    QVERIFY(waitForLine(first, QStringLiteral("got:quit")));

    // Its lock went with it: the next object is the primary.
    QVERIFY(!here.isRunning());
    QVERIFY(here.isPrimary());
}

void TestQnSingleInstance::staleLockTakenOver_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("holder killed with SIGKILL") << QStringLiteral("hold");
    QTest::newRow("holder exited without destructors") << QStringLiteral("exit");
}

void TestQnSingleInstance::staleLockTakenOver()
{
    QFETCH(QString, mode);
    const QString folder = m_dir->path();
    QProcess *holder = startPeer({mode, folder, kKey});
    QVERIFY(waitForLine(holder, QStringLiteral("primary")));
    if (mode == QLatin1String("hold"))
        ::kill(pid_t(holder->processId()), SIGKILL);
    QVERIFY(holder->waitForFinished(10000));
    // The lock file and the socket file are left behind, naming a process that no longer runs.
    QVERIFY(QFile::exists(folder + QStringLiteral("/") + kKey + QStringLiteral(".lock")));
    QVERIFY(QFile::exists(folder + QStringLiteral("/") + kKey + QStringLiteral(".sock")));

    QnSingleInstance here(kKey, folder);
    QVERIFY(here.isPrimary());
    QVERIFY(!here.isRunning());

    // The new primary hears the next start.
    QSignalSpy spy(&here, &QnSingleInstance::messageReceived);
    QProcess *second =
        startPeer({QStringLiteral("send"), folder, kKey, QStringLiteral("show"), QStringLiteral("2000")});
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("show"));
    QTRY_COMPARE_WITH_TIMEOUT(second->state(), QProcess::NotRunning, 10000);
    QCOMPARE(second->exitCode(), 0);
}

void TestQnSingleInstance::createDestroyCreateInOneProcess()
{
    const QString folder = m_dir->path();
    QProcess *peer = startPeer({QStringLiteral("loop"), folder, kKey, QStringLiteral("3")});
    for (int pass = 1; pass <= 3; ++pass) {
        QVERIFY2(waitForLine(peer, QStringLiteral("pass %1 primary").arg(pass)),
                 qPrintable(QString::number(pass)));
        QnSingleInstance here(kKey, folder);
        QVERIFY(here.isRunning());
        QVERIFY(here.sendMessage(QStringLiteral("next"), 5000));
    }
    QVERIFY(peer->waitForFinished(10000));
    QCOMPARE(peer->exitStatus(), QProcess::NormalExit);
    QCOMPARE(peer->exitCode(), 0);
}

void TestQnSingleInstance::sameProcessSecondObjectWaitsItsTurn()
{
    const QString folder = m_dir->path();
    auto first = std::make_unique<QnSingleInstance>(kKey, folder);
    QVERIFY(first->isPrimary());
    QVERIFY(!first->isRunning());
    QnSingleInstance second(kKey, folder);
    QVERIFY(second.isRunning());

    QSignalSpy spy(first.get(), &QnSingleInstance::messageReceived);
    QProcess *sender =
        startPeer({QStringLiteral("send"), folder, kKey, QStringLiteral("show"), QStringLiteral("2000")});
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(sender->state(), QProcess::NotRunning, 10000);
    QCOMPARE(sender->exitCode(), 0);

    first.reset();
    QVERIFY(!second.isRunning());
    QVERIFY(second.isPrimary());
}

void TestQnSingleInstance::primaryThatDoesNotListenTimesOut()
{
    const QString folder = m_dir->path();
    // A live holder of the lock that never answers.
    QLockFile lock(folder + QStringLiteral("/") + kKey + QStringLiteral(".lock"));
    QVERIFY(lock.tryLock(0));
    QnSingleInstance here(kKey, folder);
    QVERIFY(here.isRunning());
    QVERIFY(!here.sendMessage(QStringLiteral("show"), 300));
    QVERIFY(here.isRunning());
}

void TestQnSingleInstance::oversizedMessageRefused()
{
    const QString folder = m_dir->path();
    QProcess *first = startPeer({QStringLiteral("hold"), folder, kKey});
    QVERIFY(waitForLine(first, QStringLiteral("primary")));
    QnSingleInstance here(kKey, folder);
    QVERIFY(here.isRunning());
    QVERIFY(!here.sendMessage(QString(QnSingleInstance::kMaxMessageBytes + 1, QLatin1Char('x')), 2000));
    QVERIFY(here.sendMessage(QString(QnSingleInstance::kMaxMessageBytes, QLatin1Char('y')), 5000));
    QVERIFY(waitForLine(first, QStringLiteral("got:") +
                                   QString(QnSingleInstance::kMaxMessageBytes, QLatin1Char('y'))));
}

void TestQnSingleInstance::defaultFolderIsTheUsersOwn()
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", m_dir->path().toLocal8Bit());
    QCOMPARE(QnSingleInstance::defaultFolder(), m_dir->path());
    qunsetenv("XDG_RUNTIME_DIR");
    // The temporary folder of this test only.
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", m_dir->path().toLocal8Bit());
    const QString own = QnSingleInstance::defaultFolder();
    const QString expected = QDir::tempPath() + QStringLiteral("/qn-runtime-%1").arg(::getuid());
    if (!saved.isEmpty())
        qputenv("XDG_RUNTIME_DIR", saved);
    if (savedTmp.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", savedTmp);
    QCOMPARE(own, expected);
    QVERIFY(own.startsWith(m_dir->path()));
    const QFileInfo info(own);
    QVERIFY(info.isDir());
    QCOMPARE(info.ownerId(), uint(::getuid()));
    QCOMPARE(info.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteOther),
             QFileDevice::Permissions());
}

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--peer") == 0)
        return runPeer(argc, argv);
    QCoreApplication app(argc, argv);
    TestQnSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_qnsingleinstance.moc"
