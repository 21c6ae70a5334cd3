#include "platform/system/QnElevation.h"

#include <unistd.h>

QnElevation::~QnElevation() = default;

bool QnElevation::processIsAdministrator()
{
    return ::geteuid() == 0;
}

const char *elevatedStartName(QnElevatedStart result)
{
    switch (result) {
    case QnElevatedStart::Started:
        return "started";
    case QnElevatedStart::Refused:
        return "refused";
    case QnElevatedStart::NotFound:
        return "not-found";
    }
    return "refused";
}
