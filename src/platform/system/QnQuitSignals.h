#pragma once

#include <QObject>

class QSocketNotifier;

/// Turns the signals that ask a desktop program to end (SIGTERM from a session logging out or a
/// process manager, SIGINT from a terminal, SIGHUP from a closed terminal) into the Qt signal
/// received, delivered through the event loop of the thread that made the object, so that the
/// program quits the ordinary way and runs its destructors.
///
/// At most one object is active per process: a second one stays inactive (logged). The destructor
/// gives the three signals back their default actions.
/// Threads: made, used and destroyed on one thread with an event loop (the GUI thread).
class QnQuitSignals : public QObject
{
    Q_OBJECT
public:
    explicit QnQuitSignals(QObject *parent = nullptr);
    ~QnQuitSignals() override;

    /// False when the handlers could not be installed (another active object, no pipe).
    bool isActive() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr; // child
};
