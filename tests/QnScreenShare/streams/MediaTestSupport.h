#pragma once
// Helpers shared by the RTP stream tests: encoded clips, frame collectors, free ports.

#include "QnScreenShare/h264/H264Encoder.h"
#include "platform/rtp/QnRtpRtcp.h"
#include "platform/rtp/RtpH264.h"
#include "tests/fixtures/media/MediaTestUtil.h"

#include <QByteArray>
#include <QList>
#include <mutex>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mediatest {

struct EncodedFrame
{
    QByteArray unit; ///< with 4-byte start codes, as received
    bool keyframe = false;
};

// An I420 picture with moving content: a gradient and a bright bar sweeping across.
inline QByteArray movingPicture(int w, int h, int frame)
{
    QByteArray data(w * h * 3 / 2, '\0');
    uint8_t *p = reinterpret_cast<uint8_t *>(data.data());
    const int bar = (frame * 8) % w;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p[y * w + x] =
                uint8_t((x >= bar && x < bar + 16) ? 235 : ((x * 3 + y * 2 + frame * 5) & 0x7f) + 40);
    for (int i = 0; i < w * h / 4; ++i) {
        p[w * h + i] = uint8_t(128 + ((i + frame) % 40) - 20);
        p[w * h * 5 / 4 + i] = uint8_t(128 - ((i / 7 + frame) % 30) + 15);
    }
    return data;
}

// The access unit as a receiver hands it on: every NAL unit behind a 4-byte start code (x264
// writes 3-byte ones in places).
inline QByteArray withLongStartCodes(const QByteArray &unit)
{
    QByteArray out;
    for (const qnrtp::NalRef &nal :
         qnrtp::splitAnnexB(reinterpret_cast<const uint8_t *>(unit.constData()), unit.size()))
        out += QByteArray("\0\0\0\1", 4) + QByteArray(reinterpret_cast<const char *>(nal.data), nal.size);
    return out;
}

// Encodes \a count pictures with the program's encoder settings. The encoder is closed after.
inline QList<EncodedFrame> encodeClip(int w, int h, int fps, int count)
{
    QList<EncodedFrame> frames;
    H264Encoder &encoder = H264Encoder::instance();
    encoder.init(w, h, 10000000, fps, 60);
    QByteArray out(H264Encoder::kOutputBufferSize, '\0');
    for (int f = 0; f < count; ++f) {
        const QByteArray picture = movingPicture(w, h, f);
        const int n = encoder.encode(reinterpret_cast<const uint8_t *>(picture.constData()), w, h,
                                     reinterpret_cast<uint8_t *>(out.data()));
        if (n > 0)
            frames.append({withLongStartCodes(out.left(n)), encoder.lastWasKeyframe()});
    }
    encoder.close();
    return frames;
}

// Collects delivered frames from the receive thread, with the damaged flag of each.
class FrameCollector : public QnRtpFrameCb
{
public:
    int onFrame(const uint8_t *data, int length, int64_t timestamp, uint32_t) override
    {
        std::lock_guard<std::mutex> locker(lock);
        frames.append(QByteArray(reinterpret_cast<const char *>(data), length));
        timestamps.append(timestamp);
        damaged.append(false);
        return 0;
    }
    int onDamagedFrame(const uint8_t *data, int length, int64_t timestamp, uint32_t extra) override
    {
        onFrame(data, length, timestamp, extra);
        std::lock_guard<std::mutex> locker(lock);
        damaged.last() = true;
        return 0;
    }
    QList<bool> takeDamaged()
    {
        std::lock_guard<std::mutex> locker(lock);
        return damaged;
    }
    int count()
    {
        std::lock_guard<std::mutex> locker(lock);
        return frames.size();
    }
    QList<QByteArray> take()
    {
        std::lock_guard<std::mutex> locker(lock);
        return frames;
    }
    std::mutex lock; // std::mutex: visible to ThreadSanitizer
    QList<QByteArray> frames;
    QList<int64_t> timestamps;
    QList<bool> damaged;
};

// A base port with \a count consecutive free UDP ports.
inline int freePortBlock(int count)
{
    return MediaTestUtil::freePortBlock(count);
}

} // namespace mediatest
