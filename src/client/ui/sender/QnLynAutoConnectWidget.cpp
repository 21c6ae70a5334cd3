#include "client/ui/sender/QnLynAutoConnectWidget.h"

#include "client/ui/QnAshWidget.h"
#include "client/ui/QnFloatTip.h"
#include "client/ui/sender/QnLynGuidanceWidget.h"
#include "client/ui/sender/QnSenderRules.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QStackedWidget>
#include <QSvgRenderer>
#include <QVBoxLayout>

QnRefreshButton::QnRefreshButton(QWidget *parent) : QPushButton(parent)
{
    m_endTimer.setSingleShot(true);
    connect(&m_spinTimer, &QTimer::timeout, this, [this] {
        m_angle += 30;
        update();
    });
    connect(&m_endTimer, &QTimer::timeout, this, [this] {
        m_spinTimer.stop();
        m_angle = 0;
        update();
        emit refreshEnd();
    });
}

void QnRefreshButton::startSpin(int endMsec, int stepMsec)
{
    m_endTimer.start(endMsec);
    m_spinTimer.start(stepMsec);
}

void QnRefreshButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    p.translate(width() / 2.0, height() / 2.0);
    p.rotate(m_angle);
    p.translate(-width() / 2.0, -height() / 2.0);
    QSvgRenderer svg(QStringLiteral(":/img/refresh1.svg"));
    svg.render(&p, QRectF(rect()));
}

namespace {

QPushButton *button(QWidget *parent, const char *name, const QRect &geometry, const QString &style,
                    const QString &text = QString())
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet(style);
    return b;
}

} // namespace

