#pragma once

#include <QUrl>
#include <QWidget>

/// The three-step connection guide that slides up over the home page and the receiver list.
/// Owned by its page as a hidden child. GUI thread only.
class QnLynGuidanceWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynGuidanceWidget(QWidget *parent = nullptr);

    /// The receiver download page shown and opened by the guide's link.
    static QUrl downloadPage();

private slots:
    void on_downloadBtn_clicked();
};
