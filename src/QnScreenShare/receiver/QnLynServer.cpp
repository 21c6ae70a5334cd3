#include "QnScreenShare/receiver/QnLynServer.h"

#include "QnScreenShare/streams/QnRtpStreamIds.h"

#include <QLoggingCategory>

#include <cstring>
#include <pthread.h>
#include <system_error>

Q_LOGGING_CATEGORY(lcReceiver, "qn.media.receiver")

namespace {

constexpr uint8_t kH264PayloadType = 127;
constexpr uint8_t kOpusPayloadType = 120;

} // namespace

QnLynServer::QnLynServer(QObject *parent) : QObject(parent) {}

QnLynServer::~QnLynServer()
{
    stopServer();
    decoder.reset();
}

void QnLynServer::setAudioCallback(PcmFrameCallback callback)
{
    std::lock_guard<std::mutex> lock(m_callbackMutex);
    audioCallback = std::move(callback);
}

bool QnLynServer::startServer(const QString &localIp, int localPort, const QString &remoteIp, int remotePort)
{
    qCInfo(lcReceiver) << "localIp================" << localIp << "local port" << localPort << "remote"
                       << remoteIp << remotePort;
    if (running.load()) {
        qCWarning(lcReceiver) << "receiving pipeline already running; start refused";
        return false;
    }
    RtpRtcpInit();

    m_videoQueue.reset();
    m_audioQueue.reset();
    m_videoDropped = false;
    running = true;
    try {
        m_videoThread = std::thread([this] { videoLoop(); });
        pthread_setname_np(m_videoThread.native_handle(), "qn-vdecode");
        m_audioThread = std::thread([this] { audioLoop(); });
        pthread_setname_np(m_audioThread.native_handle(), "qn-adeliver");
    } catch (const std::system_error &e) {
        qCCritical(lcReceiver) << "cannot start the receiving threads:" << e.what();
        teardown();
        return false;
    }

    decoder = std::make_unique<KRH264Decoder>();
    const int decoderResult = decoder->Init(this);
    qCDebug(lcReceiver) << "decoder init:" << decoderResult;

    const std::string remote = remoteIp.toStdString();
    videoStream.setLocalIp(localIp.toStdString());
    const int videoResult =
        videoStream.Start(this, QnRtpStreamIds::nextReceiveId(), kH264PayloadType, localPort, localPort + 1,
                          remote, remotePort, remotePort + 1, 1);
    opusDecoder.createDecoder();
    const int audioResult =
        audioStream.Start(&audioFrameCb, QnRtpStreamIds::nextReceiveId(), kOpusPayloadType, localPort + 2,
                          localPort + 3, remote, remotePort + 2, remotePort + 3, 1);
    m_audioId = int(QnRtpStreamIds::currentReceiveId());
    if (videoResult != 0 || audioResult != 0 || decoderResult != 0) {
        qCCritical(lcReceiver) << "receiving pipeline failed to start: video" << videoResult << "audio"
                               << audioResult << "decoder" << decoderResult;
        teardown();
        return false;
    }
    return true;
}

void QnLynServer::stopServer()
{
    if (!running.load())
        return;
    teardown();
}

void QnLynServer::teardown()
{
    running = false;
    m_videoQueue.stop();
    if (m_videoThread.joinable())
        m_videoThread.join();
    m_audioQueue.stop();
    if (m_audioThread.joinable())
        m_audioThread.join();
    videoStream.Stop();
    audioStream.Stop();
    if (decoder)
        decoder->close();
    opusDecoder.destroyDecoder();
}

int QnLynServer::onFrame(const uint8_t *data, int length, int64_t timestamp, uint32_t extra)
{
    queueVideo(data, length, timestamp, extra, false);
    return 0;
}

int QnLynServer::onDamagedFrame(const uint8_t *data, int length, int64_t timestamp, uint32_t extra)
{
    queueVideo(data, length, timestamp, extra, true);
    return 0;
}

