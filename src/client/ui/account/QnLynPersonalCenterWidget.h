#pragma once

#include "client/ui/account/QnHeadImageCrop.h"
#include "client/ui/account/QnLoginUserInfo.h"
#include "common/http/HttpResult.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QnLynHeadButton;

/// The signed-in user's profile page inside the main sender window: head picture and name (the
/// phone and password rows exist but are hidden). A head-picture change runs choose file -> size
/// check (over 10 MiB refused) -> crop -> save (a null crop or a failed save stops) -> upload ->
/// "/user/user/modify/user"; only when the service answered that with code 200 does the new
/// picture replace the local head file and headModifySuccess follow. Every modal edit dialog is
/// wrapped in beginModify / endModify, emitted in the same call. Failures show the service's
/// "msg" or a fixed text as a toast. Requests are bound to the page. GUI thread only.
class QnLynPersonalCenterWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynPersonalCenterWidget(QWidget *parent = nullptr);

    /// Shows the picture file in the head button (diameter = the button's width).
    void setHeadPath(const QString &path);
    QString headPath() const { return m_headPath; }
    /// Stores the record; shows the display name and the user name.
    void setUserInfo(const LoginUserInfo &info);
    LoginUserInfo userInfo() const { return m_info; }

    // The two interactive steps of a head-picture change, replaceable (tests, other dialogs).
    /// Picks a picture file ("" when cancelled); default: QFileDialog::getOpenFileName.
    void setImageChooser(std::function<QString(QWidget *parent)> chooser)
    {
        m_chooseImage = std::move(chooser);
    }
    /// Crops the picture; default: runHeadCropStep.
    void setCropStep(QnHeadCropStep step) { m_crop = std::move(step); }

Q_SIGNALS:
    void beginModify();
    void endModify();
    void backHome();
    void headModifySuccess(QString path);
    void nameModifySuccess(QString name);

private Q_SLOTS:
    void on_imageBtn_clicked();
    void on_nameBtn_clicked();
    void on_nameBtn1_clicked();
    void on_numBtn_clicked();
    void on_numBtn1_clicked();
    void on_modifypasswordBtn_clicked();
    void on_modifypasswordBtn1_clicked();
    void on_homeBtn1_clicked();
    void on_homeBtn2_clicked();

private:
    void buildForm();
    void changeName();
    void changePhone();
    void changePassword();
    void fileUploadCallBack(const HttpFileResult &result, const QString &pending);
    void headModifyCallBack(const HttpResultInfo &result, const QString &pending);
    void httpCallBack(const HttpResultInfo &result);
    /// Applies a successful "/user/user/modify/user" reply: name, user name, toast, nameModifySuccess.
    void applyModifyReply(const HttpResultInfo &result);
    void toast(const QString &text);

    LoginUserInfo m_info;
    QString m_headPath;
    std::function<QString(QWidget *)> m_chooseImage;
    QnHeadCropStep m_crop;

    QnLynHeadButton *m_headBtn = nullptr;
    QPushButton *m_imageBtn = nullptr;
    QPushButton *m_nameBtn = nullptr;
    QPushButton *m_nameBtn1 = nullptr;
    QPushButton *m_numBtn = nullptr;
    QPushButton *m_numBtn1 = nullptr;
    QPushButton *m_modifyPassword = nullptr;
    QPushButton *m_modifyPassword1 = nullptr;
    QPushButton *m_home1 = nullptr;
    QPushButton *m_home2 = nullptr;
};
