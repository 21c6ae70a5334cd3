#include "client/ui/QnFloatTip.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kPadding = 20;
constexpr int kWrapWidth = 220;
constexpr int kShortWidth = 260;
constexpr int kShortLimit = 200;
} // namespace

QnFloatTip::QnFloatTip(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("QnFloatTip"));
    setWindowTitle(QStringLiteral("Form"));
    setMinimumSize(265, 65);
    setMaximumSize(265, 65);
    resize(265, 65);
    setStyleSheet(QStringLiteral("#QnFloatTipBg{\nborder-radius: 5px;\nbackground: #C4000000;\n}\n"
                                 "#labelMsg{\nfont-size: 14px;\nfont-family: \"PingFangSC-Regular, "
                                 "PingFang SC\";\nfont-weight: 400;\ncolor: #FFFFFF;\n}"));

    auto *verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(0);
    verticalLayout->setContentsMargins(0, 0, 0, 0);
    auto *bg = new QWidget(this);
    bg->setObjectName(QStringLiteral("QnFloatTipBg"));
    bg->setAttribute(Qt::WA_StyledBackground, true);
    verticalLayout->addWidget(bg);
    auto *horizontalLayout = new QHBoxLayout(bg);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(0, 0, 0, 0);
    m_label = new QLabel(bg);
    m_label->setObjectName(QStringLiteral("labelMsg"));
    m_label->setAlignment(Qt::AlignCenter);
    // Tips carry server and peer text too: never rich text.
    m_label->setTextFormat(Qt::PlainText);
    horizontalLayout->addWidget(m_label, 0, Qt::AlignCenter);

    setAttribute(Qt::WA_ShowModal, true);
    setAttribute(Qt::WA_TranslucentBackground, true);
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
}

QFont QnFloatTip::measureFont()
{
    QFont font(QStringLiteral("PingFang SC"));
    font.setPixelSize(14);
    return font;
}

QSize QnFloatTip::sizeFor(int textWidth, bool wrap)
{
    const int w = textWidth + kPadding;
    int width;
    if (wrap && w > kWrapWidth)
        width = kWrapWidth;
    else
        width = w < kShortLimit ? kShortWidth : w;
    return QSize(width, wrap ? 65 : 50);
}

void QnFloatTip::setText(const QString &text, bool wrap)
{
    const int textWidth = QFontMetrics(measureFont()).boundingRect(text).width();
    const QSize size = sizeFor(textWidth, wrap);
    setFixedWidth(size.width());
    m_label->setWordWrap(wrap);
    m_label->setText(text);
    setFixedHeight(size.height());
}

void QnFloatTip::closeAfter(int msec)
{
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this] {
        hide();
        deleteLater();
    });
    timer->start(msec);
}

QnFloatTip *QnFloatTip::showTip(const QString &text, QWidget *anchor, int msec)
{
    auto *tip = new QnFloatTip(nullptr);
    tip->setText(text, false);
    if (anchor) {
        const QPoint p = anchor->mapToGlobal(QPoint(0, 0));
        tip->move(p.x() + (anchor->width() - tip->width()) / 2,
                  p.y() + (anchor->height() - tip->height()) / 2);
    }
    tip->show();
    tip->closeAfter(msec);
    return tip;
}

QnFloatTip *QnFloatTip::showTipAt(const QString &text, int x, int y, QWidget *parent, int msec, bool wrap)
{
    auto *tip = new QnFloatTip(parent);
    tip->setText(text, wrap);
    if (parent) {
        if (wrap)
            tip->move(x, y);
        else
            tip->move(x - tip->width() / 2, y);
    }
    tip->show();
    tip->closeAfter(msec);
    return tip;
}
