#include "client/ui/sender/QnSenderRules.h"

namespace QnSenderRules {

QString cut(const QString &text, int max)
{
    if (text.size() <= max)
        return text;
    return text.left(max) + QStringLiteral("...");
}

int focusAfterChange(int focused, int count)
{
    if (count <= 0)
        return 0;
    if (focused < 0)
        return 0;
    return focused < count - 1 ? focused + 1 : count - 1;
}

BackspaceStep backspace(const QStringList &texts, int focused)
{
    BackspaceStep step;
    if (texts.isEmpty())
        return step;
    if (focused < 0 || focused >= texts.size())
        focused = 0;
    step.focus = focused;
    if (!texts.at(focused).isEmpty()) {
        step.clear = focused;
    } else if (focused > 0) {
        step.clear = focused - 1;
        step.focus = focused - 1;
    }
    return step;
}

QString completeCode(const QStringList &texts)
{
    if (texts.size() != kCodeLength)
        return QString();
    QString code;
    for (const QString &t : texts) {
        if (t.size() != 1 || !t.at(0).isDigit())
            return QString();
        code += t;
    }
    return code;
}

QString keepReceiver(const QString &current, const QString &deviceName, const QMap<QString, QString> &devices)
{
    if (current.isEmpty() || devices.contains(current))
        return current;
    for (auto it = devices.cbegin(); it != devices.cend(); ++it) {
        if (it.value() == deviceName)
            return it.key();
    }
    return current;
}

bool updateNetworkTipWanted(bool downloadStarted, bool downloadFinished)
{
    return downloadStarted && !downloadFinished;
}

} // namespace QnSenderRules

void QnConnectAttempt::start(const QString &code)
{
    m_state = State::Pending;
    m_code = code;
}

QString QnConnectAttempt::abandon()
{
    if (m_state != State::Pending)
        return QString();
    m_state = State::Abandoned;
    return m_code;
}

bool QnConnectAttempt::succeed()
{
    if (m_state == State::Abandoned)
        return false;
    m_state = State::Connected;
    return true;
}

void QnConnectAttempt::reset()
{
    m_state = State::Idle;
    m_code.clear();
}
