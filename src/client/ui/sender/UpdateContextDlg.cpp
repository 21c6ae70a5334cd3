#include "client/ui/sender/UpdateContextDlg.h"

#include "client/ui/internal/QnUiLog.h"
#include "client/ui/sender/QnUpdateNotes.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QTextOption>
#include <QVBoxLayout>

UpdateContextDlg::UpdateContextDlg(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Form"));
    resize(512, 370);
    setMinimumSize(500, 370);
    setMaximumSize(512, 370);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 0, 6, 0);
    m_card = new QWidget(this);
    m_card->setObjectName(QStringLiteral("widget"));
    m_card->setMinimumWidth(500);
    m_card->setStyleSheet(QStringLiteral("#widget{background:#FFFFFF;border-radius:6px;}"));
    outer->addWidget(m_card);
    auto *v = new QVBoxLayout(m_card);
    v->setContentsMargins(20, 14, 14, 34);
    auto *titleRow = new QHBoxLayout;
    auto *title = new QLabel(QStringLiteral("更新"), m_card);
    title->setObjectName(QStringLiteral("labelTitle"));
    title->setStyleSheet(QStringLiteral("font-size:18px;font-weight:400;color:#333333;"));
    auto *close = new QPushButton(m_card);
    close->setObjectName(QStringLiteral("btnClose"));
    close->setFixedSize(20, 20);
    close->setStyleSheet(
        QStringLiteral("QPushButton{image:url(:/resource/close.svg);padding:4px;border:none;}"));
    titleRow->addWidget(title);
    titleRow->addStretch(1);
    titleRow->addWidget(close);
    v->addLayout(titleRow);
    auto *icon = new QLabel(m_card);
    icon->setObjectName(QStringLiteral("widgetIcon"));
    icon->setFixedSize(74, 74);
    icon->setStyleSheet(QStringLiteral("image:url(:/resource/lynServerlogo.png);"));
    v->addWidget(icon, 0, Qt::AlignHCenter);
    m_ver = new QLabel(QStringLiteral("更新至"), m_card);
    m_ver->setObjectName(QStringLiteral("verLabel"));
    m_ver->setTextFormat(Qt::PlainText);
    m_ver->setStyleSheet(QStringLiteral("font-size:16px;font-weight:400;color:#333333;"));
    v->addWidget(m_ver, 0, Qt::AlignHCenter);
    m_text = new QTextEdit(m_card);
    m_text->setObjectName(QStringLiteral("textEdit"));
    m_text->setReadOnly(true);
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->setStyleSheet(QStringLiteral("QTextEdit{border:none;background:transparent;}"));
    v->addWidget(m_text, 1);
    auto *ok = new QPushButton(QStringLiteral("我知道了"), m_card);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setFixedSize(120, 40);
    ok->setStyleSheet(QStringLiteral("QPushButton{font-size:14px;color:#DE6F6F;background:#FFFFFF;border:1px "
                                     "solid #DE6F6F;border-radius:6px;}"));
    v->addWidget(ok, 0, Qt::AlignHCenter);
    QMetaObject::connectSlotsByName(this);
}

void UpdateContextDlg::initUI(const QString &notesPath)
{
    setWindowFlags(windowFlags() | Qt::Dialog | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setOffset(0, 0);
    shadow->setColor(QColor(217, 217, 217));
    shadow->setBlurRadius(5);
    m_card->setGraphicsEffect(shadow);
    QTextOption option = m_text->document()->defaultTextOption();
    option.setAlignment(Qt::AlignCenter);
    m_text->document()->setDefaultTextOption(option);
    QFont f = m_text->font();
    f.setPixelSize(16);
    m_text->setFont(f);
    m_text->setTextColor(QColor(0x33, 0x33, 0x33));

    const QnUpdateNotes notes = QnUpdateNotes::load(
        notesPath.isEmpty() ? QnUpdateNotes::defaultPath() : notesPath, QStringLiteral(QN_VERSION_TEXT));
    if (!notes.found)
        return;
    m_hasContext = true;
    m_ver->setText(QStringLiteral("更新至%1").arg(notes.version));
    m_text->setPlainText(notes.text);
}

void UpdateContextDlg::showContext()
{
    if (!m_hasContext)
        return;
    qCDebug(lcUi) << "UpdateContextDlg::showContext";
    show();
}

QString UpdateContextDlg::versionText() const
{
    return m_ver->text();
}

QString UpdateContextDlg::notesText() const
{
    return m_text->toPlainText();
}

void UpdateContextDlg::on_btnClose_clicked()
{
    close();
}

void UpdateContextDlg::on_btnOk_clicked()
{
    close();
}
