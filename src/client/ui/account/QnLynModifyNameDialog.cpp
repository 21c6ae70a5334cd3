#include "client/ui/account/QnLynModifyNameDialog.h"

#include "client/ui/NcFramelessHelper.h"
#include "client/ui/account/QnAccountForm.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcModifyName, "qn.account.name")

using namespace QnAccountForm;

namespace {
const QString kClearWithText = QStringLiteral(
    "padding:13px;background: #EEEEEE;border-top-right-radius: 6px;border-bottom-right-radius: 6px;"
    "border:0px;image: url(:/img/clearBtn.svg);");
const QString kClearEmpty = QStringLiteral("padding:13px;background: #EEEEEE;border-top-right-radius: "
                                           "6px;border-bottom-right-radius: 6px;border:0px;");
} // namespace

QnLynModifyNameDialog::QnLynModifyNameDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("QnLynModifyNameDialog"));
    setWindowTitle(QStringLiteral("Dialog"));
    setFixedSize(500, 370);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *helper = new NcFramelessHelper(this);
    helper->setMovable(false);
    helper->setResizable(false);
    helper->attachWidget(this);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("modifyframe"));
    m_frame->setMinimumSize(500, 370);
    m_frame->setStyleSheet(QStringLiteral("QFrame#modifyframe{background:#FFFFFF;border-radius:6px;}"));
    outer->addWidget(m_frame);
    auto *v = new QVBoxLayout(m_frame);
    v->setContentsMargins(20, 20, 20, 40);
    v->setSpacing(0);

    QHBoxLayout *closeRow = centredLayout(v);
    closeRow->addStretch(1);
    m_cancel = imageButton(m_frame, "cancelBtn", QStringLiteral(":/img/close.svg"), 12, 12);
    closeRow->addWidget(m_cancel);
    v->addSpacing(10);
    centred(v, label(m_frame, "label", QStringLiteral("修改姓名"),
                     QStringLiteral("font-size:20px;color:#333333;font-family:\"Microsoft YaHei\";")));
    v->addStretch(1);

    QHBoxLayout *row = centredLayout(v);
    row->addStretch(1);
    row->addWidget(label(m_frame, "msglabe", QStringLiteral("姓名"),
                         QStringLiteral("font-size:16px;color:#333333;font-family:\"Microsoft YaHei\";")));
    row->addSpacing(16);
    m_edit = field(m_frame, "lineEdit", QString(), 300);
    m_edit->setStyleSheet(
        QStringLiteral("QLineEdit{border:0px;background:#EEEEEE;font-size:14px;color:#333333;"
                       "padding-left:8px;border-top-left-radius:6px;"
                       "border-bottom-left-radius:6px;font-family:\"Microsoft YaHei\";}"));
    m_edit->setClearButtonEnabled(false);
    m_edit->setMaxLength(11);
    row->addWidget(m_edit);
    m_clear = new QLabel(m_frame);
    m_clear->setObjectName(QStringLiteral("clearlabel"));
    m_clear->setFixedSize(40, 40);
    m_clear->setStyleSheet(kClearEmpty);
    row->addWidget(m_clear);
    row->addStretch(1);
    v->addStretch(1);

    m_done = button(m_frame, "closeBtn", QStringLiteral("完成"), outlineButtonStyle());
    m_done->setFixedSize(121, 40);
    m_done->setEnabled(false);
    centred(v, m_done);

    m_clear->installEventFilter(this);
    m_done->installEventFilter(this);
    connect(m_done, &QPushButton::clicked, this, &QnLynModifyNameDialog::on_closeBtn_clicked);
    connect(m_cancel, &QPushButton::clicked, this, &QnLynModifyNameDialog::on_cancelBtn_clicked);
    connect(m_edit, &QLineEdit::textChanged, this, &QnLynModifyNameDialog::on_lineEdit_textChanged);
}

void QnLynModifyNameDialog::setName(const QString &name)
{
    m_edit->setText(name);
    on_lineEdit_textChanged(m_edit->text());
}

QString QnLynModifyNameDialog::getName() const
{
    return m_edit->text();
}

bool QnLynModifyNameDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_clear && event->type() == QEvent::MouseButtonRelease && m_hasText)
        m_edit->clear();
    else if (watched == m_done && event->type() == QEvent::TouchBegin)
        qCDebug(lcModifyName) << "touch on the done button";
    return QDialog::eventFilter(watched, event);
}

void QnLynModifyNameDialog::on_closeBtn_clicked()
{
    accept();
}

void QnLynModifyNameDialog::on_cancelBtn_clicked()
{
    reject();
}

void QnLynModifyNameDialog::on_lineEdit_textChanged(const QString &arg1)
{
    m_hasText = !arg1.isEmpty();
    m_done->setEnabled(m_hasText);
    m_clear->setStyleSheet(m_hasText ? kClearWithText : kClearEmpty);
}
