#include "client/ui/account/QnPasswordEye.h"

#include "client/ui/account/QnAccountRules.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>

QnPasswordEye::QnPasswordEye(QLineEdit *field, QLabel *toggle, QObject *parent)
    : QObject(parent), m_field(field), m_toggle(toggle)
{
    m_field->setEchoMode(QLineEdit::Password);
    m_toggle->installEventFilter(this);
    connect(m_field, &QLineEdit::textChanged, this, &QnPasswordEye::refresh);
    refresh();
}

void QnPasswordEye::reset()
{
    m_field->setEchoMode(QLineEdit::Password);
    refresh();
}

void QnPasswordEye::refresh()
{
    m_toggle->setStyleSheet(
        QnAccountRules::eyeStyle(QnAccountRules::eyeStateFor(m_field->text(), m_field->echoMode())));
}

bool QnPasswordEye::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_toggle && event->type() == QEvent::MouseButtonRelease && !m_field->text().isEmpty()) {
        m_field->setEchoMode(m_field->echoMode() == QLineEdit::Password ? QLineEdit::Normal
                                                                        : QLineEdit::Password);
        refresh();
    }
    return QObject::eventFilter(watched, event);
}
