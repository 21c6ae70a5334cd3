#include "client/ui/QnUiLog.h"

Q_LOGGING_CATEGORY(lcUi, "qn.ui")
