#pragma once

#include "client/ui/desktop/QnYuvView.h"

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QTimer;
class NcFramelessHelper;
class QnBrushObject;
class QnLynDesktopTool;
class QnLynInput;
class QnGraphicsView;

/// The desktop-sync window: the receiver's desktop on a QnYuvView, reverse input on that view,
/// the pen overlay over the picture driven by the annotation tool bar at the right edge.
///
/// Made once, hidden, by the root window; shown for a connection after setInfo. Closing hides it
/// and emits closeDesktop; resetDesktop ends the display silently. sendData relays the overlay's
/// whiteboard batches (for the client object's sendBoardData).
///
/// Threads: setYuvData and setCursorType may be called from any thread (decode, gateway); they
/// only hand the picture to the view's latest-frame slot or post the cursor to the GUI thread.
/// Everything else runs on the GUI thread.
class QnLynDesktop : public QWidget
{
    Q_OBJECT
public:
    /// input: reverse input (null: QnLynInput::instance()); not owned, outlives the window.
    explicit QnLynDesktop(QWidget *parent = nullptr, QnLynInput *input = nullptr,
                          QnYuvView::Backend backend = QnYuvView::Backend::Auto);
    ~QnLynDesktop() override;

    /// Stores the connection and the receiver's screen size, fits it into the overlay's canvas and
    /// watches the video view for the receiver. Refused (returns false, nothing changes) when a
    /// side is not positive, beyond the largest picture side, or fits to nothing.
    bool setInfo(const QString &userId, const QString &nickName, const QString &url, int width, int height);
    /// Ends the display without emitting closeDesktop.
    void resetDesktop();

    QnYuvView *videoView() const { return m_view; }
    QnBrushObject *brush() const { return m_brush; }
    QnLynDesktopTool *tool() const { return m_tool; }
    QWidget *titleWidget() const { return m_titleWidget; }
    QPushButton *exitFullButton() const { return m_exitFullButton; }
    QString userId() const { return m_userId; }
    QString url() const { return m_url; }
    QSize viewSize() const { return QSize(m_viewWidth, m_viewHeight); }
    QRect videoRect() const { return m_videoRect; }
    /// Delay between a resize or a new picture size and the layout (ms); tests shorten it.
    void setLayoutDelay(int ms);

Q_SIGNALS:
    void closeDesktop(QString id, QString url);
    void sendData(QByteArray data);

public Q_SLOTS:
    /// Any thread: one I420 picture; dropped unless the sides are 1..16384 and data holds it.
    void setYuvData(QByteArray data, int width, int height);
    /// Any thread: the receiver's cursor shape (numbers outside Qt's shapes give the arrow).
    void setCursorType(int cursor);
    void on_fullButton_clicked();
    void on_minButton_clicked();
    void on_maxButton_clicked();
    void on_closeButton_clicked();
    void updateRect();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildForm();
    void wireTool();
    void layoutNow();
    void placeTool();
    void endDisplay();
    void exitFull();
    void showOverlay();

    QWidget *m_titleWidget = nullptr;
    QLabel *m_label = nullptr;
    QLabel *m_label2 = nullptr;
    QPushButton *m_fullButton = nullptr;
    QPushButton *m_minButton = nullptr;
    QPushButton *m_maxButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QWidget *m_videoWidget = nullptr;
    QnYuvView *m_view = nullptr;
    bool m_firstFrame = true;
    QnLynDesktopTool *m_tool = nullptr;
    QnBrushObject *m_brush = nullptr;
    QPushButton *m_exitFullButton = nullptr;
    NcFramelessHelper *m_frameless = nullptr;
    QnLynInput *m_input = nullptr;
    QTimer *m_layoutTimer = nullptr;
    QString m_userId;
    QString m_nickName;
    QString m_url;
    int m_viewWidth = 0;
    int m_viewHeight = 0;
    int m_remoteWidth = 0;
    int m_remoteHeight = 0;
    QRect m_videoRect;
};
