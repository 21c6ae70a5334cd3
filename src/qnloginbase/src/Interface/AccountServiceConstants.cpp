#include "qnloginbase/src/Interface/AccountServiceConstants.h"

#include "common/http/QnLynInterNetWorkManager.h"

namespace QnAccountService {

QString gatewayBaseUrl()
{
    return QnLynInterNetWorkManager::configuredSiteAddress() + QStringLiteral("/gateway");
}

QString webBaseUrl()
{
    return QnLynInterNetWorkManager::configuredWebAddress();
}

QString registerWebUrl(const QString &webBase)
{
    return webBase + QLatin1String(kRegisterWebPath) + QStringLiteral("&platformCode=") +
           QLatin1String(kPlatformCode);
}

} // namespace QnAccountService
