#include "client/ui/account/QnAccountForm.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace QnAccountForm {

QString accentButtonStyle(int radius)
{
    return QStringLiteral("QPushButton{border:0px;border-radius:%1px;background:#DE6F6F;color:#FFFFFF;"
                          "font-size:16px;font-family:\"Microsoft YaHei\";}"
                          "QPushButton:pressed{background:#BF5050;}"
                          "QPushButton:disabled{background:#CCCCCC;color:#FFFFFF;}")
        .arg(radius);
}

QString outlineButtonStyle()
{
    return QStringLiteral("QPushButton{border:1px solid #DE6F6F;border-radius:6px;background:#FFFFFF;"
                          "color:#DE6F6F;font-size:16px;font-family:\"Microsoft YaHei\";}"
                          "QPushButton:pressed{background:#DE6F6F;color:#FFFFFF;}"
                          "QPushButton:disabled{border:1px solid #CCCCCC;color:#CCCCCC;}");
}

QString fieldStyle()
{
    return QStringLiteral("QLineEdit{border:0px;background:#F0F0F0;font-size:14px;color:#333333;"
                          "padding-left:8px;font-family:\"Microsoft YaHei\";}");
}

QLabel *label(QWidget *parent, const char *name, const QString &text, const QString &style)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setStyleSheet(style);
    return l;
}

QLabel *errorLine(QWidget *parent, const char *name, int height)
{
    auto *l = label(parent, name, QString(),
                    QStringLiteral("font-size:14px;color:#D35555;font-family:\"Microsoft YaHei\";"));
    l->setFixedHeight(height);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QLabel *iconCell(QWidget *parent, const char *name, const QString &image)
{
    auto *l =
        label(parent, name, QString(),
              QStringLiteral("QLabel{border:0px;background:#FAFAFA;image:url(%1);padding:10px;}").arg(image));
    l->setFixedSize(40, 40);
    return l;
}

QLineEdit *field(QWidget *parent, const char *name, const QString &placeholder, int width)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setPlaceholderText(placeholder);
    e->setFrame(false);
    e->setContextMenuPolicy(Qt::NoContextMenu);
    e->setFixedSize(width, 40);
    e->setStyleSheet(fieldStyle());
    return e;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text, const QString &style)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setStyleSheet(style);
    b->setCursor(Qt::PointingHandCursor);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QPushButton *imageButton(QWidget *parent, const char *name, const QString &image, int w, int h)
{
    auto *b =
        button(parent, name, QString(),
               QStringLiteral("QPushButton{border:0px;background:transparent;image:url(%1);}").arg(image));
    b->setFixedSize(w, h);
    return b;
}

QHBoxLayout *centredLayout(QBoxLayout *into)
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    into->addLayout(row);
    return row;
}

QHBoxLayout *centred(QBoxLayout *into, QWidget *widget)
{
    QHBoxLayout *row = centredLayout(into);
    row->addStretch(1);
    row->addWidget(widget);
    row->addStretch(1);
    return row;
}

QFrame *inputFrame(QWidget *parent, const char *frameName, int width)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(QLatin1String(frameName));
    frame->setFixedSize(width, 40);
    frame->setStyleSheet(
        QStringLiteral("QFrame#%1{border:0px;background:#F0F0F0;}").arg(QLatin1String(frameName)));
    auto *row = new QHBoxLayout(frame);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    return frame;
}

} // namespace QnAccountForm
