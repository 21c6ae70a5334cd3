// AudioDevice on PulseAudio: one record and one playback stream on a threaded main loop that
// reconnects by itself; the streams are made again when the server returns.
#include "platform/pulse/AudioDevice.h"
#include "platform/pulse/PulseConnection.h"
#include "platform/pulse/PulseDeviceControl.h"

#include <pulse/introspect.h>
#include <pulse/rtclock.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

namespace qn::platform {
namespace {

using namespace qn::pulse;

constexpr int kNegotiatedRates[] = {48000, 44100, 16000, 96000, 32000, 8000};
constexpr auto kOpenTimeout = std::chrono::milliseconds(1000);

class AudioDevicePulse final : public AudioDevice
{
public:
    AudioDevicePulse(int id, std::string server) : m_id(id), m_conn("qn-audiodev", std::move(server))
    {
        m_conn.setHooks({[this](pa_context *c) { onReady(c); }, [this] { onLost(); }});
    }
    ~AudioDevicePulse() override { terminate(); }

    int init() override
    {
        std::lock_guard<std::mutex> g(m_op);
        if (m_conn.isOpen())
            return 0;
        if (m_conn.open(kOpenTimeout) != 0)
            return -1;
        m_playWarnings = m_playErrors = m_recWarnings = m_recErrors = 0;
        qCDebug(lcPulse) << "audio device" << m_id << "initialised";
        return 0;
    }

    int terminate() override
    {
        std::lock_guard<std::mutex> g(m_op);
        if (!m_conn.isOpen())
            return 0;
        {
            LoopLock lock(m_conn.loop());
            m_wantRecording = m_wantPlayout = false;
            m_recStream.reset();
            m_playStream.reset();
            m_recording = m_playing = false;
            m_recInitialized = m_playInitialized = false;
            m_speakerInitialized = m_micInitialized = false;
        }
        m_conn.close();
        return 0;
    }

    bool initialized() const override { return m_conn.isOpen(); }

    int activeAudioLayer(AudioLayer &layer) const override
    {
        layer = AudioLayer::LinuxPulse;
        return 0;
    }

    int playoutDevices() override { return int(list(true).size()); }
    int recordingDevices() override { return int(list(false).size()); }
    int playoutDeviceName(int index, DeviceName &out) override { return deviceName(true, index, out); }
    int recordingDeviceName(int index, DeviceName &out) override { return deviceName(false, index, out); }

    int setPlayoutDevice(int index) override { return selectDevice(true, index); }
    int setRecordingDevice(int index) override { return selectDevice(false, index); }
    // Both roles follow the server's default device; a Communications selection also marks the
    // stream with the "phone" media role, so the server's role routing may place it elsewhere.
    int setPlayoutDevice(DeviceRole role) override { return selectRole(true, role); }
    int setRecordingDevice(DeviceRole role) override { return selectRole(false, role); }

    int playoutIsAvailable(bool &available) override
    {
        available = initPlayout() == 0;
        if (available && !m_playing)
            m_playInitialized = false;
        return 0;
    }
    int recordingIsAvailable(bool &available) override
    {
        available = initRecording() == 0;
        if (available && !m_recording)
            m_recInitialized = false;
        return 0;
    }

    int initPlayout() override { return prepare(true); }
    int initRecording() override { return prepare(false); }
    bool playoutIsInitialized() const override { return m_playInitialized; }
    bool recordingIsInitialized() const override { return m_recInitialized; }

    int startPlayout() override { return startDirection(true); }
    int startRecording() override { return startDirection(false); }
    int stopPlayout() override { return stopDirection(true); }
    int stopRecording() override { return stopDirection(false); }
    bool playing() const override { return m_playing; }
    bool recording() const override { return m_recording; }

    int setStereoPlayout(bool stereo) override
    {
        std::lock_guard<std::mutex> g(m_op);
        m_playPreferred = stereo ? 2 : 1;
        return 0;
    }
    bool stereoPlayout() const override { return m_playPreferred == 2; }
    // The server converts between any client channel count and the device's.
    int stereoPlayoutIsAvailable(bool &available) const override { return available = true, 0; }
    int stereoRecordingIsAvailable(bool &available) const override { return available = true, 0; }
    int setStereoRecording(bool stereo) override
    {
        std::lock_guard<std::mutex> g(m_op);
        m_recPreferred = stereo ? 2 : 1;
        return 0;
    }
    bool stereoRecording() const override { return m_recPreferred == 2; }

