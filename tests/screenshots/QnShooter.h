#pragma once

#include <QColor>
#include <QDir>
#include <QImage>
#include <QStringList>

class QWidget;

/// Writes the PNGs of the screenshot program. Each shot is named "<window>-<state>.png" after the
/// window's class and the state shown. GUI thread only.
class QnShooter
{
public:
    explicit QnShooter(const QString &dir, const QStringList &filters = {});

    /// False when the filters given on the command line exclude the shot (skip building it).
    bool wants(const QString &name) const;

    /// Shows widget if needed, lets it lay out and paint, and writes it over a plain backdrop of
    /// backdrop colour with a margin, so rounded and translucent windows read as on a desktop.
    void shoot(const QString &name, QWidget *widget, const QColor &backdrop = QColor(0xD9, 0xDD, 0xE3));
    /// Writes a composed image as it is.
    void write(const QString &name, const QImage &image);

    /// The widget's own pixels (translucent where it paints nothing).
    static QImage grab(QWidget *widget);
    /// Processes events for msec milliseconds (windows mapped, timers run).
    static void settle(int msec = 120);
    /// image with a margin of backdrop around it.
    static QImage onBackdrop(const QImage &image, const QColor &backdrop, int margin = 24);

    QStringList written() const { return m_written; }
    bool failed() const { return m_failed; }

private:
    QDir m_dir;
    QStringList m_filters;
    QStringList m_written;
    bool m_failed = false;
};

/// The shots of the window kit (toast, dialogs, splash, mask, loading, overlay, tool bar, file list).
void kitShots(QnShooter &shooter);

/// The shots of the update dialog (new version, forced, downloading, finished, failed).
void updateShots(QnShooter &shooter);
/// The shots of the main sender window and its pages, popups and the what's-new dialog.
void senderShots(QnShooter &shooter);
/// The shots of the desktop-sync window (normal, tool bar open, a stroke drawn, full screen).
void desktopShots(QnShooter &shooter);

/// The shots of the cover-flow browser (five covers) and the media tile (playing, paused).
void mediaShots(QnShooter &shooter);

/// The shots of the client's account pages and dialogs (sign-in, registration and reset, agreement,
/// personal centre, the edit dialogs, head button, crop).
void accountShots(QnShooter &shooter);
/// The shots of the login library (login dialog and pages, banner, avatar crop).
void loginShots(QnShooter &shooter);
