#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;
class QnFileLoadingFileWidget;

/// The 221 x 221 dark box with a running loading animation, "连接中" and a "取消连接" button,
/// shown while a connection or a casting run starts. It has no parent: its owner positions and
/// shows it. GUI thread only.
class QnLynConnectWaittingWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynConnectWaittingWidget(QWidget *parent = nullptr);

    /// Hides the cancel button and moves the label and the animation 20 pixels down from their
    /// form positions (the root window's own overlay).
    void hideCancelButton();

    QnFileLoadingFileWidget *loading() const { return m_loading; }

signals:
    /// The user cancelled; the overlay is already hidden when this is emitted.
    void closeConnect();

private slots:
    void on_closeConnectBtn_clicked();

private:
    QFrame *m_frame = nullptr;
    QnFileLoadingFileWidget *m_loading = nullptr;
    QLabel *m_label = nullptr;
    QPushButton *m_cancel = nullptr;
};
