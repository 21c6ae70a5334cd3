#include "client/ui/sender/QnLynSettingWidget.h"

#include "client/ui/account/QnLoginUserInfo.h"
#include "client/ui/account/QnLynHeadButton.h"
#include "client/ui/account/QnLynPersonalCenterWidget.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *rule(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setFixedHeight(1);
    l->setStyleSheet(QStringLiteral("border:1px solid #EFEFEF;"));
    return l;
}

QLabel *caption(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setStyleSheet(QStringLiteral("font-size:12px;font-weight:400;color:#666666;"));
    return l;
}

} // namespace

QnLynSettingWidget::QnLynSettingWidget(QWidget *parent) : QWidget(parent)
{
    setWindowFlags(windowFlags() | Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral("QnLynSettingWidget{border:1px solid #EEEEEE;}"));
    setFixedSize(270, 230);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("settingframe"));
    frame->setStyleSheet(
        QStringLiteral("#settingframe{background:#FFFFFF;border-radius:4px;border:1px solid #EEEEEE;}"));
    outer->addWidget(frame);
    auto *v = new QVBoxLayout(frame);
    v->setSpacing(0);
    v->setContentsMargins(9, 9, 9, 9);

    auto *personRow = new QHBoxLayout;
    m_head = new QnLynHeadButton(frame);
    m_head->setObjectName(QStringLiteral("personBtn3"));
    m_head->setFixedSize(35, 35);
    m_head->setStyleSheet(QStringLiteral("border:none;"));
    m_head->loadHeadImage(QStringLiteral(":/img/icon_person1.svg"));
    m_head->setHeadDiameter(35);
    m_name = new QPushButton(tr("login"), frame);
    m_name->setObjectName(QStringLiteral("personBtn2"));
    m_name->setFlat(true);
    m_name->setCursor(Qt::PointingHandCursor);
    m_name->setStyleSheet(
        QStringLiteral("QPushButton{font-size:12px;color:#333333;border:none;text-align:left;}"));
    auto *arrow = new QPushButton(frame);
    arrow->setObjectName(QStringLiteral("personBtn1"));
    arrow->setFixedSize(7, 7);
    arrow->setStyleSheet(QStringLiteral("QPushButton{image:url(:/img/aboutarrow.svg);border:none;}"));
    personRow->addWidget(m_head);
    personRow->addWidget(m_name);
    personRow->addStretch(1);
    personRow->addWidget(arrow);
    personRow->addSpacing(10);
    v->addLayout(personRow);
    v->addSpacing(8);
    v->addWidget(rule(frame, "label_5"));

    auto *startRow = new QHBoxLayout;
    startRow->addWidget(caption(frame, "label", QStringLiteral("开机自启")));
    startRow->addStretch(1);
    m_check = new QCheckBox(frame);
    m_check->setObjectName(QStringLiteral("checkBox"));
    m_check->setStyleSheet(
        QStringLiteral("QCheckBox{spacing:5px;}QCheckBox::indicator{width:34px;height:24px;}"
                       "QCheckBox::indicator:unchecked{image:url(:/img/custom1.svg);}"
                       "QCheckBox::indicator:checked{image:url(:/img/redcustom1_check.svg);}"));
    startRow->addWidget(m_check);
    v->addLayout(startRow);
    v->addWidget(rule(frame, "label_2"));

    auto *aboutRow = new QHBoxLayout;
    aboutRow->addWidget(caption(frame, "label_4", QStringLiteral("关于我们")));
    aboutRow->addStretch(1);
    auto *about = new QPushButton(frame);
    about->setObjectName(QStringLiteral("aboutBtn"));
    about->setFixedSize(47, 17); // the 7x7 arrow after its 40px left padding
    about->setCursor(Qt::PointingHandCursor);
    about->setStyleSheet(QStringLiteral(
        "QPushButton{image:url(:/img/aboutarrow.svg);padding-top:5px;padding-bottom:5px;padding-left:40px;"
        "border:none;}"));
    aboutRow->addWidget(about);
    v->addLayout(aboutRow);
    m_rule = rule(frame, "label_7");
    v->addWidget(m_rule);
    v->addSpacing(10);

    m_loginOut = new QPushButton(QStringLiteral("退出登录"), frame);
    m_loginOut->setObjectName(QStringLiteral("loginOutButton"));
    m_loginOut->setFixedHeight(30);
    m_loginOut->setStyleSheet(
        QStringLiteral("QPushButton{font-size:12px;color:#DE6F6F;background:#FFFFFF;border:1px solid "
                       "#DE6F6F;border-radius:4px;}"
                       "QPushButton:hover,QPushButton:pressed{color:#FFFFFF;background:#DE6F6F;}"));
    v->addWidget(m_loginOut);
    v->addStretch(1);
    QMetaObject::connectSlotsByName(this);
    setLoginStatus(false);
}

void QnLynSettingWidget::setName(const QString &name)
{
    m_name->setText(name);
}

QString QnLynSettingWidget::name() const
{
    return m_name->text();
}

void QnLynSettingWidget::setHeadIcon(const QString &path)
{
    m_head->loadHeadImage(path);
    m_head->setHeadDiameter(m_head->width());
}

void QnLynSettingWidget::setLoginStatus(bool loggedIn)
{
    m_loginOut->setVisible(loggedIn);
    m_rule->setVisible(loggedIn);
    if (loggedIn) {
        setFixedHeight(190);
    } else {
        setFixedHeight(142);
        setHeadIcon(QStringLiteral(":/img/icon_person1.svg"));
        m_name->setText(tr("login"));
    }
}

void QnLynSettingWidget::setSelfStart(bool on)
{
    m_check->setChecked(on);
}

void QnLynSettingWidget::on_aboutBtn_clicked()
{
    emit aboutClicked();
    hide();
}

void QnLynSettingWidget::on_checkBox_stateChanged(int arg1)
{
    emit selfStart(arg1 != 0);
}

void QnLynSettingWidget::on_loginOutButton_clicked()
{
    emit loginOut();
}

void QnLynSettingWidget::on_personBtn1_clicked()
{
    emit clickedPersonalCenter();
}

void QnLynSettingWidget::on_personBtn2_clicked()
{
    emit clickedPersonalCenter();
}

void QnLynSettingWidget::on_personBtn3_clicked()
{
    emit clickedPersonalCenter();
}
