#include "platform/system/QnFakeElevation.h"

QnElevatedStart QnFakeElevation::startElevated(const QnProgramStart &start)
{
    m_calls.append(Call{true, start});
    return m_elevatedResult;
}

bool QnFakeElevation::startDetached(const QnProgramStart &start)
{
    m_calls.append(Call{false, start});
    return m_detachedResult;
}
