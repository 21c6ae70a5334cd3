#include "platform/xtest/QnXTestInputInjector.h"

#include "platform/xtest/QnXKeyMap.h"

#include <QLoggingCategory>
#include <QVector>

#include <xcb/xfixes.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cstdlib>

Q_LOGGING_CATEGORY(lcXTest, "qn.xtest")

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template<typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

constexpr uint32_t kKeysymShiftL = 0xffe1;
constexpr uint8_t kXButtonLeft = 1;
constexpr uint8_t kXButtonMiddle = 2;
constexpr uint8_t kXButtonRight = 3;
constexpr uint8_t kXButtonWheelUp = 4;
constexpr uint8_t kXButtonWheelDown = 5;
constexpr uint8_t kXButtonWheelLeft = 6;
constexpr uint8_t kXButtonWheelRight = 7;
constexpr int kWheelStep = 120;
constexpr qint64 kReopenIntervalMs = 1000;

int16_t clampCoord(int v)
{
    return int16_t(std::clamp(v, -32768, 32767));
}

} // namespace

std::unique_ptr<QnInputInjector> QnInputInjector::createDefault()
{
    return std::make_unique<QnXTestInputInjector>();
}

void QnXTestInputInjector::ConnectionDeleter::operator()(xcb_connection_t *c) const
{
    xcb_disconnect(c);
}

void QnXTestInputInjector::KeySymbolsDeleter::operator()(xcb_key_symbols_t *k) const
{
    xcb_key_symbols_free(k);
}

QnXTestInputInjector::QnXTestInputInjector(const QByteArray &display) : m_display(display)
{
    m_lastOpenAttempt.start();
    if (open())
        qCInfo(lcXTest) << "input injection through XTest" << (m_hasXFixes ? "with" : "without")
                        << "XFixes cursor names;" << m_spareKeycodes.size() << "spare key codes";
}

QnXTestInputInjector::~QnXTestInputInjector()
{
    if (m_conn && !xcb_connection_has_error(m_conn.get())) {
        for (xcb_keycode_t kc : m_pressedKeys)
            fake(XCB_KEY_RELEASE, kc);
        m_pressedKeys.clear();
        restoreSpareKeys();
        sync();
    }
}

bool QnXTestInputInjector::open()
{
    closeConnection();
    int screenNumber = 0;
    m_conn.reset(xcb_connect(m_display.isEmpty() ? nullptr : m_display.constData(), &screenNumber));
    if (!m_conn || xcb_connection_has_error(m_conn.get())) {
        qCWarning(lcXTest) << "cannot open X display"
                           << (m_display.isEmpty() ? qgetenv("DISPLAY") : m_display);
        m_conn.reset();
        return false;
    }
    xcb_connection_t *c = m_conn.get();
    const xcb_setup_t *setup = xcb_get_setup(c);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        qCWarning(lcXTest) << "X display has no screen" << screenNumber;
        closeConnection();
        return false;
    }
    m_root = it.data->root;

    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_test_id);
    m_hasXTest = ext && ext->present;
    if (m_hasXTest) {
        Reply<xcb_test_get_version_reply_t> v(
            xcb_test_get_version_reply(c, xcb_test_get_version(c, 2, 2), nullptr));
        m_hasXTest = v != nullptr;
    }
    if (!m_hasXTest)
        qCCritical(lcXTest) << "the X server has no XTest extension: remote input cannot be injected";

    ext = xcb_get_extension_data(c, &xcb_xfixes_id);
    m_hasXFixes = ext && ext->present;
    if (m_hasXFixes) {
        Reply<xcb_xfixes_query_version_reply_t> v(xcb_xfixes_query_version_reply(
            c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr));
        m_hasXFixes = v && v->major_version >= 2;
    }

    // Key codes that carry no symbol at all are free for characters the layout cannot type.
    const int minKc = setup->min_keycode;
    const int count = setup->max_keycode - minKc + 1;
    Reply<xcb_get_keyboard_mapping_reply_t> map(xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(count)), nullptr));
    m_spareKeycodes.clear();
    m_nextSpare = 0;
    if (map && map->keysyms_per_keycode > 0) {
        const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map.get());
        const int per = map->keysyms_per_keycode;
        const int n = std::min(count, xcb_get_keyboard_mapping_keysyms_length(map.get()) / per);
        for (int i = 0; i < n; ++i) {
            if (std::all_of(syms + i * per, syms + (i + 1) * per, [](xcb_keysym_t s) { return s == 0; }))
                m_spareKeycodes.push_back(xcb_keycode_t(minKc + i));
        }
    }
    m_keySymbols.reset();
    KeyLocation shift;
    m_shiftKeycode = findKey(kKeysymShiftL, shift) ? shift.keycode : 0;
    return true;
}

