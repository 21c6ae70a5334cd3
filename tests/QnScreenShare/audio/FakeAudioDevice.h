#pragma once

#include "platform/pulse/AudioDevice.h"

// A recording device that reports 48000 Hz stereo to its transport and records nothing by itself:
// the test delivers blocks through the transport.
class FakeAudioDevice : public qn::platform::AudioDevice
{
public:
    int init() override { return inited = true, 0; }
    int terminate() override { return inited = false, 0; }
    bool initialized() const override { return inited; }
    int playoutDevices() override { return 0; }
    int recordingDevices() override { return 1; }
    int playoutDeviceName(int, DeviceName &) override { return -1; }
    int recordingDeviceName(int, DeviceName &out) override { return out = {"fake", "fake"}, 0; }
    int setPlayoutDevice(int) override { return -1; }
    int setRecordingDevice(int index) override { return selected = index, 0; }
    int playoutIsAvailable(bool &a) override { return a = false, 0; }
    int initPlayout() override { return -1; }
    bool playoutIsInitialized() const override { return false; }
    int recordingIsAvailable(bool &a) override { return a = true, 0; }
    int initRecording() override
    {
        if (transport) {
            transport->setRecordingRate(48000);
            transport->setRecordingChannels(2);
        }
        return prepared = true, 0;
    }
    bool recordingIsInitialized() const override { return prepared; }
    int startPlayout() override { return -1; }
    int stopPlayout() override { return 0; }
    bool playing() const override { return false; }
    int startRecording() override { return prepared ? (rec = true, ++starts, 0) : -1; }
    int stopRecording() override { return rec = prepared = false, 0; }
    bool recording() const override { return rec; }
    int setStereoPlayout(bool) override { return 0; }
    bool stereoPlayout() const override { return true; }
    int setStereoRecording(bool) override { return 0; }
    bool stereoRecording() const override { return true; }
    int playoutDelayMs(uint16_t &ms) const override { return ms = 0, 0; }
    int recordingDelayMs(uint16_t &ms) const override { return ms = 0, 0; }
    bool playoutWarning() const override { return false; }
    bool playoutError() const override { return false; }
    bool recordingWarning() const override { return false; }
    bool recordingError() const override { return false; }
    void clearPlayoutWarning() override {}
    void clearPlayoutError() override {}
    void clearRecordingWarning() override {}
    void clearRecordingError() override {}
    // Controls the audio chain does not use: not available.
    int activeAudioLayer(AudioLayer &l) const override { return l = AudioLayer::PlatformDefault, 0; }
    int setPlayoutDevice(DeviceRole) override { return -1; }
    int setRecordingDevice(DeviceRole) override { return selected = kDefaultDevice, 0; }
    int initSpeaker() override { return -1; }
    bool speakerIsInitialized() const override { return false; }
    int initMicrophone() override { return -1; }
    bool microphoneIsInitialized() const override { return false; }
    int speakerVolumeIsAvailable(bool &a) override { return a = false, 0; }
    int setSpeakerVolume(uint32_t) override { return -1; }
    int speakerVolume(uint32_t &) override { return -1; }
    int maxSpeakerVolume(uint32_t &) const override { return -1; }
    int minSpeakerVolume(uint32_t &) const override { return -1; }
    int speakerVolumeStepSize(uint16_t &) const override { return -1; }
    int microphoneVolumeIsAvailable(bool &a) override { return a = false, 0; }
    int setMicrophoneVolume(uint32_t) override { return -1; }
    int microphoneVolume(uint32_t &) override { return -1; }
    int maxMicrophoneVolume(uint32_t &) const override { return -1; }
    int minMicrophoneVolume(uint32_t &) const override { return -1; }
    int microphoneVolumeStepSize(uint16_t &) const override { return -1; }
    int speakerMuteIsAvailable(bool &a) override { return a = false, 0; }
    int setSpeakerMute(bool) override { return -1; }
    int speakerMute(bool &) override { return -1; }
    int microphoneMuteIsAvailable(bool &a) override { return a = false, 0; }
    int setMicrophoneMute(bool) override { return -1; }
    int microphoneMute(bool &) override { return -1; }
    int microphoneBoostIsAvailable(bool &a) override { return a = false, 0; }
    int setMicrophoneBoost(bool) override { return -1; }
    int microphoneBoost(bool &) const override { return -1; }
    int stereoPlayoutIsAvailable(bool &a) const override { return a = true, 0; }
    int stereoRecordingIsAvailable(bool &a) const override { return a = true, 0; }
    int setPlayoutBuffer(BufferType, uint16_t) override { return 0; }
    int playoutBuffer(BufferType &t, uint16_t &ms) const override
    {
        return t = BufferType::Adaptive, ms = 0, 0;
    }
    int attachTransport(qn::platform::AudioTransport *t) override
    {
        transport = t;
        t->setRecordingRate(0);
        t->setPlayoutRate(0);
        t->setRecordingChannels(0);
        t->setPlayoutChannels(0);
        return 0;
    }

    qn::platform::AudioTransport *transport = nullptr;
    bool inited = false, prepared = false, rec = false;
    int selected = -2;
    int starts = 0;
};
