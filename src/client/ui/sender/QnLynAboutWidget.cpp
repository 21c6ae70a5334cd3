#include "client/ui/sender/QnLynAboutWidget.h"

#include "client/ui/QnFloatTip.h"
#include "client/ui/internal/QnUiLog.h"
#include "client/ui/sender/QnFeedback.h"
#include "common/http/QnLynInterNetWorkManager.h"

#include <QDate>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextEdit>
#include <QTime>
#include <QVBoxLayout>

QnSettingUpdateLabel::QnSettingUpdateLabel(QWidget *parent) : QLabel(parent) {}

void QnSettingUpdateLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QFont f = font();
    f.setPixelSize(14);
    f.setWeight(QFont::Bold);
    p.setFont(f);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, text());
    if (m_showDot) {
        p.save();
        p.setPen(QColor(0xD0, 0x02, 0x1B));
        p.setBrush(QColor(0xD0, 0x02, 0x1B));
        p.drawEllipse(QRect(60, 5, 7, 7));
        p.restore();
    }
}

namespace {

QLabel *caption(QWidget *parent, const char *name, const QString &text, const QString &style)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setStyleSheet(style);
    return l;
}

QLabel *line(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setFixedSize(708, 1);
    l->setStyleSheet(QStringLiteral("border:1px solid #E1E1E1;"));
    return l;
}

} // namespace

QString QnLynAboutWidget::buildDateFrom(const QString &dateStamp)
{
    QString stamp = dateStamp;
    stamp.replace(QStringLiteral("  "), QStringLiteral(" 0"));
    const QDate date = QLocale(QLocale::English).toDate(stamp, QStringLiteral("MMM dd yyyy"));
    return date.toString(QStringLiteral("yyyy/MM/dd"));
}

QString QnLynAboutWidget::buildTimeFrom(const QString &timeStamp)
{
    return QTime::fromString(timeStamp, QStringLiteral("hh:mm:ss")).toString(QStringLiteral("hh:mm:ss"));
}

