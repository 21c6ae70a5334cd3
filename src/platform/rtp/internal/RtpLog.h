#pragma once

#include <QLoggingCategory>

/// Category of the RTP/RTCP library and its UDP transport ("qn.rtp").
Q_DECLARE_LOGGING_CATEGORY(lcRtp)