void QnXTestInputInjector::closeConnection()
{
    m_keySymbols.reset();
    m_conn.reset();
    m_remapped.clear();
    m_pressedKeys.clear();
    m_hasXTest = false;
    m_hasXFixes = false;
}

bool QnXTestInputInjector::ensureConnected()
{
    if (m_conn && !xcb_connection_has_error(m_conn.get()))
        return m_hasXTest;
    if (m_lastOpenAttempt.elapsed() < kReopenIntervalMs)
        return false;
    m_lastOpenAttempt.restart();
    qCWarning(lcXTest) << "X connection lost; reopening";
    return open() && m_hasXTest;
}

bool QnXTestInputInjector::isAvailable() const
{
    return m_conn && !xcb_connection_has_error(m_conn.get()) && m_hasXTest;
}

void QnXTestInputInjector::drainEvents()
{
    // Nothing is selected on this connection, but every client gets MappingNotify: it tells that
    // the keyboard mapping changed (by us or anyone), so the cached symbols are dropped.
    while (xcb_generic_event_t *ev = xcb_poll_for_event(m_conn.get())) {
        if ((ev->response_type & 0x7f) == XCB_MAPPING_NOTIFY)
            m_keySymbols.reset();
        std::free(ev);
    }
}

xcb_key_symbols_t *QnXTestInputInjector::keySymbols()
{
    if (!m_keySymbols)
        m_keySymbols.reset(xcb_key_symbols_alloc(m_conn.get()));
    return m_keySymbols.get();
}

bool QnXTestInputInjector::findKey(uint32_t keysym, KeyLocation &out)
{
    xcb_key_symbols_t *syms = keySymbols();
    if (!syms || keysym == 0)
        return false;
    const xcb_setup_t *setup = xcb_get_setup(m_conn.get());
    for (int col = 0; col < 2; ++col) {
        for (int kc = setup->min_keycode; kc <= setup->max_keycode; ++kc) {
            if (xcb_key_symbols_get_keysym(syms, xcb_keycode_t(kc), col) == keysym) {
                out.keycode = xcb_keycode_t(kc);
                out.shifted = col == 1;
                return true;
            }
        }
    }
    return false;
}

bool QnXTestInputInjector::mapSpareKey(uint32_t keysym, KeyLocation &out)
{
    if (m_spareKeycodes.empty())
        return false;
    const xcb_keycode_t kc = m_spareKeycodes[m_nextSpare];
    m_nextSpare = (m_nextSpare + 1) % m_spareKeycodes.size();
    const xcb_keysym_t syms[2] = {keysym, keysym};
    xcb_change_keyboard_mapping(m_conn.get(), 1, kc, 2, syms);
    m_remapped[kc] = keysym;
    sync();
    m_keySymbols.reset();
    out.keycode = kc;
    out.shifted = false;
    return true;
}

void QnXTestInputInjector::restoreSpareKeys()
{
    for (const auto &entry : m_remapped) {
        const xcb_keysym_t none[2] = {0, 0};
        xcb_change_keyboard_mapping(m_conn.get(), 1, entry.first, 2, none);
    }
    m_remapped.clear();
    m_keySymbols.reset();
}

bool QnXTestInputInjector::fake(uint8_t type, uint8_t detail, int16_t x, int16_t y)
{
    xcb_test_fake_input(m_conn.get(), type, detail, XCB_CURRENT_TIME,
                        type == XCB_MOTION_NOTIFY ? m_root : XCB_NONE, x, y, 0);
    return true;
}

