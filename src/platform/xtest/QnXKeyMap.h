#pragma once

#include <QByteArray>
#include <cstdint>

/// Translation tables between Qt's input vocabulary and X11 names, shared by the XTest backend
/// and its tests. Pure functions; any thread.
namespace QnXKeyMap {

/// The keysym of the key that a Qt key code names, or 0 when there is none.
/// Letters map to their lower-case keysym (the key, not the character: the peer sends Shift as a
/// key of its own); "*", "+", "-", "/" map to the keypad keys; the special keys follow the
/// classic left-hand layout (Shift_L, Control_L, Super_L for Meta, Alt_L).
uint32_t qtKeyToKeysym(int qtKey);

/// The keysym that types one Unicode character: Latin-1 characters are their own keysym, other
/// characters use the Unicode keysym range; line feed, carriage return and tab map to Return and
/// Tab. Returns 0 for other control characters and values outside Unicode.
uint32_t charToKeysym(char32_t ch);

/// The Qt::CursorShape number that a cursor name of the X cursor themes stands for, or -1.
int cursorShapeFromName(const QByteArray &name);

} // namespace QnXKeyMap
