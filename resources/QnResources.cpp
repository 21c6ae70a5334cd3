#include "resources/QnResources.h"

#include <QtCore/QtGlobal>

#include <mutex>

// Q_INIT_RESOURCE declares the registration function in the enclosing namespace, so it must be
// expanded outside any namespace.
static void qnRegisterResourceData()
{
    Q_INIT_RESOURCE(qn_images);
    Q_INIT_RESOURCE(qn_translations);
    Q_INIT_RESOURCE(qn_qml);
}

namespace QnResources {

void init()
{
    static std::once_flag once;
    std::call_once(once, qnRegisterResourceData);
}

} // namespace QnResources
