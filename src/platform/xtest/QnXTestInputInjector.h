#pragma once

#include "platform/xtest/QnInputInjector.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <map>
#include <memory>
#include <set>
#include <vector>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

/// Input injection through the XTest extension, on an X connection of its own (never Qt's, so
/// that it may be used from any thread). The cursor shape comes from XFixes cursor names.
///
/// Keys: a keysym found on the current keyboard mapping at level 1 or 2 is pressed with its key
/// (level 2 with Shift for text). Text characters that no key types are typed by mapping a spare
/// key code (one with no symbols) to the character; such key codes are handed out in turn and
/// keep their mapping until they are reused or the injector is destroyed, so that clients that
/// read the new mapping late still see the right character. The mapping is restored on
/// destruction, and keys still held by this injector are released.
///
/// A lost connection is reopened on the next call, at most once a second.
class QnXTestInputInjector : public QnInputInjector
{
public:
    /// display: an X display name, or nullptr for $DISPLAY.
    explicit QnXTestInputInjector(const QByteArray &display = QByteArray());
    ~QnXTestInputInjector() override;

    QnXTestInputInjector(const QnXTestInputInjector &) = delete;
    QnXTestInputInjector &operator=(const QnXTestInputInjector &) = delete;

    bool isAvailable() const override;
    bool moveTo(const QPoint &pos) override;
    bool button(QnInputButton which, bool down) override;
    bool wheel(int angleDeltaX, int angleDeltaY) override;
    bool key(int qtKey, bool down) override;
    bool typeText(const QString &text) override;
    int releaseHeld() override;
    QPoint cursorPosition() override;
    int cursorShape() override;

    /// Most notches one wheel call injects per axis; a larger delta is cut to this.
    static constexpr int kMaxWheelNotches = 50;

private:
    struct ConnectionDeleter
    {
        void operator()(xcb_connection_t *c) const;
    };
    struct KeySymbolsDeleter
    {
        void operator()(xcb_key_symbols_t *k) const;
    };
    struct KeyLocation
    {
        xcb_keycode_t keycode = 0;
        bool shifted = false;
    };

    bool open();
    bool ensureConnected();
    void closeConnection();
    void drainEvents();
    xcb_key_symbols_t *keySymbols();
    bool findKey(uint32_t keysym, KeyLocation &out);
    bool mapSpareKey(uint32_t keysym, KeyLocation &out);
    bool fake(uint8_t type, uint8_t detail, int16_t x = 0, int16_t y = 0);
    void sync();
    void restoreSpareKeys();
    int wheelNotches(int delta, int &remainder);
    bool clickButton(uint8_t xButton, int times);

    QByteArray m_display;
    std::unique_ptr<xcb_connection_t, ConnectionDeleter> m_conn;
    std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter> m_keySymbols;
    xcb_window_t m_root = 0;
    bool m_hasXTest = false;
    bool m_hasXFixes = false;
    QElapsedTimer m_lastOpenAttempt;
    std::vector<xcb_keycode_t> m_spareKeycodes;
    size_t m_nextSpare = 0;
    std::map<xcb_keycode_t, uint32_t> m_remapped;
    std::set<xcb_keycode_t> m_pressedKeys;
    xcb_keycode_t m_shiftKeycode = 0;
    int m_wheelRemainderX = 0;
    int m_wheelRemainderY = 0;
};
