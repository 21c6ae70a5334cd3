#include "platform/pulse/PulseConnection.h"

#include <pulse/error.h>
#include <pulse/rtclock.h>

Q_LOGGING_CATEGORY(lcPulse, "qn.pulse")

namespace qn::pulse {

void MainloopDeleter::operator()(pa_threaded_mainloop *m) const
{
    pa_threaded_mainloop_stop(m);
    pa_threaded_mainloop_free(m);
}

void ContextDeleter::operator()(pa_context *c) const
{
    pa_context_set_state_callback(c, nullptr, nullptr);
    pa_context_set_subscribe_callback(c, nullptr, nullptr);
    if (PA_CONTEXT_IS_GOOD(pa_context_get_state(c)))
        pa_context_disconnect(c);
    pa_context_unref(c);
}

void StreamDeleter::operator()(pa_stream *s) const
{
    pa_stream_set_state_callback(s, nullptr, nullptr);
    pa_stream_set_read_callback(s, nullptr, nullptr);
    pa_stream_set_write_callback(s, nullptr, nullptr);
    pa_stream_set_overflow_callback(s, nullptr, nullptr);
    pa_stream_set_underflow_callback(s, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(s)))
        pa_stream_disconnect(s);
    pa_stream_unref(s);
}

PulseConnection::PulseConnection(std::string threadName, std::string server,
                                 std::chrono::milliseconds retryInterval)
    : m_threadName(std::move(threadName)), m_server(std::move(server)), m_retry(retryInterval)
{}

PulseConnection::~PulseConnection()
{
    close();
}

int PulseConnection::open(std::chrono::milliseconds timeout)
{
    if (m_loop)
        return 0;
    m_loop.reset(pa_threaded_mainloop_new());
    if (!m_loop)
        return -1;
    pa_threaded_mainloop_set_name(m_loop.get(), m_threadName.c_str());
    {
        std::lock_guard<std::mutex> g(m_openMutex);
        m_openState = OpenState::Pending;
    }
    bool connected;
    {
        LoopLock lock(m_loop.get());
        m_closing = false;
        m_everReady = false;
        m_ready = false;
        connected = connectContext();
    }
    if (!connected || pa_threaded_mainloop_start(m_loop.get()) < 0) {
        qCWarning(lcPulse) << "cannot reach the sound server" << QString::fromStdString(m_server);
        close();
        return -1;
    }
    std::unique_lock<std::mutex> g(m_openMutex);
    m_openCv.wait_for(g, timeout, [this] { return m_openState != OpenState::Pending; });
    const bool ready = m_openState == OpenState::Ready;
    g.unlock();
    if (!ready) {
        qCWarning(lcPulse) << "sound server not ready within" << timeout.count() << "ms";
        close();
        return -1;
    }
    return 0;
}

void PulseConnection::close()
{
    if (!m_loop)
        return;
    {
        LoopLock lock(m_loop.get());
        m_closing = true;
        if (m_retryEvent) {
            pa_threaded_mainloop_get_api(m_loop.get())->time_free(m_retryEvent);
            m_retryEvent = nullptr;
        }
        m_ready = false;
        m_context.reset();
    }
    pa_threaded_mainloop_stop(m_loop.get());
    m_loop.reset();
}

bool PulseConnection::wait(pa_operation *op)
{
    if (!op)
        return false;
    while (pa_operation_get_state(op) == PA_OPERATION_RUNNING && m_context &&
           PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context.get())))
        pa_threaded_mainloop_wait(m_loop.get());
    const bool done = pa_operation_get_state(op) == PA_OPERATION_DONE;
    pa_operation_unref(op);
    return done;
}

bool PulseConnection::connectContext()
{
    m_context.reset(pa_context_new(pa_threaded_mainloop_get_api(m_loop.get()), "QnLynClient"));
    if (!m_context)
        return false;
    pa_context_set_state_callback(m_context.get(), &PulseConnection::stateCallback, this);
    return pa_context_connect(m_context.get(), m_server.empty() ? nullptr : m_server.c_str(),
                              PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
}

void PulseConnection::scheduleRetry()
{
    if (m_closing || m_retryEvent || !m_context)
        return;
    m_retryEvent = pa_context_rttime_new(m_context.get(),
                                         pa_rtclock_now() + pa_usec_t(m_retry.count()) * PA_USEC_PER_MSEC,
                                         &PulseConnection::retryCallback, this);
}

void PulseConnection::retryCallback(pa_mainloop_api *api, pa_time_event *e, const struct timeval *,
                                    void *self)
{
    auto *me = static_cast<PulseConnection *>(self);
    api->time_free(e);
    me->m_retryEvent = nullptr;
    if (me->m_closing)
        return;
    // The failed context is released here, outside its own callbacks.
    if (!me->connectContext()) {
        qCDebug(lcPulse) << "sound server still away; retrying";
        me->scheduleRetry();
    }
}

void PulseConnection::stateCallback(pa_context *c, void *self)
{
    auto *me = static_cast<PulseConnection *>(self);
    const pa_context_state_t state = pa_context_get_state(c);
    pa_threaded_mainloop_signal(me->m_loop.get(), 0);
    if (me->m_closing)
        return;
    if (state == PA_CONTEXT_READY) {
        me->m_ready = true;
        if (me->m_everReady)
            qCInfo(lcPulse) << "sound server back; restarting streams";
        me->m_everReady = true;
        {
            std::lock_guard<std::mutex> g(me->m_openMutex);
            me->m_openState = OpenState::Ready;
        }
        me->m_openCv.notify_all();
        if (me->m_hooks.onReady)
            me->m_hooks.onReady(c);
        return;
    }
    if (state != PA_CONTEXT_FAILED && state != PA_CONTEXT_TERMINATED)
        return;
    if (!me->m_everReady) {
        // Never reached the server: open() fails at once rather than waiting out its time-out.
        qCWarning(lcPulse) << "sound server connection failed:" << pa_strerror(pa_context_errno(c));
        {
            std::lock_guard<std::mutex> g(me->m_openMutex);
            me->m_openState = OpenState::Failed;
        }
        me->m_openCv.notify_all();
        return;
    }
    if (me->m_ready) {
        me->m_ready = false;
        ++me->m_losses;
        qCWarning(lcPulse) << "lost the sound server:" << pa_strerror(pa_context_errno(c));
        if (me->m_hooks.onLost)
            me->m_hooks.onLost();
    }
    me->scheduleRetry();
}

} // namespace qn::pulse
