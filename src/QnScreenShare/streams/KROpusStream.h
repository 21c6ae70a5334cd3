#pragma once

#include "QnScreenShare/streams/KRRtpStream.h"

/// Opus stream (payload type 120 in this program). Its ports bind to any local address, and all
/// of its RTCP goes to the sender object.
class KROpusStream : public KRRtpStream
{
public:
    KROpusStream() = default;

    /// Same contract as KRH264Stream::Start; frames are single Opus packets.
    int Start(QnRtpFrameCb *cb, uint32_t streamId, uint8_t payloadType, int localRtpPort, int localRtcpPort,
              const std::string &remoteIp, int remoteRtpPort, int remoteRtcpPort, int reserved = 1);
};