void QnXTestInputInjector::sync()
{
    Reply<xcb_get_input_focus_reply_t> r(
        xcb_get_input_focus_reply(m_conn.get(), xcb_get_input_focus(m_conn.get()), nullptr));
}

bool QnXTestInputInjector::moveTo(const QPoint &pos)
{
    if (!ensureConnected())
        return false;
    fake(XCB_MOTION_NOTIFY, 0, clampCoord(pos.x()), clampCoord(pos.y()));
    return xcb_flush(m_conn.get()) > 0;
}

bool QnXTestInputInjector::button(QnInputButton which, bool down)
{
    if (!ensureConnected())
        return false;
    uint8_t b = kXButtonLeft;
    switch (which) {
    case QnInputButton::Left:
        b = kXButtonLeft;
        break;
    case QnInputButton::Right:
        b = kXButtonRight;
        break;
    case QnInputButton::Middle:
        b = kXButtonMiddle;
        break;
    }
    fake(down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, b);
    return xcb_flush(m_conn.get()) > 0;
}

int QnXTestInputInjector::wheelNotches(int delta, int &remainder)
{
    // In 64 bits: a hostile delta near INT_MAX must not overflow the sum.
    const qint64 total = qint64(remainder) + delta;
    qint64 notches = total / kWheelStep;
    remainder = int(total - notches * kWheelStep);
    if (notches > kMaxWheelNotches || notches < -kMaxWheelNotches) {
        notches = std::clamp<qint64>(notches, -kMaxWheelNotches, kMaxWheelNotches);
        remainder = 0;
    }
    return int(notches);
}

bool QnXTestInputInjector::clickButton(uint8_t xButton, int times)
{
    for (int i = 0; i < times; ++i) {
        fake(XCB_BUTTON_PRESS, xButton);
        fake(XCB_BUTTON_RELEASE, xButton);
    }
    return true;
}

bool QnXTestInputInjector::wheel(int angleDeltaX, int angleDeltaY)
{
    if (!ensureConnected())
        return false;
    // Qt's signs: positive y scrolls up (button 4), positive x scrolls left (button 6).
    const int ny = wheelNotches(angleDeltaY, m_wheelRemainderY);
    const int nx = wheelNotches(angleDeltaX, m_wheelRemainderX);
    clickButton(ny > 0 ? kXButtonWheelUp : kXButtonWheelDown, std::abs(ny));
    clickButton(nx > 0 ? kXButtonWheelLeft : kXButtonWheelRight, std::abs(nx));
    return xcb_flush(m_conn.get()) > 0;
}

bool QnXTestInputInjector::key(int qtKey, bool down)
{
    if (!ensureConnected())
        return false;
    drainEvents();
    const uint32_t keysym = QnXKeyMap::qtKeyToKeysym(qtKey);
    KeyLocation loc;
    if (!findKey(keysym, loc)) {
        qCDebug(lcXTest) << "no key for Qt key" << Qt::hex << qtKey << "keysym" << keysym;
        return false;
    }
    fake(down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, loc.keycode);
    if (down)
        m_pressedKeys.insert(loc.keycode);
    else
        m_pressedKeys.erase(loc.keycode);
    return xcb_flush(m_conn.get()) > 0;
}

bool QnXTestInputInjector::typeText(const QString &text)
{
    if (!ensureConnected())
        return false;
    drainEvents();
    bool all = true;
    const QVector<uint> chars = text.toUcs4();
    for (uint ch : chars) {
        const uint32_t keysym = QnXKeyMap::charToKeysym(char32_t(ch));
        KeyLocation loc;
        if (keysym == 0 || (!findKey(keysym, loc) && !mapSpareKey(keysym, loc))) {
            qCDebug(lcXTest) << "cannot type character" << Qt::hex << ch;
            all = false;
            continue;
        }
        const bool withShift = loc.shifted && m_shiftKeycode != 0;
        if (withShift)
            fake(XCB_KEY_PRESS, m_shiftKeycode);
        fake(XCB_KEY_PRESS, loc.keycode);
        fake(XCB_KEY_RELEASE, loc.keycode);
        if (withShift)
            fake(XCB_KEY_RELEASE, m_shiftKeycode);
    }
    return xcb_flush(m_conn.get()) > 0 && all;
}

