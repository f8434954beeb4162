#include "XpBGradient.h"

#include "XpBLayout.h"
#include "XpCanvas.h"

using namespace XpCanvas;

namespace {

constexpr XpColor kWhite = RGB(255, 255, 255);

void DrawRing(QPainter &painter, int W, int H, XpColor r)
{
    Frame(painter, RectLTRB(1, 2, W - 1, H - 2), r);
    Line(painter, 2, H - 2, W - 2, H - 2, ShiftColor(r, -40));
    Line(painter, 2, 1, W - 2, 1, ShiftColor(r, +90));
    Line(painter, 1, 2, W - 1, 2, ShiftColor(r, +35));
    Line(painter, 2, 3, 2, H - 3, ShiftColor(r, +20));
    Line(painter, W - 3, 3, W - 3, H - 3, ShiftColor(r, +20));
    Pixel(painter, 3, H - 4, r);
    Pixel(painter, W - 4, H - 4, r);
    Pixel(painter, W - 4, 3, ShiftColor(r, +35));
    Pixel(painter, 3, 3, ShiftColor(r, +35));
}

// Each corner: its three outer pixels in the face colour, the inner one in the corner colour.
void DrawCorners(QPainter &painter, int W, int H, XpColor face, XpColor corner)
{
    Box(painter, 0, 0, 1, 1, face);
    Pixel(painter, 1, 1, corner);
    Box(painter, 0, H - 2, 1, H, face);
    Pixel(painter, 1, H - 2, corner);
    Box(painter, W - 2, 0, W, 1, face);
    Pixel(painter, W - 2, 1, corner);
    Box(painter, W - 2, H - 2, W, H, face);
    Pixel(painter, W - 2, H - 2, corner);
}

}  // namespace

void DrawGradientLook(QPainter &painter, XpBFace &face, bool pressed, bool hovered)
{
    const int W = face.W;
    const int H = face.H;
    const XpColor buttonFace = TranslateColor(SystemColor(COLOR_BTNFACE), face.Palette);
    const XpColor darkShadow = TranslateColor(SystemColor(COLOR_3DDKSHADOW), face.Palette);
    const XpColor base = ShiftColor(buttonFace, +48);
    XpColor corner;

    if (face.Enabled) {
        if (face.XPDefaultColors) {
            face.XPColor_Pressed = RGB(140, 170, 230);
            face.XPColor_Hover = RGB(225, 153, 71);
        }
        if (H == 0)
            return;
        if (pressed) {
            const double step = 25.0 / H;
            const XpColor c0 = ShiftColor(base, -32);
            for (int i = 1; i <= H; ++i)
                Line(painter, 0, H - i, W, H - i, ShiftColor(c0, Nearest(-step * i)));
            Frame(painter, RectLTRB(0, 0, W, H), darkShadow);
        } else {
            const double step = 50.0 / H;
            for (int i = 1; i <= H; ++i)
                Line(painter, 0, i, W, i, ShiftColor(kWhite, Nearest(-step * i)));
            Frame(painter, RectLTRB(0, 0, W, H), darkShadow);
            if (face.HasFocus || hovered)
                DrawRing(painter, W, H,
                         TranslateColor(hovered ? face.XPColor_Hover : face.XPColor_Pressed, face.Palette));
        }
        corner = darkShadow;
    } else {
        Fill(painter, RectLTRB(0, 0, W, H), ShiftColor(base, -24));
        Frame(painter, RectLTRB(0, 0, W, H), ShiftColor(base, -84));
        corner = ShiftColor(base, -72);
    }
    DrawCorners(painter, W, H, buttonFace, corner);
}
