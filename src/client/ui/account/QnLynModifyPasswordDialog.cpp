#include "client/ui/account/QnLynModifyPasswordDialog.h"

#include "client/ui/NcFramelessHelper.h"
#include "client/ui/QnFloatTip.h"
#include "client/ui/account/QnAccountForm.h"
#include "client/ui/account/QnAccountRules.h"
#include "client/ui/account/QnPasswordEye.h"
#include "common/http/QnLynInterNetWorkManager.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace QnAccountForm;

namespace {
QLabel *caption(QWidget *parent, const char *name, const QString &text)
{
    auto *l = label(parent, name, text,
                    QStringLiteral("font-size:16px;color:#333333;font-family:\"Microsoft YaHei\";"));
    l->setFixedWidth(100);
    return l;
}
} // namespace

QnLynModifyPasswordDialog::QnLynModifyPasswordDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("QnLynModifyPasswordDialog"));
    setWindowTitle(QStringLiteral("Dialog"));
    setFixedSize(500, 370);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *helper = new NcFramelessHelper(this);
    helper->setMovable(false);
    helper->setResizable(false);
    helper->attachWidget(this);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("ModifyPasswordframe"));
    frame->setStyleSheet(QStringLiteral("QFrame#ModifyPasswordframe{background:#FFFFFF;border-radius:6px;}"));
    outer->addWidget(frame);
    auto *v = new QVBoxLayout(frame);
    v->setContentsMargins(20, 20, 20, 24);
    v->setSpacing(0);
    QHBoxLayout *closeRow = centredLayout(v);
    closeRow->addStretch(1);
    m_close = imageButton(frame, "closeBtn", QStringLiteral(":/img/close.svg"), 12, 12);
    closeRow->addWidget(m_close);
    centred(v, label(frame, "label", QStringLiteral("修改密码"),
                     QStringLiteral("font-size:20px;color:#333333;font-family:\"Microsoft YaHei\";")));
    v->addSpacing(20);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(0);
    grid->setVerticalSpacing(0);
    const char *captions[] = {"label_2", "label_4", "label_6"};
    const QString captionTexts[] = {QStringLiteral("原密码"), QStringLiteral("新密码"),
                                    QStringLiteral("确认密码")};
    const char *edits[] = {"opasswordLineEdit", "npasswordLineEdit", "cpasswordLineEdit"};
    const QString placeholders[] = {QStringLiteral("请输入密码"),
                                    QStringLiteral("6-16支持字母、数字、下划线"),
                                    QStringLiteral("请再次输入密码")};
    const char *eyes[] = {"opassStatuslabel", "npassStatuslabel", "cpassStatuslabel"};
    const char *msgs[] = {"msglabel1", "msglabel2", "msglabel3"};
    QLineEdit *fields[3];
    QLabel *lines[3];
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(caption(frame, captions[i], captionTexts[i]), i * 2, 0);
        fields[i] = field(frame, edits[i], placeholders[i], 300);
        grid->addWidget(fields[i], i * 2, 1);
        auto *eye = new QLabel(frame);
        eye->setObjectName(QLatin1String(eyes[i]));
        eye->setFixedSize(40, 40);
        grid->addWidget(eye, i * 2, 2);
        new QnPasswordEye(fields[i], eye, this);
        lines[i] = errorLine(frame, msgs[i], 24);
        grid->addWidget(lines[i], i * 2 + 1, 1, 1, 2);
    }
    m_old = fields[0];
    m_new = fields[1];
    m_confirm = fields[2];
    m_msg1 = lines[0];
    m_msg2 = lines[1];
    m_msg3 = lines[2];
    QHBoxLayout *gridRow = centredLayout(v);
    gridRow->addStretch(1);
    gridRow->addLayout(grid);
    gridRow->addStretch(1);
    v->addStretch(1);

    QHBoxLayout *buttons = centredLayout(v);
    m_cancel = button(frame, "cancelBtn", QStringLiteral("取消"), outlineButtonStyle());
    m_cancel->setFixedSize(121, 40);
    m_ok = button(frame, "okBtn", QStringLiteral("确定"), outlineButtonStyle());
    m_ok->setFixedSize(121, 40);
    m_ok->setEnabled(false);
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addSpacing(40);
    buttons->addWidget(m_ok);
    buttons->addStretch(1);

    connect(m_ok, &QPushButton::clicked, this, &QnLynModifyPasswordDialog::on_okBtn_clicked);
    connect(m_cancel, &QPushButton::clicked, this, &QnLynModifyPasswordDialog::on_cancelBtn_clicked);
    connect(m_close, &QPushButton::clicked, this, &QnLynModifyPasswordDialog::on_closeBtn_clicked);
    connect(m_old, &QLineEdit::textChanged, this,
            &QnLynModifyPasswordDialog::on_opasswordLineEdit_textChanged);
    connect(m_new, &QLineEdit::textChanged, this,
            &QnLynModifyPasswordDialog::on_npasswordLineEdit_textChanged);
    connect(m_confirm, &QLineEdit::textChanged, this,
            &QnLynModifyPasswordDialog::on_cpasswordLineEdit_textChanged);
}

