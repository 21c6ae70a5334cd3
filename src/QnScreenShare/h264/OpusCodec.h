#pragma once

#include <cstdint>
#include <memory>

struct OpusEncoder;
struct OpusDecoder;

/// libopus encoder or decoder for 48 kHz stereo, 16-bit interleaved PCM. An encoder is used by one
/// thread (the audio timer thread), a decoder by one thread (the Opus receive thread).
class OpusCodec
{
public:
    static constexpr int kSampleRate = 48000;
    static constexpr int kChannels = 2;
    static constexpr int kFrameSamples = 480; ///< 10 ms per channel, what encode consumes
    static constexpr int kBitRate = 64000;
    static constexpr int kMaxPacketBytes = 1500;
    static constexpr int kMaxDecodeSamples = 960;  ///< 20 ms per channel: the default decode room
    static constexpr int kMaxPacketSamples = 5760; ///< 120 ms per channel: the longest Opus packet

    OpusCodec();
    ~OpusCodec();
    OpusCodec(const OpusCodec &) = delete;
    OpusCodec &operator=(const OpusCodec &) = delete;

    /// Encoder: application audio, 64000 bit/s. Returns false when libopus refuses.
    bool createEncoder();
    /// Encodes kFrameSamples stereo samples into \a out (room for kMaxPacketBytes). Returns the
    /// packet size, or a negative libopus error (also without an encoder).
    int encode(const int16_t *pcm, uint8_t *out);
    void destroyEncoder();

    bool createDecoder();
    /// Decodes one packet into \a pcm, which holds \a maxSamplesPerChannel stereo samples.
    /// Returns the samples per channel decoded (480 for 10 ms, 960 for 20 ms packets), or a
    /// negative libopus error; only that many samples of \a pcm are valid.
    int decode(const uint8_t *packet, int length, int16_t *pcm, int maxSamplesPerChannel = kMaxDecodeSamples);
    void destroyDecoder();

private:
    struct EncoderFree
    {
        void operator()(OpusEncoder *encoder) const;
    };
    struct DecoderFree
    {
        void operator()(OpusDecoder *decoder) const;
    };
    std::unique_ptr<OpusEncoder, EncoderFree> m_encoder;
    std::unique_ptr<OpusDecoder, DecoderFree> m_decoder;
};
