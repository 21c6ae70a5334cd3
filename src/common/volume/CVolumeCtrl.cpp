#include "common/volume/CVolumeCtrl.h"

#include "platform/volume/QnVolumeWatcher.h"

CVolumeCtrl::CVolumeCtrl(Callback callback, void *context)
    : CVolumeCtrl(callback, context, QnVolumeWatcherOptions{})
{}

CVolumeCtrl::CVolumeCtrl(Callback callback, void *context, const QnVolumeWatcherOptions &options)
    : m_callback(callback), m_context(context)
{
    m_watcher = qnCreateVolumeWatcher(
        [this](bool muted) {
            if (m_callback)
                m_callback(muted ? 1 : 0, m_context);
        },
        options);
}

CVolumeCtrl::~CVolumeCtrl() = default;

bool CVolumeCtrl::setNotify(bool on)
{
    return m_watcher && m_watcher->setNotify(on);
}

bool CVolumeCtrl::isReady() const
{
    return m_watcher && m_watcher->isReady();
}
