#include "client/ui/sender/QnLynGuidanceWidget.h"

#include <QDesktopServices>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *line(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setStyleSheet(QStringLiteral("font-size:14px;color:#999999;"));
    return l;
}

QLabel *picture(const QString &path, QWidget *parent, const QSize &size = QSize())
{
    auto *l = new QLabel(parent);
    l->setStyleSheet(QStringLiteral("image:url(%1);border:0px;").arg(path));
    if (size.isValid())
        l->setFixedSize(size);
    else
        l->setFixedSize(97, 73);
    return l;
}

QWidget *column(const QString &name, const QString &title, QWidget *parent)
{
    auto *w = new QWidget(parent);
    w->setObjectName(name);
    auto *v = new QVBoxLayout(w);
    v->setContentsMargins(24, 0, 12, 20);
    v->setSpacing(6);
    auto *head = new QHBoxLayout;
    head->setSpacing(6);
    auto *bar = new QLabel(w);
    bar->setFixedSize(3, 15);
    bar->setStyleSheet(QStringLiteral("background:#DE6F6F;border-radius:2px;"));
    head->addWidget(bar);
    auto *t = new QLabel(title, w);
    t->setStyleSheet(QStringLiteral("font-size:16px;color:#333333;"));
    head->addWidget(t);
    head->addStretch(1);
    v->addLayout(head);
    return w;
}

} // namespace

QUrl QnLynGuidanceWidget::downloadPage()
{
    return QUrl(QStringLiteral("https://www.quenlo.com/download"));
}

QnLynGuidanceWidget::QnLynGuidanceWidget(QWidget *parent) : QWidget(parent)
{
    resize(800, 220);
    auto *outer = new QVBoxLayout(this);
    outer->setSpacing(0);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *air = new QFrame(this);
    air->setObjectName(QStringLiteral("airframe"));
    air->setStyleSheet(QStringLiteral("#airframe{background:#FFFFFF;border-radius:4px;}"));
    outer->addWidget(air);
    auto *row = new QHBoxLayout(air);
    row->setSpacing(0);
    row->setContentsMargins(0, 29, 0, 0);

    QWidget *w1 = column(QStringLiteral("wgt1"), QStringLiteral("打开昆洛传屏接收端"), air);
    auto *v1 = static_cast<QVBoxLayout *>(w1->layout());
    v1->addWidget(line(QStringLiteral("接收端下载地址"), w1));
    auto *download = new QPushButton(downloadPage().toString(), w1);
    download->setObjectName(QStringLiteral("downloadBtn"));
    download->setCursor(Qt::PointingHandCursor);
    download->setStyleSheet(QStringLiteral("font-size:14px;color:#E48989;border:none;text-align:left;"));
    v1->addWidget(download, 0, Qt::AlignLeft);
    v1->addWidget(picture(QStringLiteral(":/img/guide1.png"), w1, QSize(97, 73)));
    v1->addStretch(1);

    QWidget *w2 = column(QStringLiteral("wgt2"), QStringLiteral("移动端和接收端"), air);
    auto *v2 = static_cast<QVBoxLayout *>(w2->layout());
    v2->addWidget(line(QStringLiteral("连接同一网络 "), w2));
    v2->addWidget(line(QStringLiteral("发送端连接到接收端所在网络"), w2));
    v2->addWidget(picture(QStringLiteral(":/img/guide2.svg"), w2));
    v2->addStretch(1);

    auto *w3 = new QWidget(air);
    w3->setObjectName(QStringLiteral("wgt3"));
    auto *v3 = new QVBoxLayout(w3);
    v3->setContentsMargins(24, 21, 12, 20);
    v3->setSpacing(6);
    v3->addWidget(line(QStringLiteral("设备将自动识别可连接设备"), w3));
    v3->addWidget(line(QStringLiteral("或使用连接码连接"), w3));
    auto *pics = new QHBoxLayout;
    pics->addWidget(picture(QStringLiteral(":/img/guide3.png"), w3, QSize(97, 73)));
    pics->addWidget(picture(QStringLiteral(":/img/guide4.png"), w3, QSize(97, 73)));
    pics->addStretch(1);
    v3->addLayout(pics);
    v3->addStretch(1);

    row->addWidget(w1, 1);
    row->addWidget(w2, 1);
    row->addWidget(w3, 1);

    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setOffset(0, 0);
    shadow->setColor(QColor(200, 200, 200, 255));
    shadow->setBlurRadius(10);
    setGraphicsEffect(shadow);
    QMetaObject::connectSlotsByName(this);
}

void QnLynGuidanceWidget::on_downloadBtn_clicked()
{
    QDesktopServices::openUrl(downloadPage());
}
