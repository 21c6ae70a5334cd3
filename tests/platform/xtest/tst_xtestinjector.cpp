// The XTest injector against a real X server (Xvfb), checked through a connection of the test's
// own and through Qt widgets that receive the injected input.
#include "platform/xtest/QnXKeyMap.h"
#include "platform/xtest/QnXTestInputInjector.h"

#include <QApplication>
#include <QLineEdit>
#include <QWheelEvent>
#include <QWidget>
#include <QtTest>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xfixes.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

template<typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

/// A connection of the test's own, to read back what the injector did.
class XProbe
{
public:
    XProbe() : m_conn(xcb_connect(nullptr, nullptr), &xcb_disconnect)
    {
        if (xcb_connection_has_error(m_conn.get()))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_conn.get())).data->root;
        Reply<xcb_xfixes_query_version_reply_t> v(
            xcb_xfixes_query_version_reply(m_conn.get(), xcb_xfixes_query_version(m_conn.get(), 4, 0),
                                           nullptr),
            &std::free);
        m_syms.reset(xcb_key_symbols_alloc(m_conn.get()));
    }
    bool ok() const { return !xcb_connection_has_error(m_conn.get()); }
    xcb_connection_t *conn() const { return m_conn.get(); }
    xcb_window_t root() const { return m_root; }

    QPoint pointer(uint16_t *mask = nullptr) const
    {
        Reply<xcb_query_pointer_reply_t> r(
            xcb_query_pointer_reply(m_conn.get(), xcb_query_pointer(m_conn.get(), m_root), nullptr),
            &std::free);
        if (!r)
            return QPoint(-1, -1);
        if (mask)
            *mask = r->mask;
        return QPoint(r->root_x, r->root_y);
    }
    uint16_t buttons() const
    {
        uint16_t mask = 0;
        pointer(&mask);
        return mask & (XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3);
    }
    bool keysymDown(xcb_keysym_t sym) const
    {
        Reply<xcb_query_keymap_reply_t> r(
            xcb_query_keymap_reply(m_conn.get(), xcb_query_keymap(m_conn.get()), nullptr), &std::free);
        std::unique_ptr<xcb_keycode_t, decltype(&std::free)> kcs(
            xcb_key_symbols_get_keycode(m_syms.get(), sym), &std::free);
        if (!r || !kcs)
            return false;
        for (const xcb_keycode_t *k = kcs.get(); *k; ++k) {
            if (r->keys[*k / 8] & (1u << (*k % 8)))
                return true;
        }
        return false;
    }

private:
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> m_conn;
    std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> m_syms{nullptr,
                                                                               &xcb_key_symbols_free};
    xcb_window_t m_root = 0;
};

class WheelProbe : public QWidget
{
public:
    QPoint total;

protected:
    void wheelEvent(QWheelEvent *e) override
    {
        total += e->angleDelta();
        e->accept();
    }
};

constexpr xcb_keysym_t kXkShiftL = 0xffe1;
constexpr xcb_keysym_t kXkControlL = 0xffe3;

} // namespace

class TstXTestInjector : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void qtKeyToKeysym_data();
    void qtKeyToKeysym();
    void charAndCursorNames();
    void pointerMovesAndClicks();
    void keyAndTextReachLineEdit();
    void wheelBothAxesKeepsRemainder();
    void releaseHeldKeysAndButtons();
    void cursorShapeFromXFixesNames();

private:
    void placeOver(QWidget &w);

    std::unique_ptr<QnXTestInputInjector> m_injector;
    XProbe m_probe;
};

void TstXTestInjector::initTestCase()
{
    QVERIFY2(m_probe.ok(), "needs an X display (DISPLAY)");
    m_injector = std::make_unique<QnXTestInputInjector>();
    QVERIFY(m_injector->isAvailable());
}

void TstXTestInjector::qtKeyToKeysym_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<uint>("keysym");
    QTest::newRow("letter is the lower-case key") << int(Qt::Key_A) << 0x61u;
    QTest::newRow("digit") << int(Qt::Key_7) << 0x37u;
    QTest::newRow("Meta is Super_L") << int(Qt::Key_Meta) << 0xffebu;
    QTest::newRow("Enter is Return") << int(Qt::Key_Enter) << 0xff0du;
    QTest::newRow("Backtab is Tab") << int(Qt::Key_Backtab) << 0xff09u;
    QTest::newRow("F24") << int(Qt::Key_F24) << 0xffd5u;
    QTest::newRow("plus is the keypad key") << int(Qt::Key_Plus) << 0xffabu;
    QTest::newRow("comma is its character") << int(Qt::Key_Comma) << 0x2cu;
    QTest::newRow("media next") << int(Qt::Key_MediaNext) << 0x1008ff17u;
    QTest::newRow("unknown special key") << int(Qt::Key_Launch0) << 0u;
}

