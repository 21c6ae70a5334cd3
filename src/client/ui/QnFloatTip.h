#pragma once

#include <QSize>
#include <QWidget>

class QLabel;

/// The program's toast: a dark rounded box with one line (or two wrapped lines) of white text,
/// shown over a window and deleted by its own timer. Callers never keep a tip: they use showTip or
/// showTipAt. GUI thread only.
class QnFloatTip : public QWidget
{
    Q_OBJECT
public:
    explicit QnFloatTip(QWidget *parent = nullptr);

    /// Shows text (unwrapped) centred on anchor (when not null) for msec milliseconds.
    /// The tip has no parent and deletes itself.
    static QnFloatTip *showTip(const QString &text, QWidget *anchor, int msec);
    /// Shows text as a child window of parent; with a parent, the tip's top-left corner goes to
    /// (x, y) when wrapping, else the middle of its top edge does. Deleted by its timer or with
    /// its parent.
    static QnFloatTip *showTipAt(const QString &text, int x, int y, QWidget *parent, int msec, bool wrap);

    /// Sizes the tip for text (see sizeFor) and shows the text.
    void setText(const QString &text, bool wrap);

    /// The size rules: textWidth is the width of the text's bounding rectangle in the tip font.
    static QSize sizeFor(int textWidth, bool wrap);
    /// The font the size rules measure with: "PingFang SC" at pixel size 14.
    static QFont measureFont();

private:
    void closeAfter(int msec);

    QLabel *m_label = nullptr;
};
