#include "client/ui/sender/QnLynCodeLineEdit.h"

#include <QRegularExpressionValidator>

QnLynCodeLineEdit::QnLynCodeLineEdit(QWidget *parent) : QLineEdit(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAlignment(Qt::AlignCenter);
    setFixedSize(70, 107);
    QFont f = font();
    f.setPixelSize(64);
    setFont(f);
    setStyleSheet(QStringLiteral("border-radius: 4px; color:#DE6F6F;"));
    setMaxLength(1);
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]+$")), this));
}