void TstXTestInjector::qtKeyToKeysym()
{
    QFETCH(int, qtKey);
    QFETCH(uint, keysym);
    QCOMPARE(uint(QnXKeyMap::qtKeyToKeysym(qtKey)), keysym);
}

void TstXTestInjector::charAndCursorNames()
{
    QCOMPARE(uint(QnXKeyMap::charToKeysym(U'a')), 0x61u);
    QCOMPARE(uint(QnXKeyMap::charToKeysym(U'\u00e9')), 0xe9u);
    QCOMPARE(uint(QnXKeyMap::charToKeysym(U'\u20ac')), 0x010020acu);
    QCOMPARE(uint(QnXKeyMap::charToKeysym(U'\n')), 0xff0du);
    QCOMPARE(uint(QnXKeyMap::charToKeysym(U'\x01')), 0u);
    QCOMPARE(uint(QnXKeyMap::charToKeysym(char32_t(0x110000))), 0u);
    QCOMPARE(QnXKeyMap::cursorShapeFromName("xterm"), int(Qt::IBeamCursor));
    QCOMPARE(QnXKeyMap::cursorShapeFromName("pointer"), int(Qt::PointingHandCursor));
    QCOMPARE(QnXKeyMap::cursorShapeFromName("nwse-resize"), int(Qt::SizeFDiagCursor));
    QCOMPARE(QnXKeyMap::cursorShapeFromName("no-such-cursor"), -1);
}

void TstXTestInjector::placeOver(QWidget &w)
{
    w.setWindowFlag(Qt::FramelessWindowHint);
    w.setGeometry(200, 150, 400, 120);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // Without a window manager keys and the wheel go to the window under the pointer.
    const QPoint centre = w.mapToGlobal(w.rect().center());
    QVERIFY(m_injector->moveTo(centre));
    QTRY_COMPARE(m_probe.pointer(), centre);
}

void TstXTestInjector::pointerMovesAndClicks()
{
    QVERIFY(m_injector->moveTo(QPoint(300, 200)));
    QTRY_COMPARE(m_probe.pointer(), QPoint(300, 200));
    QCOMPARE(m_injector->cursorPosition(), QPoint(300, 200));
    QVERIFY(m_injector->moveTo(QPoint(1919, 1079)));
    QTRY_COMPARE(m_probe.pointer(), QPoint(1919, 1079));

    QVERIFY(m_injector->button(QnInputButton::Left, true));
    QTRY_COMPARE(m_probe.buttons(), uint16_t(XCB_BUTTON_MASK_1));
    QVERIFY(m_injector->button(QnInputButton::Right, true));
    QTRY_COMPARE(m_probe.buttons(), uint16_t(XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_3));
    QVERIFY(m_injector->button(QnInputButton::Left, false));
    QVERIFY(m_injector->button(QnInputButton::Right, false));
    QTRY_COMPARE(m_probe.buttons(), uint16_t(0));
}

void TstXTestInjector::keyAndTextReachLineEdit()
{
    QLineEdit edit;
    placeOver(edit);
    edit.setFocus();

    QVERIFY(m_injector->key(Qt::Key_A, true));
    QVERIFY(m_injector->key(Qt::Key_A, false));
    QTRY_COMPARE(edit.text(), QStringLiteral("a"));

    // "€" has no key on the default layout: a spare key code is mapped for it. "B" needs Shift.
    QVERIFY(m_injector->typeText(QStringLiteral("a\u20acB")));
    QTRY_COMPARE(edit.text(), QStringLiteral("aa\u20acB"));
    // Typed again: the mapped key code is found and reused.
    QVERIFY(m_injector->typeText(QStringLiteral("\u20ac")));
    QTRY_COMPARE(edit.text(), QStringLiteral("aa\u20acB\u20ac"));

    QVERIFY(!m_injector->key(Qt::Key_Launch0, true));
    QVERIFY(!m_probe.keysymDown(kXkShiftL));
}