void QnLynServer::queueVideo(const uint8_t *data, int length, int64_t timestamp, uint32_t extra, bool damaged)
{
    if (!running.load() || !data || length <= 0)
        return;
    EncodedFrame frame;
    frame.bytes.assign(data, data + length);
    frame.timestamp = timestamp;
    frame.extra = extra;
    frame.damaged = damaged;
    if (const std::size_t dropped = m_videoQueue.push(std::move(frame))) {
        m_videoQueueDrops += dropped;
        m_videoDropped = true;
        qCWarning(lcReceiver) << "video decoding falls behind: oldest frame dropped";
    }
}

void QnLynServer::videoLoop()
{
    std::deque<EncodedFrame> batch;
    while (m_videoQueue.takeAll(batch)) {
        for (EncodedFrame &frame : batch) {
            if (!running.load())
                break;
            // After a queue drop the unit refers to a picture the decoder never saw: it conceals.
            const bool damaged = frame.damaged || m_videoDropped.exchange(false);
            decoder->DecodeFrame(frame.bytes.data(), int(frame.bytes.size()), frame.timestamp, frame.extra,
                                 damaged);
        }
        batch.clear();
    }
}

int QnLynServer::onFrame(const uint8_t *y, const uint8_t *u, const uint8_t *v, int width, int height)
{
    if (width <= 0 || height <= 0)
        return 0;
    // Chroma planes of odd sizes are ((w+1)/2) x ((h+1)/2); the signal's layout is w*h/4 each,
    // so odd sizes are handed on cropped to the even size below.
    const int w = width & ~1;
    const int h = height & ~1;
    if (w == 0 || h == 0)
        return 0;
    const int cw = (width + 1) / 2;
    QByteArray picture(w * h * 3 / 2, Qt::Uninitialized);
    char *out = picture.data();
    for (int row = 0; row < h; ++row)
        std::memcpy(out + row * w, y + row * width, size_t(w));
    char *outU = out + w * h;
    char *outV = out + w * h * 5 / 4;
    for (int row = 0; row < h / 2; ++row) {
        std::memcpy(outU + row * (w / 2), u + row * cw, size_t(w / 2));
        std::memcpy(outV + row * (w / 2), v + row * cw, size_t(w / 2));
    }
    Q_EMIT yuvData(picture, w, h);
    return 0;
}

int QnLynServer::AudioFrameCb::onFrame(const uint8_t *data, int length, int64_t, uint32_t)
{
    m_owner->onAudioPacket(data, length);
    return 0;
}

void QnLynServer::onAudioPacket(const uint8_t *data, int length)
{
    if (!running.load())
        return;
    // A 20 ms packet gives two 10 ms blocks: every decoded sample is kept.
    int16_t pcm[OpusCodec::kMaxPacketSamples * OpusCodec::kChannels];
    const int samples = opusDecoder.decode(data, length, pcm, OpusCodec::kMaxPacketSamples);
    if (samples <= 0) {
        qCDebug(lcReceiver) << "opus packet not decoded:" << samples;
        return;
    }
    const int id = m_audioId.load();
    for (int offset = 0; offset + kPcmSamples <= samples; offset += kPcmSamples) {
        PcmBlock block;
        const auto *begin = reinterpret_cast<const uint8_t *>(pcm + offset * OpusCodec::kChannels);
        block.bytes.assign(begin, begin + kPcmBytes);
        block.audioId = id;
        if (m_audioQueue.push(std::move(block)) > 0)
            qCDebug(lcReceiver) << "sound backlog discarded";
    }
}

void QnLynServer::audioLoop()
{
    std::deque<PcmBlock> batch;
    while (m_audioQueue.takeAll(batch)) {
        PcmFrameCallback callback;
        {
            std::lock_guard<std::mutex> lock(m_callbackMutex);
            callback = audioCallback;
        }
        for (PcmBlock &block : batch) {
            if (!running.load())
                break;
            if (callback)
                callback(block.audioId, block.bytes.data(), unsigned(kPcmBytes), OpusCodec::kChannels,
                         OpusCodec::kSampleRate, kPcmSamples);
        }
        batch.clear();
    }
}
