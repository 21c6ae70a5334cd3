#pragma once

#include <QLoggingCategory>

/// The windows' log category, "qn.ui".
Q_DECLARE_LOGGING_CATEGORY(lcUi)
