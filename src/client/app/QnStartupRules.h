#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class COption;

/// The decisions of the program's start-up, apart from any window: whether an autostarted sender
/// gives way to the receiver program, which display scale a pass starts with, whether the display
/// changed since the values were stored (a restart pass follows), and whether the restart loop
/// goes on.
///
/// Settings (group "system"): "dpiScale" (double, device pixel ratio of the last start), "rwidth"
/// and "rheight" (int, physical size of the primary screen at the last start).
///
/// A stored "dpiScale" counts only when it is finite and within kMinScale..kMaxScale; any other
/// value (NaN, infinity, 0, 100, text) reads as 1. GUI thread (COption's).
class QnStartupRules
{
public:
    /// The argument that the program's autostart entry appends.
    static constexpr const char *kAutoRunArgument = "AutoRun";
    /// The autostart entry name and process name of the receiver program on this PC.
    static constexpr const char *kReceiverProgram = "QnLynServer";
    /// A helper of the receiver program, ended after it.
    static constexpr const char *kReceiverHelper = "Tollvane";
    /// Exit code of a pass that asks for a new pass with a new application object.
    static constexpr int kRestartCode = -10086;
    /// Restart passes in a row after which the display check is skipped, so that a display that
    /// never reads back the same values cannot keep the program restarting.
    static constexpr int kMaxRestarts = 3;
    static constexpr double kMinScale = 0.5;
    static constexpr double kMaxScale = 4.0;

    /// True when arguments (argv[0] included) hold "AutoRun".
    static bool hasAutoRunArgument(const QStringList &arguments);
    /// True when the process must end at once with 0: started by autostart ("AutoRun") while the
    /// receiver program is itself set to start with the session. receiverAutostarts is asked only
    /// when "AutoRun" is present.
    static bool yieldsToReceiver(const QStringList &arguments,
                                 const std::function<bool()> &receiverAutostarts);

    /// value when it is a usable scale (finite, kMinScale..kMaxScale), else 1.
    static double saneScale(double value);

    /// The scale a pass starts with, from the stored values: 3 when storedHeight >= 3150, 2 when
    /// >= 2100, 1 when >= 1050, else saneScale(storedScale).
    static double startScale(double storedScale, int storedHeight);
    /// The environment text of a scale: shortest form with up to 6 significant digits ("1", "1.25").
    static QString scaleText(double scale);
    /// The "QT_SCALE_FACTOR" text for this pass; none when "dpiScale" is not stored.
    static std::optional<QString> startScaleText(const COption &settings);

    /// What the display check found and what to store.
    struct DisplayCheck
    {
        bool changed = false;   ///< a restart pass must follow
        bool storeSize = false; ///< "rwidth" and "rheight" are to be stored
        QSize physical;         ///< the primary screen's physical size (rounded)
        double ratio = 1.0;     ///< the device pixel ratio to store as "dpiScale"
    };
    /// Compares the stored scale and width with the current device pixel ratio and logical size of
    /// the primary screen. A ratio that is not finite or not above 0 tells nothing: unchanged.
    static DisplayCheck checkDisplay(std::optional<double> storedScale, int storedWidth, double ratio,
                                     const QSize &logicalSize);
    /// checkDisplay() over the settings, storing what it says; true when a restart pass must follow.
    static bool checkDisplay(COption &settings, double ratio, const QSize &logicalSize);

    /// True when a pass that ended with exitCode is followed by another pass.
    static bool restartsAfter(int exitCode);
    /// True when a pass after restartsSoFar restart passes in a row checks the display.
    static bool checksDisplay(int restartsSoFar);
};
