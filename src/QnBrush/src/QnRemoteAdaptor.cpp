#include "QnBrush/src/QnRemoteAdaptor.h"

#include "QnBrush/qnboard.pb.h"
#include "QnBrush/src/QnBoardActions.h"

#include <QDateTime>
#include <QLoggingCategory>

#include <pthread.h>
#include <string>
#include <system_error>

Q_LOGGING_CATEGORY(lcBoard, "qn.board")

QnRemoteAdaptor::QnRemoteAdaptor(QObject *parent, std::chrono::milliseconds period)
    : QObject(parent), m_senderId(QUuid::createUuid().toString(QUuid::WithoutBraces)), m_period(period)
{
    try {
        m_worker = std::thread(&QnRemoteAdaptor::run, this);
    } catch (const std::system_error &e) {
        qCCritical(lcBoard) << "whiteboard sender thread not started:" << e.what();
    }
}

QnRemoteAdaptor::~QnRemoteAdaptor()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
    if (!m_pending.empty())
        qCDebug(lcBoard) << m_pending.size() << "whiteboard actions dropped at shutdown";
}

void QnRemoteAdaptor::setViewSize(int vwidth, int vheight)
{
    QN_CHECK_THREAD(m_thread);
    m_vwidth = vwidth;
    m_vheight = vheight;
}

void QnRemoteAdaptor::sendRemoteAction(const QUuid &uuid, int actionType, const QJsonObject &json)
{
    QN_CHECK_THREAD(m_thread);
    std::unique_ptr<qnboard::OneAction> action = QnBoardActions::makeAction(
        uuid, actionType, json, m_vwidth, m_vheight, QDateTime::currentDateTime().toMSecsSinceEpoch());
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pending.size() >= kMaxPendingActions) {
        qCWarning(lcBoard) << "whiteboard queue full, action" << actionType << "dropped";
        return;
    }
    m_pending.push_back(std::move(action));
}

void QnRemoteAdaptor::run()
{
    pthread_setname_np(pthread_self(), "qn-board");
    const std::string senderId = m_senderId.toStdString();
    auto next = std::chrono::steady_clock::now() + m_period;
    for (;;) {
        ActionList taken;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            // Wait out the period; a stop request ends the wait and the thread, dropping what is
            // pending.
            if (m_wake.wait_until(lock, next, [this] { return m_stop; }))
                return;
            taken.swap(m_pending);
        }
        if (!taken.empty()) {
            qnboard::Actions batch;
            batch.set_senderid(senderId);
            batch.mutable_data()->Reserve(static_cast<int>(taken.size()));
            for (std::unique_ptr<qnboard::OneAction> &action : taken)
                batch.add_data()->Swap(action.get());
            taken.clear();
            std::string bytes;
            if (batch.SerializeToString(&bytes))
                emit sendData(QByteArray(bytes.data(), static_cast<int>(bytes.size())));
            else
                qCWarning(lcBoard) << "whiteboard batch of" << batch.data_size() << "actions not serialised";
        }
        next = std::chrono::steady_clock::now() + m_period;
    }
}
