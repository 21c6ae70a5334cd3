#pragma once

#include "common/http/HttpResult.h"

#include <QLabel>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QRadioButton;
class QTextEdit;
class QnLynInterNetWorkManager;

/// The "版本升级" caption with a red dot when an update is available.
class QnSettingUpdateLabel : public QLabel
{
    Q_OBJECT
public:
    explicit QnSettingUpdateLabel(QWidget *parent = nullptr);

    /// Stores the dot; the caller repaints.
    void setShowDot(bool show) { m_showDot = show; }
    bool showDot() const { return m_showDot; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_showDot = false;
};

/// The about page: the feedback form (posted to the cloud service), the version with its build
/// date and time and the update badge, and the way back. GUI thread only; a reply that arrives
/// after the page is gone is dropped.
class QnLynAboutWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynAboutWidget(QWidget *parent = nullptr);

    /// The signed-in user's token (empty: nobody signed in, no access token is sent).
    void setToken(const QString &token);
    void setUpdateInfo(bool hasUpdate, const QString &version);
    /// The cloud client the feedback goes through (default: the process-wide one).
    void setNetworkManager(QnLynInterNetWorkManager *manager);

    /// The build stamps turned into "yyyy/MM/dd" and "hh:mm:ss" (the date stamp as "MMM dd yyyy"
    /// with a blank for a leading zero, as in "Feb  3 2023").
    static QString buildDateFrom(const QString &dateStamp);
    static QString buildTimeFrom(const QString &timeStamp);

    QString buildDate() const { return m_buildDate; }
    QString buildTime() const { return m_buildTime; }
    QString token() const { return m_token; }

signals:
    void backHome();
    void updateProgram();
    /// A feedback reply was handled (QnFeedback::Outcome as int), after its tip was shown.
    void feedbackAnswered(int outcome);

public slots:
    void on_backBtn_clicked();
    void on_numLineEdit_textChanged(const QString &arg1);
    void on_backBtnText_clicked();
    void on_submitBtn_clicked();
    void on_textEdit_textChanged();
    void on_updateBtn_clicked();

private:
    void onReply(HttpResultInfo &reply);

    QString m_token;
    bool m_hasUpdate = false;
    QString m_buildDate;
    QString m_buildTime;
    QnLynInterNetWorkManager *m_manager = nullptr;
    QTextEdit *m_text = nullptr;
    QLabel *m_size = nullptr;
    QLineEdit *m_contact = nullptr;
    QPushButton *m_submit = nullptr;
    QRadioButton *m_problem = nullptr;
    QnSettingUpdateLabel *m_updateLabel = nullptr;
    QLabel *m_version = nullptr;
};
