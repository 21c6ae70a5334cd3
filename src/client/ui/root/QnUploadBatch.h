#pragma once

#include <QStringList>

/// One running batch of uploads of one kind (pictures or documents): the files chosen, the
/// per-file results counted as they arrive, and the files not yet reported as sent. Each kind
/// keeps its own batch, so a document batch started while pictures are still going neither
/// overwrites the pictures' list nor lets a failed document count as sent. GUI thread.
class QnUploadBatch
{
public:
    /// What one per-file result means for the window.
    struct Step
    {
        int done = 0;
        int total = 0;
        bool finished = false; ///< the last result of the batch arrived
        bool allSent = false;  ///< finished and every file was sent
        QStringList failed;    ///< finished: the files that were not sent (for the send-again list)
    };

    bool isRunning() const { return m_total > 0; }
    int total() const { return m_total; }
    int done() const { return m_done; }
    QStringList pending() const { return m_pending; }

    /// Starts a batch of files (replacing a finished one).
    void start(const QStringList &files);
    /// Counts one per-file result: sent true removes the reported files from the pending list.
    /// A result while no batch runs is counted against nothing and reports nothing finished.
    Step result(bool sent, const QStringList &files);

private:
    int m_total = 0;
    int m_done = 0;
    QStringList m_pending;
};
