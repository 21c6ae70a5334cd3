#include "client/ui/sender/QnHomeWidget.h"

#include "client/ui/QnFloatTip.h"
#include "client/ui/sender/QnLynCodeLineEdit.h"
#include "client/ui/sender/QnLynGuidanceWidget.h"
#include "client/ui/sender/QnSenderRules.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {

QPushButton *imageButton(QWidget *parent, const char *name, const QRect &geometry, const QString &style)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet(style);
    return b;
}

} // namespace

QnHomeWidget::QnHomeWidget(QWidget *parent) : QWidget(parent)
{
    resize(820, 570);

    auto *badge = new QWidget(this);
    badge->setObjectName(QStringLiteral("widget"));
    badge->setGeometry(313, 83, 206, 38);
    badge->setStyleSheet(QStringLiteral("#widget{background:rgb(176, 87, 87);border-radius:4px;}"));
    auto *badgeRow = new QHBoxLayout(badge);
    badgeRow->setContentsMargins(5, 0, 5, 0);
    m_iconNet = new QLabel(badge);
    m_iconNet->setObjectName(QStringLiteral("iconNetLabel"));
    m_iconNet->setFixedSize(22, 16);
    m_netName = new QLabel(badge);
    m_netName->setObjectName(QStringLiteral("netNameLabel"));
    m_netName->setTextFormat(Qt::PlainText);
    m_netName->setStyleSheet(QStringLiteral("color:#FFFFFF;font-size:16px;"));
    badgeRow->addWidget(m_iconNet);
    badgeRow->addWidget(m_netName, 1);

    m_help = imageButton(this, "helpBtn", QRect(530, 92, 20, 20),
                         QStringLiteral("QPushButton{image:url(:/img/help.svg);border:none;}"));

    auto *prompt = new QLabel(QStringLiteral("请输入接收端展示的连接码"), this);
    prompt->setObjectName(QStringLiteral("label_7"));
    prompt->setGeometry(320, 275, 221, 22);
    prompt->setStyleSheet(QStringLiteral("font-size:16px;font-weight:400;color:#FFFFFF;"));

    auto *codeWidget = new QWidget(this);
    codeWidget->setObjectName(QStringLiteral("connectCodeWidget"));
    codeWidget->setGeometry(10, 154, 801, 109);
    auto *rowHolder = new QWidget(codeWidget);
    rowHolder->setObjectName(QStringLiteral("horizontalLayoutWidget"));
    rowHolder->setGeometry(0, -1, 801, 111);
    auto *row = new QHBoxLayout(rowHolder);
    row->setObjectName(QStringLiteral("conhorizontalLayout"));
    row->setContentsMargins(0, 0, 0, 0);

    m_down = imageButton(
        this, "downBtn", QRect(400, 310, 31, 27),
        QStringLiteral("QPushButton{image:url(:/img/reddownarrow.svg);padding:10px;border:none;}"));
    imageButton(this, "upBtn", QRect(405, 520, 17, 12),
                QStringLiteral("QPushButton{image:url(:/img/reduparrow.svg);padding:3px;border:none;}"));
    auto *upText = imageButton(this, "upBtnText", QRect(390, 530, 48, 17),
                               QStringLiteral("QPushButton{font-size:12px;color:#DE6F6F;border:none;}"));
    upText->setText(QStringLiteral("操作指南"));
    auto *auto1 = imageButton(this, "autoConnectBtn1", QRect(710, 525, 75, 23),
                              QStringLiteral("QPushButton{font-size:14px;color:#DE6F6F;border:none;}"));
    auto1->setText(QStringLiteral("自动识别 "));
    imageButton(this, "autoConnectBtn2", QRect(790, 532, 7, 11),
                QStringLiteral("QPushButton{image:url(:/img/redrightarrow.svg);border:none;}"));

    m_prompt = new QLabel(QStringLiteral("连接已断开"), this);
    m_prompt->setObjectName(QStringLiteral("connectpromptlabel"));
    m_prompt->setGeometry(270, 350, 311, 20);
    m_prompt->setAlignment(Qt::AlignCenter);
    m_prompt->setStyleSheet(QStringLiteral("font-size:16px;font-weight:400;color:#DE6F6F;"));

    m_guidance = new QnLynGuidanceWidget(this);
    m_guidance->hide();
    m_down->hide();
    m_help->hide();
    m_prompt->hide();

    const int spacing = (width() - 528) / 2;
    row->addSpacing(spacing);
    for (int i = 0; i < QnSenderRules::kCodeLength; ++i) {
        auto *edit = new QnLynCodeLineEdit(rowHolder);
        edit->setObjectName(QStringLiteral("codeEdit%1").arg(i));
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, &QnHomeWidget::codeChanged);
        row->addWidget(edit);
        m_codeEdits << edit;
    }
    row->addSpacing(spacing - 18);
    QMetaObject::connectSlotsByName(this);
    focusFirstBox();
}

