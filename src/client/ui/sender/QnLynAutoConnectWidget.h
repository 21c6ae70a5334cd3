#pragma once

#include <QMap>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QStackedWidget;
class QnAshWidget;
class QnLynGuidanceWidget;

/// The refresh button of the receiver list: a click spins its icon for a second, then it asks
/// once for a refresh; a click while spinning restarts the second. GUI thread only.
class QnRefreshButton : public QPushButton
{
    Q_OBJECT
public:
    explicit QnRefreshButton(QWidget *parent = nullptr);

    /// Starts (or restarts) the spin; refreshEnd follows endMsec later.
    void startSpin(int endMsec = 1000, int stepMsec = 100);
    bool isSpinning() const { return m_spinTimer.isActive(); }
    int angle() const { return m_angle; }

signals:
    void refreshEnd();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer m_endTimer;
    QTimer m_spinTimer;
    int m_angle = 0;
};

/// The receiver list page: the receivers found on the LAN (a click asks for a connection to one),
/// the network badge, refresh, the way back to code entry, the guide, and the no-LAN panel.
/// GUI thread only.
class QnLynAutoConnectWidget : public QWidget
{
    Q_OBJECT
public:
    /// Where a list item keeps its whole key.
    static constexpr int kKeyRole = Qt::UserRole + 1;

    explicit QnLynAutoConnectWidget(QWidget *parent = nullptr);

    /// Fills the list from code -> name, in key order; each row shows its key cut to 15
    /// characters and "..." and keeps the whole key under kKeyRole.
    void setDevices(const QMap<QString, QString> &devices);
    void setNetworkInfo(bool wireless, const QString &name);
    /// Shows the list panel, badge and code link (and, on Ethernet, the help) when connected to a
    /// LAN, hides them when not.
    void setNetworkState(bool connected);
    void setNoNetworkVisible(bool visible);
    void setDisconnectedVisible(bool visible);
    void setCodePanelHeight(int height);

    QListWidget *listWidget() const { return m_list; }
    QnRefreshButton *refreshButton() const { return m_refresh; }
    QWidget *noNetworkWidget() const { return m_noNetwork; }
    QnLynGuidanceWidget *guidanceWidget() const { return m_guidance; }

signals:
    void handCodeConnect();
    void connectServer(QString code);
    void refreshConnectItems();
    void guideWidgetShow(bool isShow);

public slots:
    void on_handBtn1_clicked();
    void on_handBtn2_clicked();
    void on_autoupBtnText_clicked();
    void on_autoupBtn_clicked();
    void on_autodownBtn_clicked();
    void on_listWidget_itemClicked(QListWidgetItem *item);
    void on_autoRefreshBtn_clicked();
    void on_autohelpBtn_clicked();

private:
    void openGuide(bool open);
    void buildNoNetworkPanel();

    QnLynGuidanceWidget *m_guidance = nullptr;
    QWidget *m_noNetwork = nullptr;
    QLabel *m_noNetworkIcon = nullptr;
    QLabel *m_noNetworkText = nullptr;
    QLabel *m_noNetworkHint = nullptr;
    QnAshWidget *m_codePanel = nullptr;
    QnRefreshButton *m_refresh = nullptr;
    QStackedWidget *m_stack = nullptr;
    QWidget *m_listPage = nullptr;
    QWidget *m_emptyPage = nullptr;
    QListWidget *m_list = nullptr;
    QWidget *m_badge = nullptr;
    QLabel *m_iconNet = nullptr;
    QLabel *m_netName = nullptr;
    QPushButton *m_help = nullptr;
    QPushButton *m_down = nullptr;
    QPushButton *m_hand1 = nullptr;
    QPushButton *m_hand2 = nullptr;
    QLabel *m_prompt = nullptr;
    bool m_wired = false; ///< the last network info named a wired network
};