    int playoutDelayMs(uint16_t &ms) const override
    {
        ms = uint16_t(m_playDelayMs.load());
        return 0;
    }
    int recordingDelayMs(uint16_t &ms) const override
    {
        ms = uint16_t(m_recDelayMs.load());
        return 0;
    }

    int setPlayoutBuffer(BufferType type, uint16_t sizeMs) override
    {
        std::lock_guard<std::mutex> g(m_op);
        m_bufferType = type;
        if (type == BufferType::Fixed)
            m_fixedBufferMs = sizeMs;
        return 0;
    }
    int playoutBuffer(BufferType &type, uint16_t &sizeMs) const override
    {
        type = m_bufferType;
        sizeMs = type == BufferType::Adaptive ? uint16_t(m_playDelayMs.load()) : m_fixedBufferMs.load();
        return 0;
    }

    bool playoutWarning() const override { return m_playWarnings > 0; }
    bool playoutError() const override { return m_playErrors > 0; }
    bool recordingWarning() const override { return m_recWarnings > 0; }
    bool recordingError() const override { return m_recErrors > 0; }
    void clearPlayoutWarning() override { m_playWarnings = 0; }
    void clearPlayoutError() override { m_playErrors = 0; }
    void clearRecordingWarning() override { m_recWarnings = 0; }
    void clearRecordingError() override { m_recErrors = 0; }

    // --- speaker and microphone (defined below the class) ------------------------------------
    int initSpeaker() override;
    bool speakerIsInitialized() const override { return m_speakerInitialized; }
    int initMicrophone() override;
    bool microphoneIsInitialized() const override { return m_micInitialized; }
    int speakerVolumeIsAvailable(bool &available) override;
    int setSpeakerVolume(uint32_t volume) override;
    int speakerVolume(uint32_t &volume) override;
    int maxSpeakerVolume(uint32_t &volume) const override;
    int minSpeakerVolume(uint32_t &volume) const override;
    int speakerVolumeStepSize(uint16_t &step) const override;
    int microphoneVolumeIsAvailable(bool &available) override;
    int setMicrophoneVolume(uint32_t volume) override;
    int microphoneVolume(uint32_t &volume) override;
    int maxMicrophoneVolume(uint32_t &volume) const override;
    int minMicrophoneVolume(uint32_t &volume) const override;
    int microphoneVolumeStepSize(uint16_t &step) const override;
    int speakerMuteIsAvailable(bool &available) override;
    int setSpeakerMute(bool mute) override;
    int speakerMute(bool &muted) override;
    int microphoneMuteIsAvailable(bool &available) override;
    int setMicrophoneMute(bool mute) override;
    int microphoneMute(bool &muted) override;
    int microphoneBoostIsAvailable(bool &available) override;
    int setMicrophoneBoost(bool enable) override;
    int microphoneBoost(bool &enabled) const override;

    int attachTransport(AudioTransport *transport) override
    {
        std::lock_guard<std::mutex> g(m_op);
        std::unique_ptr<LoopLock> lock;
        if (m_conn.isOpen())
            lock = std::make_unique<LoopLock>(m_conn.loop());
        m_transport = transport;
        if (m_transport) {
            m_transport->setRecordingRate(0);
            m_transport->setPlayoutRate(0);
            m_transport->setRecordingChannels(0);
            m_transport->setPlayoutChannels(0);
        }
        return 0;
    }

private:
    struct Entry
    {
        DeviceName name;
        pa_sample_spec sampleSpec{};
    };
    struct Direction
    {
        int rate = 0;
        int channels = 0;
    };

    // --- device lists (m_op held by the caller or not needed) ------------------------------

    std::vector<Entry> list(bool playout)
    {
        std::vector<Entry> out;
        if (!m_conn.isOpen())
            return out;
        LoopLock lock(m_conn.loop());
        pa_context *c = m_conn.context();
        if (!c)
            return out;
        struct Query
        {
            AudioDevicePulse *me;
            std::vector<Entry> *out;
        } q{this, &out};
        pa_operation *op;
        if (playout) {
            op = pa_context_get_sink_info_list(
                c,
                [](pa_context *, const pa_sink_info *i, int eol, void *d) {
                    auto *q = static_cast<Query *>(d);
                    if (!eol && i)
                        q->out->push_back(
                            {{i->description ? i->description : i->name, i->name}, i->sample_spec});
                    pa_threaded_mainloop_signal(q->me->m_conn.loop(), 0);
                },
                &q);
        } else {
            op = pa_context_get_source_info_list(
                c,
                [](pa_context *, const pa_source_info *i, int eol, void *d) {
                    auto *q = static_cast<Query *>(d);
                    // Monitors of outputs are not recording devices.
                    if (!eol && i && i->monitor_of_sink == PA_INVALID_INDEX)
                        q->out->push_back(
                            {{i->description ? i->description : i->name, i->name}, i->sample_spec});
                    pa_threaded_mainloop_signal(q->me->m_conn.loop(), 0);
                },
                &q);
        }
        if (!m_conn.wait(op))
            out.clear();
        return out;
    }

