#include "platform/pulse/PulseDeviceControl.h"

#include <pulse/introspect.h>

#include <algorithm>

namespace qn::pulse {
namespace {

struct LevelQuery
{
    pa_threaded_mainloop *loop;
    DeviceLevel *out;
    bool found = false;
};

struct Ack
{
    pa_threaded_mainloop *loop;
    bool success = false;
};

void acked(pa_context *, int success, void *d)
{
    auto *a = static_cast<Ack *>(d);
    a->success = success != 0;
    pa_threaded_mainloop_signal(a->loop, 0);
}

} // namespace

bool readDeviceLevel(PulseConnection &conn, DeviceKind kind, const std::string &name, DeviceLevel &out)
{
    if (!conn.isOpen() || name.empty())
        return false;
    LoopLock lock(conn.loop());
    pa_context *c = conn.context();
    if (!c)
        return false;
    LevelQuery q{conn.loop(), &out};
    pa_operation *op;
    if (kind == DeviceKind::Sink) {
        op = pa_context_get_sink_info_by_name(
            c, name.c_str(),
            [](pa_context *, const pa_sink_info *i, int eol, void *d) {
                auto *q = static_cast<LevelQuery *>(d);
                if (!eol && i) {
                    q->out->volume = i->volume;
                    q->out->muted = i->mute != 0;
                    q->found = true;
                }
                pa_threaded_mainloop_signal(q->loop, 0);
            },
            &q);
    } else {
        op = pa_context_get_source_info_by_name(
            c, name.c_str(),
            [](pa_context *, const pa_source_info *i, int eol, void *d) {
                auto *q = static_cast<LevelQuery *>(d);
                if (!eol && i) {
                    q->out->volume = i->volume;
                    q->out->muted = i->mute != 0;
                    q->found = true;
                }
                pa_threaded_mainloop_signal(q->loop, 0);
            },
            &q);
    }
    return conn.wait(op) && q.found;
}

bool setDeviceVolume(PulseConnection &conn, DeviceKind kind, const std::string &name, pa_volume_t volume)
{
    DeviceLevel level;
    if (!readDeviceLevel(conn, kind, name, level))
        return false;
    pa_cvolume v = level.volume;
    pa_cvolume_set(&v, v.channels, volume);
    LoopLock lock(conn.loop());
    pa_context *c = conn.context();
    if (!c)
        return false;
    Ack a{conn.loop()};
    pa_operation *op = kind == DeviceKind::Sink
                           ? pa_context_set_sink_volume_by_name(c, name.c_str(), &v, &acked, &a)
                           : pa_context_set_source_volume_by_name(c, name.c_str(), &v, &acked, &a);
    return conn.wait(op) && a.success;
}

bool setDeviceMute(PulseConnection &conn, DeviceKind kind, const std::string &name, bool mute)
{
    if (!conn.isOpen() || name.empty())
        return false;
    LoopLock lock(conn.loop());
    pa_context *c = conn.context();
    if (!c)
        return false;
    Ack a{conn.loop()};
    pa_operation *op = kind == DeviceKind::Sink
                           ? pa_context_set_sink_mute_by_name(c, name.c_str(), mute, &acked, &a)
                           : pa_context_set_source_mute_by_name(c, name.c_str(), mute, &acked, &a);
    return conn.wait(op) && a.success;
}

pa_volume_t volumeFromLevel(uint32_t level)
{
    level = std::min<uint32_t>(level, 255);
    return pa_volume_t((uint64_t(level) * PA_VOLUME_NORM + 127) / 255);
}

uint32_t levelFromVolume(pa_volume_t volume)
{
    const uint64_t level = (uint64_t(volume) * 255 + PA_VOLUME_NORM / 2) / PA_VOLUME_NORM;
    return uint32_t(std::min<uint64_t>(level, 255));
}

} // namespace qn::pulse
