#include "QnScreenShare/streams/KROpusStream.h"

int KROpusStream::Start(QnRtpFrameCb *cb, uint32_t streamId, uint8_t payloadType, int localRtpPort,
                        int localRtcpPort, const std::string &remoteIp, int remoteRtpPort, int remoteRtcpPort,
                        int)
{
    Config config;
    config.createSender = CreateOpusSender;
    config.createReceiver = CreateOpusReceiver;
    config.threadName = "qn-rtp-opus";
    config.kind = "opus";
    config.rtcpAllToSender = true;
    return startStream(config, cb, streamId, payloadType, localRtpPort, localRtcpPort, remoteIp,
                       remoteRtpPort, remoteRtcpPort);
}
