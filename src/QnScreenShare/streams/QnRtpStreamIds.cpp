#include "QnScreenShare/streams/QnRtpStreamIds.h"

#include <atomic>

namespace {
std::atomic<uint32_t> g_sendId{2000};
std::atomic<uint32_t> g_receiveId{1000};
} // namespace

uint32_t QnRtpStreamIds::nextSendId()
{
    return g_sendId.fetch_add(1);
}
uint32_t QnRtpStreamIds::nextReceiveId()
{
    return g_receiveId.fetch_add(1);
}
uint32_t QnRtpStreamIds::currentReceiveId()
{
    return g_receiveId.load();
}
