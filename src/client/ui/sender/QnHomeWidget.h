#pragma once

#include <QList>
#include <QWidget>

class QLabel;
class QPushButton;
class QHBoxLayout;
class QnLynCodeLineEdit;
class QnLynGuidanceWidget;

/// The first page of the main sender window: six code boxes (a complete code asks for a
/// connection), the PC's network badge, the way to the receiver list and the connection guide.
/// GUI thread only.
class QnHomeWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnHomeWidget(QWidget *parent = nullptr);
    ~QnHomeWidget() override;

    /// The texts of the six boxes joined in order.
    QString code() const;
    /// Empties every box and gives the first one the focus.
    void clearCode();
    void setDisconnectedVisible(bool visible);
    /// Wi-Fi or Ethernet icon (the help button only on Ethernet) and the network's name, cut to 18
    /// characters and "..."; an empty name leaves the shown one. The name is plain text.
    void setNetworkInfo(bool wireless, const QString &name);
    void focusFirstBox();

    QList<QnLynCodeLineEdit *> codeEdits() const { return m_codeEdits; }
    QnLynGuidanceWidget *guidanceWidget() const { return m_guidance; }

signals:
    /// A complete six-digit code was typed.
    void connectServer(QString code);
    void showAutoConnectWidget();
    void guideWidgetShow(bool isShow);

public slots:
    void on_upBtn_clicked();
    void on_upBtnText_clicked();
    void on_downBtn_clicked();
    void on_helpBtn_clicked();
    void codeChanged(const QString &text);
    void on_autoConnectBtn1_clicked();
    void on_autoConnectBtn2_clicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    int focusedIndex() const;
    void openGuide(bool open);

    QnLynGuidanceWidget *m_guidance = nullptr;
    QList<QnLynCodeLineEdit *> m_codeEdits;
    QLabel *m_iconNet = nullptr;
    QLabel *m_netName = nullptr;
    QPushButton *m_help = nullptr;
    QPushButton *m_down = nullptr;
    QLabel *m_prompt = nullptr;
};
