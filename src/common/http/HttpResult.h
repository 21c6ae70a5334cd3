#pragma once

#include <QJsonObject>
#include <QString>

#include <functional>

/// The reply record of a JSON request of QnLynInterNetWorkManager.
struct HttpResultInfo
{
    /// The HTTP status of the reply; 0 when there is none (the connection failed).
    int statusCode = 0;
    /// The body parsed as a JSON object; empty when the body is not one.
    QJsonObject replyObject;
    /// The path the caller passed, so that one callback can serve several requests.
    QString requestPath;
};

/// One report of an upload or a download. A transfer's reports are progress reports (statusCode
/// 200, finished false), ending in either a success report (statusCode 200, finished true) or a
/// failure report (finished false, statusCode a network error number, an HTTP status other than
/// 200, or one of the negative codes of the sender).
struct HttpFileResult
{
    int statusCode = 0;
    bool finished = false;
    int current = 0; ///< bytes moved so far (low 32 bits)
    int total = 0;   ///< bytes in all (low 32 bits)
    QString requestPath;
    QString filePath; ///< the local file
    QJsonObject replyObject;
    QJsonObject userData; ///< a download task's own object, handed back unchanged
};

using HttpResultCallback = std::function<void(HttpResultInfo &)>;
using HttpFileCallback = std::function<void(const HttpFileResult &)>;
