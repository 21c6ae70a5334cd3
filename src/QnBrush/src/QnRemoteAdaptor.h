#pragma once

#include "common/thread/QnThreadChecker.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QUuid>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qnboard {
class OneAction;
}

/// The sending end of the whiteboard: turns each board event into one action at once and, on its own
/// thread ("qn-board"), sends everything made in one period (16 ms) as one serialised Actions batch
/// through sendData. Nothing is merged, reordered or thinned; a period without actions sends nothing.
///
/// Threads: sendRemoteAction and setViewSize on the GUI thread only; sendData is emitted on the
/// worker thread (receivers on the GUI thread get it queued). The mutex guards the pending list and
/// the stop flag and is held only for an append or a swap.
/// Lifecycle: the constructor starts the worker; the destructor stops it (flag + wake), joins it and
/// drops the actions not yet taken. At most the batch the worker is sending at that moment goes out.
class QnRemoteAdaptor : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDefaultPeriod{16};
    /// Bound of the pending list. A worker that keeps its period never comes near it; past it new
    /// actions are dropped (with a warning) rather than the ones already queued.
    static constexpr std::size_t kMaxPendingActions = 20000;

    explicit QnRemoteAdaptor(QObject *parent = nullptr, std::chrono::milliseconds period = kDefaultPeriod);
    ~QnRemoteAdaptor() override;

    /// Builds one action (time = now) and queues it for the next batch. GUI thread.
    void sendRemoteAction(const QUuid &uuid, int actionType, const QJsonObject &json);

    /// Size of the sender's drawing area, carried by every later action. GUI thread.
    void setViewSize(int vwidth, int vheight);
    int vwidth() const { return m_vwidth; }
    int vheight() const { return m_vheight; }

    /// This sender's id: QUuid text without braces, made once.
    QString senderId() const { return m_senderId; }
    /// False when the worker thread could not be started (then nothing is ever sent).
    bool isRunning() const { return m_worker.joinable(); }

Q_SIGNALS:
    /// One serialised qnboard::Actions. Emitted on the worker thread.
    void sendData(QByteArray data);

private:
    void run();

    using ActionList = std::vector<std::unique_ptr<qnboard::OneAction>>;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;  // guarded by m_mutex
    ActionList m_pending; // guarded by m_mutex; in the order made
    const QString m_senderId;
    const std::chrono::milliseconds m_period;
    int m_vwidth = 0;
    int m_vheight = 0;
    QnThreadChecker m_thread; // the GUI thread: sendRemoteAction, setViewSize
    std::thread m_worker;     // last: started when everything above exists
};