    int deviceName(bool playout, int index, DeviceName &out)
    {
        out = DeviceName();
        const std::vector<Entry> entries = list(playout);
        if (index == kDefaultDevice) {
            Entry e;
            if (!defaultEntry(playout, e))
                return -1;
            out = e.name;
            return 0;
        }
        if (index < 0 || index >= int(entries.size()))
            return -1;
        out = entries[size_t(index)].name;
        return 0;
    }

    bool defaultEntry(bool playout, Entry &e)
    {
        if (!m_conn.isOpen())
            return false;
        std::string name;
        {
            LoopLock lock(m_conn.loop());
            pa_context *c = m_conn.context();
            if (!c)
                return false;
            struct Query
            {
                AudioDevicePulse *me;
                std::string *name;
                bool playout;
            } q{this, &name, playout};
            pa_operation *op = pa_context_get_server_info(
                c,
                [](pa_context *, const pa_server_info *i, void *d) {
                    auto *q = static_cast<Query *>(d);
                    const char *n =
                        i ? (q->playout ? i->default_sink_name : i->default_source_name) : nullptr;
                    if (n)
                        *q->name = n;
                    pa_threaded_mainloop_signal(q->me->m_conn.loop(), 0);
                },
                &q);
            if (!m_conn.wait(op) || name.empty())
                return false;
        }
        for (const Entry &x : list(playout)) {
            if (x.name.id == name) {
                e = x;
                return true;
            }
        }
        return false;
    }

    int selectRole(bool playout, DeviceRole role)
    {
        std::lock_guard<std::mutex> g(m_op);
        if (playout ? m_playInitialized.load() : m_recInitialized.load())
            return -1;
        (playout ? m_playIndex : m_recIndex) = kDefaultDevice;
        (playout ? m_playRole : m_recRole) = role;
        return 0;
    }

    // The device an index selection names: the server's default for kDefaultDevice.
    bool resolve(bool playout, Entry &e)
    {
        const int index = playout ? m_playIndex : m_recIndex;
        if (index == kDefaultDevice)
            return defaultEntry(playout, e);
        const std::vector<Entry> entries = list(playout);
        if (index < 0 || index >= int(entries.size()))
            return false;
        e = entries[size_t(index)];
        return true;
    }

    int selectDevice(bool playout, int index)
    {
        std::lock_guard<std::mutex> g(m_op);
        if (playout ? m_playInitialized.load() : m_recInitialized.load())
            return -1;
        if (index != kDefaultDevice && (index < 0 || index >= int(list(playout).size())))
            return -1;
        (playout ? m_playIndex : m_recIndex) = index;
        (playout ? m_playRole : m_recRole) = DeviceRole::Console;
        return 0;
    }

    // --- preparation and streams -----------------------------------------------------------

    int prepare(bool playout)
    {
        std::lock_guard<std::mutex> g(m_op);
        std::atomic<bool> &prepared = playout ? m_playInitialized : m_recInitialized;
        if (playout ? m_playing.load() : m_recording.load())
            return -1;
        if (prepared)
            return 0;
        if (!m_conn.isOpen())
            return -1;
        Entry e;
        if (!resolve(playout, e))
            return -1;
        if (!playout)
            prepareLevels(false); // the microphone's controls come with recording; not required
        // Rates are tried in the order of kNegotiatedRates; the sound server converts between any
        // client format and the device's, so the first one is always accepted.
        const int rate = kNegotiatedRates[0];
        const int channels = playout ? m_playPreferred : m_recPreferred;
        LoopLock lock(m_conn.loop());
        Direction &d = playout ? m_play : m_rec;
        d.rate = rate;
        d.channels = channels;
        (playout ? m_playDevice : m_recDevice) = e.name.id;
        if (m_transport) {
            if (playout) {
                m_transport->setPlayoutRate(rate);
                m_transport->setPlayoutChannels(channels);
            } else {
                m_transport->setRecordingRate(rate);
                m_transport->setRecordingChannels(channels);
            }
        }
        prepared = true;
        return 0;
    }

