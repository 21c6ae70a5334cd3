// LoopbackSource on PulseAudio: a record stream on the default sink's monitor source, on a
// threaded main loop that reconnects by itself when the server goes away.
#include "platform/pulse/LoopbackSource.h"
#include "platform/pulse/PulseConnection.h"

#include <pulse/introspect.h>

#include <atomic>
#include <mutex>

namespace qn::platform {
namespace {

using namespace qn::pulse;

class LoopbackSourcePulse final : public LoopbackSource
{
public:
    explicit LoopbackSourcePulse(Options options)
        : m_options(std::move(options)), m_conn("qn-loopback", m_options.server, m_options.retryInterval)
    {
        m_conn.setHooks({[this](pa_context *c) { onContextReady(c); }, [this] { onLost(); }});
    }
    ~LoopbackSourcePulse() override { stop(); }

    void setPacketCallback(PacketCallback cb) override { m_packetCb = std::move(cb); }
    void setEventCallback(EventCallback cb) override { m_eventCb = std::move(cb); }

    int start(std::chrono::milliseconds timeout) override
    {
        if (m_conn.isOpen())
            return 0;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        {
            std::lock_guard<std::mutex> g(m_startMutex);
            m_streaming = false;
        }
        m_everStreamed = false;
        if (m_conn.open(timeout) != 0)
            return -1;
        std::unique_lock<std::mutex> g(m_startMutex);
        const bool ok = m_startCv.wait_until(g, deadline, [this] { return m_streaming; });
        g.unlock();
        if (!ok) {
            qCWarning(lcPulse) << "loopback recording did not start in time";
            stop();
            return -1;
        }
        return 0;
    }

    void stop() override
    {
        if (!m_conn.isOpen())
            return;
        {
            LoopLock lock(m_conn.loop());
            m_stream.reset();
        }
        m_conn.close();
    }

    Format format() const override
    {
        std::lock_guard<std::mutex> g(m_startMutex);
        return m_format;
    }

private:
    // --- loop thread, loop lock held -------------------------------------------------------

    void onContextReady(pa_context *c)
    {
        m_stream.reset();
        if (!m_options.device.empty()) {
            pa_operation *op = pa_context_get_source_info_by_name(c, m_options.device.c_str(),
                                                                  &LoopbackSourcePulse::sourceInfo, this);
            if (op)
                pa_operation_unref(op);
            return;
        }
        pa_operation *op = pa_context_get_server_info(c, &LoopbackSourcePulse::serverInfo, this);
        if (op)
            pa_operation_unref(op);
    }

    static void serverInfo(pa_context *c, const pa_server_info *info, void *self)
    {
        auto *me = static_cast<LoopbackSourcePulse *>(self);
        if (!info || !info->default_sink_name) {
            qCWarning(lcPulse) << "no default output device";
            return;
        }
        pa_operation *op =
            pa_context_get_sink_info_by_name(c, info->default_sink_name, &LoopbackSourcePulse::sinkInfo, me);
        if (op)
            pa_operation_unref(op);
    }

    static void sinkInfo(pa_context *c, const pa_sink_info *info, int eol, void *self)
    {
        if (eol || !info)
            return;
        auto *me = static_cast<LoopbackSourcePulse *>(self);
        me->openStream(c, info->monitor_source_name, info->sample_spec, info->channel_map);
    }

    static void sourceInfo(pa_context *c, const pa_source_info *info, int eol, void *self)
    {
        if (eol || !info)
            return;
        auto *me = static_cast<LoopbackSourcePulse *>(self);
        me->openStream(c, info->name, info->sample_spec, info->channel_map);
    }

