#pragma once

#include <QObject>

class QLabel;
class QLineEdit;

/// The eye toggle beside a password field: follows the field's text (no icon while empty, else
/// the look of the echo mode) and flips the echo mode on a mouse button release over the label
/// while the field has text. Never consumes an event. A child of the page that owns both widgets.
class QnPasswordEye : public QObject
{
    Q_OBJECT
public:
    QnPasswordEye(QLineEdit *field, QLabel *toggle, QObject *parent);

    /// Echo mode Password and the matching look.
    void reset();
    /// Sets the look for the field's text and echo mode.
    void refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_field;
    QLabel *m_toggle;
};
