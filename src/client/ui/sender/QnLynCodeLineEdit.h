#pragma once

#include <QLineEdit>

/// One box of the connection code: one digit, large and centred, not clickable (focus moves only
/// by the home page's rules). GUI thread only.
class QnLynCodeLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit QnLynCodeLineEdit(QWidget *parent = nullptr);
};
