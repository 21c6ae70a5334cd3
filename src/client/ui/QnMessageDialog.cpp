#include "client/ui/QnMessageDialog.h"

#include "client/ui/NcFramelessHelper.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char *const kButtonStyle =
    "QPushButton{\n\tfont-size: 14px;\n\tcolor: #DE6F6F;\n\tbackground: #FFFFFF;\n"
    "\tborder: 1px solid #DE6F6F;\n\tborder-radius: 6px;\n}\n"
    "QPushButton:hover, QPushButton:pressed{\n\tcolor: #FFFFFF;\n"
    "\tbackground: #DE6F6F;\n}\n"
    "QPushButton:disabled{\n\tborder-image: url(:/res/imgs/btn_ok.svg);\n"
    "\tcolor: #cccccc;\n\tfont-size: 18px;\n}";

QPushButton *makeButton(QWidget *parent, const char *name, const QString &text)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setFixedSize(121, 40);
    button->setStyleSheet(QLatin1String(kButtonStyle));
    return button;
}

} // namespace

QnMessageDialog::QnMessageDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("QnMessageDialog"));
    setWindowTitle(QStringLiteral("Dialog"));
    setFixedSize(370, 231);

    auto *verticalLayout_2 = new QVBoxLayout(this);
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    verticalLayout_2->setSpacing(16);
    verticalLayout_2->setContentsMargins(0, 0, 0, 0);
    auto *backWidget = new QWidget(this);
    backWidget->setObjectName(QStringLiteral("backWidget"));
    backWidget->setAttribute(Qt::WA_StyledBackground, true);
    backWidget->setStyleSheet(QStringLiteral("#backWidget{\nbackground: #FFFFFF;\nborder-radius: 6px;\n}"));
    verticalLayout_2->addWidget(backWidget);

    auto *verticalLayout = new QVBoxLayout(backWidget);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setContentsMargins(20, 12, 12, 28);
    verticalLayout->setSpacing(0);

    auto *horizontalLayout_2 = new QHBoxLayout;
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    auto *label_2 = new QLabel(backWidget);
    label_2->setObjectName(QStringLiteral("label_2"));
    label_2->setFixedSize(24, 29);
    horizontalLayout_2->addWidget(label_2);
    m_title = new QLabel(backWidget);
    m_title->setObjectName(QStringLiteral("titleLabel"));
    m_title->setTextFormat(Qt::PlainText);
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setStyleSheet(QStringLiteral("\nfont: 16px;\nfont-family: \"PingFangSC-Regular, PingFang SC\";\n"
                                          "font-weight: 400;\ncolor: #333333;"));
    horizontalLayout_2->addWidget(m_title, 1);
    m_close = new QPushButton(backWidget);
    m_close->setObjectName(QStringLiteral("closeBtn"));
    m_close->setFixedSize(24, 20);
    m_close->setStyleSheet(QStringLiteral(
        "QPushButton{\n\timage: url(:/img/close.svg);\n\tborder:0px;\npadding:0px 0px 8px 8px;\n}"));
    horizontalLayout_2->addWidget(m_close, 0, Qt::AlignTop);
    verticalLayout->addLayout(horizontalLayout_2);

    m_text = new QLabel(QStringLiteral("TextLabel"), backWidget);
    m_text->setObjectName(QStringLiteral("label"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setContentsMargins(0, 0, 8, 0);
    m_text->setStyleSheet(QStringLiteral("font: 16px;\nfont-weight: 400;\ncolor: #333333;"));
    verticalLayout->addWidget(m_text, 1);

    auto *horizontalLayout = new QHBoxLayout;
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(24);
    horizontalLayout->setContentsMargins(0, 0, 8, 0);
    horizontalLayout->addStretch(1);
    m_cancel = makeButton(backWidget, "cancelButton", QStringLiteral("取消"));
    horizontalLayout->addWidget(m_cancel);
    auto *ok = makeButton(backWidget, "okButton", QStringLiteral("确定"));
    ok->setDefault(true);
    horizontalLayout->addWidget(ok);
    horizontalLayout->addStretch(1);
    verticalLayout->addLayout(horizontalLayout);

    setAttribute(Qt::WA_TranslucentBackground, true);
    auto *helper = new NcFramelessHelper(this);
    helper->setMovable(false);
    helper->setResizable(false);
    helper->attachWidget(this);
    setWindowTitle(QApplication::applicationName());
    m_close->hide();
    // The tablet press-and-hold switch of the original platform has no counterpart on X11.

    QMetaObject::connectSlotsByName(this);
}

void QnMessageDialog::setup(const QString &text, const QString &title, bool showCancel, bool showClose)
{
    m_title->setText(title);
    m_text->setText(text);
    m_cancel->setVisible(showCancel);
    m_close->setVisible(showClose);
}

void QnMessageDialog::centreOn(const QWidget *anchor)
{
    if (!anchor)
        return;
    const QPoint p = anchor->mapToGlobal(QPoint(0, 0));
    move(p.x() + (anchor->width() - width()) / 2, p.y() + (anchor->height() - height()) / 2);
}

int QnMessageDialog::showMessage(const QString &text, const QString &title, bool showCancel, bool showClose)
{
    return showMessageAt(text, title, nullptr, showCancel, showClose);
}

int QnMessageDialog::showMessageAt(const QString &text, const QString &title, QWidget *anchor,
                                   bool showCancel, bool showClose)
{
    QnMessageDialog dialog;
    dialog.setup(text, title, showCancel, showClose);
    dialog.centreOn(anchor);
    return dialog.exec();
}

void QnMessageDialog::on_cancelButton_clicked()
{
    reject();
}

void QnMessageDialog::on_okButton_clicked()
{
    accept();
}

void QnMessageDialog::on_closeBtn_clicked()
{
    m_closedByUser = true;
    reject();
}
