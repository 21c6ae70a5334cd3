#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtTest>

/// A PulseAudio daemon of the test's own with one null sink "qn_sink" as default, so that muting
/// does not disturb the shared daemon of the test environment (other tests capture its sink).
class QnPrivatePulse
{
public:
    ~QnPrivatePulse() { stop(); }

    bool start()
    {
        if (!m_dir.isValid())
            return false;
        const QString root = m_dir.path();
        QDir().mkpath(root + "/xdg");
        QDir().mkpath(root + "/home");
        QFile::setPermissions(root + "/xdg",
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        m_server = "unix:" + root + "/native";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", root + "/home");
        env.insert("XDG_RUNTIME_DIR", root + "/xdg");
        env.remove("PULSE_SERVER");
        // No session bus: another daemon there already holds PulseAudio's bus name.
        env.remove("DISPLAY");
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + root + "/no-bus");
        m_daemon.setProcessEnvironment(env);
        m_daemon.setProcessChannelMode(QProcess::MergedChannels);
        m_daemon.start("pulseaudio",
                       {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                        "--log-target=file:" + root + "/pa.log", "-L",
                        "module-native-protocol-unix auth-anonymous=1 socket=" + root + "/native", "-L",
                        "module-null-sink sink_name=qn_sink rate=48000 channels=2"});
        if (!m_daemon.waitForStarted(10000))
            return false;
        for (int i = 0; i < 200; ++i) {
            if (pactl({"info"}))
                return pactl({"set-default-sink", "qn_sink"});
            QTest::qWait(50);
        }
        return false;
    }

    void stop()
    {
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            if (!m_daemon.waitForFinished(5000)) {
                m_daemon.kill();
                m_daemon.waitForFinished();
            }
        }
    }

    /// The address to hand to the watcher.
    QString server() const { return m_server; }

    bool pactl(const QStringList &args) const
    {
        QProcess p;
        p.start("pactl", QStringList{"-s", m_server} + args);
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    /// A shell command line for pactl on this daemon.
    QString pactlCommand() const { return "pactl -s " + m_server; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_server;
};
