#pragma once

#include "XpColor.h"

#include <QPainter>
#include <QRect>

#include <algorithm>
#include <cstdlib>

// One-pixel drawing on whole pixels. Everything is filled as rectangles so that at any device-pixel
// ratio a pixel of the button covers whole device pixels and nothing is blended.
namespace XpCanvas {

inline void Fill(QPainter &painter, const QRect &rect, XpColor rgb)
{
    painter.fillRect(rect, ToQColor(rgb));
}

inline void Pixel(QPainter &painter, int x, int y, XpColor rgb)
{
    Fill(painter, QRect(x, y, 1, 1), rgb);
}

// The outline of rect, one pixel wide, inside the rectangle.
inline void Frame(QPainter &painter, const QRect &rect, XpColor rgb)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    Fill(painter, QRect(rect.left(), rect.top(), rect.width(), 1), rgb);
    Fill(painter, QRect(rect.left(), rect.bottom(), rect.width(), 1), rgb);
    Fill(painter, QRect(rect.left(), rect.top(), 1, rect.height()), rgb);
    Fill(painter, QRect(rect.right(), rect.top(), 1, rect.height()), rgb);
}

// A horizontal or vertical line from (x1, y1) up to, but not including, (x2, y2); leaving out the end
// point keeps the lines of the gradient look symmetric.
inline void Line(QPainter &painter, int x1, int y1, int x2, int y2, XpColor rgb)
{
    if (y1 == y2)
        Fill(painter, QRect(std::min(x1, x2), y1, std::abs(x2 - x1), 1), rgb);
    else if (x1 == x2)
        Fill(painter, QRect(x1, std::min(y1, y2), 1, std::abs(y2 - y1)), rgb);
}

// The outline of the box with (x1, y1) and (x2, y2) as opposite corners, both included.
inline void Box(QPainter &painter, int x1, int y1, int x2, int y2, XpColor rgb)
{
    Frame(painter, QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2))), rgb);
}

}  // namespace XpCanvas
