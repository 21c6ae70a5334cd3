#pragma once

#include "pulse/AudioDevice.h"

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
    bool playoutError() const override { return false; }
    bool recordingError() const override { return false; }
    void clearPlayoutError() override {}
    void clearRecordingError() override {}
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
