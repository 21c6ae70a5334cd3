// The audio device's controls (audio layer, default devices by role, speaker and microphone
// volume, mute and boost, playout buffer, warning and error flags) on a PulseAudio daemon of the
// test's own with a null sink "cast_sink" and a null source "cast_mic".
#include "platform/pulse/AudioDevice.h"
#include "tests/fixtures/pulse/PrivatePulse.h"

#include <QRegularExpression>
#include <QtTest>

#include <functional>

using qn::platform::AudioDevice;
using qn::platform::createAudioDevice;

using DeviceOp = std::function<int(AudioDevice &)>;
Q_DECLARE_METATYPE(DeviceOp)

class TestAudioDevice : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void needsPreparation_data();
    void needsPreparation();
    void volumeReachesTheDevice_data();
    void volumeReachesTheDevice();
    void deviceChangesAreRead();
    void muteReachesTheDevice_data();
    void muteReachesTheDevice();
    void answersWithoutPreparation();
    void rolesFollowTheDefaultDevices();
    void playoutBuffer();
    void countersClearedByInitAndClearCalls();

private:
    QString pactlOut(const QStringList &args);
    std::unique_ptr<PrivatePulse> m_pa;
    std::unique_ptr<AudioDevice> m_dev;
};

QString TestAudioDevice::pactlOut(const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", QString::fromStdString(m_pa->server()));
    p.setProcessEnvironment(env);
    p.start("pactl", args);
    p.waitForFinished(5000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

void TestAudioDevice::initTestCase()
{
    m_pa = std::make_unique<PrivatePulse>(
        48000, 2, QStringList{"module-null-source source_name=cast_mic channels=2 rate=48000"});
    QVERIFY2(m_pa->start(), qPrintable(m_pa->log()));
    QCOMPARE(m_pa->pactl({"set-default-source", "cast_mic"}), 0);
}

void TestAudioDevice::cleanupTestCase()
{
    m_pa.reset();
}

void TestAudioDevice::init()
{
    QCOMPARE(m_pa->pactl({"set-sink-volume", "cast_sink", "100%"}), 0);
    QCOMPARE(m_pa->pactl({"set-source-volume", "cast_mic", "100%"}), 0);
    QCOMPARE(m_pa->pactl({"set-sink-mute", "cast_sink", "0"}), 0);
    QCOMPARE(m_pa->pactl({"set-source-mute", "cast_mic", "0"}), 0);
    m_dev = createAudioDevice(1, m_pa->server());
    QCOMPARE(m_dev->init(), 0);
}

void TestAudioDevice::cleanup()
{
    m_dev.reset();
}

void TestAudioDevice::needsPreparation_data()
{
    QTest::addColumn<DeviceOp>("op");
    // Each operation answers -1 before its speaker or microphone is prepared.
    uint32_t v = 0;
    uint16_t step = 0;
    bool b = false;
    auto row = [](const char *name, DeviceOp op) { QTest::newRow(name) << op; };
    row("set speaker volume", [](AudioDevice &d) { return d.setSpeakerVolume(10); });
    row("speaker volume", [v](AudioDevice &d) mutable { return d.speakerVolume(v); });
    row("max speaker volume", [v](AudioDevice &d) mutable { return d.maxSpeakerVolume(v); });
    row("min speaker volume", [v](AudioDevice &d) mutable { return d.minSpeakerVolume(v); });
    row("speaker volume step", [step](AudioDevice &d) mutable { return d.speakerVolumeStepSize(step); });
    row("set speaker mute", [](AudioDevice &d) { return d.setSpeakerMute(true); });
    row("speaker mute", [b](AudioDevice &d) mutable { return d.speakerMute(b); });
    row("set microphone volume", [](AudioDevice &d) { return d.setMicrophoneVolume(10); });
    row("microphone volume", [v](AudioDevice &d) mutable { return d.microphoneVolume(v); });
    row("max microphone volume", [v](AudioDevice &d) mutable { return d.maxMicrophoneVolume(v); });
    row("min microphone volume", [v](AudioDevice &d) mutable { return d.minMicrophoneVolume(v); });
    row("microphone volume step",
        [step](AudioDevice &d) mutable { return d.microphoneVolumeStepSize(step); });
    row("set microphone mute", [](AudioDevice &d) { return d.setMicrophoneMute(true); });
    row("microphone mute", [b](AudioDevice &d) mutable { return d.microphoneMute(b); });
}

void TestAudioDevice::needsPreparation()
{
    QFETCH(DeviceOp, op);
    QVERIFY(!m_dev->speakerIsInitialized());
    QVERIFY(!m_dev->microphoneIsInitialized());
    QCOMPARE(op(*m_dev), -1);
    QCOMPARE(m_dev->initSpeaker(), 0);
    QCOMPARE(m_dev->initMicrophone(), 0);
    QCOMPARE(op(*m_dev), 0);
    // terminate forgets both preparations.
    QCOMPARE(m_dev->terminate(), 0);
    QVERIFY(!m_dev->speakerIsInitialized());
    QVERIFY(!m_dev->microphoneIsInitialized());
}

void TestAudioDevice::volumeReachesTheDevice_data()
{
    QTest::addColumn<bool>("speaker");
    QTest::addColumn<uint>("level");
    QTest::addColumn<int>("rc");
    QTest::addColumn<uint>("deviceVolume"); // raw server volume (65536 = 100 %); 0: unchanged
    QTest::newRow("speaker full") << true << 255u << 0 << 65536u;
    QTest::newRow("speaker half") << true << 128u << 0 << 32897u;
    QTest::newRow("speaker zero") << true << 0u << 0 << 0u;
    QTest::newRow("speaker above range refused") << true << 256u << -1 << 65536u;
    QTest::newRow("microphone full") << false << 255u << 0 << 65536u;
    QTest::newRow("microphone one step") << false << 1u << 0 << 257u;
    QTest::newRow("microphone above range refused") << false << 256u << -1 << 65536u;
}

void TestAudioDevice::volumeReachesTheDevice()
{
    QFETCH(bool, speaker);
    QFETCH(uint, level);
    QFETCH(int, rc);
    QFETCH(uint, deviceVolume);
    QCOMPARE(speaker ? m_dev->initSpeaker() : m_dev->initMicrophone(), 0);
    QCOMPARE(speaker ? m_dev->setSpeakerVolume(level) : m_dev->setMicrophoneVolume(level), rc);
    const QString out =
        pactlOut({speaker ? "get-sink-volume" : "get-source-volume", speaker ? "cast_sink" : "cast_mic"});
    const QRegularExpressionMatch m = QRegularExpression("front-left: (\\d+) ").match(out);
    QVERIFY2(m.hasMatch(), qPrintable(out));
    QCOMPARE(m.captured(1).toUInt(), deviceVolume);
    QVERIFY2(out.contains(QStringLiteral("front-right: %1 ").arg(deviceVolume)), qPrintable(out));
    uint32_t read = 999;
    QCOMPARE(speaker ? m_dev->speakerVolume(read) : m_dev->microphoneVolume(read), 0);
    QCOMPARE(read, rc == 0 ? uint32_t(level) : 255u);
    uint32_t max = 0, min = 1;
    uint16_t step = 0;
    QCOMPARE(speaker ? m_dev->maxSpeakerVolume(max) : m_dev->maxMicrophoneVolume(max), 0);
    QCOMPARE(speaker ? m_dev->minSpeakerVolume(min) : m_dev->minMicrophoneVolume(min), 0);
    QCOMPARE(speaker ? m_dev->speakerVolumeStepSize(step) : m_dev->microphoneVolumeStepSize(step), 0);
    QCOMPARE(max, 255u);
    QCOMPARE(min, 0u);
    QCOMPARE(step, uint16_t(1));
}

void TestAudioDevice::deviceChangesAreRead()
{
    QCOMPARE(m_dev->initSpeaker(), 0);
    QCOMPARE(m_dev->initMicrophone(), 0);
    QCOMPARE(m_pa->pactl({"set-sink-volume", "cast_sink", "50%"}), 0);
    QCOMPARE(m_pa->pactl({"set-source-volume", "cast_mic", "150%"}), 0); // boosted past normal
    QCOMPARE(m_pa->pactl({"set-source-mute", "cast_mic", "1"}), 0);
    uint32_t v = 0;
    QCOMPARE(m_dev->speakerVolume(v), 0);
    QCOMPARE(v, 128u); // 32768 / 65536 × 255, rounded
    QCOMPARE(m_dev->microphoneVolume(v), 0);
    QCOMPARE(v, 255u);
    bool muted = false;
    QCOMPARE(m_dev->microphoneMute(muted), 0);
    QVERIFY(muted);
    QCOMPARE(m_dev->speakerMute(muted), 0);
    QVERIFY(!muted);
}

void TestAudioDevice::muteReachesTheDevice_data()
{
    QTest::addColumn<bool>("speaker");
    QTest::addColumn<bool>("mute");
    QTest::newRow("speaker muted") << true << true;
    QTest::newRow("speaker unmuted") << true << false;
    QTest::newRow("microphone muted") << false << true;
    QTest::newRow("microphone unmuted") << false << false;
}

void TestAudioDevice::muteReachesTheDevice()
{
    QFETCH(bool, speaker);
    QFETCH(bool, mute);
    // Start from the opposite state so that each row changes something.
    QCOMPARE(m_pa->pactl({speaker ? "set-sink-mute" : "set-source-mute", speaker ? "cast_sink" : "cast_mic",
                          mute ? "0" : "1"}),
             0);
    QCOMPARE(speaker ? m_dev->initSpeaker() : m_dev->initMicrophone(), 0);
    QCOMPARE(speaker ? m_dev->setSpeakerMute(mute) : m_dev->setMicrophoneMute(mute), 0);
    const QString out =
        pactlOut({speaker ? "get-sink-mute" : "get-source-mute", speaker ? "cast_sink" : "cast_mic"});
    QCOMPARE(out.trimmed(), QString(mute ? "Mute: yes" : "Mute: no"));
    bool read = !mute;
    QCOMPARE(speaker ? m_dev->speakerMute(read) : m_dev->microphoneMute(read), 0);
    QCOMPARE(read, mute);
}

void TestAudioDevice::answersWithoutPreparation()
{
    AudioDevice::AudioLayer layer = AudioDevice::AudioLayer::PlatformDefault;
    QCOMPARE(m_dev->activeAudioLayer(layer), 0);
    QCOMPARE(layer, AudioDevice::AudioLayer::LinuxPulse);

    bool available = false;
    QCOMPARE(m_dev->speakerVolumeIsAvailable(available), 0);
    QVERIFY(available);
    available = false;
    QCOMPARE(m_dev->microphoneVolumeIsAvailable(available), 0);
    QVERIFY(available);
    available = false;
    QCOMPARE(m_dev->speakerMuteIsAvailable(available), 0);
    QVERIFY(available);
    available = false;
    QCOMPARE(m_dev->microphoneMuteIsAvailable(available), 0);
    QVERIFY(available);
    available = false;
    QCOMPARE(m_dev->stereoPlayoutIsAvailable(available), 0);
    QVERIFY(available);
    available = false;
    QCOMPARE(m_dev->stereoRecordingIsAvailable(available), 0);
    QVERIFY(available);

    // No boost switch on this sound system.
    available = true;
    QCOMPARE(m_dev->microphoneBoostIsAvailable(available), 0);
    QVERIFY(!available);
    QCOMPARE(m_dev->initMicrophone(), 0);
    QCOMPARE(m_dev->setMicrophoneBoost(true), -1);
    bool boost = false;
    QCOMPARE(m_dev->microphoneBoost(boost), -1);

    // Without a connection nothing can be read.
    QCOMPARE(m_dev->terminate(), 0);
    available = true;
    QCOMPARE(m_dev->speakerVolumeIsAvailable(available), 0);
    QVERIFY(!available);
    QCOMPARE(m_dev->initSpeaker(), -1);
}

void TestAudioDevice::rolesFollowTheDefaultDevices()
{
    using Role = AudioDevice::DeviceRole;
    QCOMPARE(m_dev->setPlayoutDevice(Role::Console), 0);
    QCOMPARE(m_dev->setRecordingDevice(Role::Communications), 0);
    QCOMPARE(m_dev->initSpeaker(), 0);
    QCOMPARE(m_dev->initMicrophone(), 0);
    QCOMPARE(m_dev->setSpeakerVolume(51), 0); // lands on the default sink
    QVERIFY(pactlOut({"get-sink-volume", "cast_sink"}).contains("front-left: 13107 "));

    QCOMPARE(m_dev->initRecording(), 0);
    QCOMPARE(m_dev->setRecordingDevice(Role::Console), -1); // refused while prepared
    QCOMPARE(m_dev->startRecording(), 0);
    // The communications role marks the stream for the server's role routing.
    QTRY_VERIFY_WITH_TIMEOUT(pactlOut({"list", "source-outputs"}).contains("media.role = \"phone\""), 5000);
    QCOMPARE(m_dev->initMicrophone(), -1); // refused while recording
    QCOMPARE(m_dev->stopRecording(), 0);

    QCOMPARE(m_dev->setRecordingDevice(Role::Console), 0);
    QCOMPARE(m_dev->initPlayout(), 0);
    QCOMPARE(m_dev->setPlayoutDevice(Role::Communications), -1); // refused while prepared
    QCOMPARE(m_dev->startPlayout(), 0);
    QCOMPARE(m_dev->initSpeaker(), -1); // refused while playing
    QTRY_VERIFY_WITH_TIMEOUT(pactlOut({"list", "sink-inputs"}).contains("media.name = \"playout\""), 5000);
    QVERIFY(!pactlOut({"list", "sink-inputs"}).contains("media.role = \"phone\""));
    QCOMPARE(m_dev->stopPlayout(), 0);
}

void TestAudioDevice::playoutBuffer()
{
    using Type = AudioDevice::BufferType;
    Type type = Type::Fixed;
    uint16_t ms = 1;
    QCOMPARE(m_dev->playoutBuffer(type, ms), 0);
    QCOMPARE(type, Type::Adaptive);
    QCOMPARE(ms, uint16_t(0)); // the playout delay: nothing plays yet

    QCOMPARE(m_dev->setPlayoutBuffer(Type::Fixed, 120), 0);
    QCOMPARE(m_dev->playoutBuffer(type, ms), 0);
    QCOMPARE(type, Type::Fixed);
    QCOMPARE(ms, uint16_t(120));
    // The adaptive type keeps the stored size for a later fixed selection.
    QCOMPARE(m_dev->setPlayoutBuffer(Type::Adaptive, 30), 0);
    QCOMPARE(m_dev->playoutBuffer(type, ms), 0);
    QCOMPARE(type, Type::Adaptive);
    QCOMPARE(m_dev->setPlayoutBuffer(Type::Fixed, 120), 0);

    // A stream with the fixed buffer opens and plays.
    QCOMPARE(m_dev->initPlayout(), 0);
    QCOMPARE(m_dev->startPlayout(), 0);
    QVERIFY(m_dev->playing());
    QCOMPARE(m_dev->stopPlayout(), 0);
}

void TestAudioDevice::countersClearedByInitAndClearCalls()
{
    QVERIFY(!m_dev->playoutWarning());
    QVERIFY(!m_dev->playoutError());
    QVERIFY(!m_dev->recordingWarning());
    QVERIFY(!m_dev->recordingError());
    // A server loss while recording raises the recording error; the clear call lowers it.
    QCOMPARE(m_dev->initRecording(), 0);
    QCOMPARE(m_dev->startRecording(), 0);
    m_pa->stop();
    QTRY_VERIFY_WITH_TIMEOUT(m_dev->recordingError(), 5000);
    QVERIFY(!m_dev->playoutError());
    m_dev->clearRecordingError();
    QVERIFY(!m_dev->recordingError());
    m_dev->clearRecordingWarning();
    m_dev->clearPlayoutWarning();
    m_dev->clearPlayoutError();
    QVERIFY(!m_dev->recordingWarning() && !m_dev->playoutWarning() && !m_dev->playoutError());
    QCOMPARE(m_dev->stopRecording(), 0);
    QVERIFY2(m_pa->start(), qPrintable(m_pa->log()));
    QCOMPARE(m_pa->pactl({"set-default-source", "cast_mic"}), 0);
    // The device reconnects to the returned server on its own retry period.
    QTRY_COMPARE_WITH_TIMEOUT(m_dev->initRecording(), 0, 5000);
    QCOMPARE(m_dev->startRecording(), 0);
    m_pa->stop();
    QTRY_VERIFY_WITH_TIMEOUT(m_dev->recordingError(), 5000);
    QCOMPARE(m_dev->terminate(), 0);
    QVERIFY2(m_pa->start(), qPrintable(m_pa->log()));
    QCOMPARE(m_pa->pactl({"set-default-source", "cast_mic"}), 0);
    QCOMPARE(m_dev->init(), 0);
    QVERIFY(!m_dev->recordingError());
}

QTEST_GUILESS_MAIN(TestAudioDevice)
#include "tst_audiodevice.moc"
