#pragma once

#include <QObject>
#include <QTimer>

class QPushButton;

/// The 60-second wait of a "get verification code" button. The first tick, one interval after
/// start(), disables the button and shows "60" followed by suffix; each later tick shows one less
/// down to 1; the 61st tick stops the timer, enables the button with restText and rewinds to 60.
/// start() while running restarts the interval but keeps counting from where it was.
/// GUI thread only; the button is not owned and must outlive the countdown (make both children of
/// one page).
class QnCaptchaCountdown : public QObject
{
    Q_OBJECT
public:
    /// One tick of the count: what the button shows next.
    struct Step
    {
        bool finished = false;      ///< back to the rest state
        bool disableButton = false; ///< the first tick of a count
        int shownSeconds = 0;       ///< the number to show when not finished
    };

    QnCaptchaCountdown(QPushButton *button, QObject *parent = nullptr);

    /// The texts the button shows: restText at rest, seconds followed by suffix while counting.
    void setTexts(const QString &restText, const QString &suffix);
    void setInterval(int ms) { m_timer.setInterval(ms); }
    void start() { m_timer.start(); }
    bool isRunning() const { return m_timer.isActive(); }
    int secondsLeft() const { return m_secondsLeft; }

    /// The count's rule on its own: advances secondsLeft and tells what to show.
    static Step advance(int &secondsLeft);

private:
    void onTick();

    QPushButton *m_button;
    QTimer m_timer;
    int m_secondsLeft = 60;
    QString m_restText;
    QString m_suffix;
};
