#pragma once

#include <QObject>

#include <memory>

/// Kernel notices of link, IPv4 address and IPv4 route changes in the calling thread's network
/// namespace. Lives on the thread that creates it (the GUI thread in the program) and signals there;
/// it reads the notices from its socket on that thread's event loop.
class QnNetLinkMonitor : public QObject
{
    Q_OBJECT
public:
    explicit QnNetLinkMonitor(QObject *parent = nullptr);
    ~QnNetLinkMonitor() override;

    /// Opens the notice socket. False (and logged) when it cannot; a second call while open is a no-op.
    bool start();
    /// Closes the socket; no `changed` follows.
    void stop();
    bool isRunning() const;

Q_SIGNALS:
    /// One or more notices arrived (all pending ones are read before this is emitted once). Also
    /// emitted when notices were lost because the socket overflowed.
    void changed();

private:
    void onReadable();

    struct Impl;
    std::unique_ptr<Impl> d;
};
