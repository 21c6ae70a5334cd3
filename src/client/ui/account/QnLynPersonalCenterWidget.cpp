#include "client/ui/account/QnLynPersonalCenterWidget.h"

#include "client/ui/QnFloatTip.h"
#include "client/ui/account/QnAccountForm.h"
#include "client/ui/account/QnAccountRules.h"
#include "client/ui/account/QnHeadImageFile.h"
#include "client/ui/account/QnLynHeadButton.h"
#include "client/ui/account/QnLynModifyNameDialog.h"
#include "client/ui/account/QnLynModifyPasswordDialog.h"
#include "client/ui/account/QnLynModifyPhoneNum.h"
#include "common/http/QnLynInterNetWorkManager.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcPersonal, "qn.account.personal")

using namespace QnAccountForm;
namespace R = QnAccountRules;

namespace {
const QString kCaption = QStringLiteral("font-size:16px;color:#333333;font-family:\"Microsoft YaHei\";");
const QString kValue =
    QStringLiteral("QPushButton{border:0px;background:transparent;font-size:16px;color:#666666;"
                   "text-align:right;font-family:\"Microsoft YaHei\";}");

QLabel *line(QWidget *parent, const char *name)
{
    auto *l = label(parent, name, QString(), QStringLiteral("border: 1px solid #E1E1E1"));
    l->setFixedSize(708, 1);
    return l;
}
} // namespace

QnLynPersonalCenterWidget::QnLynPersonalCenterWidget(QWidget *parent)
    : QWidget(parent)
    , m_chooseImage([](QWidget *owner) {
        return QFileDialog::getOpenFileName(owner, tr("Open File"), QString(),
                                            tr("Images (*.jpeg *.jpg *.png)"));
    })
    , m_crop(&runHeadCropStep)
{
    buildForm();
    for (QWidget *hidden :
         {findChild<QWidget *>(QStringLiteral("label_6")), static_cast<QWidget *>(m_numBtn),
          static_cast<QWidget *>(m_numBtn1), findChild<QWidget *>(QStringLiteral("label_7")),
          findChild<QWidget *>(QStringLiteral("label_8")), static_cast<QWidget *>(m_modifyPassword1),
          static_cast<QWidget *>(m_modifyPassword), findChild<QWidget *>(QStringLiteral("label_9"))})
        hidden->hide();

    connect(m_imageBtn, &QPushButton::clicked, this, &QnLynPersonalCenterWidget::on_imageBtn_clicked);
    connect(m_nameBtn, &QPushButton::clicked, this, &QnLynPersonalCenterWidget::on_nameBtn_clicked);
    connect(m_nameBtn1, &QPushButton::clicked, this, &QnLynPersonalCenterWidget::on_nameBtn1_clicked);
    connect(m_numBtn, &QPushButton::clicked, this, &QnLynPersonalCenterWidget::on_numBtn_clicked);
    connect(m_numBtn1, &QPushButton::clicked, this, &QnLynPersonalCenterWidget::on_numBtn1_clicked);
    connect(m_modifyPassword, &QPushButton::clicked, this,
            &QnLynPersonalCenterWidget::on_modifypasswordBtn_clicked);
    connect(m_modifyPassword1, &QPushButton::clicked, this,
            &QnLynPersonalCenterWidget::on_modifypasswordBtn1_clicked);
    connect(m_home1, &QPushButton::clicked, this, &QnLynPersonalCenterWidget::on_homeBtn1_clicked);
    connect(m_home2, &QPushButton::clicked, this, &QnLynPersonalCenterWidget::on_homeBtn2_clicked);
}

