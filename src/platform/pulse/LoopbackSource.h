#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qn::platform {

/// Records what the PC plays (the default output's monitor) as interleaved signed 16-bit packets
/// in the output device's own rate and channel count, about 10 ms per packet.
///
/// Threads: start/stop on the owner's thread; both callbacks run on the source's own thread
/// (named "qn-loopback"), one at a time, and must not block. Set the callbacks before start.
class LoopbackSource
{
public:
    struct Format
    {
        int rate = 0;
        int channels = 0;
        bool operator==(const Format &o) const { return rate == o.rate && channels == o.channels; }
        bool operator!=(const Format &o) const { return !(*this == o); }
    };
    /// One packet: `frames` frames of `format.channels` interleaved samples. The pointer is valid
    /// only during the call.
    using PacketCallback = std::function<void(const int16_t *data, size_t frames, Format format)>;

    enum class Event {
        Lost,     ///< the sound server or the device went away; no packets until Restarted
        Restarted ///< recording runs again (the format may have changed)
    };
    using EventCallback = std::function<void(Event)>;

    struct Options
    {
        std::string server;                           ///< empty: the default sound server
        std::string device;                           ///< empty: the default output's monitor
        std::chrono::milliseconds fragment{10};       ///< packet size the server is asked for
        std::chrono::milliseconds retryInterval{500}; ///< reconnect pace after a loss
    };

    virtual ~LoopbackSource() = default;
    virtual void setPacketCallback(PacketCallback cb) = 0;
    virtual void setEventCallback(EventCallback cb) = 0;
    /// Opens the output's monitor and waits up to `timeout` until recording runs. Returns 0, or
    /// -1 with everything of the attempt stopped and joined. A second start while running is 0.
    virtual int start(std::chrono::milliseconds timeout) = 0;
    /// Stops recording and joins the source's thread; no callback runs after it returns.
    virtual void stop() = 0;
    /// The format of the packets being delivered (0/0 before the first start).
    virtual Format format() const = 0;
};

/// The backend chosen at build time.
std::unique_ptr<LoopbackSource> createLoopbackSource(const LoopbackSource::Options &options = {});

} // namespace qn::platform