    int startDirection(bool playout)
    {
        std::lock_guard<std::mutex> g(m_op);
        if (!(playout ? m_playInitialized.load() : m_recInitialized.load()))
            return -1;
        if (playout ? m_playing.load() : m_recording.load())
            return 0;
        LoopLock lock(m_conn.loop());
        (playout ? m_wantPlayout : m_wantRecording) = true;
        pa_context *c = m_conn.context();
        if (!c || !openStream(c, playout)) {
            (playout ? m_wantPlayout : m_wantRecording) = false;
            return -1;
        }
        // Wait until the stream runs (or fails), like a device start hand-shake.
        pa_stream *s = (playout ? m_playStream : m_recStream).get();
        // A timer event wakes the wait at the deadline even when the server never answers.
        const auto deadline = std::chrono::steady_clock::now() + kOpenTimeout;
        pa_time_event *wake = pa_context_rttime_new(
            c, pa_rtclock_now() + pa_usec_t(kOpenTimeout.count()) * PA_USEC_PER_MSEC,
            [](pa_mainloop_api *, pa_time_event *, const struct timeval *, void *me) {
                pa_threaded_mainloop_signal(static_cast<AudioDevicePulse *>(me)->m_conn.loop(), 0);
            },
            this);
        while (pa_stream_get_state(s) == PA_STREAM_CREATING && std::chrono::steady_clock::now() < deadline)
            pa_threaded_mainloop_wait(m_conn.loop());
        if (wake)
            pa_threaded_mainloop_get_api(m_conn.loop())->time_free(wake);
        if (pa_stream_get_state(s) != PA_STREAM_READY) {
            (playout ? m_wantPlayout : m_wantRecording) = false;
            (playout ? m_playStream : m_recStream).reset();
            return -1;
        }
        (playout ? m_playing : m_recording) = true;
        return 0;
    }

    int stopDirection(bool playout)
    {
        std::lock_guard<std::mutex> g(m_op);
        if (m_conn.isOpen()) {
            LoopLock lock(m_conn.loop());
            (playout ? m_wantPlayout : m_wantRecording) = false;
            (playout ? m_playStream : m_recStream).reset();
            if (!playout)
                m_staging.clear();
        }
        (playout ? m_playing : m_recording) = false;
        (playout ? m_playInitialized : m_recInitialized) = false;
        return 0;
    }

    // Loop lock held.
    bool openStream(pa_context *c, bool playout)
    {
        const Direction &d = playout ? m_play : m_rec;
        pa_sample_spec sampleSpec{PA_SAMPLE_S16LE, uint32_t(d.rate), uint8_t(d.channels)};
        pa_channel_map map;
        pa_channel_map_init_extend(&map, sampleSpec.channels, PA_CHANNEL_MAP_DEFAULT);
        std::unique_ptr<pa_proplist, decltype(&pa_proplist_free)> props(pa_proplist_new(), &pa_proplist_free);
        if ((playout ? m_playRole : m_recRole) == DeviceRole::Communications)
            pa_proplist_sets(props.get(), PA_PROP_MEDIA_ROLE, "phone");
        StreamPtr s(pa_stream_new_with_proplist(c, playout ? "playout" : "recording", &sampleSpec, &map,
                                                props.get()));
        if (!s)
            return false;
        const uint32_t block = uint32_t(d.rate / 100 * d.channels * 2);
        pa_buffer_attr attr;
        attr.maxlength = uint32_t(-1);
        attr.fragsize = block;
        attr.tlength = block * 4;
        if (playout && m_bufferType == BufferType::Fixed)
            attr.tlength = block * std::max<uint32_t>(1, uint32_t(m_fixedBufferMs.load() + 9) / 10);
        attr.minreq = block;
        attr.prebuf = uint32_t(-1);
        pa_stream_set_state_callback(
            s.get(),
            [](pa_stream *, void *me) {
                pa_threaded_mainloop_signal(static_cast<AudioDevicePulse *>(me)->m_conn.loop(), 0);
            },
            this);
        const std::string &dev = playout ? m_playDevice : m_recDevice;
        const char *devName = dev.empty() ? nullptr : dev.c_str();
        const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE |
                                             PA_STREAM_INTERPOLATE_TIMING);
        int rc;
        if (playout) {
            pa_stream_set_write_callback(s.get(), &AudioDevicePulse::writable, this);
            pa_stream_set_underflow_callback(
                s.get(),
                [](pa_stream *, void *me) { bump(static_cast<AudioDevicePulse *>(me)->m_playWarnings); },
                this);
            rc = pa_stream_connect_playback(s.get(), devName, &attr, flags, nullptr, nullptr);
        } else {
            pa_stream_set_read_callback(s.get(), &AudioDevicePulse::readable, this);
            pa_stream_set_overflow_callback(
                s.get(),
                [](pa_stream *, void *me) { bump(static_cast<AudioDevicePulse *>(me)->m_recWarnings); },
                this);
            rc = pa_stream_connect_record(s.get(), devName, &attr, flags);
        }
        if (rc < 0)
            return false;
        (playout ? m_playStream : m_recStream) = std::move(s);
        return true;
    }

