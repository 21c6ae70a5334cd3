#include "QnScreenShare/audio/AudioResample.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <cstring>

namespace {

bool layoutFor(int count, AVChannelLayout &layout)
{
    const uint64_t mask = channelLayoutFor(count);
    if (mask && av_channel_layout_from_mask(&layout, mask) == 0 && layout.nb_channels == count)
        return true;
    av_channel_layout_default(&layout, count);
    return layout.nb_channels == count;
}

void freePlanes(uint8_t **&planes)
{
    if (!planes)
        return;
    av_freep(&planes[0]);
    av_freep(&planes);
}

} // namespace

uint64_t channelLayoutFor(int count)
{
    switch (count) {
    case 1:
        return AV_CH_LAYOUT_MONO;
    case 2:
        return AV_CH_LAYOUT_STEREO;
    case 3:
        return AV_CH_LAYOUT_SURROUND;
    case 4:
        return AV_CH_LAYOUT_4POINT0;
    case 5:
        return AV_CH_LAYOUT_4POINT1;
    case 6:
        return AV_CH_LAYOUT_5POINT1_BACK;
    default:
        break;
    }
    if (count < 1)
        return 0;
    AVChannelLayout layout;
    av_channel_layout_default(&layout, count);
    const uint64_t mask = layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0;
    av_channel_layout_uninit(&layout);
    return mask;
}

AudioResample::~AudioResample()
{
    release();
}

int AudioResample::init(int inChannels, int inRate, int inSamples, AVSampleFormat inFormat, int outChannels,
                        int outRate, AVSampleFormat outFormat)
{
    release();
    if (inChannels < 1 || outChannels < 1 || inRate < 1 || outRate < 1 || inSamples < 1)
        return -1;
    AVChannelLayout inLayout{}, outLayout{};
    if (!layoutFor(inChannels, inLayout) || !layoutFor(outChannels, outLayout)) {
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_uninit(&outLayout);
        return -1;
    }
    const int rc = swr_alloc_set_opts2(&m_context, &outLayout, outFormat, outRate, &inLayout, inFormat,
                                       inRate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (rc < 0 || !m_context || swr_init(m_context) < 0)
        return -1;
    m_inChannels = inChannels;
    m_outChannels = outChannels;
    m_inRate = inRate;
    m_outRate = outRate;
    m_inFormat = inFormat;
    m_outFormat = outFormat;
    m_inSamples = inSamples;
    int lineSize = 0;
    m_inBlockBytes =
        av_samples_alloc_array_and_samples(&m_inPlanes, &lineSize, inChannels, inSamples, inFormat, 0);
    if (m_inBlockBytes < 0)
        return -1;
    // The block size as callers see it: interleaved or planar, without alignment padding.
    m_inBlockBytes = av_samples_get_buffer_size(nullptr, inChannels, inSamples, inFormat, 1);
    m_outAllocated = int(av_rescale_rnd(inSamples, outRate, inRate, AV_ROUND_UP));
    if (av_samples_alloc_array_and_samples(&m_outPlanes, &lineSize, outChannels, m_outAllocated, outFormat,
                                           0) < 0)
        return -1;
    return 0;
}

int AudioResample::convert(const uint8_t *in, int inBytes, uint8_t *out, int outCapacity, int &outBytes)
{
    outBytes = 0;
    if (!m_context || !m_inPlanes || !m_outPlanes || !in || !out || inBytes != m_inBlockBytes)
        return -1;
    const int inBps = av_get_bytes_per_sample(m_inFormat);
    if (av_sample_fmt_is_planar(m_inFormat)) {
        for (int j = 0; j < m_inSamples; ++j)
            for (int c = 0; c < m_inChannels; ++c)
                std::memcpy(m_inPlanes[c] + j * inBps, in + (j * m_inChannels + c) * inBps, size_t(inBps));
    } else {
        std::memcpy(m_inPlanes[0], in, size_t(inBytes));
    }
    const int wanted = int(
        av_rescale_rnd(swr_get_delay(m_context, m_inRate) + m_inSamples, m_outRate, m_inRate, AV_ROUND_UP));
    // Refuse before converting when even the bound on the output would not fit the caller's
    // buffer, so that the resampler's state is untouched.
    if (av_samples_get_buffer_size(nullptr, m_outChannels, wanted, m_outFormat, 1) > outCapacity)
        return -1;
    if (wanted > m_outAllocated) {
        av_freep(&m_outPlanes[0]);
        int lineSize = 0;
        if (av_samples_alloc(m_outPlanes, &lineSize, m_outChannels, wanted, m_outFormat, 1) < 0)
            return -1;
        m_outAllocated = wanted;
    }
    const int got =
        swr_convert(m_context, m_outPlanes, wanted, const_cast<const uint8_t **>(m_inPlanes), m_inSamples);
    if (got < 0)
        return -1;
    const int size = av_samples_get_buffer_size(nullptr, m_outChannels, got, m_outFormat, 1);
    if (size < 0 || size > outCapacity)
        return -1;
    if (av_sample_fmt_is_planar(m_outFormat)) {
        const int outBps = av_get_bytes_per_sample(m_outFormat);
        for (int j = 0; j < got; ++j)
            for (int c = 0; c < m_outChannels; ++c)
                std::memcpy(out + (j * m_outChannels + c) * outBps, m_outPlanes[c] + j * outBps,
                            size_t(outBps));
    } else {
        std::memcpy(out, m_outPlanes[0], size_t(size));
    }
    outBytes = size;
    return size;
}

int AudioResample::release()
{
    freePlanes(m_inPlanes);
    freePlanes(m_outPlanes);
    swr_free(&m_context);
    m_inBlockBytes = 0;
    m_outAllocated = 0;
    return 0;
}
