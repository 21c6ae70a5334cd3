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

    /// The sound system a device is built on.
    enum class AudioLayer { PlatformDefault = 0, LinuxAlsa = 3, LinuxPulse = 4 };
    /// Which default device a role selection follows: Console is the system's default device,
    /// Communications the one the system routes calls to.
    enum class DeviceRole { Communications = -1, Console = -2 };
    /// Playout buffering: Fixed uses the size given to setPlayoutBuffer; Adaptive lets the sound
    /// system choose (the size then reads as the current playout delay).
    enum class BufferType { Fixed = 0, Adaptive = 1 };
    /// Volumes are 0..kMaxVolume in steps of 1; kMaxVolume is the device's normal full level.
    static constexpr uint32_t kMaxVolume = 255;

    virtual ~AudioDevice() = default;

    virtual int activeAudioLayer(AudioLayer &layer) const = 0;

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
    /// Follows the default device of `role`; refused while the direction is initialised.
    virtual int setPlayoutDevice(DeviceRole role) = 0;
    virtual int setRecordingDevice(DeviceRole role) = 0;

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

    /// Speaker (output device) and microphone (input device) controls. initSpeaker is refused
    /// while playing and initMicrophone while recording; both resolve the selected device and
    /// check that its volume can be read. The volume, mute and limit operations below need the
    /// matching init (else -1); the availability checks do not.
    virtual int initSpeaker() = 0;
    virtual bool speakerIsInitialized() const = 0;
    virtual int initMicrophone() = 0;
    virtual bool microphoneIsInitialized() const = 0;

    virtual int speakerVolumeIsAvailable(bool &available) = 0;
    /// 0..kMaxVolume; above is refused.
    virtual int setSpeakerVolume(uint32_t volume) = 0;
    virtual int speakerVolume(uint32_t &volume) = 0;
    virtual int maxSpeakerVolume(uint32_t &volume) const = 0;
    virtual int minSpeakerVolume(uint32_t &volume) const = 0;
    virtual int speakerVolumeStepSize(uint16_t &step) const = 0;

    virtual int microphoneVolumeIsAvailable(bool &available) = 0;
    virtual int setMicrophoneVolume(uint32_t volume) = 0;
    virtual int microphoneVolume(uint32_t &volume) = 0;
    virtual int maxMicrophoneVolume(uint32_t &volume) const = 0;
    virtual int minMicrophoneVolume(uint32_t &volume) const = 0;
    virtual int microphoneVolumeStepSize(uint16_t &step) const = 0;

    virtual int speakerMuteIsAvailable(bool &available) = 0;
    virtual int setSpeakerMute(bool mute) = 0;
    virtual int speakerMute(bool &muted) = 0;
    virtual int microphoneMuteIsAvailable(bool &available) = 0;
    virtual int setMicrophoneMute(bool mute) = 0;
    virtual int microphoneMute(bool &muted) = 0;

    virtual int microphoneBoostIsAvailable(bool &available) = 0;
    virtual int setMicrophoneBoost(bool enable) = 0;
    virtual int microphoneBoost(bool &enabled) const = 0;

    virtual int stereoPlayoutIsAvailable(bool &available) const = 0;
    virtual int stereoRecordingIsAvailable(bool &available) const = 0;
    virtual int setStereoPlayout(bool stereo) = 0;
    virtual bool stereoPlayout() const = 0;
    virtual int setStereoRecording(bool stereo) = 0;
    virtual bool stereoRecording() const = 0;

    virtual int playoutDelayMs(uint16_t &ms) const = 0;
    virtual int recordingDelayMs(uint16_t &ms) const = 0;

    /// The size is stored only for BufferType::Fixed; it applies from the next initPlayout.
    virtual int setPlayoutBuffer(BufferType type, uint16_t sizeMs) = 0;
    /// The type, and the stored size (Fixed) or the current playout delay (Adaptive).
    virtual int playoutBuffer(BufferType &type, uint16_t &sizeMs) const = 0;

    /// Warnings are raised when the sound system ran short of data to play (playout) or lost
    /// recorded data (recording); errors when the server was lost while the direction ran. All
    /// four are cleared by init() and by the clear calls.
    virtual bool playoutWarning() const = 0;
    virtual bool playoutError() const = 0;
    virtual bool recordingWarning() const = 0;
    virtual bool recordingError() const = 0;
    virtual void clearPlayoutWarning() = 0;
    virtual void clearPlayoutError() = 0;
    virtual void clearRecordingWarning() = 0;
    virtual void clearRecordingError() = 0;

    /// Stores the transport (not owned) and sets its four rates and channel counts to 0.
    virtual int attachTransport(AudioTransport *transport) = 0;
};

/// The backend chosen at build time. `server` empty: the default sound server.
std::unique_ptr<AudioDevice> createAudioDevice(int id, const std::string &server = std::string());

} // namespace qn::platform
