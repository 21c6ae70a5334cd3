#pragma once

#include "platform/pulse/LoopbackSource.h"

#include <vector>

// A packet source driven by the test: packets and events are delivered synchronously on the
// test's thread, in the sizes the test chooses.
class FakeLoopbackSource : public qn::platform::LoopbackSource
{
public:
    void setPacketCallback(PacketCallback cb) override { m_packet = std::move(cb); }
    void setEventCallback(EventCallback cb) override { m_event = std::move(cb); }
    int start(std::chrono::milliseconds) override
    {
        if (startResult == 0)
            running = true;
        ++starts;
        return startResult;
    }
    void stop() override { running = false; }
    Format format() const override { return fmt; }

    void push(const int16_t *data, size_t frames) { m_packet(data, frames, fmt); }
    void push(const std::vector<int16_t> &data) { push(data.data(), data.size() / size_t(fmt.channels)); }
    void emitEvent(Event e) { m_event(e); }

    Format fmt{48000, 2};
    int startResult = 0;
    bool running = false;
    int starts = 0;

private:
    PacketCallback m_packet;
    EventCallback m_event;
};