void QnLynPersonalCenterWidget::buildForm()
{
    setObjectName(QStringLiteral("QnLynPersonalCenterWidget"));
    setWindowTitle(QStringLiteral("Form"));
    resize(819, 570);
    setMaximumWidth(819);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(11, 10, 11, 10);
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("personframe"));
    frame->setMaximumWidth(797);
    frame->setStyleSheet(QStringLiteral("QFrame#personframe{background:#FFFFFF;border-radius:4px;}"));
    outer->addWidget(frame);
    auto *v = new QVBoxLayout(frame);
    v->setContentsMargins(44, 24, 44, 20);
    v->setSpacing(0);
    v->addWidget(label(frame, "label", QStringLiteral("个人中心"),
                       QStringLiteral("font-size:24px;color:#333333;font-family:\"Microsoft YaHei\";")));
    v->addSpacing(16);
    v->addWidget(line(frame, "label_2"));

    auto addRow = [&](QWidget *left, QWidget *value, QWidget *arrow, int height) {
        auto *row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(left);
        row->addStretch(1);
        if (value)
            row->addWidget(value);
        row->addSpacing(10);
        row->addWidget(arrow);
        auto *holder = new QWidget(frame);
        holder->setFixedHeight(height);
        holder->setLayout(row);
        v->addWidget(holder);
        return holder;
    };

    m_headBtn = new QnLynHeadButton(frame);
    m_headBtn->setObjectName(QStringLiteral("headBtn"));
    m_headBtn->setFixedSize(60, 60);
    m_headBtn->setStyleSheet(QStringLiteral("border:0px;image:url(:/img/icon_personCenter.svg);"));
    m_headBtn->setHeadWidth(60);
    m_headBtn->loadHeadImage(QStringLiteral(":/img/icon_personCenter.svg"));
    m_imageBtn = imageButton(frame, "imageBtn", QStringLiteral(":/img/aboutarrow.svg"), 17, 17);
    addRow(m_headBtn, nullptr, m_imageBtn, 100);
    v->addWidget(line(frame, "label_3"));

    m_nameBtn = button(frame, "nameBtn", QString(), kValue);
    m_nameBtn1 = imageButton(frame, "nameBtn1", QStringLiteral(":/img/aboutarrow.svg"), 17, 17);
    addRow(label(frame, "label_4", QStringLiteral("姓名"), kCaption), m_nameBtn, m_nameBtn1, 70);
    v->addWidget(line(frame, "label_5"));

    m_numBtn = button(frame, "numBtn", QString(), kValue);
    m_numBtn1 = imageButton(frame, "numBtn1", QStringLiteral(":/img/aboutarrow.svg"), 17, 17);
    addRow(label(frame, "label_6", QStringLiteral("手机号码"), kCaption), m_numBtn, m_numBtn1, 70);
    v->addWidget(line(frame, "label_7"));

    m_modifyPassword1 =
        button(frame, "modifypasswordBtn1", QStringLiteral("用于保护账号信息和登录安全"), kValue);
    m_modifyPassword1->setMaximumWidth(210);
    m_modifyPassword =
        imageButton(frame, "modifypasswordBtn", QStringLiteral(":/img/aboutarrow.svg"), 17, 17);
    addRow(label(frame, "label_8", QStringLiteral("修改密码"), kCaption), m_modifyPassword1, m_modifyPassword,
           70);
    v->addWidget(line(frame, "label_9"));
    v->addStretch(1);

    auto *homeRow = new QHBoxLayout;
    homeRow->addStretch(1);
    m_home1 =
        button(frame, "homeBtn1", QStringLiteral("首页"),
               QStringLiteral("QPushButton{border:0px;background:transparent;font-size:14px;color:#DE6F6F;"
                              "font-family:\"Microsoft YaHei\";}"));
    m_home2 = imageButton(frame, "homeBtn2", QStringLiteral(":/img/redArrowright.svg"), 16, 12);
    homeRow->addWidget(m_home1);
    homeRow->addSpacing(4);
    homeRow->addWidget(m_home2);
    v->addLayout(homeRow);
}

void QnLynPersonalCenterWidget::setHeadPath(const QString &path)
{
    m_headPath = path;
    m_headBtn->loadHeadImage(path);
    m_headBtn->setHeadWidth(m_headBtn->width());
}

void QnLynPersonalCenterWidget::setUserInfo(const LoginUserInfo &info)
{
    m_info = info;
    m_nameBtn->setText(info.displayName());
    m_numBtn->setText(info.userName);
}

void QnLynPersonalCenterWidget::on_imageBtn_clicked()
{
    const QString file = m_chooseImage ? m_chooseImage(this) : QString();
    if (file.isEmpty())
        return;
    emit beginModify();
    if (R::isHeadImageTooLarge(QFileInfo(file).size())) {
        emit endModify();
        toast(tr("The head image cannot exceed 10m."));
        return;
    }
    const QnHeadCropResult crop = m_crop ? m_crop(this, file) : QnHeadCropResult();
    if (crop.accepted) {
        const QString finalPath = QnHeadImageFile::pathFor(m_info.uuid);
        if (!finalPath.isEmpty())
            QnHeadImageFile::removeStaleParts(finalPath);
        const QString pending =
            finalPath.isEmpty() ? QString() : QnHeadImageFile::tempPathFor(finalPath) + ".png";
        if (crop.image.isNull() || !QnHeadImageFile::savePng(crop.image, pending)) {
            qCWarning(lcPersonal)
                << "cropped head image not saved (null crop, unusable user id or write error)";
            toast(tr("The head image could not be saved."));
        } else {
            QnLynInterNetWorkManager::instance()->uploadFile(
                this, QLatin1String(R::kUploadFile), pending,
                [this, pending](const HttpFileResult &r) { fileUploadCallBack(r, pending); });
        }
    }
    emit endModify();
}