void QnLynModifyPasswordDialog::setAccountInfo(const QString &token, const QString &uuid)
{
    m_token = token;
    m_uuid = uuid;
}

void QnLynModifyPasswordDialog::on_okBtn_clicked()
{
    QnLynInterNetWorkManager::instance()->httpPost(
        this, QLatin1String(QnAccountRules::kCheckPassword),
        QJsonObject{{QStringLiteral("password"), m_old->text()}},
        [this](HttpResultInfo &r) { httpCallBack(r); }, m_token);
}

void QnLynModifyPasswordDialog::httpCallBack(const HttpResultInfo &result)
{
    const int code = QnAccountRules::replyCode(result.replyObject);
    if (result.requestPath == QLatin1String(QnAccountRules::kCheckPassword)) {
        if (result.statusCode != 200 || code != 200) {
            m_msg1->setText(tr("password error"));
            return;
        }
        if (!QnAccountRules::isValidPassword(m_new->text())) {
            m_msg2->setText(tr("6-16,Support letters, numbers, and underscores."));
            return;
        }
        m_msg1->clear();
        m_msg2->clear();
        if (m_new->text() != m_confirm->text()) {
            m_msg3->setText(tr("The two passwords don't match."));
            return;
        }
        const QJsonObject body{{QStringLiteral("newPassword"), m_new->text()},
                               {QStringLiteral("oldPassword"), m_old->text()},
                               {QStringLiteral("uuid"), m_uuid}};
        QnLynInterNetWorkManager::instance()->httpPost(
            this, QLatin1String(QnAccountRules::kUpdatePassword), body,
            [this](HttpResultInfo &r) { httpCallBack(r); }, m_token);
    } else if (result.requestPath == QLatin1String(QnAccountRules::kUpdatePassword)) {
        if (result.statusCode == 200 && code == 200) {
            QnFloatTip::showTip(tr("password modify success"), this, 2000);
            accept();
            return;
        }
        QnFloatTip::showTip(QnAccountRules::refusalText(result, tr("Request failed, please try again")), this,
                            2000);
    }
}

void QnLynModifyPasswordDialog::updateOk()
{
    m_ok->setEnabled(!m_old->text().isEmpty() && !m_new->text().isEmpty() && !m_confirm->text().isEmpty());
}

void QnLynModifyPasswordDialog::on_cancelBtn_clicked()
{
    reject();
}

void QnLynModifyPasswordDialog::on_closeBtn_clicked()
{
    reject();
}

void QnLynModifyPasswordDialog::on_opasswordLineEdit_textChanged(const QString &)
{
    updateOk();
}

void QnLynModifyPasswordDialog::on_npasswordLineEdit_textChanged(const QString &)
{
    updateOk();
}

void QnLynModifyPasswordDialog::on_cpasswordLineEdit_textChanged(const QString &)
{
    updateOk();
}
