#pragma once

#include "QnScreenShare/audio/QnAudioCaptrue.h"
#include "QnScreenShare/h264/OpusCodec.h"
#include "QnScreenShare/screencapture/ScreenCapture.h"
#include "QnScreenShare/streams/KRH264Stream.h"
#include "QnScreenShare/streams/KROpusStream.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

/// The mirroring engine: captures one screen and the PC's sound, encodes them as H.264 and Opus
/// and sends them to one receiver over two RTP streams (ports L..L+3 to R..R+3: H.264 RTP/RTCP,
/// then Opus RTP/RTCP).
///
/// Threads: startSender, stopSender, restartCapture and setAudioMuted run on the owner's thread
/// (the GUI thread); the video callback runs on the capture thread and the audio callback on the
/// task timer thread, each sending through its own stream. The H.264 encoder is the process-wide
/// H264Encoder, reopened by every start and capture restart while capture is stopped.
class QnLynSender : public QObject
{
    Q_OBJECT
public:
    /// `audio` and `capture` may be injected (tests); null makes the platform ones.
    explicit QnLynSender(QObject *parent = nullptr, std::unique_ptr<QnAudioCaptrue> audio = nullptr,
                         ScreenCapture *capture = nullptr);
    ~QnLynSender() override;

    /// Starts a run at width x height and frameRate to receiverIp's ports R..R+3 from local ports
    /// L..L+3. A run already going is stopped first. Returns false (and leaves the sender idle)
    /// when the encoder or a stream cannot start; the failure is logged.
    bool startSender(int screenIndex, int width, int height, int frameRate, const QString &receiverIp,
                     int remotePort, int localPort);
    /// Stops the run; nothing is sent once it returns. Does nothing when idle.
    void stopSender();
    /// Grabs another screen or size during a run; the streams and the sound go on. Returns 0, or
    /// -1 when capture is not running.
    int restartCapture(int screenIndex, int width, int height, int frameRate);
    bool isCapturing() const;
    bool isRunning() const { return running.load(); }

    /// Pauses (true) or resumes the sound of a running run. While idle the state is only recorded,
    /// and the next run starts its sound accordingly: a volume change never starts capture.
    void setAudioMuted(bool muted);
    bool isAudioMuted() const { return m_audioMuted; }

    ScreenCapture *screenCapture() const { return capture; }
    /// Stream ids of the current or last run (0 before the first run).
    uint32_t videoStreamId() const { return m_videoStreamId; }
    uint32_t audioStreamId() const { return m_audioStreamId; }
    /// Access units encoded to nothing ("encode failed:") since construction.
    uint64_t encodeFailures() const { return m_encodeFailures.load(); }

    /// Observer of each sent frame: the steady-clock times of its grab and of the moment its last
    /// RTP packet was handed to the network, and its encoded size. Called on the capture thread;
    /// set it while no run is going (null removes it).
    using FrameProbe = std::function<void(std::chrono::steady_clock::time_point grabbed,
                                          std::chrono::steady_clock::time_point sent, int bytes)>;
    void setFrameProbe(FrameProbe probe);

private:
    void onVideoFrame(const QByteArray &i420, int width, int height);
    void onAudioFrame(const uint8_t *pcm, unsigned frames, int channels, int sampleRate);
    void startAudio();

    ScreenCapture *capture; // child of this object
    std::unique_ptr<QnAudioCaptrue> audioCapture;
    OpusCodec opusEncoder;
    KRH264Stream videoStream;
    KROpusStream audioStream;
    std::vector<uint8_t> videoBuffer; // capture thread only
    std::vector<uint8_t> audioBuffer; // timer thread only
    std::atomic<bool> running{false};
    bool m_audioMuted = false; // owner's thread
    uint32_t m_videoStreamId = 0;
    uint32_t m_audioStreamId = 0;
    std::atomic<uint64_t> m_encodeFailures{0};
    FrameProbe m_frameProbe; // set while idle, read on the capture thread
};
