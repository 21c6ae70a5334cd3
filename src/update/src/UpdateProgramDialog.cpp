#include "update/src/UpdateProgramDialog.h"

#include "ui_UpdateProgramDialog.h"
#include "update/src/UpdateMain.h"
#include "update/src/UpdateProgress.h"

#include <QGraphicsDropShadowEffect>
#include <QLoggingCategory>
#include <QScroller>

Q_LOGGING_CATEGORY(lcUpdateDialog, "qn.update.dialog")

namespace {

void addShadow(QWidget *widget)
{
    auto *shadow = new QGraphicsDropShadowEffect(widget);
    shadow->setOffset(0, 0);
    shadow->setColor(QColor(200, 200, 200, 255));
    shadow->setBlurRadius(10);
    widget->setGraphicsEffect(shadow);
}

} // namespace

UpdateProgramDialog::UpdateProgramDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::UpdateProgramDialog>())
{
    ui->setupUi(this);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowFlags(windowFlags() | Qt::Tool | Qt::FramelessWindowHint);
    for (QLabel *label : {ui->label_2, ui->versionlabel, ui->label_3, ui->sizelabel, ui->label_4,
                          ui->updatelabel, ui->valuelabel})
        label->setTextFormat(Qt::PlainText);
    addShadow(ui->ignoreBtn);
    addShadow(ui->acceptBtn);
    addShadow(ui->installBtn);
    ui->stackedWidget->setCurrentWidget(ui->page);
    ui->textEdit->setReadOnly(true);
    QScroller::grabGesture(ui->textEdit->viewport(), QScroller::LeftMouseButtonGesture);

    m_updateMain = new UpdateMain(this);
    connect(m_updateMain, &UpdateMain::downloadPercent, this, &UpdateProgramDialog::setDownloadPercent);
    connect(m_updateMain, &UpdateMain::downloadFinished, this, &UpdateProgramDialog::onDownloadFinished);
}

UpdateProgramDialog::~UpdateProgramDialog() = default;

void UpdateProgramDialog::setAppType(int type)
{
    if (type == 1)
        ui->label->setStyleSheet(QStringLiteral("border-image: url(:/resource/lynServerlogo.png);"));
    else if (type == 2)
        ui->label->setStyleSheet(QStringLiteral("border-image: url(:/resource/lynjieshou.png);"));
}

void UpdateProgramDialog::setForceUpdate(bool force)
{
    ui->ignoreBtn->setVisible(!force);
    ui->closeButton->setVisible(!force);
}

void UpdateProgramDialog::setUpdateInfo(const QVariantMap &info)
{
    m_updateMain->setConfigDir(m_updateMain->environment().appDir);
    ui->sizelabel->setText(UpdateProgress::sizeText(info.value(QStringLiteral("totalsize")).toLongLong()));
    ui->textEdit->setPlainText(info.value(QStringLiteral("content")).toString());
    ui->versionlabel->setText(QLatin1Char('V') + info.value(QStringLiteral("ver")).toString());
}

void UpdateProgramDialog::onUpdateInfo(qlonglong totalSize, QString versioncontent)
{
    ui->sizelabel->setText(UpdateProgress::sizeText(totalSize));
    ui->textEdit->setPlainText(versioncontent);
}

void UpdateProgramDialog::setDownloadPercent(qlonglong bytesReceived, qlonglong bytesTotal)
{
    if (bytesTotal <= 0)
        return;
    const UpdateProgress::Bar bar = UpdateProgress::bar(bytesReceived, bytesTotal);
    ui->progressBar->setRange(0, bar.maximum);
    ui->progressBar->setValue(bar.value);
    ui->valuelabel->setText(UpdateProgress::percentText(bytesReceived, bytesTotal));
}

void UpdateProgramDialog::onDownloadFinished(bool finished)
{
    m_downloadFinished = finished;
    if (!finished) {
        reject();
        return;
    }
    ui->stackedWidget->setCurrentWidget(ui->page_3);
}

void UpdateProgramDialog::on_ignoreBtn_clicked()
{
    reject();
}

void UpdateProgramDialog::on_closeButton_clicked()
{
    close();
}

void UpdateProgramDialog::on_acceptBtn_clicked()
{
    qCDebug(lcUpdateDialog) << "accept ==1111111111111111";
    ui->stackedWidget->setCurrentWidget(ui->page_2);
    ui->progressBar->setValue(0);
    qCDebug(lcUpdateDialog) << "accept ==222222222222222222";
    m_updateMain->onStartDown();
}

void UpdateProgramDialog::on_installBtn_clicked()
{
    emit startInstall();
    accept();
    m_updateMain->runUpdate();
}