QnHomeWidget::~QnHomeWidget() = default;

QString QnHomeWidget::code() const
{
    QString joined;
    for (const QnLynCodeLineEdit *edit : m_codeEdits)
        joined += edit->text();
    return joined;
}

void QnHomeWidget::clearCode()
{
    for (QnLynCodeLineEdit *edit : m_codeEdits)
        edit->setText(QString());
    focusFirstBox();
}

void QnHomeWidget::setDisconnectedVisible(bool visible)
{
    m_prompt->setVisible(visible);
}

void QnHomeWidget::setNetworkInfo(bool wireless, const QString &name)
{
    if (wireless) {
        m_iconNet->setStyleSheet(QStringLiteral("QLabel{image:url(:/img/wifi.svg);border:0px;}"));
        m_iconNet->setFixedHeight(16);
        m_help->hide();
    } else {
        m_iconNet->setStyleSheet(QStringLiteral("QLabel{image:url(:/img/localNet.svg);border:0px;}"));
        m_iconNet->setFixedHeight(20);
        m_help->show();
    }
    if (!name.isEmpty())
        m_netName->setText(QnSenderRules::cut(name, QnSenderRules::kNetworkNameLength));
}

void QnHomeWidget::focusFirstBox()
{
    if (!m_codeEdits.isEmpty())
        m_codeEdits.first()->setFocus();
}

int QnHomeWidget::focusedIndex() const
{
    for (int i = 0; i < m_codeEdits.size(); ++i) {
        if (m_codeEdits.at(i)->hasFocus())
            return i;
    }
    return 0;
}

void QnHomeWidget::codeChanged(const QString &text)
{
    // The box that changed is the one typed into; focus moves on only when a digit arrived, so
    // clearing boxes never pushes the focus forward.
    int changed = m_codeEdits.indexOf(qobject_cast<QnLynCodeLineEdit *>(sender()));
    if (changed < 0)
        changed = focusedIndex();
    if (!text.isEmpty())
        m_codeEdits.at(QnSenderRules::focusAfterChange(changed, m_codeEdits.size()))->setFocus();
    QStringList texts;
    for (const QnLynCodeLineEdit *edit : m_codeEdits)
        texts << edit->text();
    const QString complete = QnSenderRules::completeCode(texts);
    if (!text.isEmpty() && !complete.isEmpty())
        emit connectServer(complete);
}

bool QnHomeWidget::eventFilter(QObject *watched, QEvent *event)
{
    // Backspace is handled here, once, on the press: the box's own editing of it is suppressed so
    // one key press clears one digit.
    const int index = m_codeEdits.indexOf(qobject_cast<QnLynCodeLineEdit *>(watched));
    if (index >= 0 && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Backspace) {
            if (event->type() == QEvent::KeyPress) {
                QStringList texts;
                for (const QnLynCodeLineEdit *edit : m_codeEdits)
                    texts << edit->text();
                const QnSenderRules::BackspaceStep step = QnSenderRules::backspace(texts, index);
                if (step.clear >= 0)
                    m_codeEdits.at(step.clear)->setText(QString());
                m_codeEdits.at(step.focus)->setFocus();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QnHomeWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    for (QnLynCodeLineEdit *edit : m_codeEdits) {
        if (edit->text().isEmpty()) {
            edit->setFocus();
            break;
        }
    }
}

void QnHomeWidget::openGuide(bool open)
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

void QnHomeWidget::on_upBtn_clicked()
{
    openGuide(true);
}

void QnHomeWidget::on_upBtnText_clicked()
{
    openGuide(true);
}

void QnHomeWidget::on_downBtn_clicked()
{
    openGuide(false);
}

void QnHomeWidget::on_helpBtn_clicked()
{
    QnFloatTip::showTipAt(tr("The current device is using Ethernet, please make sure that the sender and the "
                             "current device are in the same LAN"),
                          m_help->x(), m_help->geometry().bottom() + 3, this, 6000, true);
}

void QnHomeWidget::on_autoConnectBtn1_clicked()
{
    emit showAutoConnectWidget();
}

void QnHomeWidget::on_autoConnectBtn2_clicked()
{
    emit showAutoConnectWidget();
}
