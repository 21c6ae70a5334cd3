#include "client/ui/QnLynClientStartWidget.h"

#include "client/ui/NcFramelessHelper.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const QRect &geometry, const QString &text,
                  const QString &style)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setText(text);
    label->setStyleSheet(style);
    return label;
}

QString textStyle(int px, const char *colour)
{
    return QStringLiteral("font-size: %1px;\nfont-family: \"PingFangSC-Regular, PingFang SC\";\n"
                          "font-weight: 400;\ncolor: %2;")
        .arg(px)
        .arg(QLatin1String(colour));
}

} // namespace

QnLynClientStartWidget::QnLynClientStartWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("QnLynClientStartWidget"));
    resize(410, 460);
    auto *layout = new QVBoxLayout(this);
    layout->setObjectName(QStringLiteral("verticalLayout"));
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("bakFrame"));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Raised);
    frame->setStyleSheet(
        QStringLiteral("#bakFrame{\nborder: none;\nborder-image: url(:/img/startBak1.png);\n}"));
    layout->addWidget(frame);

    auto *icon = makeLabel(frame, "label", QRect(185, 73, 48, 48), QString(),
                           QStringLiteral("border-image: url(:/img/startIcon2x.png);"));
    Q_UNUSED(icon);
    // The product name needs 144 pixels at 36 px in Noto Sans CJK SC: the label is widened to the
    // right so the text stays where the form puts it.
    makeLabel(frame, "label_2", QRect(135, 140, kTitleWidth, 51), QStringLiteral("昆洛传屏"),
              textStyle(36, "#333333"));
    makeLabel(frame, "label_3", QRect(140, 200, 131, 22), QStringLiteral("让知识传递更轻松"),
              textStyle(16, "#333333"));
    makeLabel(frame, "label_4", QRect(175, 395, 91, 22), QStringLiteral("正在启动..."),
              textStyle(16, "#FFFFFF"));

    auto *helper = new NcFramelessHelper(this);
    helper->setMovable(true);
    helper->setResizable(false);
    helper->attachWidget(this);

    setAttribute(Qt::WA_TranslucentBackground, true);
    setWindowFlags(windowFlags() | Qt::NoDropShadowWindowHint);
    // Exactly a frameless dialog: this replaces the flags set above.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QApplication::applicationName());
}
