#pragma once

#include <QWidget>

class QTextEdit;

/// The read-only page with the product's user agreement, compiled into the page. Fetches nothing.
class QnLynUserAgreementWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynUserAgreementWidget(QWidget *parent = nullptr);

    /// The agreement as the page shows it (an HTML document).
    static QString agreementHtml();

private:
    QTextEdit *m_text = nullptr;
};
