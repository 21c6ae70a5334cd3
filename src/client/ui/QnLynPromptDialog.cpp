#include "client/ui/QnLynPromptDialog.h"

#include "client/ui/NcFramelessHelper.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QnLynPromptDialog::QnLynPromptDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("QnLynPromptDialog"));
    setWindowTitle(QStringLiteral("Dialog"));
    resize(370, 271);

    auto *verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setContentsMargins(0, 0, 0, 0);
    verticalLayout->setSpacing(0);
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("promptframe"));
    frame->setStyleSheet(QStringLiteral("#promptframe{\nbackground: #FFFFFF;\nborder-radius: 6px;\n}"));
    verticalLayout->addWidget(frame);

    auto *verticalLayout_2 = new QVBoxLayout(frame);
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    auto *horizontalLayout = new QHBoxLayout;
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setContentsMargins(0, 10, 0, 0);
    horizontalLayout->addSpacerItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_title = new QLabel(QStringLiteral("提示"), frame);
    m_title->setObjectName(QStringLiteral("titlelabel"));
    m_title->setTextFormat(Qt::PlainText);
    m_title->setStyleSheet(QStringLiteral("font-size: 20px;\ncolor: #333333;"));
    horizontalLayout->addWidget(m_title);
    horizontalLayout->addSpacerItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    verticalLayout_2->addLayout(horizontalLayout);
    verticalLayout_2->addSpacerItem(new QSpacerItem(20, 49, QSizePolicy::Minimum, QSizePolicy::Expanding));

    m_message = new QLabel(QStringLiteral("TextLabel"), frame);
    m_message->setObjectName(QStringLiteral("msglabe"));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setStyleSheet(QStringLiteral("font-size: 16px;\ncolor: #333333;"));
    verticalLayout_2->addWidget(m_message);
    verticalLayout_2->addSpacerItem(new QSpacerItem(20, 49, QSizePolicy::Minimum, QSizePolicy::Expanding));

    auto *horizontalLayout_2 = new QHBoxLayout;
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    horizontalLayout_2->setContentsMargins(0, 0, 0, 37);
    auto *closeBtn = new QPushButton(QStringLiteral("知道了"), frame);
    closeBtn->setObjectName(QStringLiteral("closeBtn"));
    closeBtn->setFixedSize(121, 40);
    closeBtn->setStyleSheet(QStringLiteral("QPushButton{\nfont-size: 14px;\ncolor: #DE6F6F;\n"
                                           "border: 1px solid #DE6F6F;\nborder-radius: 6px;\n"
                                           "background: #FFFFFF;\n}"));
    horizontalLayout_2->addWidget(closeBtn);
    verticalLayout_2->addLayout(horizontalLayout_2);

    QMetaObject::connectSlotsByName(this);
}

void QnLynPromptDialog::setTexts(const QString &message, const QString &title)
{
    m_message->setText(message);
    if (!message.isEmpty())
        m_title->setText(title);
}

void QnLynPromptDialog::on_closeBtn_clicked()
{
    accept();
}

void QnLynPromptDialog::prepare(const QString &message, const QString &title)
{
    setAttribute(Qt::WA_TranslucentBackground, true);
    auto *helper = new NcFramelessHelper(this);
    helper->setMovable(false);
    helper->setResizable(false);
    helper->attachWidget(this);
    setTexts(message, title);
}

int QnLynPromptDialog::showPrompt(const QString &message, const QString &title)
{
    QnLynPromptDialog dialog;
    dialog.prepare(message, title);
    return dialog.exec();
}
