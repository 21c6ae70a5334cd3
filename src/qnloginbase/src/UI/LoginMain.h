#pragma once

#include <QDialog>
#include <QPointer>

class AccountConfig;
class BannerWidget;
class CZvHeadButton;
class ForgetPwdWidget;
class HttpSession;
class LoginWidget;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QStackedWidget;
class QToolButton;
class RegisterWidget;

/// One row of the remembered-accounts list: head picture, masked account, delete button (whose
/// object name is the full account).
class ListItemAccount : public QWidget
{
    Q_OBJECT
public:
    explicit ListItemAccount(QWidget *parent = nullptr);
    /// text goes into the label as plain text; name names the delete button.
    void setAccountText(const QString &text, const QString &name);
    void setHeadImage(const QString &path);
    void showDelete(bool show);
    QPushButton *deleteButton() const { return m_delete; }
    QString accountText() const;

private:
    CZvHeadButton *m_head;
    QLabel *m_avatar;
    QLabel *m_account;
    QPushButton *m_delete;
};

/// The login library's dialog: remembered accounts on the left; the sign-in page and, on demand,
/// the registration and password reset pages on the right. Records every successful sign-in in the
/// remembered-accounts store and reports it. Remembered passwords come from the store's credential
/// store asynchronously and are filled in when they arrive (a later choice wins). GUI thread only.
class LoginMain : public QDialog
{
    Q_OBJECT
public:
    /// session and config: not owned, outliving the dialog; null: their process-wide instances.
    explicit LoginMain(QWidget *parent = nullptr, HttpSession *session = nullptr,
                       AccountConfig *config = nullptr);
    ~LoginMain() override;

    /// Signs in with stored strings; the next loginFinished carries these strings.
    void slientLogin(const QString &account, const QString &password);
    void setNetworkState(bool online);
    /// Empties the form and rebuilds the list from the store.
    void refreshHistoryList();

    /// The account as the list shows it: characters 1-3, "*****", characters 8-11.
    static QString maskedAccount(const QString &account);

    LoginWidget *loginPage() const { return m_login; }
    RegisterWidget *registerPage() const { return m_register; }
    ForgetPwdWidget *forgetPage() const { return m_forget; }
    QListWidget *listWidget() const { return m_list; }
    BannerWidget *banner() const { return m_banner; }
    QStackedWidget *pageStack() const { return m_pages; }
    QStackedWidget *leftPanel() const { return m_left; }
    /// Password loads from the store not yet answered.
    int pendingPasswordLoads() const { return m_pendingLoads; }

Q_SIGNALS:
    void closeLoginWidget();
    void loginFinished(const QString &account, const QString &pwd, const QString &strImagePath);
    void updateHeadIcon(const QString &userid, const QString &strImagePath);
    /// A remembered password load finished (tests wait for it).
    void passwordLoaded();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildForm();
    void loadHistoryList();
    void clearRows();
    void onCurrentRowChanged(QListWidgetItem *current, QListWidgetItem *previous);
    void changeAccount(int index);
    void fillFromStore(int index, bool remember);
    void onDeleteClicked();
    void removeAccount(int index);
    void jumpPage(int page);
    void showLoginPage();
    void onLoginFinished(const QString &account, const QString &pwd, const QString &remember,
                         const QString &imagePath);
    ListItemAccount *rowWidget(QListWidgetItem *item) const;

    HttpSession *m_session;
    AccountConfig *m_config;
    BannerWidget *m_banner = nullptr;
    LoginWidget *m_login = nullptr;
    ForgetPwdWidget *m_forget = nullptr;
    RegisterWidget *m_register = nullptr;
    QPushButton *m_closeBtn = nullptr;
    QPushButton *m_minBtn = nullptr;
    QToolButton *m_titleBtn = nullptr;
    QString m_account;
    QString m_password;
    bool m_silent = false;
    QStackedWidget *m_left = nullptr;
    QWidget *m_pageHistory = nullptr;
    QListWidget *m_list = nullptr;
    QStackedWidget *m_pages = nullptr;
    quint64 m_fillGeneration = 0; // a password answer for an older choice is dropped
    int m_pendingLoads = 0;
};
