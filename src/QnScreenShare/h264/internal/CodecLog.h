#pragma once

#include <QLoggingCategory>

/// Category of the codec wrappers ("qn.codec"); libavcodec's and x264's own messages go here too.
Q_DECLARE_LOGGING_CATEGORY(lcCodec)

namespace QnCodecLog {
/// Routes libav* warnings and errors into lcCodec. Idempotent, thread-safe.
void installAvLog();
} // namespace QnCodecLog
