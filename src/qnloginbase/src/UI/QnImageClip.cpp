#include "qnloginbase/src/UI/QnImageClip.h"

#include "qnloginbase/src/UI/ImageClipHelper.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

QnImageClip::QnImageClip(QWidget *parent) : QDialog(parent) {}

void QnImageClip::initUI()
{
    if (m_clip)
        return;
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *back = new QWidget(this);
    back->setObjectName(QStringLiteral("backUI"));
    back->setAttribute(Qt::WA_StyledBackground);
    back->setStyleSheet(QStringLiteral("QWidget#backUI{background-color:#FFFFFF;border-radius: 5px;}"));
    outer->addWidget(back);

    auto *panel = new QVBoxLayout(back);
    panel->setContentsMargins(11, 20, 11, 24);
    panel->setSpacing(0);

    auto *top = new QHBoxLayout;
    top->setContentsMargins(15, 0, 0, 0);
    auto *titleBox = new QVBoxLayout;
    titleBox->setContentsMargins(0, 7, 0, 0);
    auto *title = new QLabel(QObject::tr("Picture upload"), back);
    title->setObjectName(QStringLiteral("titleLabel"));
    title->setStyleSheet(QStringLiteral("font-size:16px;font-weight:400;color:#333333;"));
    titleBox->addWidget(title);
    top->addStretch();
    top->addLayout(titleBox);
    top->addStretch();
    auto *close = new QToolButton(back);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setFixedSize(15, 15);
    close->setCursor(Qt::PointingHandCursor);
    close->setStyleSheet(QStringLiteral(
        "QToolButton{image:url(:/img/close.svg);background-color:transparent;border:none;}"
        "QToolButton:hover,QToolButton:pressed{image:url(:/img/close_press.svg);background-color:transparent;"
        "border:none;}"));
    top->addWidget(close, 0, Qt::AlignTop);
    panel->addLayout(top);
    panel->addSpacing(13);

    m_clip = new ImageClipHelper(back);
    m_clip->setObjectName(QStringLiteral("clipArea"));
    m_clip->setFixedSize(525, 305);
    panel->addWidget(m_clip, 0, Qt::AlignHCenter);
    m_refused = new QLabel(m_clip);
    m_refused->setObjectName(QStringLiteral("refusedLabel"));
    m_refused->setTextFormat(Qt::PlainText);
    m_refused->setAlignment(Qt::AlignCenter);
    m_refused->setGeometry(0, 0, 525, 40);
    m_refused->setStyleSheet(QStringLiteral("font-size:14px;color:#FFFFFF;background:transparent;"));
    m_refused->hide();
    panel->addSpacing(21);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(11);
    const QString buttonStyle =
        QStringLiteral("border-radius: 4px;border: 1px solid #DE6F6F;background-color:#FFFFFF;"
                       "font-size: 14px;font-weight: 400;color: #DE6F6F;");
    auto *cancel = new QToolButton(back);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setText(QObject::tr("Cancel"));
    m_ok = new QToolButton(back);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setText(QStringLiteral("OK"));
    buttons->addStretch();
    for (QToolButton *button : {cancel, m_ok}) {
        button->setFixedSize(121, 40);
        button->setCursor(Qt::PointingHandCursor);
        button->setStyleSheet(buttonStyle);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    panel->addLayout(buttons);
    panel->addStretch();

    connect(close, &QToolButton::clicked, this, &QDialog::reject);
    connect(cancel, &QToolButton::clicked, this, &QDialog::reject);
    connect(m_ok, &QToolButton::clicked, this, &QDialog::accept);
}

bool QnImageClip::setImage(const QString &path)
{
    if (!m_clip)
        return false;
    const bool loaded = m_clip->setImage(path);
    m_refused->setText(loaded ? QString() : QObject::tr("The picture cannot be opened."));
    m_refused->setVisible(!loaded);
    m_ok->setEnabled(loaded);
    return loaded;
}

QImage QnImageClip::clippedImage() const
{
    return m_clip ? m_clip->clippedImage() : QImage();
}
