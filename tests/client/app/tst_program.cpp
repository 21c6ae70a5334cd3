// The built program itself, started as a user starts it (only its environment is set): it comes
// up on the display with its main sender window, a second start hands "show" to the first and ends
// with 0, and a start by autostart gives way when the receiver program starts with the session.
#include "tests/client/app/ProgramTestUtil.h"
#include "tests/fixtures/netns/QnNetnsTestMain.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

class TstProgram : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void startsAndShowsTheMainWindow();
    void secondStartShowsTheFirst();
    void autostartGivesWayToReceiver_data();
    void autostartGivesWayToReceiver();

private:
    QProcessEnvironment environment() const;
    QString log() const { return ProgramTestUtil::log(m_dir); }
    QTemporaryDir m_dir;
    QProcess m_first;
};

QProcessEnvironment TstProgram::environment() const
{
    QProcessEnvironment env = ProgramTestUtil::environment(m_dir);
    env.insert("XDG_RUNTIME_DIR", m_dir.filePath("runtime"));
    env.remove("DBUS_SESSION_BUS_ADDRESS"); // no keyring of the user's: the program copes without
    return env;
}

void TstProgram::initTestCase()
{
    QVERIFY(QFileInfo(QStringLiteral(QN_PROGRAM)).isExecutable());
    QVERIFY(QDir().mkpath(m_dir.filePath("home/.config/autostart")));
    QVERIFY(QDir().mkpath(m_dir.filePath("runtime")));
    QFile::setPermissions(m_dir.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TstProgram::cleanupTestCase()
{
    if (m_first.state() != QProcess::NotRunning) {
        m_first.terminate();
        if (!m_first.waitForFinished(5000))
            m_first.kill();
        m_first.waitForFinished();
    }
}

void TstProgram::startsAndShowsTheMainWindow()
{
    m_first.setProcessEnvironment(environment());
    m_first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_first.setStandardOutputFile(QProcess::nullDevice());
    m_first.start(QStringLiteral(QN_PROGRAM), QStringList());
    QVERIFY(m_first.waitForStarted());
    // The first start on a display stores its scale and restarts once, then shows the window.
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("main window shown")), 60000);
    QCOMPARE(m_first.state(), QProcess::Running);
    // The main sender window is on the screen: the middle of the display shows its pink form.
    QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    QTRY_VERIFY_WITH_TIMEOUT(
        [screen] {
            const QImage shot = screen->grabWindow(0).toImage();
            const QColor middle = shot.pixelColor(shot.width() / 2, shot.height() / 2);
            return middle.red() > 150 && middle.red() > middle.blue() + 20;
        }(),
        10000);
    QVERIFY(QFile::exists(ProgramTestUtil::settingsPath(m_dir)));
}

void TstProgram::secondStartShowsTheFirst()
{
    QProcess second;
    second.setProcessEnvironment(environment());
    second.setStandardOutputFile(QProcess::nullDevice());
    second.setStandardErrorFile(QProcess::nullDevice());
    second.start(QStringLiteral(QN_PROGRAM), QStringList());
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        log().contains(QStringLiteral("a second start asked to show the window; ready: true")), 10000);
    QCOMPARE(m_first.state(), QProcess::Running);
}

void TstProgram::autostartGivesWayToReceiver_data()
{
    QTest::addColumn<bool>("receiverAutostarts");
    QTest::addColumn<int>("exitCode");
    // With the receiver set to start with the session, an autostarted sender ends at once with 0;
    // without it, it goes on and finds the first instance (also 0, after asking it to show).
    QTest::newRow("receiver autostarts") << true << 0;
    QTest::newRow("no receiver entry") << false << 0;
}

void TstProgram::autostartGivesWayToReceiver()
{
    QFETCH(bool, receiverAutostarts);
    QFETCH(int, exitCode);
    const QString entry = m_dir.filePath("home/.config/autostart/QnLynServer.desktop");
    QFile::remove(entry);
    if (receiverAutostarts) {
        QFile file(entry);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nType=Application\nName=QnLynServer\nExec=/usr/bin/true\n");
    }
    const int shows = log().count(QStringLiteral("a second start asked"));
    QProcess autostarted;
    autostarted.setProcessEnvironment(environment());
    autostarted.setStandardOutputFile(QProcess::nullDevice());
    autostarted.setStandardErrorFile(QProcess::nullDevice());
    autostarted.start(QStringLiteral(QN_PROGRAM), {QStringLiteral("AutoRun")});
    QVERIFY(autostarted.waitForFinished(30000));
    QCOMPARE(autostarted.exitCode(), exitCode);
    if (receiverAutostarts) {
        QTest::qWait(500);
        QCOMPARE(log().count(QStringLiteral("a second start asked")), shows); // it never got that far
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(log().count(QStringLiteral("a second start asked")), shows + 1, 10000);
    }
    QFile::remove(entry);
}

int main(int argc, char **argv)
{
    return qnNetnsTestMain<TstProgram, QGuiApplication>(argc, argv);
}
#include "tst_program.moc"
