#pragma once

#include <QApplication>

class QnSingleInstance;

/// The program's application object: a QApplication that is the only running instance of the
/// program for this user, or knows it is not (QnSingleInstance under the key given).
///
/// One object per pass of the program's restart loop: destroying it releases the instance lock, so
/// the next pass's object is the running instance again. GUI thread.
class QnSingleApplication : public QApplication
{
    Q_OBJECT
public:
    /// key and folder as QnSingleInstance takes them ("" folder: the user's runtime folder).
    QnSingleApplication(int &argc, char **argv, const QString &key, const QString &folder = QString());
    ~QnSingleApplication() override;

    /// True when another instance of the program runs (then this one should hand it a message and end).
    bool isRunning();
    /// Hands message to the running instance; false when it did not acknowledge within timeoutMs.
    bool sendMessage(const QString &message, int timeoutMs = 5000);

    bool notify(QObject *receiver, QEvent *event) override;

Q_SIGNALS:
    /// A message from a later start of the program (it has been acknowledged already).
    void messageReceived(const QString &message);
    /// The Space key went down (true) or up (false) anywhere in the application.
    void keyPressed(bool isPressed);
    /// Declared for the program's interface; never emitted.
    void openUrl(const QString &url);

private:
    QnSingleInstance *m_instance = nullptr; // child of this object
};
