#pragma once

#include "platform/pulse/PulseConnection.h"

#include <pulse/volume.h>

#include <cstdint>
#include <string>

namespace qn::pulse {

/// Volume and mute of one sink (output) or source (input), by the server's device name.
///
/// Threads: any thread but the connection's loop thread; each call takes the loop lock itself and
/// waits for the server's answer (bounded by the connection: a lost server fails the call).
struct DeviceLevel
{
    pa_cvolume volume{};
    bool muted = false;
};

enum class DeviceKind { Sink, Source };

/// Reads the device's volume and mute. False when the connection is not ready or the device is
/// unknown.
bool readDeviceLevel(PulseConnection &conn, DeviceKind kind, const std::string &name, DeviceLevel &out);
/// Sets every channel of the device to `volume` (keeping its channel count). False on failure.
bool setDeviceVolume(PulseConnection &conn, DeviceKind kind, const std::string &name, pa_volume_t volume);
bool setDeviceMute(PulseConnection &conn, DeviceKind kind, const std::string &name, bool mute);

/// The scale of the device operations: 0..255 maps to 0..PA_VOLUME_NORM (the server's 0..100 %);
/// reads above the normal level (the server allows boosting past 100 %) read as 255.
pa_volume_t volumeFromLevel(uint32_t level);
uint32_t levelFromVolume(pa_volume_t volume);

} // namespace qn::pulse
