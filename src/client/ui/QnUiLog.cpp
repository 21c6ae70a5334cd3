#include "client/ui/internal/QnUiLog.h"

Q_LOGGING_CATEGORY(lcUi, "qn.ui")
