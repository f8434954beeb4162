#pragma once

#include <QColor>
#include <QPalette>
#include <QtGlobal>

// A colour value as the button's properties hold it: either an RGB colour 0x00BBGGRR (red in the low byte)
// or a system colour, 0x80000000 + the system colour index.
using XpColor = quint32;

constexpr XpColor kSystemColorFlag = 0x80000000u;

// The system colour indices the buttons use.
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_3DHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;

constexpr XpColor RGB(int red, int green, int blue)
{
    return XpColor(red & 0xFF) | XpColor(green & 0xFF) << 8 | XpColor(blue & 0xFF) << 16;
}

constexpr XpColor SystemColor(int index)
{
    return kSystemColorFlag | XpColor(index);
}

constexpr int RedOf(XpColor rgb)
{
    return int(rgb & 0xFF);
}
constexpr int GreenOf(XpColor rgb)
{
    return int(rgb >> 8 & 0xFF);
}
constexpr int BlueOf(XpColor rgb)
{
    return int(rgb >> 16 & 0xFF);
}

// The colour of a system colour index, taken from the given palette (the application's unless a widget
// has its own). An index the program does not know is black.
XpColor SystemColorRGB(int index, const QPalette &palette);

// Turns any colour value into RGB: system colours through the palette, RGB values unchanged.
XpColor TranslateColor(XpColor value, const QPalette &palette);

// Adds delta to each of red, green and blue, each clamped to 0..255.
XpColor ShiftColor(XpColor rgb, int delta);

QColor ToQColor(XpColor rgb);
XpColor FromQColor(const QColor &color);
