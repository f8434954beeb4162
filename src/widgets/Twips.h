#pragma once

#include <QPoint>
#include <QRect>

// The windows' layouts are drawn up in twips, 15 to the pixel at 96 dots per inch; Qt scales the pixels for
// other screens.
constexpr int kTwipsPerPixel = 15;

constexpr int Px(int twips)
{
    return twips / kTwipsPerPixel;
}

constexpr QRect TwipRect(int left, int top, int width, int height)
{
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

constexpr QPoint TwipPoint(int x, int y)
{
    return QPoint(Px(x), Px(y));
}
