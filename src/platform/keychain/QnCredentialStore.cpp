#include "platform/keychain/QnCredentialStore.h"

const char *QnCredentialStore::errorName(Error error)
{
    switch (error) {
    case Error::None:
        return "none";
    case Error::NotFound:
        return "not found";
    case Error::AccessDenied:
        return "access denied";
    case Error::NoBackend:
        return "no credential store";
    case Error::Other:
        break;
    }
    return "other error";
}
