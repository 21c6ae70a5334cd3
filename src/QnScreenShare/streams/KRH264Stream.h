#pragma once

#include "QnScreenShare/streams/KRRtpStream.h"

/// H.264 stream (payload type 127 in this program): RTP on the first port, RTCP on the second.
class KRH264Stream : public KRRtpStream
{
public:
    KRH264Stream() = default;

    /// Starts sending and receiving. \a cb (not owned, may be null) receives access units in
    /// Annex-B form on the receive thread. The last argument is unused. Returns 0, or -1 when
    /// already running, when a port cannot be bound or the receive thread cannot be created.
    int Start(QnRtpFrameCb *cb, uint32_t streamId, uint8_t payloadType, int localRtpPort, int localRtcpPort,
              const std::string &remoteIp, int remoteRtpPort, int remoteRtcpPort, int reserved = 1);

    /// Local address to bind at the next start (empty: any address).
    void setLocalIp(const std::string &ip) { localIp = ip; }

private:
    std::string localIp;
};