QnLynAboutWidget::QnLynAboutWidget(QWidget *parent) : QWidget(parent)
{
    resize(820, 560);
    setMaximumWidth(820);
    m_buildDate = buildDateFrom(QStringLiteral(__DATE__));
    m_buildTime = buildTimeFrom(QStringLiteral(__TIME__));

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(11, 0, 12, 10);
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("aboutFrame"));
    frame->setFixedSize(797, 550);
    frame->setStyleSheet(QStringLiteral("#aboutFrame{background:#FFFFFF;border-radius:4px;}"));
    outer->addWidget(frame);
    auto *v = new QVBoxLayout(frame);
    v->setSpacing(0);
    v->setContentsMargins(44, 36, 43, 0);

    const QString text14 = QStringLiteral("font-size:14px;color:#333333;");
    auto *title = caption(frame, "label_2", QStringLiteral("关于我们"),
                          QStringLiteral("font-size:24px;color:#333333;"));
    title->setMaximumHeight(45);
    v->addWidget(title);
    v->addSpacing(8);
    v->addWidget(line(frame, "label_8"));
    v->addSpacing(16);
    v->addWidget(caption(frame, "label_3", QStringLiteral("意见反馈"), text14));
    v->addSpacing(10);
    auto *typeRow = new QHBoxLayout;
    const QString radio = QStringLiteral("QRadioButton{font-size:14px;color:#333333;spacing:5px;}"
                                         "QRadioButton::indicator{width:16px;height:16px;}");
    m_problem = new QRadioButton(QStringLiteral("问题反馈     "), frame);
    m_problem->setObjectName(QStringLiteral("pradioButton"));
    m_problem->setStyleSheet(radio);
    m_problem->setChecked(true);
    auto *feature = new QRadioButton(QStringLiteral("功能需求"), frame);
    feature->setObjectName(QStringLiteral("fradioButton"));
    feature->setStyleSheet(radio);
    typeRow->addWidget(m_problem);
    typeRow->addWidget(feature);
    typeRow->addStretch(1);
    v->addLayout(typeRow);
    v->addSpacing(10);
    v->addWidget(caption(frame, "label", QStringLiteral("反馈内容"), text14));
    v->addSpacing(6);
    auto *content = new QFrame(frame);
    content->setObjectName(QStringLiteral("contentFrame"));
    content->setFixedSize(708, 100);
    content->setStyleSheet(
        QStringLiteral("#contentFrame{background:#FFFFFF;border-radius:4px;border:1px solid #D4D4D4;}"));
    auto *cv = new QVBoxLayout(content);
    cv->setContentsMargins(6, 4, 6, 2);
    m_text = new QTextEdit(content);
    m_text->setObjectName(QStringLiteral("textEdit"));
    m_text->setFixedHeight(70);
    m_text->setAcceptRichText(false);
    m_text->setStyleSheet(QStringLiteral("QTextEdit{font-size:12px;color:#333333;border:none;}"));
    m_text->setPlaceholderText(QStringLiteral("请详细描述您的问题（内容至少5字）"));
    m_size = caption(content, "sizelabel", QStringLiteral("0/120"),
                     QStringLiteral("font-size:14px;color:#999999;"));
    m_size->setFixedHeight(20);
    m_size->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cv->addWidget(m_text);
    cv->addWidget(m_size);
    v->addWidget(content);
    v->addSpacing(10);
    v->addWidget(caption(frame, "label_4", QStringLiteral("联系方式"), text14));
    v->addSpacing(6);
    auto *contactRow = new QHBoxLayout;
    m_contact = new QLineEdit(frame);
    m_contact->setObjectName(QStringLiteral("numLineEdit"));
    m_contact->setFixedSize(270, 30);
    m_contact->setStyleSheet(QStringLiteral("QLineEdit{background:#FFFFFF;border-radius:4px;border:1px solid "
                                            "#D4D4D4;font-size:12px;padding-left:6px;}"));
    m_contact->setPlaceholderText(QStringLiteral("请留下您的联系方式，方便我们联系您"));
    m_submit = new QPushButton(QStringLiteral("提交"), frame);
    m_submit->setObjectName(QStringLiteral("submitBtn"));
    m_submit->setFixedSize(100, 30);
    m_submit->setEnabled(false);
    m_submit->setStyleSheet(
        QStringLiteral("QPushButton{font-size:12px;color:#FFFFFF;background:#DE6F6F;border-radius:4px;}"
                       "QPushButton:disabled{background:#CCCCCC;}"));
    contactRow->addWidget(m_contact);
    contactRow->addStretch(1);
    contactRow->addWidget(m_submit);
    v->addLayout(contactRow);
    v->addSpacing(18);
    v->addWidget(line(frame, "label_9"));
    v->addSpacing(14);
    m_updateLabel = new QnSettingUpdateLabel(frame);
    m_updateLabel->setObjectName(QStringLiteral("updatelabel"));
    m_updateLabel->setText(QStringLiteral("版本升级"));
    m_updateLabel->setMaximumHeight(30);
    m_updateLabel->setStyleSheet(QStringLiteral("font-size:14px;font-weight:400;color:#333333;"));
    v->addWidget(m_updateLabel);
    auto *versionRow = new QHBoxLayout;
    m_version = caption(frame, "versionLabel", QStringLiteral("昆洛传屏 当前版本："),
                        QStringLiteral("font-size:12px;color:#666666;"));
    m_version->setMaximumHeight(20);
    auto *update = new QPushButton(QStringLiteral("更新"), frame);
    update->setObjectName(QStringLiteral("updateBtn"));
    update->setFixedSize(100, 30);
    update->setStyleSheet(QStringLiteral("QPushButton{font-size:12px;color:#DE6F6F;background:#FFFFFF;border:"
                                         "1px solid #DE6F6F;border-radius:4px;}"));
    versionRow->addWidget(m_version);
    versionRow->addStretch(1);
    versionRow->addWidget(update);
    v->addLayout(versionRow);
    v->addStretch(1);
    auto *backRow = new QHBoxLayout;
    backRow->addStretch(1);
    auto *backText = new QPushButton(QStringLiteral("首页"), frame);
    backText->setObjectName(QStringLiteral("backBtnText"));
    backText->setStyleSheet(QStringLiteral("QPushButton{font-size:14px;color:#DE6F6F;border:none;}"));
    auto *back = new QPushButton(frame);
    back->setObjectName(QStringLiteral("backBtn"));
    back->setFixedSize(7, 7);
    back->setStyleSheet(QStringLiteral("QPushButton{image:url(:/img/redArrowright.svg);border:none;}"));
    backRow->addWidget(backText);
    backRow->addWidget(back);
    v->addLayout(backRow);
    v->addSpacing(16);
    QMetaObject::connectSlotsByName(this);
}

