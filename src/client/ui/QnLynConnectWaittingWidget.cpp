#include "client/ui/QnLynConnectWaittingWidget.h"

#include "client/ui/NcFramelessHelper.h"
#include "client/ui/QnLoadingWidget.h"

#include <QFrame>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPushButton>

namespace {
// The form puts the 16 px label at (85, 130, 54, 16); the CJK font's line is 23 pixels high, so
// the label is 22 pixels high around the same centre line to keep the glyphs unclipped.
const QRect kLabelGeometry(85, 127, 54, 22);
const QRect kLoadingGeometry(10, 20, 201, 101);
constexpr int kNoCancelShift = 20;
} // namespace

QnLynConnectWaittingWidget::QnLynConnectWaittingWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("QnLynConnectWaittingWidget"));
    setFixedSize(221, 221);

    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("waittingframe"));
    m_frame->setGeometry(0, 0, 221, 220);
    m_frame->setFrameShape(QFrame::StyledPanel);
    m_frame->setFrameShadow(QFrame::Raised);
    m_frame->setStyleSheet(QStringLiteral("#waittingframe{\nbackground: #000000;\nborder-radius: 10px;\n}"));

    m_loading = new QnFileLoadingFileWidget(this);
    m_loading->setObjectName(QStringLiteral("widget"));
    m_loading->setGeometry(kLoadingGeometry);

    m_label = new QLabel(QStringLiteral("连接中"), this);
    m_label->setObjectName(QStringLiteral("label"));
    m_label->setGeometry(kLabelGeometry);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setStyleSheet(QStringLiteral("font-size: 16px;\ncolor: #FFFFFF;"));

    m_cancel = new QPushButton(QStringLiteral("取消连接"), this);
    m_cancel->setObjectName(QStringLiteral("closeConnectBtn"));
    m_cancel->setGeometry(60, 160, 100, 30);
    m_cancel->setStyleSheet(
        QStringLiteral("QPushButton{\nfont-size: 14px;\ncolor: #DE6F6F;\nbackground: transparent;\nborder: "
                       "1px solid #DE6F6F;\n"
                       "border-radius: 4px;\npadding-bottom: 1px;\n}\nQPushButton:pressed{\ncolor: #FFFFFF;\n"
                       "background: #DE6F6F;\n}"));

    auto *helper = new NcFramelessHelper(this);
    helper->setMovable(false);
    helper->setResizable(false);
    helper->attachWidget(this);
    setAttribute(Qt::WA_ShowModal, true);
    setAttribute(Qt::WA_TranslucentBackground, true);
    auto *effect = new QGraphicsOpacityEffect(m_frame);
    effect->setOpacity(0.7);
    m_frame->setGraphicsEffect(effect);
    m_loading->start();

    QMetaObject::connectSlotsByName(this);
}

void QnLynConnectWaittingWidget::hideCancelButton()
{
    m_cancel->hide();
    m_label->setGeometry(kLabelGeometry.translated(0, kNoCancelShift));
    m_loading->setGeometry(kLoadingGeometry.translated(0, kNoCancelShift));
}

void QnLynConnectWaittingWidget::on_closeConnectBtn_clicked()
{
    hide();
    emit closeConnect();
}
