#include "client/app/QnStartupRules.h"

#include "common/settings/COption.h"

#include <QLoggingCategory>

#include <cmath>

Q_LOGGING_CATEGORY(lcStartup, "qn.startup")

namespace {

const QString kGroup = QStringLiteral("system");
const QString kScaleKey = QStringLiteral("dpiScale");
const QString kWidthKey = QStringLiteral("rwidth");
const QString kHeightKey = QStringLiteral("rheight");

// Two scales this close are one: the INI file holds them as text.
constexpr double kScaleTolerance = 1e-9;

// Nearest integer, halves away from zero.
int roundAway(double value)
{
    return int(std::lround(value));
}

} // namespace

bool QnStartupRules::hasAutoRunArgument(const QStringList &arguments)
{
    return arguments.contains(QLatin1String(kAutoRunArgument));
}

bool QnStartupRules::yieldsToReceiver(const QStringList &arguments,
                                      const std::function<bool()> &receiverAutostarts)
{
    return hasAutoRunArgument(arguments) && receiverAutostarts && receiverAutostarts();
}

double QnStartupRules::saneScale(double value)
{
    return std::isfinite(value) && value >= kMinScale && value <= kMaxScale ? value : 1.0;
}

double QnStartupRules::startScale(double storedScale, int storedHeight)
{
    if (storedHeight >= 3150)
        return 3.0;
    if (storedHeight >= 2100)
        return 2.0;
    if (storedHeight >= 1050)
        return 1.0;
    return saneScale(storedScale);
}

QString QnStartupRules::scaleText(double scale)
{
    return QString::number(scale, 'g', 6);
}

std::optional<QString> QnStartupRules::startScaleText(const COption &settings)
{
    if (!settings.contains(kGroup, kScaleKey))
        return std::nullopt;
    bool ok = false;
    double stored = settings.value(kGroup, kScaleKey).toDouble(&ok);
    if (!ok)
        stored = 1.0;
    const int height = settings.value(kGroup, kHeightKey, 0).toInt();
    const double scale = startScale(stored, height);
    qCDebug(lcStartup) << "start scale" << scale << "stored" << stored << "height" << height;
    return scaleText(scale);
}

QnStartupRules::DisplayCheck QnStartupRules::checkDisplay(std::optional<double> storedScale, int storedWidth,
                                                          double ratio, const QSize &logicalSize)
{
    DisplayCheck check;
    if (!std::isfinite(ratio) || ratio <= 0.0)
        return check;
    check.ratio = ratio;
    check.physical = QSize(roundAway(logicalSize.width() * ratio), roundAway(logicalSize.height() * ratio));
    const double stored = saneScale(storedScale.value_or(1.0));
    const bool scaleChanged = std::fabs(stored - ratio) > kScaleTolerance;
    check.storeSize = storedWidth != check.physical.width();
    check.changed = scaleChanged || check.storeSize;
    return check;
}

bool QnStartupRules::checkDisplay(COption &settings, double ratio, const QSize &logicalSize)
{
    std::optional<double> stored;
    if (settings.contains(kGroup, kScaleKey)) {
        bool ok = false;
        const double value = settings.value(kGroup, kScaleKey).toDouble(&ok);
        stored = ok ? value : 1.0;
    }
    const int width = settings.value(kGroup, kWidthKey, 0).toInt();
    const DisplayCheck check = checkDisplay(stored, width, ratio, logicalSize);
    qCDebug(lcStartup) << "display check: ratio" << ratio << "logical" << logicalSize << "changed"
                       << check.changed;
    if (!check.changed)
        return false;
    if (check.storeSize) {
        settings.setValue(kGroup, kWidthKey, check.physical.width());
        settings.setValue(kGroup, kHeightKey, check.physical.height());
    }
    settings.setValue(kGroup, kScaleKey, check.ratio);
    return true;
}

bool QnStartupRules::restartsAfter(int exitCode)
{
    return exitCode == kRestartCode;
}

bool QnStartupRules::checksDisplay(int restartsSoFar)
{
    return restartsSoFar < kMaxRestarts;
}
