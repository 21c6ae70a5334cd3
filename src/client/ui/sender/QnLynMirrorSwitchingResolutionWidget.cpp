#include "client/ui/sender/QnLynMirrorSwitchingResolutionWidget.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

QnLynMirrorSwitchingResolutionWidget::QnLynMirrorSwitchingResolutionWidget(QWidget *parent) : QWidget(parent)
{
    resize(820, 570);
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("mirrorframe"));
    frame->setGeometry(10, 0, 800, 570);
    frame->setStyleSheet(QStringLiteral("#mirrorframe{border:none;}"));

    auto *card = new QWidget(frame);
    card->setObjectName(QStringLiteral("widget"));
    card->setGeometry(225, 100, 370, 140);
    card->setStyleSheet(QStringLiteral("#widget{background:#FFFFFF;border-radius:8px;}"));
    auto *picture = new QLabel(card);
    picture->setObjectName(QStringLiteral("label"));
    picture->setGeometry(160, 30, 58, 39);
    picture->setStyleSheet(QStringLiteral("image:url(:/img/mirrors.svg);"));
    m_type = new QLabel(QStringLiteral("镜像投屏"), card);
    m_type->setObjectName(QStringLiteral("typelabel"));
    m_type->setGeometry(160, 90, 54, 12);
    m_type->setStyleSheet(QStringLiteral("font-size:12px;color:#333333;"));

    auto *choice = new QFrame(frame);
    choice->setObjectName(QStringLiteral("frame_2"));
    choice->setGeometry(320, 260, 180, 80);
    choice->setStyleSheet(QStringLiteral("#frame_2{background:#FFFFFF;border-radius:4px;}"
                                         "QRadioButton{font-size:12px;font-weight:400;color:#333333;}"));
    m_high = new QRadioButton(QStringLiteral("超清"), choice);
    m_high->setObjectName(QStringLiteral("highradioButton"));
    m_high->setGeometry(60, 20, 89, 20);
    m_high->setChecked(true);
    m_smooth = new QRadioButton(QStringLiteral("高清"), choice);
    m_smooth->setObjectName(QStringLiteral("smoothradioButton"));
    m_smooth->setGeometry(60, 50, 89, 20);

    auto *stop = new QPushButton(QStringLiteral("结束投屏"), frame);
    stop->setObjectName(QStringLiteral("stopBtn"));
    stop->setGeometry(350, 360, 120, 32);
    stop->setCursor(Qt::PointingHandCursor);
    stop->setStyleSheet(
        QStringLiteral("QPushButton{font-size:12px;color:#FFFFFF;background:#DE6F6F;border-radius:4px;}"));
    QMetaObject::connectSlotsByName(this);
}

void QnLynMirrorSwitchingResolutionWidget::selectHigh()
{
    m_high->setChecked(true);
}

void QnLynMirrorSwitchingResolutionWidget::setTypeText(const QString &text)
{
    m_type->setText(text);
}

void QnLynMirrorSwitchingResolutionWidget::on_highradioButton_toggled(bool checked)
{
    emit changedHigh(checked);
}

void QnLynMirrorSwitchingResolutionWidget::on_stopBtn_clicked()
{
    emit stopScreen();
}