void QnLynAboutWidget::setToken(const QString &token)
{
    m_token = token;
}

void QnLynAboutWidget::setNetworkManager(QnLynInterNetWorkManager *manager)
{
    m_manager = manager;
}

void QnLynAboutWidget::setUpdateInfo(bool hasUpdate, const QString &version)
{
    m_version->setText(tr("quenlo lyn current version:"));
    m_updateLabel->setShowDot(hasUpdate);
    m_updateLabel->update();
    m_hasUpdate = hasUpdate;
    m_version->setText(m_version->text() + version + QStringLiteral("  ") + m_buildDate +
                       QStringLiteral("  ") + m_buildTime);
}

void QnLynAboutWidget::on_backBtn_clicked()
{
    emit backHome();
}

void QnLynAboutWidget::on_backBtnText_clicked()
{
    emit backHome();
}

void QnLynAboutWidget::on_numLineEdit_textChanged(const QString &)
{
    m_submit->setEnabled(QnFeedback::canSubmit(m_text->toPlainText().size()));
}

void QnLynAboutWidget::on_textEdit_textChanged()
{
    const QString plain = m_text->toPlainText();
    qCDebug(lcUi) << "feedback text length" << plain.size();
    QString plainNow = plain;
    if (plain.size() > QnFeedback::kMaxLength) {
        // Cut the end of the text, wherever the user typed; the edit's own change signal is held
        // back so the cut does not re-enter this handler.
        const QSignalBlocker block(m_text);
        QTextCursor cursor = m_text->textCursor();
        cursor.movePosition(QTextCursor::End);
        cursor.clearSelection();
        const int end = cursor.position();
        cursor.setPosition(end - (plain.size() - QnFeedback::kMaxLength), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        m_text->setTextCursor(cursor);
        plainNow = m_text->toPlainText();
    }
    m_size->setText(QnFeedback::counterText(plainNow.size()));
    m_submit->setEnabled(QnFeedback::canSubmit(plainNow.size()));
}

void QnLynAboutWidget::on_submitBtn_clicked()
{
    QnLynInterNetWorkManager *manager = m_manager ? m_manager : QnLynInterNetWorkManager::instance();
    const QJsonObject body =
        QnFeedback::requestBody(m_text->toPlainText(), m_problem->isChecked(), m_contact->text());
    manager->httpPost(
        this, QnFeedback::path(), body, [this](HttpResultInfo &reply) { onReply(reply); }, m_token,
        QString());
}

void QnLynAboutWidget::onReply(HttpResultInfo &reply)
{
    switch (QnFeedback::outcome(reply)) {
    case QnFeedback::Outcome::Success:
        QnFloatTip::showTip(tr("submit sussess"), this, 2000);
        break;
    case QnFeedback::Outcome::Failure:
        QnFloatTip::showTip(tr("submit failed"), this, 2000);
        break;
    case QnFeedback::Outcome::Ignore:
        break;
    }
    emit feedbackAnswered(int(QnFeedback::outcome(reply)));
}

void QnLynAboutWidget::on_updateBtn_clicked()
{
    if (m_hasUpdate)
        emit updateProgram();
    else
        QnFloatTip::showTip(tr("It is the latest version!"), this, 2000);
}
