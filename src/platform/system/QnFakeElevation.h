#pragma once

#include "platform/system/QnElevation.h"

#include <QList>

/// A recording elevation for tests: nothing runs. Every start is recorded with the way it would
/// have been made; the results and the administrator flag are what the test sets.
class QnFakeElevation : public QnElevation
{
public:
    struct Call
    {
        bool elevated = false; ///< startElevated (true) or startDetached (false)
        QnProgramStart start;
    };

    bool isAdministrator() const override { return m_administrator; }
    QnElevatedStart startElevated(const QnProgramStart &start) override;
    bool startDetached(const QnProgramStart &start) override;

    void setAdministrator(bool on) { m_administrator = on; }
    void setElevatedResult(QnElevatedStart result) { m_elevatedResult = result; }
    void setDetachedResult(bool ok) { m_detachedResult = ok; }

    QList<Call> calls() const { return m_calls; }
    void clear() { m_calls.clear(); }

private:
    QList<Call> m_calls;
    bool m_administrator = false;
    QnElevatedStart m_elevatedResult = QnElevatedStart::Started;
    bool m_detachedResult = true;
};
