#pragma once

// A PulseAudio daemon of the test's own, in a temporary runtime folder, with a null sink as its
// default output. The test can stop it and start it again on the same socket to simulate the
// sound server going away and coming back. Shared by the sound tests (header only).

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

class PrivatePulse
{
public:
    /// `extraModules`: further "-L" module lines (e.g. a remap source).
    explicit PrivatePulse(int sinkRate = 48000, int sinkChannels = 2, QStringList extraModules = {})
        : m_rate(sinkRate), m_channels(sinkChannels), m_extra(std::move(extraModules))
    {
        QDir(m_dir.path()).mkpath("xdg");
        QDir(m_dir.path()).mkpath("home");
        QFile::setPermissions(m_dir.path() + "/xdg", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ~PrivatePulse() { stop(); }

    QString socketPath() const { return m_dir.path() + "/native"; }
    std::string server() const { return ("unix:" + socketPath()).toStdString(); }

    bool start()
    {
        m_proc = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", m_dir.path() + "/xdg");
        env.insert("HOME", m_dir.path() + "/home");
        env.remove("PULSE_SERVER");
        // Keep it off any session bus (the tests' main daemon may hold the D-Bus name there).
        env.remove("DISPLAY");
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_dir.path() + "/no-bus");
        m_proc->setProcessEnvironment(env);
        m_proc->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList args{
            "-n",
            "--daemonize=no",
            "--exit-idle-time=20", // an orphan left by a crashed test goes away by itself
            "--use-pid-file=no",
            "--log-target=file:" + m_dir.path() + "/pa.log",
            "-L",
            "module-native-protocol-unix auth-anonymous=1 socket=" + socketPath(),
            "-L",
            QString("module-null-sink sink_name=cast_sink rate=%1 channels=%2").arg(m_rate).arg(m_channels),
            "-L",
            "module-always-sink"};
        for (const QString &m : m_extra)
            args << "-L" << m;
        m_proc->start("pulseaudio", args);
        if (!m_proc->waitForStarted(5000))
            return false;
        for (int i = 0; i < 200; ++i) {
            if (pactl({"info"}) == 0) {
                pactl({"set-default-sink", "cast_sink"});
                return true;
            }
            QThread::msleep(25);
        }
        return false;
    }

    void stop()
    {
        if (!m_proc)
            return;
        m_proc->terminate();
        if (!m_proc->waitForFinished(5000)) {
            m_proc->kill();
            m_proc->waitForFinished(5000);
        }
        m_proc.reset();
        QFile::remove(socketPath());
    }

    int pactl(const QStringList &args) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PULSE_SERVER", "unix:" + socketPath());
        p.setProcessEnvironment(env);
        p.start("pactl", args);
        if (!p.waitForFinished(5000))
            return -1;
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QString log() const
    {
        QFile f(m_dir.path() + "/pa.log");
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }

private:
    QTemporaryDir m_dir{QDir::tempPath() + "/qn-pulse-XXXXXX"};
    int m_rate;
    int m_channels;
    QStringList m_extra;
    std::unique_ptr<QProcess> m_proc;
};

/// Goertzel power of `freq` in interleaved 16-bit audio, one channel, normalised per sample.
inline double tonePower(const int16_t *pcm, size_t frames, int channels, int channel, double rate,
                        double freq)
{
    const double w = 2.0 * 3.14159265358979323846 * freq / rate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (size_t i = 0; i < frames; ++i) {
        const double s0 = pcm[i * size_t(channels) + size_t(channel)] / 32768.0 + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return power / double(frames * frames);
}

/// True when `freq` clearly dominates the neighbouring test frequencies in the block.
inline bool carriesTone(const int16_t *pcm, size_t frames, int channels, double rate, double freq)
{
    for (int c = 0; c < channels; ++c) {
        const double p = tonePower(pcm, frames, channels, c, rate, freq);
        if (p < 1e-4)
            return false;
        for (double other : {freq * 0.5, freq * 1.5, freq * 2.5, freq * 3.3})
            if (tonePower(pcm, frames, channels, c, rate, other) * 20 > p)
                return false;
    }
    return true;
}
