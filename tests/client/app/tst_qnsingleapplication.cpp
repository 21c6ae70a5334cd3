#include "client/app/QnSingleApplication.h"

#include "platform/system/QnSingleInstance.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <cstdio>
#include <cstdlib>

// The application object of the program: its restart loop in a peer process ("--peer <folder>
// <passes>", this binary started again), and its Space-key signal here.
namespace {

const QString kKey = QStringLiteral("QnTestApp");
constexpr int kRestartCode = -10086;

// Passes as the program's restart loop makes them: a new application object each, "next" ends a
// pass with the restart code. Prints "pass N primary" once the pass's object holds the instance.
int runPeer(int argc, char **argv)
{
    if (argc < 4)
        return 100;
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const int passes = std::atoi(argv[3]);
    for (int pass = 1; pass <= passes; ++pass) {
        int appArgc = 1;
        QnSingleApplication app(appArgc, argv, kKey, folder);
        if (app.isRunning())
            return 3;
        std::printf("pass %d primary\n", pass);
        std::fflush(stdout);
        QObject::connect(&app, &QnSingleApplication::messageReceived, &app, [](const QString &message) {
            if (message == QLatin1String("next"))
                QCoreApplication::exit(kRestartCode);
        });
        if (app.exec() != kRestartCode)
            return 4;
    }
    return 0;
}

} // namespace

class TestQnSingleApplication : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void restartLoopTakesTheInstanceOverEachPass();
    void spaceKeyReported();
};

void TestQnSingleApplication::restartLoopTakesTheInstanceOverEachPass()
{
    QTemporaryDir dir;
    QProcess peer;
    peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer.start(QCoreApplication::applicationFilePath(),
               {QStringLiteral("--peer"), dir.path(), QStringLiteral("3")});
    for (int pass = 1; pass <= 3; ++pass) {
        const QByteArray expected = QStringLiteral("pass %1 primary").arg(pass).toUtf8();
        QDeadlineTimer deadline(10000);
        while (!peer.canReadLine()) {
            QVERIFY(!deadline.hasExpired());
            peer.waitForReadyRead(100);
        }
        QCOMPARE(peer.readLine().trimmed(), expected);
        QnSingleInstance other(kKey, dir.path());
        QVERIFY(other.isRunning());
        QVERIFY(other.sendMessage(QStringLiteral("next"), 5000));
    }
    QVERIFY(peer.waitForFinished(10000));
    QCOMPARE(peer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(peer.exitCode(), 0);
}

void TestQnSingleApplication::spaceKeyReported()
{
    auto *app = qobject_cast<QnSingleApplication *>(qApp);
    QVERIFY(app);
    QVERIFY(!app->isRunning()); // this test's own key: it is the instance
    QSignalSpy spy(app, &QnSingleApplication::keyPressed);
    QWidget widget;
    widget.show();
    QTest::keyPress(&widget, Qt::Key_Space);
    QTest::keyRelease(&widget, Qt::Key_Space);
    QTest::keyClick(&widget, Qt::Key_A);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toBool(), true);
    QCOMPARE(spy.at(1).at(0).toBool(), false);
}

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--peer") == 0)
        return runPeer(argc, argv);
    QTemporaryDir dir;
    QnSingleApplication app(argc, argv, kKey, dir.path());
    TestQnSingleApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_qnsingleapplication.moc"
