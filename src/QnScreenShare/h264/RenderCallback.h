#pragma once

#include <cstdint>

/// Receives decoded pictures from KRH264Decoder, on the thread that calls DecodeFrame.
/// Planes are tightly packed I420: Y width x height, U and V ((width+1)/2) x ((height+1)/2);
/// they are valid only during the call.
class RenderCallback
{
public:
    virtual ~RenderCallback() = default;
    /// Called by KRH264Decoder::Init.
    virtual int onStart() = 0;
    /// Called when the decoder is destroyed.
    virtual int onStop() = 0;
    virtual int onFrame(const uint8_t *y, const uint8_t *u, const uint8_t *v, int width, int height) = 0;
};