void TstXTestInjector::wheelBothAxesKeepsRemainder()
{
    WheelProbe probe;
    placeOver(probe);

    QVERIFY(m_injector->wheel(0, 120));
    QTRY_COMPARE(probe.total, QPoint(0, 120));
    // Half notches add up to one.
    QVERIFY(m_injector->wheel(0, -60));
    QVERIFY(m_injector->wheel(0, -60));
    QTRY_COMPARE(probe.total, QPoint(0, 0));
    QVERIFY(m_injector->wheel(-240, 0));
    QTRY_COMPARE(probe.total, QPoint(-240, 0));
    QVERIFY(m_injector->wheel(120, 0));
    QTRY_COMPARE(probe.total, QPoint(-120, 0));
}

void TstXTestInjector::releaseHeldKeysAndButtons()
{
    QVERIFY(m_injector->moveTo(QPoint(10, 10)));
    QVERIFY(m_injector->key(Qt::Key_Shift, true));
    QVERIFY(m_injector->key(Qt::Key_Control, true));
    QVERIFY(m_injector->button(QnInputButton::Middle, true));
    QTRY_VERIFY(m_probe.keysymDown(kXkShiftL));
    QTRY_VERIFY(m_probe.keysymDown(kXkControlL));
    QTRY_COMPARE(m_probe.buttons(), uint16_t(XCB_BUTTON_MASK_2));

    QCOMPARE(m_injector->releaseHeld(), 3);
    QTRY_VERIFY(!m_probe.keysymDown(kXkShiftL));
    QTRY_VERIFY(!m_probe.keysymDown(kXkControlL));
    QTRY_COMPARE(m_probe.buttons(), uint16_t(0));
    QCOMPARE(m_injector->releaseHeld(), 0);
}

void TstXTestInjector::cursorShapeFromXFixesNames()
{
    xcb_connection_t *c = m_probe.conn();
    // A named font cursor (I-beam) and a cursor whose mask hides every pixel.
    const xcb_font_t font = xcb_generate_id(c);
    xcb_open_font(c, font, 6, "cursor");
    const xcb_cursor_t ibeam = xcb_generate_id(c);
    xcb_create_glyph_cursor(c, ibeam, font, font, 152, 153, 0, 0, 0, 0xffff, 0xffff, 0xffff);
    xcb_xfixes_set_cursor_name(c, ibeam, 5, "xterm");
    const xcb_cursor_t plain = xcb_generate_id(c);
    xcb_create_glyph_cursor(c, plain, font, font, 152, 153, 0, 0, 0, 0xffff, 0xffff, 0xffff);
    const xcb_pixmap_t bits = xcb_generate_id(c);
    xcb_create_pixmap(c, 1, bits, m_probe.root(), 8, 8);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const uint32_t zero = 0;
    xcb_create_gc(c, gc, bits, XCB_GC_FOREGROUND, &zero);
    const xcb_rectangle_t all{0, 0, 8, 8};
    xcb_poly_fill_rectangle(c, bits, gc, 1, &all);
    const xcb_cursor_t blank = xcb_generate_id(c);
    xcb_create_cursor(c, blank, bits, bits, 0, 0, 0, 0, 0, 0, 0, 0);

    const xcb_cursor_t cursors[3] = {ibeam, plain, blank};
    xcb_window_t windows[3];
    for (int i = 0; i < 3; ++i) {
        windows[i] = xcb_generate_id(c);
        const uint32_t values[2] = {1, cursors[i]};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, windows[i], m_probe.root(), int16_t(1200 + i * 200), 700,
                          100, 100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_OVERRIDE_REDIRECT | XCB_CW_CURSOR, values);
        xcb_map_window(c, windows[i]);
    }
    xcb_flush(c);

    QVERIFY(m_injector->moveTo(QPoint(1250, 750)));
    QTRY_COMPARE(m_injector->cursorShape(), int(Qt::IBeamCursor));
    QVERIFY(m_injector->moveTo(QPoint(1450, 750)));
    QTRY_COMPARE(m_injector->cursorShape(), int(Qt::ArrowCursor));
    QVERIFY(m_injector->moveTo(QPoint(1650, 750)));
    QTRY_COMPARE(m_injector->cursorShape(), int(Qt::BlankCursor));

    for (xcb_window_t w : windows)
        xcb_destroy_window(c, w);
    for (xcb_cursor_t cur : cursors)
        xcb_free_cursor(c, cur);
    xcb_free_gc(c, gc);
    xcb_free_pixmap(c, bits);
    xcb_close_font(c, font);
    xcb_flush(c);
}

QTEST_MAIN(TstXTestInjector)
#include "tst_xtestinjector.moc"
