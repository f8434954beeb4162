#pragma once

#include "XpBFace.h"

#include <QPainter>

// One whole redraw of a push button onto the surface (0, 0, W, H): background, frame or gradient look,
// layout, caption, picture and focus rectangle.
void DrawXpB(QPainter &painter, XpBFace &face);

// The one-pixel frame of the plain styles: sunken while pressed, raised while hovered or always for
// style 0, none otherwise.
void DrawPlainFrame(QPainter &painter, const XpBFace &face);

void DrawCaption(QPainter &painter, const XpBFace &face);

// Draws the picture into the face's picture rectangle. Unless UseMaskColor is set, a bitmap's top-left
// pixel becomes the face's MaskColor.
void DrawPicture(QPainter &painter, XpBFace &face);

// The dotted focus rectangle, inverting every other pixel of the outline.
void DrawFocusRect(QPainter &painter, const QRect &rect);