    void openStream(pa_context *c, const char *source, const pa_sample_spec &deviceSpec,
                    const pa_channel_map &deviceMap)
    {
        // Same rate and channels as the device, samples as signed 16-bit.
        pa_sample_spec sampleSpec;
        sampleSpec.format = PA_SAMPLE_S16LE;
        sampleSpec.rate = deviceSpec.rate;
        sampleSpec.channels = deviceSpec.channels;
        m_pendingFormat = Format{int(sampleSpec.rate), int(sampleSpec.channels)};
        m_frameBytes = size_t(sampleSpec.channels) * 2;
        m_stream.reset(pa_stream_new(c, "system sound", &sampleSpec, &deviceMap));
        if (!m_stream) {
            qCWarning(lcPulse) << "cannot create the loopback stream";
            return;
        }
        pa_buffer_attr attr;
        attr.maxlength = uint32_t(-1);
        attr.tlength = uint32_t(-1);
        attr.prebuf = uint32_t(-1);
        attr.minreq = uint32_t(-1);
        attr.fragsize =
            uint32_t(pa_usec_to_bytes(pa_usec_t(m_options.fragment.count()) * PA_USEC_PER_MSEC, &sampleSpec));
        pa_stream_set_state_callback(m_stream.get(), &LoopbackSourcePulse::streamState, this);
        pa_stream_set_read_callback(m_stream.get(), &LoopbackSourcePulse::readable, this);
        if (pa_stream_connect_record(m_stream.get(), source, &attr,
                                     pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE)) < 0) {
            qCWarning(lcPulse) << "cannot record" << source;
            m_stream.reset();
            return;
        }
        qCInfo(lcPulse) << "loopback on" << source << sampleSpec.rate << "Hz" << sampleSpec.channels
                        << "channels";
    }

    static void streamState(pa_stream *s, void *self)
    {
        auto *me = static_cast<LoopbackSourcePulse *>(self);
        switch (pa_stream_get_state(s)) {
        case PA_STREAM_READY: {
            {
                std::lock_guard<std::mutex> g(me->m_startMutex);
                me->m_format = me->m_pendingFormat;
                me->m_streaming = true;
            }
            me->m_startCv.notify_all();
            if (me->m_everStreamed && me->m_eventCb)
                me->m_eventCb(Event::Restarted);
            me->m_everStreamed = true;
            break;
        }
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            // The monitor went away while the server stays (device removed or moved).
            qCWarning(lcPulse) << "loopback stream ended; reopening";
            me->onLost();
            if (pa_context *c = pa_stream_get_context(s)) {
                if (pa_context_get_state(c) == PA_CONTEXT_READY) {
                    pa_operation *op =
                        pa_context_get_server_info(c, &LoopbackSourcePulse::deferredReopen, me);
                    if (op)
                        pa_operation_unref(op);
                }
            }
            break;
        default:
            break;
        }
    }

    static void deferredReopen(pa_context *c, const pa_server_info *, void *self)
    {
        // Runs after the failed stream's callback returned, so the stream can be released here.
        auto *me = static_cast<LoopbackSourcePulse *>(self);
        me->onContextReady(c);
    }

    static void readable(pa_stream *s, size_t, void *self)
    {
        auto *me = static_cast<LoopbackSourcePulse *>(self);
        const void *data = nullptr;
        size_t bytes = 0;
        while (pa_stream_readable_size(s) > 0) {
            if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0)
                return;
            if (data && me->m_packetCb)
                me->m_packetCb(static_cast<const int16_t *>(data), bytes / me->m_frameBytes,
                               me->m_pendingFormat);
            // A hole (data null) is skipped.
            pa_stream_drop(s);
        }
    }

    void onLost()
    {
        bool wasStreaming;
        {
            std::lock_guard<std::mutex> g(m_startMutex);
            wasStreaming = m_streaming;
            m_streaming = false;
        }
        if (wasStreaming && m_eventCb)
            m_eventCb(Event::Lost);
    }

    Options m_options;
    PulseConnection m_conn;
    PacketCallback m_packetCb;
    EventCallback m_eventCb;
    StreamPtr m_stream;          // loop lock
    Format m_pendingFormat;      // loop lock
    size_t m_frameBytes = 4;     // loop lock
    bool m_everStreamed = false; // loop lock

    mutable std::mutex m_startMutex; // after the loop lock
    std::condition_variable m_startCv;
    bool m_streaming = false;
    Format m_format;
};

} // namespace

std::unique_ptr<LoopbackSource> createLoopbackSource(const LoopbackSource::Options &options)
{
    return std::make_unique<LoopbackSourcePulse>(options);
}

} // namespace qn::platform