QnLynAutoConnectWidget::QnLynAutoConnectWidget(QWidget *parent) : QWidget(parent)
{
    resize(820, 570);

    m_codePanel = new QnAshWidget(this);
    m_codePanel->setObjectName(QStringLiteral("connectCodeWidget"));
    m_codePanel->setGeometry(240, 150, 350, 253);
    m_codePanel->setStyleSheet(QStringLiteral("#connectCodeWidget{border-radius:8px;}"));
    m_codePanel->setOpacity(0.2);
    auto *title = new QLabel(QStringLiteral("连接设备"), m_codePanel);
    title->setObjectName(QStringLiteral("label"));
    title->setGeometry(15, 13, 71, 16);
    title->setStyleSheet(QStringLiteral("color:#FFFFFF;font-size:16px;"));
    m_refresh = new QnRefreshButton(m_codePanel);
    m_refresh->setObjectName(QStringLiteral("autoRefreshBtn"));
    m_refresh->setGeometry(318, 12, 20, 20);
    m_refresh->setStyleSheet(QStringLiteral("image:url(:/img/refresh1.svg);border:none;"));
    auto *rule = new QLabel(m_codePanel);
    rule->setObjectName(QStringLiteral("label_4"));
    rule->setGeometry(15, 40, 320, 1);
    rule->setFixedHeight(1);
    rule->setStyleSheet(QStringLiteral("border:1px solid #FFFFFF;"));
    m_stack = new QStackedWidget(m_codePanel);
    m_stack->setObjectName(QStringLiteral("stackedWidget"));
    m_stack->setGeometry(15, 43, 321, 191);
    m_listPage = new QWidget;
    m_listPage->setObjectName(QStringLiteral("listpage"));
    m_list = new QListWidget(m_listPage);
    m_list->setObjectName(QStringLiteral("listWidget"));
    m_list->setGeometry(0, 0, 321, 192);
    m_list->setIconSize(QSize(25, 22));
    m_list->setStyleSheet(
        QStringLiteral("QListWidget{background:transparent;border:none;outline:0px;}"
                       "QListWidget::item{padding-left:13px;color:#FFFFFF;}"
                       "QListWidget::item:selected{background:transparent;color:#FFFFFF;}"
                       "QListWidget::item:hover{background:transparent;}"
                       "QScrollBar:vertical{width:4px;background:transparent;}"
                       "QScrollBar::handle:vertical{background:#FFFFFF;border-radius:2px;}"
                       "QScrollBar::add-line:vertical,QScrollBar::sub-line:vertical{height:0px;}"));
    m_emptyPage = new QWidget;
    m_emptyPage->setObjectName(QStringLiteral("emptypage"));
    auto *emptyPicture = new QLabel(m_emptyPage);
    emptyPicture->setObjectName(QStringLiteral("label_2"));
    emptyPicture->setGeometry(110, 30, 104, 81);
    emptyPicture->setStyleSheet(QStringLiteral("image:url(:/img/empty.svg);"));
    auto *emptyText = new QLabel(QStringLiteral("暂无设备"), m_emptyPage);
    emptyText->setObjectName(QStringLiteral("label_3"));
    emptyText->setGeometry(120, 130, 71, 21);
    emptyText->setStyleSheet(QStringLiteral("color:#FFFFFF;font-size:14px;"));
    m_stack->addWidget(m_listPage);
    m_stack->addWidget(m_emptyPage);
    m_stack->setCurrentWidget(m_emptyPage);

    m_badge = new QWidget(this);
    m_badge->setObjectName(QStringLiteral("widget"));
    m_badge->setGeometry(313, 83, 206, 38);
    m_badge->setStyleSheet(QStringLiteral("#widget{background:rgb(176, 87, 87);border-radius:4px;}"));
    auto *badgeRow = new QHBoxLayout(m_badge);
    badgeRow->setContentsMargins(5, 0, 5, 0);
    m_iconNet = new QLabel(m_badge);
    m_iconNet->setObjectName(QStringLiteral("autoiconNetLabel"));
    m_iconNet->setFixedSize(22, 16);
    m_netName = new QLabel(m_badge);
    m_netName->setObjectName(QStringLiteral("autonetNameLabel"));
    m_netName->setTextFormat(Qt::PlainText);
    m_netName->setStyleSheet(QStringLiteral("color:#FFFFFF;font-size:16px;"));
    badgeRow->addWidget(m_iconNet);
    badgeRow->addWidget(m_netName, 1);
    m_help = button(this, "autohelpBtn", QRect(530, 92, 20, 20),
                    QStringLiteral("QPushButton{image:url(:/img/help.svg);border:none;}"));

    m_down =
        button(this, "autodownBtn", QRect(400, 310, 31, 27),
               QStringLiteral("QPushButton{image:url(:/img/reddownarrow.svg);padding:10px;border:none;}"));
    button(this, "autoupBtn", QRect(405, 520, 17, 12),
           QStringLiteral("QPushButton{image:url(:/img/reduparrow.svg);padding:3px;border:none;}"));
    button(this, "autoupBtnText", QRect(390, 530, 48, 17),
           QStringLiteral("QPushButton{font-size:12px;color:#DE6F6F;border:none;}"),
           QStringLiteral("操作指南"));
    m_hand1 = button(this, "handBtn1", QRect(710, 525, 75, 23),
                     QStringLiteral("QPushButton{font-size:14px;color:#DE6F6F;border:none;}"),
                     QStringLiteral("识别码连接"));
    m_hand2 = button(this, "handBtn2", QRect(790, 532, 7, 11),
                     QStringLiteral("QPushButton{image:url(:/img/redrightarrow.svg);border:none;}"));
    m_prompt = new QLabel(QStringLiteral("连接已断开"), this);
    m_prompt->setObjectName(QStringLiteral("connectpromptlabel"));
    m_prompt->setGeometry(320, 430, 181, 20);
    m_prompt->setAlignment(Qt::AlignCenter);
    m_prompt->setStyleSheet(QStringLiteral("font-size:16px;font-weight:400;color:#DE6F6F;"));

    m_down->hide();
    m_guidance = new QnLynGuidanceWidget(this);
    m_guidance->hide();
    m_help->hide();
    m_prompt->hide();
    connect(m_refresh, &QnRefreshButton::refreshEnd, this, &QnLynAutoConnectWidget::refreshConnectItems);
    buildNoNetworkPanel();
    QMetaObject::connectSlotsByName(this);
}

void QnLynAutoConnectWidget::buildNoNetworkPanel()
{
    m_noNetwork = new QWidget(this);
    m_noNetwork->setObjectName(QStringLiteral("noNetworkWidget"));
    m_noNetwork->setFixedSize(350, 190);
    m_noNetwork->move(250, 50);
    auto *v = new QVBoxLayout(m_noNetwork);
    auto *iconRow = new QHBoxLayout;
    m_noNetworkIcon = new QLabel(m_noNetwork);
    m_noNetworkIcon->setObjectName(QStringLiteral("noNetworkIconLabel"));
    m_noNetworkIcon->setFixedSize(118, 91);
    m_noNetworkIcon->setStyleSheet(
        QStringLiteral("image:url(:/img/networkdis.svg);font-size: 16px;color: #FFFFFF;"));
    iconRow->addWidget(m_noNetworkIcon);
    v->addLayout(iconRow);
    auto *blank = new QLabel(m_noNetwork);
    blank->setFixedSize(10, 25);
    v->addWidget(blank);
    const QString style = QStringLiteral("font-size: 16px;color: #FFFFFF;border: 1px solid #DE6F6F;");
    m_noNetworkText =
        new QLabel(tr("The current device is not connected to the local area network"), m_noNetwork);
    m_noNetworkText->setObjectName(QStringLiteral("noNetworkTextLabel"));
    m_noNetworkHint =
        new QLabel(tr("After connecting to the network, it will automatically jump to the function homepage"),
                   m_noNetwork);
    m_noNetworkHint->setObjectName(QStringLiteral("noNetworkHintLabel"));
    for (QLabel *l : {m_noNetworkText, m_noNetworkHint}) {
        l->setFixedHeight(25);
        l->setAlignment(Qt::AlignCenter);
        l->setStyleSheet(style);
        v->addWidget(l);
    }
    m_noNetwork->hide();
}

