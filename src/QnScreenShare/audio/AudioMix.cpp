#include "QnScreenShare/audio/AudioMix.h"

double mixPcm16(const int16_t *const *inputs, size_t count, size_t samples, int16_t *out)
{
    double f = 1.0;
    for (size_t i = 0; i < samples; ++i) {
        int32_t s = 0;
        for (size_t k = 0; k < count; ++k)
            s += inputs[k][i];
        int32_t v = int32_t(s * f);
        if (v > 32767) {
            f = 32767.0 / v;
            v = 32767;
        } else if (v < -32768) {
            f = -32768.0 / v;
            v = -32768;
        }
        if (f < 1.0)
            f += (1.0 - f) * 0.03125;
        out[i] = int16_t(v);
    }
    return f;
}
