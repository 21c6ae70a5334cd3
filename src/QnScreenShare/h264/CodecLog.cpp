#include "QnScreenShare/h264/internal/CodecLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

Q_LOGGING_CATEGORY(lcCodec, "qn.codec")

namespace {
void avLogToQt(void *, int level, const char *format, va_list args)
{
    if (level > AV_LOG_WARNING)
        return;
    char line[512];
    std::vsnprintf(line, sizeof line, format, args);
    const size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\n')
        line[length - 1] = '\0';
    if (level <= AV_LOG_ERROR)
        qCWarning(lcCodec, "libav: %s", line);
    else
        qCDebug(lcCodec, "libav: %s", line);
}
} // namespace

void QnCodecLog::installAvLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(avLogToQt); });
}