void QnLynAutoConnectWidget::setDevices(const QMap<QString, QString> &devices)
{
    m_list->clear();
    QFont font = m_list->font();
    font.setPixelSize(16);
    QIcon icon;
    icon.addFile(QStringLiteral(":/img/icon_autoCon.svg"), QSize(), QIcon::Selected, QIcon::Off);
    icon.addFile(QStringLiteral(":/img/icon_autoCon.svg"), QSize(), QIcon::Selected, QIcon::On);
    icon.addFile(QStringLiteral(":/img/icon_autoCon.svg"), QSize(), QIcon::Normal, QIcon::Off);
    for (auto it = devices.cbegin(); it != devices.cend(); ++it) {
        auto *item =
            new QListWidgetItem(icon, QnSenderRules::cut(it.key(), QnSenderRules::kReceiverKeyLength));
        item->setSizeHint(QSize(315, 47));
        item->setFont(font);
        item->setForeground(Qt::white);
        item->setData(kKeyRole, it.key());
        m_list->addItem(item);
    }
    m_stack->setCurrentWidget(devices.isEmpty() ? m_emptyPage : m_listPage);
}

void QnLynAutoConnectWidget::setNetworkInfo(bool wireless, const QString &name)
{
    if (wireless) {
        m_iconNet->setStyleSheet(QStringLiteral("QLabel{image:url(:/img/wifi.svg);border:0px;}"));
        m_iconNet->setFixedHeight(16);
        m_help->hide();
        m_wired = false;
    } else {
        m_iconNet->setStyleSheet(QStringLiteral("QLabel{image:url(:/img/localNet.svg);border:0px;}"));
        m_iconNet->setFixedHeight(20);
        m_help->show();
        m_wired = true;
    }
    if (!name.isEmpty())
        m_netName->setText(QnSenderRules::cut(name, QnSenderRules::kNetworkNameLength));
}

void QnLynAutoConnectWidget::setNetworkState(bool connected)
{
    for (QWidget *w : {static_cast<QWidget *>(m_codePanel), m_badge, static_cast<QWidget *>(m_hand1),
                       static_cast<QWidget *>(m_hand2)})
        w->setVisible(connected);
    // The Ethernet help only belongs to a wired network.
    m_help->setVisible(connected && m_wired);
}

void QnLynAutoConnectWidget::setNoNetworkVisible(bool visible)
{
    m_noNetwork->setVisible(visible);
}

void QnLynAutoConnectWidget::setDisconnectedVisible(bool visible)
{
    m_prompt->setVisible(visible);
}

void QnLynAutoConnectWidget::setCodePanelHeight(int height)
{
    m_codePanel->setFixedHeight(height);
}

void QnLynAutoConnectWidget::openGuide(bool open)
{
    if (open) {
        m_guidance->move(10, height() - m_guidance->height() - 10);
        m_guidance->raise();
    }
    m_guidance->setVisible(open);
    m_down->setVisible(open);
    if (open)
        m_down->raise();
    emit guideWidgetShow(open);
}

void QnLynAutoConnectWidget::on_handBtn1_clicked()
{
    emit handCodeConnect();
}

void QnLynAutoConnectWidget::on_handBtn2_clicked()
{
    emit handCodeConnect();
}

void QnLynAutoConnectWidget::on_autoupBtnText_clicked()
{
    openGuide(true);
}

void QnLynAutoConnectWidget::on_autoupBtn_clicked()
{
    openGuide(true);
}

void QnLynAutoConnectWidget::on_autodownBtn_clicked()
{
    openGuide(false);
}

void QnLynAutoConnectWidget::on_listWidget_itemClicked(QListWidgetItem *item)
{
    if (item)
        emit connectServer(item->data(kKeyRole).toString());
}

void QnLynAutoConnectWidget::on_autoRefreshBtn_clicked()
{
    m_refresh->startSpin();
    m_list->clear();
}

void QnLynAutoConnectWidget::on_autohelpBtn_clicked()
{
    QnFloatTip::showTipAt(tr("The current device is using Ethernet, please make sure that the sender and the "
                             "current device are in the same LAN"),
                          m_help->x(), m_help->geometry().bottom() + 3, this, 6000, true);
}
