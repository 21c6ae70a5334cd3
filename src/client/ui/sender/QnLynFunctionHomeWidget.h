#pragma once

#include <QObject>
#include <QWidget>

class QLabel;
class QQuickWidget;

/// The bridge between the function page's QML and its widgets, set as the QML context property
/// "functionCtrl". One process-wide instance, made on first use, never destroyed. GUI thread only.
class FunctionChangedInfo : public QObject
{
    Q_OBJECT
public:
    static FunctionChangedInfo *instance();

    /// Called by the carousel when a cover is clicked.
    Q_INVOKABLE void functionChanged(int index);

signals:
    void fChanged(int index);
    void textChanged(QString url, QString text);
    void closeLoading(QString type);
    void reset();

private:
    explicit FunctionChangedInfo(QObject *parent = nullptr);
};

/// The page shown while a receiver is connected: the carousel of five functions (QML) and the
/// device bar with the receiver's name and the disconnect button. GUI thread only.
class QnLynFunctionHomeWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynFunctionHomeWidget(QWidget *parent = nullptr);

    /// The receiver's name, cut to 12 characters and "...", as plain text.
    void setDeviceName(const QString &name);
    /// Upload progress on the "pic" or "file" cover; current == total ends it.
    void updateUploadDataChanged(const QString &url, int current, int total);

    QQuickWidget *quickWidget() const { return m_quick; }
    QString deviceNameText() const;

signals:
    void clickedPicture();
    void clickedFiles();
    void clickedMirror();
    void clickedExpand();
    void clickedDesktop();
    void clickedDisconnectBtn();

public slots:
    void on_disconnecrtBtn_clicked();
    void functionChanged(int index);

private:
    QQuickWidget *m_quick = nullptr;
    QLabel *m_deviceName = nullptr;
};
