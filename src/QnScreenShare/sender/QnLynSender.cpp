#include "QnScreenShare/sender/QnLynSender.h"

#include "QnScreenShare/h264/H264Encoder.h"
#include "QnScreenShare/streams/QnRtpStreamIds.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSender, "qn.media.sender")

namespace {
constexpr uint8_t kH264PayloadType = 127;
constexpr uint8_t kOpusPayloadType = 120;
constexpr int kBitRate = 10000000;
constexpr int kKeyFrameHint = 60;
} // namespace

QnLynSender::QnLynSender(QObject *parent, std::unique_ptr<QnAudioCaptrue> audio,
                         ScreenCapture *injectedCapture)
    : QObject(parent)
    , capture(injectedCapture ? injectedCapture : new ScreenCapture(this))
    , audioCapture(audio ? std::move(audio) : std::make_unique<QnAudioCaptrue>())
    , videoBuffer(size_t(H264Encoder::kOutputBufferSize))
    , audioBuffer(size_t(OpusCodec::kMaxPacketBytes))
{
    if (injectedCapture)
        injectedCapture->setParent(this);
    capture->setFrameCallback([this](const QByteArray &i420, int w, int h) { onVideoFrame(i420, w, h); });
    // The receiver lost a picture (RTCP PLI or FIR): the next one is encoded as an IDR.
    videoStream.setKeyframeRequestHandler([] { H264Encoder::instance().requestKeyframe(); });
    if (!opusEncoder.createEncoder())
        qCCritical(lcSender) << "the Opus encoder cannot be created: mirroring runs without sound";
}

QnLynSender::~QnLynSender()
{
    stopSender();
    audioCapture->setPcmCallback({});
    audioCapture->stop();
    opusEncoder.destroyEncoder();
}

bool QnLynSender::startSender(int screenIndex, int width, int height, int frameRate,
                              const QString &receiverIp, int remotePort, int localPort)
{
    if (running.load()) {
        qCWarning(lcSender) << "a mirroring run is going: stopping it before the new one";
        stopSender();
    }
    qCInfo(lcSender) << "start mirroring screen" << screenIndex << width << "x" << height << "@" << frameRate
                     << "to" << receiverIp << remotePort << "from" << localPort;
    if (!H264Encoder::instance().init(width, height, kBitRate, frameRate, kKeyFrameHint)) {
        qCCritical(lcSender) << "the H.264 encoder refused" << width << "x" << height << "@" << frameRate;
        return false;
    }
    RtpRtcpInit();
    const std::string remote = receiverIp.toStdString();
    m_videoStreamId = QnRtpStreamIds::nextSendId();
    if (videoStream.Start(nullptr, m_videoStreamId, kH264PayloadType, localPort, localPort + 1, remote,
                          remotePort, remotePort + 1, 1) != 0) {
        qCCritical(lcSender) << "the video stream cannot start on local port" << localPort;
        H264Encoder::instance().close();
        return false;
    }
    capture->start(screenIndex, frameRate, width, height);
    m_audioStreamId = QnRtpStreamIds::nextSendId();
    if (audioStream.Start(nullptr, m_audioStreamId, kOpusPayloadType, localPort + 2, localPort + 3, remote,
                          remotePort + 2, remotePort + 3, 1) != 0) {
        qCCritical(lcSender) << "the audio stream cannot start on local port" << localPort + 2;
        capture->stop();
        videoStream.Stop();
        H264Encoder::instance().close();
        return false;
    }
    running = true;
    if (!m_audioMuted)
        startAudio();
    audioCapture->setPcmCallback([this](const uint8_t *pcm, unsigned frames, int channels, int rate) {
        onAudioFrame(pcm, frames, channels, rate);
    });
    return true;
}

void QnLynSender::startAudio()
{
    const bool started = audioCapture->start(false, 0);
    qCInfo(lcSender) << "audio start:" << started;
}

void QnLynSender::stopSender()
{
    if (!running.exchange(false))
        return;
    qCInfo(lcSender) << "stop mirroring";
    audioCapture->stop();
    audioStream.Stop();
    capture->stop(); // joins the capture thread: no encode runs past this point
    H264Encoder::instance().close();
    videoStream.Stop();
}

int QnLynSender::restartCapture(int screenIndex, int width, int height, int frameRate)
{
    if (!capture->isRunning())
        return -1;
    qCInfo(lcSender) << "restart capture: screen" << screenIndex << width << "x" << height << "@"
                     << frameRate;
    running = false;
    capture->stop();
    // The encoder is reopened before capture starts again, so no frame meets a closing encoder.
    H264Encoder::instance().close();
    if (!H264Encoder::instance().init(width, height, kBitRate, frameRate, kKeyFrameHint))
        qCWarning(lcSender) << "the H.264 encoder refused the new size" << width << "x" << height;
    capture->start(screenIndex, frameRate, width, height);
    running = true;
    return 0;
}

void QnLynSender::setFrameProbe(FrameProbe probe)
{
    Q_ASSERT(!capture->isRunning());
    m_frameProbe = std::move(probe);
}

bool QnLynSender::isCapturing() const
{
    return capture->isRunning();
}

void QnLynSender::setAudioMuted(bool muted)
{
    if (m_audioMuted == muted)
        return;
    m_audioMuted = muted;
    if (!running.load())
        return; // recorded for the next run
    if (muted)
        audioCapture->stop();
    else
        startAudio();
}

void QnLynSender::onVideoFrame(const QByteArray &i420, int width, int height)
{
    // Handed over as the capture's shared picture: what did not change since the last one is
    // found without comparing, and the capture copies before it changes a picture kept here.
    const int bytes =
        H264Encoder::instance().encode(i420, width, height, videoBuffer.data(), int(videoBuffer.size()));
    if (bytes > 0) {
        // Stamped with the grab instant: a receiver syncing by RTCP sees when the screen showed it.
        const auto grabbed =
            std::chrono::duration_cast<std::chrono::milliseconds>(capture->grabTime().time_since_epoch());
        videoStream.sendFrame(videoBuffer.data(), bytes, uint64_t(grabbed.count()));
        if (m_frameProbe)
            m_frameProbe(capture->grabTime(), std::chrono::steady_clock::now(), bytes);
    } else {
        ++m_encodeFailures;
        qCWarning(lcSender) << "encode failed:" << bytes;
    }
}

void QnLynSender::onAudioFrame(const uint8_t *pcm, unsigned frames, int channels, int sampleRate)
{
    if (frames != unsigned(OpusCodec::kFrameSamples) || channels != OpusCodec::kChannels ||
        sampleRate != OpusCodec::kSampleRate) {
        qCWarning(lcSender) << "unexpected sound block" << frames << channels << sampleRate;
        return;
    }
    const int bytes = opusEncoder.encode(reinterpret_cast<const int16_t *>(pcm), audioBuffer.data());
    if (bytes <= 0)
        return;
    // Stamped with the capture instant of the first sample: the sound waits longer in our queues
    // than the picture, and a receiver syncing by RTCP must see both as they happened.
    const uint64_t captured = audioCapture->blockCaptureMs();
    if (captured)
        audioStream.sendFrame(audioBuffer.data(), bytes, captured);
    else
        audioStream.sendFrame(audioBuffer.data(), bytes);
}
