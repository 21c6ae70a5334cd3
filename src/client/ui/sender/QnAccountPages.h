#pragma once

// Stand-ins for the account pages the main sender window places (the signed-in user's record, the
// round head button and the personal-centre page), with the operations and signals the window
// uses. The account library's own pages replace this file.

#include <QPixmap>
#include <QPushButton>
#include <QString>
#include <QWidget>

class QLabel;

/// The signed-in user: user name (the phone number), name, nickname, token, password, identifier.
struct LoginUserInfo
{
    QString userName;
    QString name;
    QString nickName;
    QString token;
    QString password;
    QString uuid;

    /// The name, or the user name when the name is empty.
    QString displayName() const { return name.isEmpty() ? userName : name; }
};

/// A round head-picture button. GUI thread only.
class QnLynHeadButton : public QPushButton
{
    Q_OBJECT
public:
    explicit QnLynHeadButton(QWidget *parent = nullptr);

    /// Loads a picture file as the head picture and repaints.
    void loadHeadImage(const QString &path);
    /// The picture's diameter in pixels (callers pass the button's width).
    void setHeadDiameter(int diameter);

    QString headPath() const { return m_path; }
    int headDiameter() const { return m_diameter; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_path;
    QPixmap m_picture;
    int m_diameter = 0;
};

/// The personal-centre page: the head picture, the display name and the user name, a back button.
class QnLynPersonalCenterWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynPersonalCenterWidget(QWidget *parent = nullptr);

    void setHeadPath(const QString &path);
    void setUserInfo(const LoginUserInfo &info);
    LoginUserInfo userInfo() const { return m_info; }

signals:
    void beginModify();
    void endModify();
    void backHome();
    void headModifySuccess(QString path);
    void nameModifySuccess(QString name);

private:
    LoginUserInfo m_info;
    QnLynHeadButton *m_head = nullptr;
    QLabel *m_name = nullptr;
    QLabel *m_phone = nullptr;
};
