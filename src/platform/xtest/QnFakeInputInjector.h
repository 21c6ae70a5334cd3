#pragma once

#include "platform/xtest/QnInputInjector.h"

#include <QMutex>
#include <QStringList>

/// A recording injector for tests: every call appends one line to the log ("move 10,20",
/// "button left down", "wheel 0,120", "key 65 down", "text ab", "release-held") and changes
/// nothing else. The cursor position follows moveTo; the cursor shape is what the test sets.
/// Thread-safe: tests may read the log while another thread injects.
class QnFakeInputInjector : public QnInputInjector
{
public:
    bool isAvailable() const override { return true; }
    bool moveTo(const QPoint &pos) override;
    bool button(QnInputButton which, bool down) override;
    bool wheel(int angleDeltaX, int angleDeltaY) override;
    bool key(int qtKey, bool down) override;
    bool typeText(const QString &text) override;
    int releaseHeld() override;
    QPoint cursorPosition() override;
    int cursorShape() override;

    void setCursorShape(int shape);
    QStringList log() const;
    QStringList takeLog();

private:
    void record(const QString &line);

    mutable QMutex m_mutex;
    QStringList m_log;
    QPoint m_pos;
    int m_shape = 0;
};
