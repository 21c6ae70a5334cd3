#pragma once

#include "QnScreenShare/h264/KRH264Decoder.h"
#include "QnScreenShare/h264/OpusCodec.h"
#include "QnScreenShare/h264/RenderCallback.h"
#include "QnScreenShare/receiver/FrameQueue.h"
#include "QnScreenShare/streams/KRH264Stream.h"
#include "QnScreenShare/streams/KROpusStream.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

/// Plays or forwards one block of received sound: (audio id, interleaved 16-bit PCM, bytes,
/// channels, sample rate, samples per channel). Called on the pipeline's audio delivery thread.
using PcmFrameCallback = std::function<void(int id, unsigned char *pcm, unsigned int bytes, int channels,
                                            int sampleRate, int samplesPerChannel)>;

/// Receiving pipeline of one desktop-sync connection: an H.264 and an Opus RTP stream from the
/// receiver, decoded to I420 pictures (yuvData) and 10 ms PCM blocks (the audio callback).
///
/// Threads: the H.264 receive thread queues access units; the video decode thread ("qn-vdecode")
/// decodes them and emits yuvData (direct receivers run there); the Opus receive thread decodes
/// packets into 480-sample blocks and queues them; the audio delivery thread ("qn-adeliver") calls
/// the audio callback. startServer/stopServer/setAudioCallback belong to the owner's thread (the
/// task pool worker).
///
/// Video goes to the decoder as it arrives, damaged units too (libavcodec conceals what is
/// missing): the picture never waits for a perfect unit or a key frame.
///
/// Queues: encoded video keeps at most kMaxQueuedVideoFrames (oldest dropped; the next unit is
/// decoded as damaged); sound keeps at most kMaxQueuedPcmBlocks and discards a longer backlog as
/// a whole, so playback never lags behind.
class QnLynServer : public QObject, public QnRtpFrameCb, public RenderCallback
{
    Q_OBJECT
public:
    static constexpr std::size_t kMaxQueuedVideoFrames = 30;
    static constexpr std::size_t kMaxQueuedPcmBlocks = 3;
    static constexpr int kPcmSamples = 480; ///< per channel, 10 ms at 48 kHz
    static constexpr int kPcmBytes = kPcmSamples * 2 * 2;

    explicit QnLynServer(QObject *parent = nullptr);
    ~QnLynServer() override;

    /// Binds local ports L..L+3 (H.264 RTP/RTCP, Opus RTP/RTCP) on localIp and receives from
    /// remoteIp's ports R..R+3. Returns false (and stays stopped) when a port cannot be bound or a
    /// thread cannot be made, or when already running.
    bool startServer(const QString &localIp, int localPort, const QString &remoteIp, int remotePort);
    /// Stops both streams and threads; what is still queued is not decoded. Safe when stopped.
    void stopServer();

    /// Stores a copy for the audio delivery thread; set it before startServer.
    void setAudioCallback(PcmFrameCallback callback);
    /// The pipeline's audio identifier (the receiving stream-id counter after its two streams).
    int audioId() const { return m_audioId.load(); }
    bool isRunning() const { return running.load(); }
    /// Encoded video units dropped because decoding fell behind (the queue was full).
    uint64_t videoQueueDrops() const { return m_videoQueueDrops.load(); }
    /// Counters of the H.264 receiving endpoint (zeroes when stopped).
    QnRtpStats videoStats() const { return videoStream.receiverStats(); }

    /// H.264 stream's frame callbacks (receive thread).
    int onFrame(const uint8_t *data, int length, int64_t timestamp, uint32_t extra) override;
    int onDamagedFrame(const uint8_t *data, int length, int64_t timestamp, uint32_t extra) override;
    /// Decoder's picture callbacks (video decode thread).
    int onStart() override { return 0; }
    int onStop() override { return 0; }
    int onFrame(const uint8_t *y, const uint8_t *u, const uint8_t *v, int width, int height) override;

Q_SIGNALS:
    /// One picture, I420: Y at 0, U at w*h, V at w*h*5/4 (w*h*3/2 bytes). Emitted on the video
    /// decode thread.
    void yuvData(QByteArray data, int width, int height);

private:
    struct EncodedFrame
    {
        std::vector<uint8_t> bytes;
        int64_t timestamp = 0;
        uint32_t extra = 0;
        bool damaged = false;
    };
    struct PcmBlock
    {
        std::vector<uint8_t> bytes; // kPcmBytes
        int audioId = 0;
    };
    class AudioFrameCb : public QnRtpFrameCb
    {
    public:
        explicit AudioFrameCb(QnLynServer *owner) : m_owner(owner) {}
        int onFrame(const uint8_t *data, int length, int64_t timestamp, uint32_t extra) override;

    private:
        QnLynServer *m_owner; // not owned
    };

    void videoLoop();
    void audioLoop();
    void onAudioPacket(const uint8_t *data, int length);
    void queueVideo(const uint8_t *data, int length, int64_t timestamp, uint32_t extra, bool damaged);
    void teardown();

    KRH264Stream videoStream;
    std::unique_ptr<KRH264Decoder> decoder;
    FrameQueue<EncodedFrame> m_videoQueue{kMaxQueuedVideoFrames,
                                          FrameQueue<EncodedFrame>::Overflow::DropOldest};
    std::thread m_videoThread;
    FrameQueue<PcmBlock> m_audioQueue{kMaxQueuedPcmBlocks, FrameQueue<PcmBlock>::Overflow::DropBacklog};
    std::thread m_audioThread;
    std::atomic<bool> running{false};
    std::atomic<bool> m_videoDropped{false}; // set by a queue drop; the next unit decodes as damaged
    std::atomic<uint64_t> m_videoQueueDrops{0};
    KROpusStream audioStream;
    OpusCodec opusDecoder;
    AudioFrameCb audioFrameCb{this};
    std::mutex m_callbackMutex; // guards audioCallback
    PcmFrameCallback audioCallback;
    std::atomic<int> m_audioId{0};
};
