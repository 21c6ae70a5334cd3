// PulseAudio backend of the volume watcher: a threaded main loop subscribed to sink and server
// events, following the default sink.
#include "platform/volume/QnVolumeWatcher.h"

#include <QLoggingCategory>

#include <atomic>
#include <pulse/pulseaudio.h>
#include <string>

Q_LOGGING_CATEGORY(lcVolume, "qn.volume")

namespace {

struct LoopDeleter
{
    void operator()(pa_threaded_mainloop *m) const { pa_threaded_mainloop_free(m); }
};
struct ContextDeleter
{
    void operator()(pa_context *c) const { pa_context_unref(c); }
};
struct OperationDeleter
{
    void operator()(pa_operation *o) const { pa_operation_unref(o); }
};
using LoopPtr = std::unique_ptr<pa_threaded_mainloop, LoopDeleter>;
using ContextPtr = std::unique_ptr<pa_context, ContextDeleter>;
using OperationPtr = std::unique_ptr<pa_operation, OperationDeleter>;

class PulseVolumeWatcher final : public QnVolumeWatcher
{
public:
    PulseVolumeWatcher(MuteChanged cb, const QnVolumeWatcherOptions &options) : m_callback(std::move(cb))
    {
        m_loop.reset(pa_threaded_mainloop_new());
        if (!m_loop)
            return;
        pa_threaded_mainloop_set_name(m_loop.get(), "qn-volume");
        m_context.reset(
            pa_context_new(pa_threaded_mainloop_get_api(m_loop.get()), "QnLynClient volume watcher"));
        if (!m_context)
            return;
        pa_context_set_state_callback(m_context.get(), &PulseVolumeWatcher::onState, this);
        const QByteArray server = options.server.toLocal8Bit();
        if (pa_context_connect(m_context.get(), server.isEmpty() ? nullptr : server.constData(),
                               PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            qCInfo(lcVolume) << "no sound server:" << pa_strerror(pa_context_errno(m_context.get()));
            m_context.reset();
            return;
        }
        if (pa_threaded_mainloop_start(m_loop.get()) < 0) {
            m_context.reset();
            return;
        }
        m_running = true;

        pa_threaded_mainloop_lock(m_loop.get());
        const bool connected = waitConnected(options.connectTimeoutMs);
        if (connected)
            findDefaultSink();
        pa_threaded_mainloop_unlock(m_loop.get());
        if (!m_ready) {
            qCInfo(lcVolume) << "volume watcher not ready:"
                             << (connected ? "no default output" : "no sound server");
            shutdown();
        } else {
            qCInfo(lcVolume) << "watching output" << QString::fromStdString(m_sinkName) << "muted" << m_muted;
        }
    }

    ~PulseVolumeWatcher() override { shutdown(); }

    bool isReady() const override { return m_ready; }
    bool isMuted() const override { return m_muted.load(); }

    bool setNotify(bool on) override
    {
        // The subscription runs from construction so the mute state stays current; this only
        // switches forwarding.
        if (!m_ready)
            return false;
        m_notify = on;
        return true;
    }

private:
    // Called with the loop lock held.
    bool waitConnected(int timeoutMs)
    {
        pa_mainloop_api *api = pa_threaded_mainloop_get_api(m_loop.get());
        pa_time_event *timer =
            api->time_new(api, nullptr, &PulseVolumeWatcher::onTimeout, this); // armed below
        struct timeval tv;
        pa_timeval_add(pa_gettimeofday(&tv), static_cast<pa_usec_t>(timeoutMs) * PA_USEC_PER_MSEC);
        api->time_restart(timer, &tv);
        bool connected = false;
        for (;;) {
            const pa_context_state_t st = pa_context_get_state(m_context.get());
            if (st == PA_CONTEXT_READY) {
                connected = true;
                break;
            }
            if (!PA_CONTEXT_IS_GOOD(st) || m_timedOut)
                break;
            pa_threaded_mainloop_wait(m_loop.get());
        }
        api->time_free(timer);
        return connected;
    }

    // Called with the loop lock held, outside the loop thread.
    void waitFor(pa_operation *op)
    {
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING &&
               PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context.get())))
            pa_threaded_mainloop_wait(m_loop.get());
    }

    void findDefaultSink()
    {
        OperationPtr op(
            pa_context_get_server_info(m_context.get(), &PulseVolumeWatcher::onServerInfoInit, this));
        if (!op)
            return;
        waitFor(op.get());
        if (m_sinkName.empty())
            return;
        OperationPtr sinkOp(pa_context_get_sink_info_by_name(m_context.get(), m_sinkName.c_str(),
                                                             &PulseVolumeWatcher::onSinkInfo, this));
        if (!sinkOp)
            return;
        waitFor(sinkOp.get());
        if (m_sinkIndex == PA_INVALID_INDEX)
            return;
        pa_context_set_subscribe_callback(m_context.get(), &PulseVolumeWatcher::onEvent, this);
        const auto mask =
            static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER);
        m_lastSuccess = -1;
        OperationPtr subOp(pa_context_subscribe(m_context.get(), mask, &PulseVolumeWatcher::onSuccess, this));
        if (!subOp)
            return;
        waitFor(subOp.get());
        m_ready = m_lastSuccess == 1;
        if (!m_ready)
            qCWarning(lcVolume) << "sound server refused the subscription";
    }

    void shutdown()
    {
        if (m_running) {
            pa_threaded_mainloop_lock(m_loop.get());
            m_notify = false;
            pa_context_set_subscribe_callback(m_context.get(), nullptr, nullptr);
            pa_context_set_state_callback(m_context.get(), nullptr, nullptr);
            pa_context_disconnect(m_context.get());
            pa_threaded_mainloop_unlock(m_loop.get());
            pa_threaded_mainloop_stop(m_loop.get()); // joins the loop thread: no callback after this
            m_running = false;
        }
        m_context.reset();
        m_loop.reset();
        m_ready = false;
    }

    // Sink state update on the loop thread; forwards only a change of the mute state.
    void takeSink(const pa_sink_info *info)
    {
        m_sinkIndex = info->index;
        const bool muted = info->mute != 0;
        if (!m_haveMute) {
            m_haveMute = true;
            m_muted = muted;
            return;
        }
        if (muted == m_muted.load())
            return;
        // Decide before the new state becomes visible: a change observed through isMuted() must
        // not be forwarded by a setNotify(true) that follows the observation.
        const bool forward = m_notify.load();
        m_muted = muted;
        qCDebug(lcVolume) << "output mute changed:" << muted;
        if (forward && m_callback)
            m_callback(muted);
    }

    static void onState(pa_context *c, void *self)
    {
        auto *w = static_cast<PulseVolumeWatcher *>(self);
        const pa_context_state_t st = pa_context_get_state(c);
        if ((st == PA_CONTEXT_FAILED || st == PA_CONTEXT_TERMINATED) && w->m_ready)
            qCWarning(lcVolume) << "sound server lost; output mute is no longer watched";
        pa_threaded_mainloop_signal(w->m_loop.get(), 0);
    }

    static void onTimeout(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self)
    {
        auto *w = static_cast<PulseVolumeWatcher *>(self);
        w->m_timedOut = true;
        pa_threaded_mainloop_signal(w->m_loop.get(), 0);
    }

    static void onSuccess(pa_context *, int success, void *self)
    {
        auto *w = static_cast<PulseVolumeWatcher *>(self);
        w->m_lastSuccess = success ? 1 : 0;
        pa_threaded_mainloop_signal(w->m_loop.get(), 0);
    }

    static void onServerInfoInit(pa_context *, const pa_server_info *info, void *self)
    {
        auto *w = static_cast<PulseVolumeWatcher *>(self);
        if (info && info->default_sink_name)
            w->m_sinkName = info->default_sink_name;
        pa_threaded_mainloop_signal(w->m_loop.get(), 0);
    }

    static void onServerInfoChanged(pa_context *c, const pa_server_info *info, void *self)
    {
        auto *w = static_cast<PulseVolumeWatcher *>(self);
        if (!info || !info->default_sink_name || w->m_sinkName == info->default_sink_name)
            return;
        w->m_sinkName = info->default_sink_name;
        qCDebug(lcVolume) << "default output is now" << info->default_sink_name;
        OperationPtr op(
            pa_context_get_sink_info_by_name(c, info->default_sink_name, &PulseVolumeWatcher::onSinkInfo, w));
    }

    static void onSinkInfo(pa_context *, const pa_sink_info *info, int eol, void *self)
    {
        auto *w = static_cast<PulseVolumeWatcher *>(self);
        if (eol == 0 && info && w->m_sinkName == info->name)
            w->takeSink(info);
        pa_threaded_mainloop_signal(w->m_loop.get(), 0);
    }

    static void onEvent(pa_context *c, pa_subscription_event_type_t type, uint32_t index, void *self)
    {
        auto *w = static_cast<PulseVolumeWatcher *>(self);
        const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (facility == PA_SUBSCRIPTION_EVENT_SERVER && kind == PA_SUBSCRIPTION_EVENT_CHANGE) {
            OperationPtr op(pa_context_get_server_info(c, &PulseVolumeWatcher::onServerInfoChanged, w));
        } else if (facility == PA_SUBSCRIPTION_EVENT_SINK && kind == PA_SUBSCRIPTION_EVENT_CHANGE &&
                   index == w->m_sinkIndex) {
            OperationPtr op(pa_context_get_sink_info_by_index(c, index, &PulseVolumeWatcher::onSinkInfo, w));
        }
    }

    MuteChanged m_callback;
    LoopPtr m_loop;
    ContextPtr m_context;
    bool m_running = false;
    bool m_timedOut = false;
    bool m_ready = false;
    int m_lastSuccess = -1;
    // Written on the loop thread under the loop lock (and during construction).
    std::atomic<bool> m_notify{false};
    std::atomic<bool> m_muted{false};
    bool m_haveMute = false;
    uint32_t m_sinkIndex = PA_INVALID_INDEX;
    std::string m_sinkName;
};

} // namespace

std::unique_ptr<QnVolumeWatcher> qnCreateVolumeWatcher(QnVolumeWatcher::MuteChanged onMuteChanged,
                                                       const QnVolumeWatcherOptions &options)
{
    return std::make_unique<PulseVolumeWatcher>(std::move(onMuteChanged), options);
}
