#pragma once

#include <cstdint>

/// Process-wide stream identifiers: sending streams count up from 2000, receiving streams from
/// 1000. Each started stream takes the current value and advances the counter. Thread-safe.
namespace QnRtpStreamIds {
uint32_t nextSendId();
uint32_t nextReceiveId();
/// The receiving counter's current value (the next id to be handed out).
uint32_t currentReceiveId();
} // namespace QnRtpStreamIds
