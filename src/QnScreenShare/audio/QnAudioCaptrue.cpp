#include "QnScreenShare/audio/QnAudioCaptrue.h"

#include <cstring>

QnAudioCaptrue::QnAudioCaptrue(std::unique_ptr<AudioCapture> capture, TaskTimer &timer)
    : m_timer(timer), m_capture(capture ? std::move(capture) : std::make_unique<AudioCapture>(nullptr, timer))
{
    m_timer.start();
    m_block.assign(size_t(m_capture->sampleRate() / 100 * m_capture->channels() * 2), 0);
}

QnAudioCaptrue::~QnAudioCaptrue()
{
    stop();
}

void QnAudioCaptrue::setPcmCallback(PcmCaptureCallback callback)
{
    std::lock_guard<std::mutex> g(m_callbackLock);
    m_pcmCallback = std::move(callback);
}

bool QnAudioCaptrue::start(bool withMic, int micIndex)
{
    if (m_running)
        return true;
    m_running = true;
    const bool ok = m_capture->start(kFifoBytes, withMic, micIndex);
    // Registered after the capture's own task: with the higher id it runs after it in a pass.
    m_taskId = m_timer.addTask(this, 10);
    return ok;
}

void QnAudioCaptrue::stop()
{
    if (!m_running)
        return;
    m_running = false;
    m_capture->stop();
    m_timer.removeTask(m_taskId);
}

void QnAudioCaptrue::tick(int taskId)
{
    if (taskId != m_taskId)
        return;
    const int frames = m_capture->sampleRate() / 100;
    std::memset(m_block.data(), 0, m_block.size());
    if (m_capture->read(m_block.data(), frames, &m_blockCaptureMs) != frames)
        return;
    std::lock_guard<std::mutex> g(m_callbackLock);
    if (m_pcmCallback)
        m_pcmCallback(m_block.data(), unsigned(frames), m_capture->channels(), m_capture->sampleRate());
}
