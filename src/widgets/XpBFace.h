#pragma once

#include "XpColor.h"
#include "XpPicture.h"

#include <QColor>
#include <QFont>
#include <QObject>
#include <QPalette>
#include <QRect>
#include <QString>

namespace XpBLook {
Q_NAMESPACE

// How a push button draws its frame, by the number a window's description gives. Any other number draws the
// button flat, as Flat does.
enum class Style : qint32 {
    AlwaysFramed = 0,
    // Framed only while hovered or pressed; every picture and dialog button of the program.
    Flat = 1,
    // The same look: the style of a button whose description names none.
    FlatByDefault = 2,
    Gradient = 3,
};
Q_ENUM_NS(Style)

}  // namespace XpBLook

// Everything one redraw of a push button reads: its properties, its three state flags and the rectangles
// the layout keeps between redraws. The button owns one and hands it to the drawing functions, which
// write back what a redraw changes (the rectangles, the default ring colours, the picked mask colour).
struct XpBFace {
    // The drawing surface, in pixels.
    int W = 0;
    int H = 0;

    bool HasFocus = false;
    bool IsDown = false;
    bool IsOver = false;
    bool Enabled = true;

    QString Caption;
    XpBLook::Style ButtonStyle = XpBLook::Style::FlatByDefault;
    XpPicture Picture;
    qint32 PicturePosition = 1;
    qint32 PictureWidth = 32;
    qint32 PictureHeight = 32;
    bool ShowFocusRect = true;
    XpColor XPColor_Pressed = SystemColor(COLOR_3DHIGHLIGHT);
    XpColor XPColor_Hover = SystemColor(COLOR_3DLIGHT);
    bool XPDefaultColors = true;
    XpColor MaskColor = 0;
    bool UseMaskColor = false;

    // Left, top, right and bottom: right and bottom lie just outside the rectangle.
    QRect CaptionRect;
    QRect PictureRect;

    QPalette Palette;
    QFont Font;
    QColor Background;
};

// Rectangles are given by their edges: right and bottom are the first column and row outside.
inline QRect RectLTRB(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}
