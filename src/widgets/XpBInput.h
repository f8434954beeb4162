#pragma once

#include <Qt>
#include <QtGlobal>

// The codes the button's events carry, as window code written for the button expects them.

// Key codes of the keys a window may care about: letters and digits are their upper-case character,
// Space 32, Enter 13, Escape 27 and so on. Keys without a code give 0.
qint16 VirtualKeyCode(int qtKey);

// Shift 1, Ctrl 2, Alt 4, added together.
qint16 ShiftState(Qt::KeyboardModifiers modifiers);

// Left 1, right 2, middle 4, added together.
qint16 MouseButtonCode(Qt::MouseButtons buttons);
