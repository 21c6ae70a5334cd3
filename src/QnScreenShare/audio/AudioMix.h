#pragma once

#include <cstddef>
#include <cstdint>

/// Mixes `count` buffers of `samples` signed 16-bit samples into `out` with a soft limiter: a
/// sum that would clip lowers the gain at once to what just fits, and the gain then recovers
/// toward 1.0 by 1/32 of the remaining distance per sample. The gain starts at 1.0 on every call.
/// Returns the gain after the last sample (for tests). `out` may alias none of the inputs.
double mixPcm16(const int16_t *const *inputs, size_t count, size_t samples, int16_t *out);
