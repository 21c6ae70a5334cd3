#include "platform/xtest/QnXKeyMap.h"

#include <Qt>

#include <QHash>

namespace QnXKeyMap {

namespace {

// Keysym values from X11/keysymdef.h and X11/XF86keysym.h.
constexpr uint32_t kXkBackSpace = 0xff08;
constexpr uint32_t kXkTab = 0xff09;
constexpr uint32_t kXkClear = 0xff0b;
constexpr uint32_t kXkReturn = 0xff0d;
constexpr uint32_t kXkPause = 0xff13;
constexpr uint32_t kXkScrollLock = 0xff14;
constexpr uint32_t kXkEscape = 0xff1b;
constexpr uint32_t kXkHome = 0xff50;
constexpr uint32_t kXkLeft = 0xff51;
constexpr uint32_t kXkUp = 0xff52;
constexpr uint32_t kXkRight = 0xff53;
constexpr uint32_t kXkDown = 0xff54;
constexpr uint32_t kXkPrior = 0xff55;
constexpr uint32_t kXkNext = 0xff56;
constexpr uint32_t kXkEnd = 0xff57;
constexpr uint32_t kXkPrint = 0xff61;
constexpr uint32_t kXkInsert = 0xff63;
constexpr uint32_t kXkNumLock = 0xff7f;
constexpr uint32_t kXkKpMultiply = 0xffaa;
constexpr uint32_t kXkKpAdd = 0xffab;
constexpr uint32_t kXkKpSubtract = 0xffad;
constexpr uint32_t kXkKpDivide = 0xffaf;
constexpr uint32_t kXkF1 = 0xffbe;
constexpr uint32_t kXkShiftL = 0xffe1;
constexpr uint32_t kXkControlL = 0xffe3;
constexpr uint32_t kXkCapsLock = 0xffe5;
constexpr uint32_t kXkAltL = 0xffe9;
constexpr uint32_t kXkSuperL = 0xffeb;
constexpr uint32_t kXkDelete = 0xffff;
constexpr uint32_t kXf86AudioLowerVolume = 0x1008ff11;
constexpr uint32_t kXf86AudioMute = 0x1008ff12;
constexpr uint32_t kXf86AudioRaiseVolume = 0x1008ff13;
constexpr uint32_t kXf86AudioPlay = 0x1008ff14;
constexpr uint32_t kXf86AudioStop = 0x1008ff15;
constexpr uint32_t kXf86AudioPrev = 0x1008ff16;
constexpr uint32_t kXf86AudioNext = 0x1008ff17;
constexpr uint32_t kUnicodeKeysymBase = 0x01000000;

} // namespace

uint32_t qtKeyToKeysym(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Escape:
        return kXkEscape;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return kXkTab;
    case Qt::Key_Backspace:
        return kXkBackSpace;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kXkReturn;
    case Qt::Key_Insert:
        return kXkInsert;
    case Qt::Key_Delete:
        return kXkDelete;
    case Qt::Key_Pause:
        return kXkPause;
    case Qt::Key_Print:
        return kXkPrint;
    case Qt::Key_Clear:
        return kXkClear;
    case Qt::Key_Home:
        return kXkHome;
    case Qt::Key_End:
        return kXkEnd;
    case Qt::Key_Left:
        return kXkLeft;
    case Qt::Key_Up:
        return kXkUp;
    case Qt::Key_Right:
        return kXkRight;
    case Qt::Key_Down:
        return kXkDown;
    case Qt::Key_PageUp:
        return kXkPrior;
    case Qt::Key_PageDown:
        return kXkNext;
    case Qt::Key_Shift:
        return kXkShiftL;
    case Qt::Key_Control:
        return kXkControlL;
    case Qt::Key_Meta:
        return kXkSuperL;
    case Qt::Key_Alt:
        return kXkAltL;
    case Qt::Key_CapsLock:
        return kXkCapsLock;
    case Qt::Key_NumLock:
        return kXkNumLock;
    case Qt::Key_ScrollLock:
        return kXkScrollLock;
    case Qt::Key_VolumeDown:
        return kXf86AudioLowerVolume;
    case Qt::Key_VolumeMute:
        return kXf86AudioMute;
    case Qt::Key_VolumeUp:
        return kXf86AudioRaiseVolume;
    case Qt::Key_MediaPlay:
        return kXf86AudioPlay;
    case Qt::Key_MediaStop:
        return kXf86AudioStop;
    case Qt::Key_MediaPrevious:
        return kXf86AudioPrev;
    case Qt::Key_MediaNext:
        return kXf86AudioNext;
    case Qt::Key_Space:
        return ' ';
    case Qt::Key_Asterisk:
        return kXkKpMultiply;
    case Qt::Key_Plus:
        return kXkKpAdd;
    case Qt::Key_Minus:
        return kXkKpSubtract;
    case Qt::Key_Slash:
        return kXkKpDivide;
    default:
        break;
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return kXkF1 + uint32_t(qtKey - Qt::Key_F1);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return uint32_t('a' + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return uint32_t(qtKey);
    // Other printable keys: Qt names them by the character they type.
    if (qtKey > 0x20 && qtKey < 0x01000000)
        return charToKeysym(char32_t(qtKey));
    return 0;
}

uint32_t charToKeysym(char32_t ch)
{
    if (ch == U'\n' || ch == U'\r')
        return kXkReturn;
    if (ch == U'\t')
        return kXkTab;
    if (ch < 0x20 || (ch >= 0x7f && ch < 0xa0) || ch > 0x10ffff || (ch >= 0xd800 && ch <= 0xdfff))
        return 0;
    if (ch < 0x100)
        return uint32_t(ch);
    return kUnicodeKeysymBase | uint32_t(ch);
}

int cursorShapeFromName(const QByteArray &name)
{
    // Names from the X core cursor font, the freedesktop cursor naming and the hashed names that
    // toolkits register; each maps to the Qt::CursorShape number the peer understands.
    static const QHash<QByteArray, int> table = [] {
        QHash<QByteArray, int> t;
        const auto add = [&t](int shape, std::initializer_list<const char *> names) {
            for (const char *n : names)
                t.insert(QByteArray(n), shape);
        };
        add(Qt::ArrowCursor, {"left_ptr", "default", "arrow", "top_left_arrow"});
        add(Qt::UpArrowCursor, {"up_arrow", "sb_up_arrow", "center_ptr"});
        add(Qt::CrossCursor, {"cross", "crosshair", "tcross", "cross_reverse", "diamond_cross"});
        add(Qt::WaitCursor, {"watch", "wait"});
        add(Qt::IBeamCursor, {"xterm", "text", "ibeam", "vertical-text"});
        add(Qt::SizeVerCursor,
            {"size_ver", "sb_v_double_arrow", "v_double_arrow", "ns-resize", "n-resize", "s-resize",
             "row-resize", "top_side", "bottom_side", "00008160000006810000408080010102"});
        add(Qt::SizeHorCursor,
            {"size_hor", "sb_h_double_arrow", "h_double_arrow", "ew-resize", "e-resize", "w-resize",
             "col-resize", "left_side", "right_side", "028006030e0e7ebffc7f7070c0600140"});
        add(Qt::SizeBDiagCursor,
            {"size_bdiag", "fd_double_arrow", "nesw-resize", "ne-resize", "sw-resize", "top_right_corner",
             "bottom_left_corner", "fcf1c3c7cd4491d801f1e1c78f100000", "50585d75b494802d0151028115016902"});
        add(Qt::SizeFDiagCursor,
            {"size_fdiag", "bd_double_arrow", "nwse-resize", "nw-resize", "se-resize", "top_left_corner",
             "bottom_right_corner", "c7088f0f3e6c8088236ef8e1e3e70000", "38c5dff7c7b8962045400281044508d2"});
        add(Qt::SizeAllCursor, {"size_all", "fleur", "move", "all-scroll", "grabbing",
                                "4498f0e0c1937ffe01fd06f973665830", "9081237383d90e509aa00f00170e968f"});
        add(Qt::PointingHandCursor, {"hand2", "hand1", "hand", "pointer", "pointing_hand",
                                     "e29285e634086352946a0e7090d73106", "9d800788f1b08800ae810202380a0822"});
        add(Qt::ForbiddenCursor, {"forbidden", "not-allowed", "crossed_circle", "circle", "no-drop",
                                  "03b6e0fcb3499374a867c041f52298f0"});
        add(Qt::WhatsThisCursor, {"whats_this", "help", "question_arrow", "left_ptr_help",
                                  "5c6cd98b3f3ebcb1f9c7f1c204630408", "d9ce0ab605698f320427677b458ad60b"});
        add(Qt::BusyCursor, {"left_ptr_watch", "progress", "half-busy", "08e8e1c95fe2fc01f976f1e063a24ccd",
                             "3ecb610c1bf2410f44200f48c40d3599"});
        return t;
    }();
    return table.value(name, -1);
}

} // namespace QnXKeyMap
