// Uploads: the HTTP half is QnLynUploadJob; this file announces the uploaded files by control request
// (type 10 pictures, type 16 documents) and raises the upload signals.
#include "lyn/control/internal/QnLynHttpPrivate.h"

#include "common/log/QnLog.h"

#include "lyn/upload/QnLynUploadJob.h"

using namespace QnLynControl;

void QnLynHttp::uploadPixmaps(const QString &url, const QString &userId, const QString &uploadUrl,
                              const QStringList &files, const QString &nickName)
{
    qCInfo(lcLynHttp) << "uploadPicmaps==========" << QnLog::peer(url) << QnLog::peer(uploadUrl)
                      << files.size() << "files";
    d->startUpload(uploadUrl, Private::UploadCall{true, userId, nickName, files});
}

void QnLynHttp::uploadDocuments(const QString &url, const QString &userId, const QString &uploadUrl,
                                const QStringList &files)
{
    Q_UNUSED(url)
    d->startUpload(uploadUrl, Private::UploadCall{false, userId, d->deviceName, files});
}

void QnLynHttp::Private::raiseUploadFailed(const UploadCall &call, bool result, const QStringList &files)
{
    if (call.pictures)
        emit q->uploadPixmapFailed(result, call.userId, files);
    else
        emit q->uploadDocumentsFailed(result, call.userId, files);
}

void QnLynHttp::Private::raiseUploadResult(const UploadCall &call, bool result)
{
    if (call.pictures)
        emit q->uploadPixmapResult(result, call.userId);
    else
        emit q->uploadDocumentsResult(result, call.userId);
}

void QnLynHttp::Private::startUpload(const QString &uploadUrl, const UploadCall &call)
{
    currentUploadList = call.files;
    auto *job = new QnLynUploadJob(nam, deviceId, uploadUrl, call.files, q);
    QObject::connect(job, &QnLynUploadJob::finished, q,
                     [this, call](bool accepted, const QJsonArray &entries, const QStringList &paths) {
                         finishUpload(call, accepted, entries, paths);
                     });
    job->start();
}

void QnLynHttp::Private::finishUpload(const UploadCall &call, bool accepted, const QJsonArray &entries,
                                      const QStringList &uploadedPaths)
{
    if (!accepted) {
        // Nothing is announced for a refused or failed upload: one failed, one result.
        qCWarning(lcLynHttp) << "upload failed";
        raiseUploadFailed(call, false, call.files);
        raiseUploadResult(call, false);
        return;
    }
    if (entries.isEmpty())
        raiseUploadFailed(call, false, call.files);
    else
        raiseUploadFailed(call, true, uploadedPaths);

    const QJsonObject data{{QStringLiteral("size"), entries.size()},
                           {call.pictures ? QStringLiteral("pixs") : QStringLiteral("docs"), entries}};
    // The result waits for the receiver's answer (or the time-out).
    const bool sent =
        sendRequest(call.userId, ChannelRequest, call.pictures ? RequestPictures : RequestDocuments,
                    call.nickName, data, [this, call](const QByteArray &answer, const QString &) {
                        raiseUploadResult(call, parseAnswer(answer).success);
                    });
    if (!sent) {
        raiseUploadResult(call, false);
        if (!call.pictures)
            raiseUploadFailed(call, false, call.files);
    }
}
