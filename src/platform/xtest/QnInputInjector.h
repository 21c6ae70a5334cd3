#pragma once

#include <QPoint>
#include <QString>

#include <memory>

/// Mouse buttons that remote input may press.
enum class QnInputButton { Left, Right, Middle };

/// Injects input into the local desktop, on behalf of a remote peer.
///
/// Coordinates are absolute desktop pixels (device pixels of the whole virtual screen).
/// Thread contract: an injector is not tied to the thread that made it, but its calls must not
/// overlap: the owner serialises them (QnLynInput holds its injection lock around every call).
/// Errors are return values; nothing throws.
class QnInputInjector
{
public:
    virtual ~QnInputInjector();

    /// False when the backend could not reach the desktop (no display, missing extension).
    virtual bool isAvailable() const = 0;

    /// Moves the pointer to an absolute desktop position.
    virtual bool moveTo(const QPoint &pos) = 0;
    /// Presses (down = true) or releases a mouse button at the current pointer position.
    virtual bool button(QnInputButton which, bool down) = 0;
    /// Turns wheel angle deltas (eighths of a degree, 120 per notch, Qt's signs) into notches.
    /// A remainder below one notch is kept per axis and added to the next call.
    virtual bool wheel(int angleDeltaX, int angleDeltaY) = 0;
    /// Presses or releases the key that a Qt key code names. Returns false, injecting nothing,
    /// when the key has no key on the local keyboard.
    virtual bool key(int qtKey, bool down) = 0;
    /// Types text as characters, whatever the keyboard layout holds.
    virtual bool typeText(const QString &text) = 0;
    /// Releases modifier keys and mouse buttons that are held down (as the desktop reports
    /// them), and keys this injector pressed and did not release. Returns how many it released.
    virtual int releaseHeld() = 0;

    /// The pointer's current desktop position.
    virtual QPoint cursorPosition() = 0;
    /// The current cursor's shape as a Qt::CursorShape number: 10 (blank) when the cursor shows
    /// nothing, 0 (arrow) when the shape is not recognised.
    virtual int cursorShape() = 0;

    /// The backend this build uses, connected to the desktop of the current session.
    static std::unique_ptr<QnInputInjector> createDefault();
};
