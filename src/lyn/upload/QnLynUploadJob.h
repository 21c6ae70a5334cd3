#pragma once

#include <QJsonArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QNetworkAccessManager;

/// One multipart upload of pictures or documents to a receiver's "/file" endpoint: the HTTP half
/// of an upload. QnLynHttp starts one job per upload call and, once the job reports, sends the
/// control request that announces the files (type 10 "pixs" or type 16 "docs").
///
/// GUI thread only. The job reports exactly once through finished() and then deletes itself
/// (deleteLater). The file list belongs to the job, so concurrent uploads never share it.
class QnLynUploadJob : public QObject
{
    Q_OBJECT
public:
    /// nam is borrowed and must outlive the job. deviceId fills the "userId" text part.
    QnLynUploadJob(QNetworkAccessManager *nam, const QString &deviceId, const QString &uploadUrl,
                   const QStringList &files, QObject *parent = nullptr);
    ~QnLynUploadJob() override;

    /// Builds the multipart body and posts it. Files that cannot be opened are left out of the
    /// body (logged); they can never be reported as uploaded.
    void start();

    /// The files given to this job, in order.
    QStringList files() const;

Q_SIGNALS:
    /// accepted: the receiver answered with "code" 0. A reply error, an empty or non-JSON body, or
    /// a missing "code" is not accepted (entries and uploadedPaths are empty then).
    /// entries: one object per known "data" element: {"name", "size", "url", "md5"}.
    /// uploadedPaths: the source paths of those entries, in the answer's order.
    void finished(bool accepted, const QJsonArray &entries, const QStringList &uploadedPaths);

private:
    void onReplyFinished();
    /// Emits finished() once and schedules the job's deletion.
    void report(bool accepted, const QJsonArray &entries, const QStringList &uploadedPaths);

    class Private;
    Private *d; // owned
};
