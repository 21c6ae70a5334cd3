#pragma once

#include <QWidget>

class QLabel;
class QRadioButton;

/// The mirroring panel: the run's type, the choice between high (1920x1080) and lower (1280x720)
/// quality, and the button that ends the run. It only reports choices. GUI thread only.
class QnLynMirrorSwitchingResolutionWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynMirrorSwitchingResolutionWidget(QWidget *parent = nullptr);

    /// Checks the high-quality button (changedHigh(true) when that changes the choice).
    void selectHigh();
    void setTypeText(const QString &text);

    QRadioButton *highButton() const { return m_high; }
    QRadioButton *smoothButton() const { return m_smooth; }

signals:
    void changedHigh(bool ishigh);
    void stopScreen();

public slots:
    void on_highradioButton_toggled(bool checked);
    void on_stopBtn_clicked();

private:
    QLabel *m_type = nullptr;
    QRadioButton *m_high = nullptr;
    QRadioButton *m_smooth = nullptr;
};
