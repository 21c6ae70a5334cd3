#include "client/app/QnSingleApplication.h"

#include "platform/system/QnSingleInstance.h"

#include <QKeyEvent>

QnSingleApplication::QnSingleApplication(int &argc, char **argv, const QString &key, const QString &folder)
    : QApplication(argc, argv), m_instance(new QnSingleInstance(key, folder, this))
{
    connect(m_instance, &QnSingleInstance::messageReceived, this, &QnSingleApplication::messageReceived);
}

QnSingleApplication::~QnSingleApplication()
{
    // Released before the application goes, so the next pass's object takes the lock over.
    delete m_instance;
}

bool QnSingleApplication::isRunning()
{
    return m_instance->isRunning();
}

bool QnSingleApplication::sendMessage(const QString &message, int timeoutMs)
{
    return m_instance->sendMessage(message, timeoutMs);
}

bool QnSingleApplication::notify(QObject *receiver, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space)
        emit keyPressed(type == QEvent::KeyPress);
    return QApplication::notify(receiver, event);
}
