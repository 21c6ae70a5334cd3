#include "QnScreenShare/streams/KRH264Stream.h"

int KRH264Stream::Start(QnRtpFrameCb *cb, uint32_t streamId, uint8_t payloadType, int localRtpPort,
                        int localRtcpPort, const std::string &remoteIp, int remoteRtpPort, int remoteRtcpPort,
                        int)
{
    Config config;
    config.createSender = CreateH264Sender;
    config.createReceiver = CreateH264Receiver;
    config.threadName = "qn-rtp-h264";
    config.kind = "h264";
    config.localIp = localIp;
    return startStream(config, cb, streamId, payloadType, localRtpPort, localRtcpPort, remoteIp,
                       remoteRtpPort, remoteRtcpPort);
}