    static void readable(pa_stream *s, size_t, void *self)
    {
        auto *me = static_cast<AudioDevicePulse *>(self);
        const size_t frameBytes = size_t(me->m_rec.channels) * 2;
        const size_t blockBytes = size_t(me->m_rec.rate / 100) * frameBytes;
        const void *data = nullptr;
        size_t bytes = 0;
        while (pa_stream_readable_size(s) > 0) {
            if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0)
                return;
            const auto *p = static_cast<const uint8_t *>(data);
            if (p)
                me->m_staging.insert(me->m_staging.end(), p, p + bytes);
            else
                me->m_staging.insert(me->m_staging.end(), bytes, 0); // a hole reads as silence
            pa_stream_drop(s);
        }
        size_t used = 0;
        while (me->m_staging.size() - used >= blockBytes) {
            if (me->m_transport)
                me->m_transport->deliverRecorded(
                    reinterpret_cast<const int16_t *>(me->m_staging.data() + used),
                    size_t(me->m_rec.rate / 100));
            used += blockBytes;
        }
        me->m_staging.erase(me->m_staging.begin(), me->m_staging.begin() + std::ptrdiff_t(used));
        pa_usec_t latency = 0;
        int negative = 0;
        if (pa_stream_get_latency(s, &latency, &negative) == 0)
            me->m_recDelayMs = int(latency / 1000);
    }