int QnXTestInputInjector::releaseHeld()
{
    if (!ensureConnected())
        return 0;
    xcb_connection_t *c = m_conn.get();
    auto keymapCookie = xcb_query_keymap(c);
    auto modCookie = xcb_get_modifier_mapping(c);
    auto pointerCookie = xcb_query_pointer(c, m_root);
    Reply<xcb_query_keymap_reply_t> keymap(xcb_query_keymap_reply(c, keymapCookie, nullptr));
    Reply<xcb_get_modifier_mapping_reply_t> mods(xcb_get_modifier_mapping_reply(c, modCookie, nullptr));
    Reply<xcb_query_pointer_reply_t> pointer(xcb_query_pointer_reply(c, pointerCookie, nullptr));

    std::set<xcb_keycode_t> candidates = m_pressedKeys;
    if (mods) {
        const xcb_keycode_t *kcs = xcb_get_modifier_mapping_keycodes(mods.get());
        const int n = xcb_get_modifier_mapping_keycodes_length(mods.get());
        for (int i = 0; i < n; ++i) {
            if (kcs[i] != 0)
                candidates.insert(kcs[i]);
        }
    }
    int released = 0;
    if (keymap) {
        for (xcb_keycode_t kc : candidates) {
            if (keymap->keys[kc / 8] & (1u << (kc % 8))) {
                fake(XCB_KEY_RELEASE, kc);
                ++released;
            }
        }
    }
    m_pressedKeys.clear();
    if (pointer) {
        const std::pair<uint16_t, uint8_t> buttons[] = {{XCB_BUTTON_MASK_1, kXButtonLeft},
                                                        {XCB_BUTTON_MASK_2, kXButtonMiddle},
                                                        {XCB_BUTTON_MASK_3, kXButtonRight}};
        for (const auto &b : buttons) {
            if (pointer->mask & b.first) {
                fake(XCB_BUTTON_RELEASE, b.second);
                ++released;
            }
        }
    }
    xcb_flush(c);
    return released;
}

QPoint QnXTestInputInjector::cursorPosition()
{
    if (!ensureConnected())
        return QPoint();
    Reply<xcb_query_pointer_reply_t> r(
        xcb_query_pointer_reply(m_conn.get(), xcb_query_pointer(m_conn.get(), m_root), nullptr));
    return r ? QPoint(r->root_x, r->root_y) : QPoint();
}

int QnXTestInputInjector::cursorShape()
{
    if (!ensureConnected() || !m_hasXFixes)
        return Qt::ArrowCursor;
    Reply<xcb_xfixes_get_cursor_image_and_name_reply_t> r(xcb_xfixes_get_cursor_image_and_name_reply(
        m_conn.get(), xcb_xfixes_get_cursor_image_and_name(m_conn.get()), nullptr));
    if (!r)
        return Qt::ArrowCursor;
    const int nameLen = xcb_xfixes_get_cursor_image_and_name_name_length(r.get());
    if (nameLen > 0) {
        const int shape = QnXKeyMap::cursorShapeFromName(
            QByteArray(xcb_xfixes_get_cursor_image_and_name_name(r.get()), nameLen));
        if (shape >= 0)
            return shape;
    }
    // An unnamed cursor whose pixels are all transparent shows nothing.
    const uint32_t *pixels = xcb_xfixes_get_cursor_image_and_name_cursor_image(r.get());
    const int n = xcb_xfixes_get_cursor_image_and_name_cursor_image_length(r.get());
    const bool blank =
        n == 0 || std::all_of(pixels, pixels + n, [](uint32_t argb) { return (argb >> 24) == 0; });
    return blank && nameLen == 0 ? int(Qt::BlankCursor) : int(Qt::ArrowCursor);
}
