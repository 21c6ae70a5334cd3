#include "client/ui/sender/QnAccountPages.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

QnLynHeadButton::QnLynHeadButton(QWidget *parent) : QPushButton(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void QnLynHeadButton::loadHeadImage(const QString &path)
{
    m_path = path;
    m_picture = QPixmap(path);
    update();
}

void QnLynHeadButton::setHeadDiameter(int diameter)
{
    m_diameter = diameter;
    update();
}

void QnLynHeadButton::paintEvent(QPaintEvent *event)
{
    if (m_picture.isNull()) {
        QPushButton::paintEvent(event);
        return;
    }
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const int d = m_diameter > 0 ? qMin(m_diameter, qMin(width(), height())) : qMin(width(), height());
    const QRect r((width() - d) / 2, (height() - d) / 2, d, d);
    QPainterPath clip;
    clip.addEllipse(r);
    p.setClipPath(clip);
    p.drawPixmap(r, m_picture);
}

QnLynPersonalCenterWidget::QnLynPersonalCenterWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("personalCenterWidget"));
    setStyleSheet(QStringLiteral("#personalCenterWidget{background:#FFFFFF;border-radius:4px;}"
                                 "QLabel{color:#333333;font-size:16px;}"));
    auto *layout = new QVBoxLayout(this);
    layout->setAlignment(Qt::AlignCenter);
    m_head = new QnLynHeadButton(this);
    m_head->setFixedSize(80, 80);
    m_head->setStyleSheet(QStringLiteral("border:none;"));
    m_name = new QLabel(this);
    m_name->setTextFormat(Qt::PlainText);
    m_phone = new QLabel(this);
    m_phone->setTextFormat(Qt::PlainText);
    auto *back = new QPushButton(QStringLiteral("首页"), this);
    back->setObjectName(QStringLiteral("personBackBtn"));
    back->setStyleSheet(QStringLiteral("font-size:14px;color:#DE6F6F;border:none;"));
    layout->addWidget(m_head, 0, Qt::AlignHCenter);
    layout->addWidget(m_name, 0, Qt::AlignHCenter);
    layout->addWidget(m_phone, 0, Qt::AlignHCenter);
    layout->addWidget(back, 0, Qt::AlignHCenter);
    connect(back, &QPushButton::clicked, this, &QnLynPersonalCenterWidget::backHome);
}

void QnLynPersonalCenterWidget::setHeadPath(const QString &path)
{
    m_head->loadHeadImage(path);
    m_head->setHeadDiameter(m_head->width());
}

void QnLynPersonalCenterWidget::setUserInfo(const LoginUserInfo &info)
{
    m_info = info;
    m_name->setText(info.displayName());
    m_phone->setText(info.userName);
}
