#pragma once

#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>

/// Checks one file against an expected MD5 on a thread of its own, reporting progress.
///
/// setFile() is called while the thread is not running (GUI thread). run() reads the file in pieces
/// of at most 1 MiB and reports checkProgress after each, then checkedFinished: true exactly when
/// the file's lower-case hexadecimal MD5 equals the expected one. Both signals are emitted on the
/// check thread: receivers on the GUI thread get them queued. stop() ends a running check early;
/// it then reports checkedFinished(false).
class Md5Check : public QThread
{
    Q_OBJECT
public:
    explicit Md5Check(QObject *parent = nullptr);
    /// Stops and joins a running check.
    ~Md5Check() override;

    void setFile(const QString &path, const QString &expectedMd5);
    void stop();

Q_SIGNALS:
    void checkProgress(qlonglong bytesChecked, qlonglong bytesTotal);
    void checkedFinished(bool result);

protected:
    void run() override;

private:
    mutable QMutex m_mutex;
    QString m_path;        // by m_mutex
    QString m_expectedMd5; // by m_mutex
    std::atomic_bool m_stop{false};
};
