#pragma once

#include <QWidget>

class QLabel;

/// The start-up splash shown while the client object and the root window are made: a frameless,
/// movable 410 x 460 window with the product icon, name, slogan and "正在启动...".
/// Shown and closed by the application controller. GUI thread only.
class QnLynClientStartWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynClientStartWidget(QWidget *parent = nullptr);

    /// Width the title label "label_2" gets: the form's 141 pixels, widened so that the product
    /// name fits in the CJK font at 36 pixels.
    static constexpr int kTitleWidth = 151;
};
