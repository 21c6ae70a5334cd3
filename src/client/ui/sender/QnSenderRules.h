#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

/// The rules of the main sender window that need no pixels: text cuts, the code-entry focus and
/// Backspace rules, the choice of the receiver code after a list refresh and the state of one
/// connection attempt. Plain values; GUI thread by use, no shared state.
namespace QnSenderRules {

/// The longest network name shown in a badge before it is cut.
constexpr int kNetworkNameLength = 18;
/// The longest receiver key shown in the receiver list before it is cut.
constexpr int kReceiverKeyLength = 15;
/// The longest receiver name shown in the function page's device bar before it is cut.
constexpr int kDeviceNameLength = 12;
/// The number of code boxes.
constexpr int kCodeLength = 6;

/// text when it has at most max characters, else its first max characters followed by "...".
QString cut(const QString &text, int max);

/// The box that gets the focus after the box at focused changed: the next one, or the last.
int focusAfterChange(int focused, int count = kCodeLength);

/// One Backspace in the code entry: which box is cleared and which box then has the focus.
struct BackspaceStep
{
    int clear = -1; ///< the box to clear; -1 when nothing is cleared
    int focus = 0;  ///< the box that has the focus afterwards
};
/// The focused box is cleared when it holds a digit, else the previous one is cleared and focused.
BackspaceStep backspace(const QStringList &texts, int focused);

/// The complete code when every box holds one digit, else an empty text.
QString completeCode(const QStringList &texts);

/// The receiver code to keep after the list became devices (code -> name): the current code while
/// it is still listed; else the first code (in key order) named deviceName; else the current code.
QString keepReceiver(const QString &current, const QString &deviceName,
                     const QMap<QString, QString> &devices);

/// Whether the "network abnormal" tip follows the update dialog: only when a download was started
/// in it and did not finish (merely closing the dialog is no network fault).
bool updateNetworkTipWanted(bool downloadStarted, bool downloadFinished);

} // namespace QnSenderRules

/// One connection attempt of the main sender window: the code asked for is captured when the
/// request is made, so cancelling or timing out names the receiver that was asked for (also after
/// the home page's boxes were cleared or the request came from the receiver list), and a success
/// that arrives after a cancel or a time-out is recognised as stale.
class QnConnectAttempt
{
public:
    enum class State { Idle, Pending, Connected, Abandoned };

    /// A request for code starts (a previous attempt is forgotten).
    void start(const QString &code);
    /// The attempt was cancelled or timed out; returns the code to stop (empty when none pending).
    QString abandon();
    /// A success arrived; false when it belongs to an abandoned attempt and must be ignored.
    bool succeed();
    /// Disconnected: back to Idle.
    void reset();

    State state() const { return m_state; }
    QString code() const { return m_code; }

private:
    State m_state = State::Idle;
    QString m_code;
};