    static void writable(pa_stream *s, size_t nbytes, void *self)
    {
        auto *me = static_cast<AudioDevicePulse *>(self);
        const size_t blockBytes = size_t(me->m_play.rate / 100 * me->m_play.channels * 2);
        if (me->m_block.size() != blockBytes)
            me->m_block.assign(blockBytes, 0);
        while (nbytes >= blockBytes) {
            int got = me->m_transport ? me->m_transport->readPlayout(me->m_block.data(), blockBytes) : 0;
            if (got < 0)
                got = 0;
            std::fill(me->m_block.begin() + std::min<size_t>(size_t(got), blockBytes), me->m_block.end(), 0);
            if (pa_stream_write(s, me->m_block.data(), blockBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
                return;
            nbytes -= blockBytes;
        }
        pa_usec_t latency = 0;
        int negative = 0;
        if (pa_stream_get_latency(s, &latency, &negative) == 0)
            me->m_playDelayMs = int(latency / 1000);
    }

    // --- reconnection (loop thread, loop lock held) -----------------------------------------

    void onLost()
    {
        if (m_wantRecording) {
            m_recErrors = 1;
            qCWarning(lcPulse) << "recording interrupted: sound server lost";
        }
        if (m_wantPlayout) {
            m_playErrors = 1;
            qCWarning(lcPulse) << "playout interrupted: sound server lost";
        }
    }

    void onReady(pa_context *c)
    {
        if (m_wantRecording) {
            m_recStream.reset();
            m_staging.clear();
            if (openStream(c, false))
                qCInfo(lcPulse) << "recording resumed";
        }
        if (m_wantPlayout) {
            m_playStream.reset();
            if (openStream(c, true))
                qCInfo(lcPulse) << "playout resumed";
        }
    }

    static void bump(std::atomic<uint16_t> &counter)
    {
        uint16_t v = counter.load();
        while (v < UINT16_MAX && !counter.compare_exchange_weak(v, uint16_t(v + 1))) {
        }
    }

    // m_op held. Resolves the selected device of the direction and checks its level can be read.
    int prepareLevels(bool speaker);
    // m_op held. The prepared device's level, or false.
    bool preparedLevel(bool speaker, DeviceLevel &level);
    // m_op not held: resolves the selected device now (availability checks).
    bool currentLevel(bool speaker, DeviceLevel &level);

    const int m_id;
    PulseConnection m_conn;
    std::mutex m_op; // serialises operations; taken before the loop lock

    // Loop lock (or m_op while the loop is closed).
    AudioTransport *m_transport = nullptr;
    StreamPtr m_recStream;
    StreamPtr m_playStream;
    Direction m_rec;
    Direction m_play;
    std::string m_recDevice;
    std::string m_playDevice;
    std::vector<uint8_t> m_staging;
    std::vector<uint8_t> m_block;
    bool m_wantRecording = false;
    bool m_wantPlayout = false;

    // m_op.
    int m_recIndex = kDefaultDevice;
    int m_playIndex = kDefaultDevice;
    DeviceRole m_recRole = DeviceRole::Console;
    DeviceRole m_playRole = DeviceRole::Console;
    std::string m_speakerDevice; // resolved by initSpeaker
    std::string m_micDevice;     // resolved by initMicrophone
    std::atomic<int> m_recPreferred{2};
    std::atomic<int> m_playPreferred{2};

    std::atomic<bool> m_recInitialized{false};
    std::atomic<bool> m_playInitialized{false};
    std::atomic<bool> m_recording{false};
    std::atomic<bool> m_playing{false};
    std::atomic<bool> m_speakerInitialized{false};
    std::atomic<bool> m_micInitialized{false};
    // Counters, 16-bit as the device reports them; raised on the loop thread, cleared anywhere.
    std::atomic<uint16_t> m_recWarnings{0};
    std::atomic<uint16_t> m_recErrors{0};
    std::atomic<uint16_t> m_playWarnings{0};
    std::atomic<uint16_t> m_playErrors{0};
    std::atomic<BufferType> m_bufferType{BufferType::Adaptive};
    std::atomic<uint16_t> m_fixedBufferMs{80};
    std::atomic<int> m_recDelayMs{0};
    std::atomic<int> m_playDelayMs{0};
};

// --- speaker and microphone ----------------------------------------------------------------
// The speaker is the selected output device (sink) and the microphone the selected input device
// (source); their volume and mute are the devices' own, as the sound settings show them.

int AudioDevicePulse::prepareLevels(bool speaker)
{
    if (speaker ? m_playing.load() : m_recording.load())
        return -1;
    Entry e;
    DeviceLevel level;
    if (!resolve(speaker, e) ||
        !readDeviceLevel(m_conn, speaker ? DeviceKind::Sink : DeviceKind::Source, e.name.id, level))
        return -1;
    (speaker ? m_speakerDevice : m_micDevice) = e.name.id;
    (speaker ? m_speakerInitialized : m_micInitialized) = true;
    return 0;
}

bool AudioDevicePulse::preparedLevel(bool speaker, DeviceLevel &level)
{
    if (!(speaker ? m_speakerInitialized.load() : m_micInitialized.load()))
        return false;
    return readDeviceLevel(m_conn, speaker ? DeviceKind::Sink : DeviceKind::Source,
                           speaker ? m_speakerDevice : m_micDevice, level);
}

bool AudioDevicePulse::currentLevel(bool speaker, DeviceLevel &level)
{
    std::lock_guard<std::mutex> g(m_op);
    Entry e;
    return resolve(speaker, e) &&
           readDeviceLevel(m_conn, speaker ? DeviceKind::Sink : DeviceKind::Source, e.name.id, level);
}

int AudioDevicePulse::initSpeaker()
{
    std::lock_guard<std::mutex> g(m_op);
    return prepareLevels(true);
}

int AudioDevicePulse::initMicrophone()
{
    std::lock_guard<std::mutex> g(m_op);
    return prepareLevels(false);
}

int AudioDevicePulse::speakerVolumeIsAvailable(bool &available)
{
    DeviceLevel level;
    available = currentLevel(true, level);
    return 0;
}

int AudioDevicePulse::microphoneVolumeIsAvailable(bool &available)
{
    DeviceLevel level;
    available = currentLevel(false, level);
    return 0;
}

// Every sink and source has a mute switch: mute is available when the device answers.
int AudioDevicePulse::speakerMuteIsAvailable(bool &available)
{
    return speakerVolumeIsAvailable(available);
}
int AudioDevicePulse::microphoneMuteIsAvailable(bool &available)
{
    return microphoneVolumeIsAvailable(available);
}

int AudioDevicePulse::setSpeakerVolume(uint32_t volume)
{
    std::lock_guard<std::mutex> g(m_op);
    if (volume > kMaxVolume || !m_speakerInitialized)
        return -1;
    return setDeviceVolume(m_conn, DeviceKind::Sink, m_speakerDevice, volumeFromLevel(volume)) ? 0 : -1;
}

int AudioDevicePulse::setMicrophoneVolume(uint32_t volume)
{
    std::lock_guard<std::mutex> g(m_op);
    if (volume > kMaxVolume || !m_micInitialized || m_micDevice.empty())
        return -1;
    return setDeviceVolume(m_conn, DeviceKind::Source, m_micDevice, volumeFromLevel(volume)) ? 0 : -1;
}

int AudioDevicePulse::speakerVolume(uint32_t &volume)
{
    std::lock_guard<std::mutex> g(m_op);
    DeviceLevel level;
    if (!preparedLevel(true, level))
        return -1;
    volume = levelFromVolume(pa_cvolume_max(&level.volume));
    return 0;
}

int AudioDevicePulse::microphoneVolume(uint32_t &volume)
{
    std::lock_guard<std::mutex> g(m_op);
    DeviceLevel level;
    if (!preparedLevel(false, level))
        return -1;
    volume = levelFromVolume(pa_cvolume_max(&level.volume));
    return 0;
}

int AudioDevicePulse::maxSpeakerVolume(uint32_t &volume) const
{
    return m_speakerInitialized ? (volume = kMaxVolume, 0) : -1;
}
int AudioDevicePulse::minSpeakerVolume(uint32_t &volume) const
{
    return m_speakerInitialized ? (volume = 0, 0) : -1;
}
int AudioDevicePulse::speakerVolumeStepSize(uint16_t &step) const
{
    return m_speakerInitialized ? (step = 1, 0) : -1;
}
int AudioDevicePulse::maxMicrophoneVolume(uint32_t &volume) const
{
    return m_micInitialized ? (volume = kMaxVolume, 0) : -1;
}
int AudioDevicePulse::minMicrophoneVolume(uint32_t &volume) const
{
    return m_micInitialized ? (volume = 0, 0) : -1;
}
int AudioDevicePulse::microphoneVolumeStepSize(uint16_t &step) const
{
    return m_micInitialized ? (step = 1, 0) : -1;
}

int AudioDevicePulse::setSpeakerMute(bool mute)
{
    std::lock_guard<std::mutex> g(m_op);
    if (!m_speakerInitialized)
        return -1;
    return setDeviceMute(m_conn, DeviceKind::Sink, m_speakerDevice, mute) ? 0 : -1;
}

int AudioDevicePulse::setMicrophoneMute(bool mute)
{
    std::lock_guard<std::mutex> g(m_op);
    if (!m_micInitialized)
        return -1;
    return setDeviceMute(m_conn, DeviceKind::Source, m_micDevice, mute) ? 0 : -1;
}

int AudioDevicePulse::speakerMute(bool &muted)
{
    std::lock_guard<std::mutex> g(m_op);
    DeviceLevel level;
    if (!preparedLevel(true, level))
        return -1;
    muted = level.muted;
    return 0;
}

int AudioDevicePulse::microphoneMute(bool &muted)
{
    std::lock_guard<std::mutex> g(m_op);
    DeviceLevel level;
    if (!preparedLevel(false, level))
        return -1;
    muted = level.muted;
    return 0;
}

// Microphone boost is a switch of some capture hardware (a fixed gain stage ahead of the level
// control). The sound server exposes no such switch, only the level, which already goes past the
// normal level: the boost is never available here.
int AudioDevicePulse::microphoneBoostIsAvailable(bool &available)
{
    available = false;
    return 0;
}
int AudioDevicePulse::setMicrophoneBoost(bool)
{
    return -1;
}
int AudioDevicePulse::microphoneBoost(bool &) const
{
    return -1;
}

} // namespace

std::unique_ptr<AudioDevice> createAudioDevice(int id, const std::string &server)
{
    return std::make_unique<AudioDevicePulse>(id, server);
}

} // namespace qn::platform
