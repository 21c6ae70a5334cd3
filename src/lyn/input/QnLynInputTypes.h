#pragma once

/// Message types of the reverse-input channel, in both directions: the PC sends the pointer,
/// wheel, key, release and hover types while it shows a receiver's desktop; a receiver sends all
/// but hover to the PC, which injects them (and shows the cursor shape of type 14).
namespace QnLynInputType {
constexpr int MouseDown = 1;
constexpr int MouseMove = 2;
constexpr int MouseUp = 3;
constexpr int Wheel = 4;
constexpr int KeyUp = 5;
constexpr int KeyDown = 6;
constexpr int TouchDown = 7;
constexpr int TouchMove = 8;
constexpr int TouchUp = 9;
constexpr int ReleaseHeld = 10;
constexpr int Hover = 11;
constexpr int Text = 12;
constexpr int MouseRelative = 13;
constexpr int Cursor = 14;
} // namespace QnLynInputType
