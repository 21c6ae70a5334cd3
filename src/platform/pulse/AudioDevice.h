#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qn::platform {

/// The data side of an AudioDevice: takes recorded 10 ms blocks and gives the blocks to play.
/// Called on the device's own thread ("qn-audiodev"), with the device's lock held: it must not
/// call back into the device and must not block.
class AudioTransport
{
public:
    virtual ~AudioTransport() = default;
    virtual void setRecordingRate(int rate) = 0;
    virtual void setRecordingChannels(int channels) = 0;
    virtual void setPlayoutRate(int rate) = 0;
    virtual void setPlayoutChannels(int channels) = 0;
    /// One 10 ms block of interleaved signed 16-bit samples in the recording format.
    virtual int deliverRecorded(const int16_t *data, size_t samplesPerChannel) = 0;
    /// Fills up to `capacityBytes` of `out` with the next block to play (interleaved signed 16-bit
    /// in the playout format) and returns the bytes written; 0 plays silence.
    virtual int readPlayout(uint8_t *out, size_t capacityBytes) = 0;
};

/// A sound device for recording from an input and playing to an output, in 10 ms blocks of
/// 16-bit PCM. Results are 0 for success and -1 for failure unless stated.
///
/// Lifecycle: init → select devices → initPlayout / initRecording (format negotiated and reported
/// to the transport) → startPlayout / startRecording → stop (back to not initialised) →
/// terminate. When the sound server goes away a running device reports it (the error flags are
/// raised, a warning is logged) and resumes by itself once the server returns.
///
/// Threads: operations may be called from any thread but are serialised by the device's lock;
/// the transport is called on the device's own thread.
class AudioDevice
{
public:
    struct DeviceName
    {
        std::string name; ///< human-readable description
        std::string id;   ///< the system's device name, stable across runs
    };
    static constexpr int kDefaultDevice = -1;

    virtual ~AudioDevice() = default;

    virtual int init() = 0;
    virtual int terminate() = 0;
    virtual bool initialized() const = 0;

    virtual int playoutDevices() = 0;
    virtual int recordingDevices() = 0;
    /// index kDefaultDevice names the default device.
    virtual int playoutDeviceName(int index, DeviceName &out) = 0;
    virtual int recordingDeviceName(int index, DeviceName &out) = 0;
    /// Refused while the direction is initialised or the index is out of range.
    virtual int setPlayoutDevice(int index) = 0;
    virtual int setRecordingDevice(int index) = 0;

    virtual int playoutIsAvailable(bool &available) = 0;
    virtual int initPlayout() = 0;
    virtual bool playoutIsInitialized() const = 0;
    virtual int recordingIsAvailable(bool &available) = 0;
    virtual int initRecording() = 0;
    virtual bool recordingIsInitialized() const = 0;

    /// Requires the direction initialised; a second start is 0 and starts nothing more.
    virtual int startPlayout() = 0;
    virtual int stopPlayout() = 0;
    virtual bool playing() const = 0;
    virtual int startRecording() = 0;
    virtual int stopRecording() = 0;
    virtual bool recording() const = 0;

    virtual int setStereoPlayout(bool stereo) = 0;
    virtual bool stereoPlayout() const = 0;
    virtual int setStereoRecording(bool stereo) = 0;
    virtual bool stereoRecording() const = 0;

    virtual int playoutDelayMs(uint16_t &ms) const = 0;
    virtual int recordingDelayMs(uint16_t &ms) const = 0;

    /// Raised when the server was lost while the direction ran; cleared by the clear calls.
    virtual bool playoutError() const = 0;
    virtual bool recordingError() const = 0;
    virtual void clearPlayoutError() = 0;
    virtual void clearRecordingError() = 0;

    /// Stores the transport (not owned) and sets its four rates and channel counts to 0.
    virtual int attachTransport(AudioTransport *transport) = 0;
};

/// The backend chosen at build time. `server` empty: the default sound server.
std::unique_ptr<AudioDevice> createAudioDevice(int id, const std::string &server = std::string());

} // namespace qn::platform
