#pragma once

#include <QLoggingCategory>

/// The client object's log category, "qn.client".
Q_DECLARE_LOGGING_CATEGORY(lcClient)