void QnLynPersonalCenterWidget::fileUploadCallBack(const HttpFileResult &result, const QString &pending)
{
    if (!result.finished)
        return; // progress, or a network error that its finished report follows
    const QString url = result.replyObject.value(QStringLiteral("data"))
                            .toObject()
                            .value(QStringLiteral("accessUrl"))
                            .toString();
    if (result.statusCode != 200 || R::replyCode(result.replyObject) != 200 || url.isEmpty()) {
        QFile::remove(pending);
        HttpResultInfo info;
        info.statusCode = result.statusCode;
        info.replyObject = result.replyObject;
        toast(R::refusalText(info, tr("The head image upload failed.")));
        return;
    }
    QnLynInterNetWorkManager::instance()->httpPost(
        this, QLatin1String(R::kModifyUser),
        QJsonObject{{QStringLiteral("userId"), m_info.uuid}, {QStringLiteral("headPath"), url}},
        [this, pending](HttpResultInfo &r) { headModifyCallBack(r, pending); }, m_info.token);
}

void QnLynPersonalCenterWidget::headModifyCallBack(const HttpResultInfo &result, const QString &pending)
{
    const QString finalPath = QnHeadImageFile::pathFor(m_info.uuid);
    if (result.statusCode != 200 || R::replyCode(result.replyObject) != 200 || finalPath.isEmpty() ||
        !QnHeadImageFile::commit(pending, finalPath)) {
        QFile::remove(pending);
        toast(R::refusalText(result, tr("Request failed, please try again")));
        return;
    }
    m_headPath = finalPath;
    m_headBtn->setStyleSheet(QStringLiteral("border:0px;image:url(%1);").arg(finalPath));
    m_headBtn->loadHeadImage(finalPath);
    m_headBtn->setHeadWidth(m_headBtn->width());
    emit headModifySuccess(finalPath);
    applyModifyReply(result);
}

void QnLynPersonalCenterWidget::changeName()
{
    emit beginModify();
    QWidget *owner = parentWidget() && parentWidget()->parentWidget() ? parentWidget()->parentWidget() : this;
    QnLynModifyNameDialog dialog(owner);
    dialog.setName(m_info.name);
    if (dialog.exec() == QDialog::Accepted) {
        QnLynInterNetWorkManager::instance()->httpPost(
            this, QLatin1String(R::kModifyUser),
            QJsonObject{{QStringLiteral("userId"), m_info.uuid}, {QStringLiteral("name"), dialog.getName()}},
            [this](HttpResultInfo &r) { httpCallBack(r); }, m_info.token);
    }
    emit endModify();
}

void QnLynPersonalCenterWidget::changePhone()
{
    emit beginModify();
    QnLynModifyPhoneNum dialog(this);
    dialog.setAccountInfo(m_info.token, m_info.uuid);
    if (dialog.exec() == QDialog::Accepted)
        m_numBtn->setText(dialog.newPhoneNumber());
    emit endModify();
}

void QnLynPersonalCenterWidget::changePassword()
{
    emit beginModify();
    QnLynModifyPasswordDialog dialog(this);
    dialog.setAccountInfo(m_info.token, m_info.uuid);
    dialog.exec();
    emit endModify();
}

void QnLynPersonalCenterWidget::httpCallBack(const HttpResultInfo &result)
{
    if (result.statusCode != 200 || result.requestPath != QLatin1String(R::kModifyUser) ||
        R::replyCode(result.replyObject) != 200) {
        toast(R::refusalText(result, tr("Request failed, please try again")));
        return;
    }
    applyModifyReply(result);
}

void QnLynPersonalCenterWidget::applyModifyReply(const HttpResultInfo &result)
{
    const QJsonObject data = result.replyObject.value(QStringLiteral("data")).toObject();
    m_info.name = data.value(QStringLiteral("name")).toString();
    m_info.userName = data.value(QStringLiteral("username")).toString();
    m_nameBtn->setText(m_info.name);
    m_numBtn->setText(m_info.userName);
    toast(tr("modify success"));
    emit nameModifySuccess(m_info.name);
}

void QnLynPersonalCenterWidget::on_nameBtn_clicked()
{
    changeName();
}

void QnLynPersonalCenterWidget::on_nameBtn1_clicked()
{
    changeName();
}

void QnLynPersonalCenterWidget::on_numBtn_clicked()
{
    changePhone();
}

void QnLynPersonalCenterWidget::on_numBtn1_clicked()
{
    changePhone();
}

void QnLynPersonalCenterWidget::on_modifypasswordBtn_clicked()
{
    changePassword();
}

void QnLynPersonalCenterWidget::on_modifypasswordBtn1_clicked()
{
    changePassword();
}

void QnLynPersonalCenterWidget::on_homeBtn1_clicked()
{
    emit backHome();
}

void QnLynPersonalCenterWidget::on_homeBtn2_clicked()
{
    emit backHome();
}

void QnLynPersonalCenterWidget::toast(const QString &text)
{
    QnFloatTip::showTip(text, this, 2000);
}
