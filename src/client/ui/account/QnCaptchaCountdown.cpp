#include "client/ui/account/QnCaptchaCountdown.h"

#include <QPushButton>

QnCaptchaCountdown::QnCaptchaCountdown(QPushButton *button, QObject *parent)
    : QObject(parent), m_button(button)
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &QnCaptchaCountdown::onTick);
}

void QnCaptchaCountdown::setTexts(const QString &restText, const QString &suffix)
{
    m_restText = restText;
    m_suffix = suffix;
}

QnCaptchaCountdown::Step QnCaptchaCountdown::advance(int &secondsLeft)
{
    Step step;
    if (secondsLeft <= 0) {
        secondsLeft = 60;
        step.finished = true;
        return step;
    }
    step.disableButton = secondsLeft == 60;
    step.shownSeconds = secondsLeft;
    --secondsLeft;
    return step;
}

void QnCaptchaCountdown::onTick()
{
    const Step step = advance(m_secondsLeft);
    if (step.finished) {
        m_timer.stop();
        m_button->setEnabled(true);
        m_button->setText(m_restText);
        return;
    }
    if (step.disableButton)
        m_button->setEnabled(false);
    m_button->setText(QString::number(step.shownSeconds) + m_suffix);
}
