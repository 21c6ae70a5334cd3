#include "QnScreenShare/audio/AudioCapture.h"

#include "QnScreenShare/audio/AudioMix.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcAudioCapture, "qn.audio.capture")

AudioCapture::AudioCapture(std::unique_ptr<webrtc::RtcSoundCardCapture> loopback, TaskTimer &timer,
                           DeviceFactory micFactory)
    : m_timer(timer)
    , m_micFactory(std::move(micFactory))
    , m_loopback(loopback ? std::move(loopback) : std::make_unique<webrtc::RtcSoundCardCapture>())
{
    m_timer.start();
}

AudioCapture::~AudioCapture()
{
    stop();
    if (m_micDevice) {
        m_micDevice->stopRecording();
        m_micDevice->terminate();
    }
}

bool AudioCapture::start(unsigned bufBytes, bool withMic, int micIndex)
{
    if (m_running)
        return true;
    // The tick is not registered here, so nothing reads these while they are replaced.
    m_micBuffer.assign(bufBytes, 0);
    m_loopbackBuffer.assign(bufBytes, 0);
    m_mixBuffer.assign(bufBytes, 0);
    m_loopback->setTargetFormat(m_sampleRate, m_channels, 1);
    if (withMic)
        openMicrophone(micIndex);
    m_fifo = std::make_unique<PcmByteFifo>(bufBytes);
    {
        std::lock_guard<std::mutex> g(m_marksLock);
        m_marks.clear();
        m_written = m_read = 0;
    }
    if (m_loopback->start() != 0) {
        qCCritical(lcAudioCapture) << "audio capture cannot start: no system sound";
        return false;
    }
    m_taskId = m_timer.addTask(this, 10);
    m_running = true;
    return true;
}

void AudioCapture::stop()
{
    if (!m_running)
        return;
    m_timer.removeTask(m_taskId);
    m_loopback->stop();
    if (m_micDevice)
        m_micDevice->stopRecording();
    m_running = false;
}

void AudioCapture::openMicrophone(int micIndex)
{
    // A device opened by an earlier run is reused rather than opened again.
    if (!m_micDevice) {
        m_micDevice = m_micFactory ? m_micFactory() : qn::platform::createAudioDevice(100);
        m_micSink = std::make_unique<MicrophoneSink>();
        if (!m_micDevice)
            return;
        m_micDevice->init();
    }
    m_micDevice->setRecordingDevice(micIndex);
    m_micDevice->attachTransport(m_micSink.get());
    bool available = false;
    m_micDevice->recordingIsAvailable(available);
    m_micDevice->initRecording();
    if (m_micDevice->startRecording() != 0 || !m_micDevice->recording())
        qCWarning(lcAudioCapture) << "microphone" << micIndex << "does not record";
}

void AudioCapture::writeFifo(const uint8_t *data, size_t bytes, uint64_t captureMs)
{
    const size_t taken = m_fifo->write(data, bytes);
    std::lock_guard<std::mutex> g(m_marksLock);
    if (taken == 0)
        return;
    m_marks.push_back({m_written, captureMs});
    while (m_marks.size() > kMaxMarks)
        m_marks.pop_front();
    m_written += taken;
}

void AudioCapture::tick(int)
{
    uint32_t frames = 0;
    uint32_t channels = 0;
    uint64_t loopMs = 0;
    m_loopback->readFrame(m_loopbackBuffer.data(), m_loopbackBuffer.size(), frames, channels, 1, &loopMs);
    const size_t loopBytes = std::min<size_t>(size_t(frames) * channels * 2, m_loopbackBuffer.size());
    if (!m_micDevice || !m_micSink) {
        if (frames && channels)
            writeFifo(m_loopbackBuffer.data(), loopBytes, loopMs);
        return;
    }
    const int m = m_micSink->readChunk(m_micBuffer.data(), m_micBuffer.size());
    if (m > 0 && frames == 0) {
        writeFifo(m_micBuffer.data(), size_t(m), webrtc::RtcSoundCardCapture::steadyNowMs() - 10);
    } else if (m > 0) {
        // A short microphone chunk mixes as silence past its end.
        if (size_t(m) < loopBytes)
            std::memset(m_micBuffer.data() + m, 0, loopBytes - size_t(m));
        const int16_t *inputs[2] = {reinterpret_cast<const int16_t *>(m_loopbackBuffer.data()),
                                    reinterpret_cast<const int16_t *>(m_micBuffer.data())};
        mixPcm16(inputs, 2, loopBytes / 2, reinterpret_cast<int16_t *>(m_mixBuffer.data()));
        writeFifo(m_mixBuffer.data(), loopBytes, loopMs);
    } else if (frames > 0) {
        writeFifo(m_loopbackBuffer.data(), loopBytes, loopMs);
    }
}

int AudioCapture::read(uint8_t *out, int frames, uint64_t *captureMs)
{
    if (captureMs)
        *captureMs = 0;
    if (!m_fifo || frames <= 0)
        return 0;
    const size_t bytes = size_t(frames) * size_t(m_bitsPerSample / 8) * size_t(m_channels);
    if (!m_fifo->readExact(out, bytes))
        return 0;
    std::lock_guard<std::mutex> g(m_marksLock);
    const uint64_t at = m_read;
    m_read += bytes;
    const Mark *mark = nullptr;
    for (const Mark &k : m_marks)
        if (k.position <= at)
            mark = &k;
    if (captureMs && mark && mark->captureMs) {
        const uint64_t bytesPerMs =
            uint64_t(m_sampleRate / 1000) * uint64_t(m_bitsPerSample / 8) * m_channels;
        *captureMs = mark->captureMs + (bytesPerMs ? (at - mark->position) / bytesPerMs : 0);
    }
    // Marks wholly behind the read position are no longer needed (keep the one covering it).
    while (m_marks.size() > 1 && m_marks[1].position <= m_read)
        m_marks.pop_front();
    return frames;
}
