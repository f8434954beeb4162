#pragma once

#include "XpBFace.h"

#include <QPainter>

// The gradient look of button style 3: the whole face with its outline, the ring of a hovered or
// focused button, and the rounded corners. Takes the place of the plain frame and the focus rectangle.
void DrawGradientLook(QPainter &painter, XpBFace &face, bool pressed, bool hovered);
