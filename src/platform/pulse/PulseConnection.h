#pragma once

#include <pulse/context.h>
#include <pulse/sample.h>
#include <pulse/stream.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <QLoggingCategory>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

Q_DECLARE_LOGGING_CATEGORY(lcPulse)

namespace qn::pulse {

/// Deleters for the libpulse handles. Contexts and streams must be released with the main loop's
/// lock held (or before its thread runs); the main loop only after its thread was stopped.
struct MainloopDeleter
{
    void operator()(pa_threaded_mainloop *m) const;
};
struct ContextDeleter
{
    void operator()(pa_context *c) const;
};
struct StreamDeleter
{
    void operator()(pa_stream *s) const;
};
using MainloopPtr = std::unique_ptr<pa_threaded_mainloop, MainloopDeleter>;
using ContextPtr = std::unique_ptr<pa_context, ContextDeleter>;
using StreamPtr = std::unique_ptr<pa_stream, StreamDeleter>;

/// Scoped hold of a threaded main loop's (recursive) lock. Never taken on the loop thread by code
/// that later waits on the loop.
class LoopLock
{
public:
    explicit LoopLock(pa_threaded_mainloop *m) : m_loop(m) { pa_threaded_mainloop_lock(m_loop); }
    ~LoopLock() { pa_threaded_mainloop_unlock(m_loop); }
    LoopLock(const LoopLock &) = delete;
    LoopLock &operator=(const LoopLock &) = delete;

private:
    pa_threaded_mainloop *m_loop;
};

/// One connection to the sound server on a threaded main loop of its own, which keeps itself up:
/// when the server goes away after the connection was ready, `onLost` is reported and a new
/// connection is tried every retry interval until the server answers again, when `onReady` runs
/// once more.
///
/// Threads: open() and close() on the owner's thread; the hooks run on the loop thread with the
/// loop lock held and must not block. Lock order: loop lock before any lock of the hooks' owner.
class PulseConnection
{
public:
    struct Hooks
    {
        std::function<void(pa_context *)> onReady; ///< context ready (first time and after a loss)
        std::function<void()> onLost;              ///< server gone; streams are already invalid
    };

    /// `server` empty: the default server (PULSE_SERVER or the user's runtime socket).
    PulseConnection(std::string threadName, std::string server = std::string(),
                    std::chrono::milliseconds retryInterval = std::chrono::milliseconds(500));
    ~PulseConnection();
    PulseConnection(const PulseConnection &) = delete;
    PulseConnection &operator=(const PulseConnection &) = delete;

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    /// Starts the loop thread and waits up to `timeout` for the first ready context. Returns 0,
    /// or -1 with the thread stopped and joined (nothing of the attempt keeps running).
    int open(std::chrono::milliseconds timeout);
    /// Drops the context and joins the loop thread. Safe when not open.
    void close();
    bool isOpen() const { return m_loop != nullptr; }

    /// The loop, for LoopLock and pa_threaded_mainloop_wait/signal. Null when closed.
    pa_threaded_mainloop *loop() const { return m_loop.get(); }
    /// The current context (loop lock held); null while reconnecting.
    pa_context *context() const { return m_ready ? m_context.get() : nullptr; }
    /// Waits (loop lock held, not on the loop thread) until the operation is done or the
    /// context fails. Unrefs the operation. Returns true when it completed.
    bool wait(pa_operation *op);
    /// Counters, read under the loop lock.
    int lossCount() const { return m_losses; }

private:
    static void stateCallback(pa_context *c, void *self);
    static void retryCallback(pa_mainloop_api *api, pa_time_event *e, const struct timeval *tv, void *self);
    bool connectContext();
    void scheduleRetry();

    std::string m_threadName;
    std::string m_server;
    std::chrono::milliseconds m_retry;
    Hooks m_hooks;
    MainloopPtr m_loop;
    ContextPtr m_context;
    pa_time_event *m_retryEvent = nullptr;
    bool m_ready = false;
    bool m_everReady = false;
    bool m_closing = false;
    int m_losses = 0;

    // Start hand-shake between open() and the loop thread.
    std::mutex m_openMutex;
    std::condition_variable m_openCv;
    enum class OpenState { Pending, Ready, Failed } m_openState = OpenState::Pending;
};

} // namespace qn::pulse
