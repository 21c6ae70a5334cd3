#include "QnScreenShare/h264/OpusCodec.h"

#include "QnScreenShare/h264/internal/CodecLog.h"

#include <opus/opus.h>

void OpusCodec::EncoderFree::operator()(OpusEncoder *encoder) const
{
    opus_encoder_destroy(encoder);
}
void OpusCodec::DecoderFree::operator()(OpusDecoder *decoder) const
{
    opus_decoder_destroy(decoder);
}

OpusCodec::OpusCodec() = default;
OpusCodec::~OpusCodec() = default;

bool OpusCodec::createEncoder()
{
    int error = OPUS_OK;
    m_encoder.reset(opus_encoder_create(kSampleRate, kChannels, OPUS_APPLICATION_AUDIO, &error));
    if (!m_encoder || error != OPUS_OK) {
        qCWarning(lcCodec) << "opus_encoder_create failed:" << opus_strerror(error);
        m_encoder.reset();
        return false;
    }
    opus_encoder_ctl(m_encoder.get(), OPUS_SET_BITRATE(kBitRate));
    return true;
}

int OpusCodec::encode(const int16_t *pcm, uint8_t *out)
{
    if (!m_encoder || !pcm || !out)
        return OPUS_INVALID_STATE;
    return opus_encode(m_encoder.get(), pcm, kFrameSamples, out, kMaxPacketBytes);
}

void OpusCodec::destroyEncoder()
{
    m_encoder.reset();
}

bool OpusCodec::createDecoder()
{
    int error = OPUS_OK;
    m_decoder.reset(opus_decoder_create(kSampleRate, kChannels, &error));
    if (!m_decoder || error != OPUS_OK) {
        qCWarning(lcCodec) << "opus_decoder_create failed:" << opus_strerror(error);
        m_decoder.reset();
        return false;
    }
    return true;
}

int OpusCodec::decode(const uint8_t *packet, int length, int16_t *pcm, int maxSamplesPerChannel)
{
    if (!m_decoder || !packet || length <= 0 || !pcm || maxSamplesPerChannel <= 0)
        return OPUS_BAD_ARG;
    const int samples = opus_decode(m_decoder.get(), packet, length, pcm, maxSamplesPerChannel, 0);
    if (samples < 0)
        qCDebug(lcCodec) << "opus_decode failed:" << opus_strerror(samples);
    return samples;
}

void OpusCodec::destroyDecoder()
{
    m_decoder.reset();
}
