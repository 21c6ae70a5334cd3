#include "update/src/UpdateProgress.h"

#include <limits>

namespace UpdateProgress {

QString sizeText(qint64 totalSize)
{
    return QString::number(totalSize / 1048576) + QLatin1Char('M');
}

QString percentText(qint64 received, qint64 total)
{
    if (total <= 0)
        return QString();
    // received x 100 cannot overflow for any real size (below 2^56 bytes).
    return QString::number(received * 100 / total) + QLatin1Char('%');
}

Bar bar(qint64 received, qint64 total)
{
    Bar result;
    if (total <= 0)
        return result;
    received = qBound<qint64>(0, received, total);
    qint64 divisor = 1;
    while (total / divisor > std::numeric_limits<int>::max())
        divisor *= 2;
    result.maximum = static_cast<int>(total / divisor);
    result.value = static_cast<int>(received / divisor);
    return result;
}

} // namespace UpdateProgress
