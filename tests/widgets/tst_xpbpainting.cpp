#include "XpBGradient.h"
#include "XpBPainter.h"

#include <QPainter>
#include <QTest>

namespace {

constexpr XpColor kSentinel = RGB(1, 2, 3);
constexpr XpColor kBlack = 0;
constexpr XpColor kWhite = RGB(255, 255, 255);
constexpr XpColor kFace = RGB(212, 208, 200);
constexpr XpColor kHighlight = RGB(250, 250, 250);
constexpr XpColor kShadow = RGB(128, 128, 128);
constexpr XpColor kDarkShadow = RGB(64, 64, 64);
constexpr XpColor kMagenta = RGB(255, 0, 255);
constexpr XpColor kRed = RGB(255, 0, 0);
constexpr XpColor kGreen = RGB(0, 255, 0);
constexpr XpColor kBlue = RGB(0, 0, 255);

// Colours that differ from anything Qt's own palettes hold, so a wrong role shows.
QPalette TestPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Button, ToQColor(kFace));
    palette.setColor(QPalette::Light, ToQColor(kHighlight));
    palette.setColor(QPalette::Dark, ToQColor(kShadow));
    palette.setColor(QPalette::Shadow, ToQColor(kDarkShadow));
    palette.setColor(QPalette::Midlight, ToQColor(RGB(230, 230, 230)));
    palette.setColor(QPalette::ButtonText, ToQColor(RGB(0, 0, 80)));
    palette.setColor(QPalette::Highlight, ToQColor(RGB(10, 36, 106)));
    return palette;
}

XpBFace MakeFace(int W, int H, int style)
{
    XpBFace face;
    face.W = W;
    face.H = H;
    face.ButtonStyle = XpBLook::Style(style);
    face.Caption.clear();
    face.Palette = TestPalette();
    return face;
}

QImage Render(XpBFace &face, qreal ratio = 1)
{
    QImage image(qRound(face.W * ratio), qRound(std::max(face.H, 1) * ratio), QImage::Format_RGB32);
    image.fill(ToQColor(kSentinel));
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    DrawXpB(painter, face);
    return image;
}

XpColor At(const QImage &image, int x, int y)
{
    return FromQColor(image.pixelColor(x, y));
}

// A 16 x 16 bitmap on magenta with a green square (4..11) and a red dot at (8, 8).
QImage TestBitmap()
{
    QImage bitmap(16, 16, QImage::Format_RGB32);
    bitmap.fill(ToQColor(kMagenta));
    QPainter painter(&bitmap);
    painter.fillRect(QRect(4, 4, 8, 8), ToQColor(kGreen));
    painter.fillRect(QRect(8, 8, 1, 1), ToQColor(kRed));
    return bitmap;
}

}  // namespace

class TestXpBPainting : public QObject {
    Q_OBJECT

private slots:
    void translateColor_data();
    void translateColor();
    void shiftColorClampsEachChannel();
    void plainFrames_data();
    void plainFrames();
    void gradientRows();
    void pressedGradientIsDarkAtTheTopAndHasNoRing();
    void ring_data();
    void ring();
    void defaultColorsReplaceTheRingColours();
    void corners_data();
    void corners();
    void disabledGradientIsFlat();
    void zeroHeightDrawsNothing();
    void focusRectangle_data();
    void focusRectangle();
    void bitmapTopLeftPixelIsTransparent();
    void maskColorWhenUsed();
    void pressedPictureMovesByOnePixel();
    void iconIsStretchedWithItsOwnTransparency();
    void disabledPictureIsEmbossed();
    void disabledPictureLeavesLightPartsOut();
    void disabledCaptionIsEmbossed();
    void crispAtDoubleResolution();
};

void TestXpBPainting::translateColor_data()
{
    QTest::addColumn<XpColor>("value");
    QTest::addColumn<XpColor>("rgb");
    QTest::newRow("rgb unchanged") << RGB(10, 20, 30) << RGB(10, 20, 30);
    QTest::newRow("button face") << SystemColor(15) << kFace;
    QTest::newRow("button shadow") << SystemColor(16) << kShadow;
    QTest::newRow("button text") << SystemColor(18) << RGB(0, 0, 80);
    QTest::newRow("3D highlight") << SystemColor(20) << kHighlight;
    QTest::newRow("3D dark shadow") << SystemColor(21) << kDarkShadow;
    QTest::newRow("3D light") << SystemColor(22) << RGB(230, 230, 230);
    QTest::newRow("unknown index") << SystemColor(99) << kBlack;
}

void TestXpBPainting::translateColor()
{
    QFETCH(XpColor, value);
    QFETCH(XpColor, rgb);
    QCOMPARE(TranslateColor(value, TestPalette()), rgb);
}

void TestXpBPainting::shiftColorClampsEachChannel()
{
    QCOMPARE(ShiftColor(RGB(250, 10, 128), +20), RGB(255, 30, 148));
    QCOMPARE(ShiftColor(RGB(250, 10, 128), -20), RGB(230, 0, 108));
}

void TestXpBPainting::plainFrames_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("down");
    QTest::addColumn<bool>("over");
    QTest::addColumn<XpColor>("topLeft");
    QTest::addColumn<XpColor>("bottomRight");
    QTest::newRow("flat at rest") << 2 << false << false << kFace << kFace;
    QTest::newRow("flat hovered") << 1 << false << true << kHighlight << kBlack;
    QTest::newRow("flat pressed") << 2 << true << true << kBlack << kHighlight;
    QTest::newRow("framed at rest") << 0 << false << false << kHighlight << kBlack;
    QTest::newRow("framed pressed") << 0 << true << false << kBlack << kHighlight;
}

void TestXpBPainting::plainFrames()
{
    QFETCH(int, style);
    QFETCH(bool, down);
    QFETCH(bool, over);
    QFETCH(XpColor, topLeft);
    QFETCH(XpColor, bottomRight);
    XpBFace face = MakeFace(30, 20, style);
    face.IsDown = down;
    face.IsOver = over;
    const QImage image = Render(face);
    // The top row and left column run into both far corners; right column and bottom row start one in.
    QCOMPARE(At(image, 0, 0), topLeft);
    QCOMPARE(At(image, 29, 0), topLeft);
    QCOMPARE(At(image, 0, 19), topLeft);
    QCOMPARE(At(image, 15, 0), topLeft);
    QCOMPARE(At(image, 0, 10), topLeft);
    QCOMPARE(At(image, 29, 1), bottomRight);
    QCOMPARE(At(image, 1, 19), bottomRight);
    QCOMPARE(At(image, 29, 19), bottomRight);
    QCOMPARE(At(image, 1, 1), kFace);
    QCOMPARE(At(image, 28, 18), kFace);
}

void TestXpBPainting::gradientRows()
{
    XpBFace face = MakeFace(40, 20, 3);
    const QImage image = Render(face);
    QCOMPARE(At(image, 20, 1), ShiftColor(kWhite, -2));
    QCOMPARE(At(image, 20, 3), ShiftColor(kWhite, -8));
    QCOMPARE(At(image, 20, 18), ShiftColor(kWhite, -45));
    QCOMPARE(At(image, 20, 0), kDarkShadow);
    QCOMPARE(At(image, 20, 19), kDarkShadow);
    QCOMPARE(At(image, 0, 10), kDarkShadow);
    QCOMPARE(At(image, 39, 10), kDarkShadow);
    QCOMPARE(At(image, 1, 10), ShiftColor(kWhite, -25));
}

// Row 19 of a 20-pixel face lies under the outline; its colour shows where the outline is left out.
void TestXpBPainting::pressedGradientIsDarkAtTheTopAndHasNoRing()
{
    XpBFace face = MakeFace(40, 20, 3);
    face.IsDown = true;
    face.IsOver = true;
    face.HasFocus = true;
    const QImage image = Render(face);
    const XpColor c0 = ShiftColor(ShiftColor(kFace, +48), -32);
    QCOMPARE(At(image, 20, 18), ShiftColor(c0, -2));  // i = 2: -2.5 rounds to -2
    QCOMPARE(At(image, 20, 1), ShiftColor(c0, -24));  // i = 19: -23.75
    QCOMPARE(At(image, 1, 10), ShiftColor(c0, -12));  // i = 10: -12.5 rounds to -12; no ring at x = 1
    QCOMPARE(At(image, 20, 0), kDarkShadow);
    QCOMPARE(At(image, 20, 19), kDarkShadow);
    QCOMPARE(At(image, 2, 19), kDarkShadow);
}

void TestXpBPainting::ring_data()
{
    QTest::addColumn<bool>("hovered");
    QTest::addColumn<bool>("focused");
    QTest::addColumn<XpColor>("ring");
    QTest::newRow("hovered") << true << false << RGB(225, 153, 71);
    QTest::newRow("hovered and focused") << true << true << RGB(225, 153, 71);
    QTest::newRow("focused") << false << true << RGB(140, 170, 230);
}

void TestXpBPainting::ring()
{
    QFETCH(bool, hovered);
    QFETCH(bool, focused);
    QFETCH(XpColor, ring);
    XpBFace face = MakeFace(40, 20, 3);
    face.IsOver = hovered;
    face.HasFocus = focused;
    const QImage image = Render(face);
    QCOMPARE(At(image, 1, 10), ring);  // frame (1, 2, W-1, H-2), left side
    QCOMPARE(At(image, 38, 10), ring);  // right side
    QCOMPARE(At(image, 20, 17), ring);  // bottom side
    QCOMPARE(At(image, 20, 18), ShiftColor(ring, -40));
    QCOMPARE(At(image, 20, 1), ShiftColor(ring, +90));
    QCOMPARE(At(image, 20, 2), ShiftColor(ring, +35));
    QCOMPARE(At(image, 2, 10), ShiftColor(ring, +20));
    QCOMPARE(At(image, 37, 10), ShiftColor(ring, +20));
    QCOMPARE(At(image, 3, 16), ring);
    QCOMPARE(At(image, 36, 16), ring);
    QCOMPARE(At(image, 3, 3), ShiftColor(ring, +35));
    QCOMPARE(At(image, 36, 3), ShiftColor(ring, +35));
    // The lines leave out their end points: row 2 stops short of the outline, the sides short of the
    // ring's bottom.
    QCOMPARE(At(image, 39, 2), kDarkShadow);
    QCOMPARE(At(image, 2, 17), ring);
    QCOMPARE(At(image, 37, 17), ring);
    QCOMPARE(At(image, 20, 3), ShiftColor(kWhite, -8));
    QCOMPARE(At(image, 10, 10), ShiftColor(kWhite, -25));
}

void TestXpBPainting::defaultColorsReplaceTheRingColours()
{
    XpBFace face = MakeFace(40, 20, 3);
    face.IsOver = true;
    face.XPColor_Hover = RGB(1, 200, 3);
    Render(face);
    QCOMPARE(face.XPColor_Hover, RGB(225, 153, 71));
    QCOMPARE(face.XPColor_Pressed, RGB(140, 170, 230));

    face.XPDefaultColors = false;
    face.XPColor_Hover = SystemColor(13);
    const QImage image = Render(face);
    QCOMPARE(At(image, 1, 10), RGB(10, 36, 106));
    QCOMPARE(face.XPColor_Hover, SystemColor(13));
}

void TestXpBPainting::corners_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<XpColor>("corner");
    QTest::newRow("enabled") << true << kDarkShadow;
    QTest::newRow("disabled") << false << ShiftColor(ShiftColor(kFace, +48), -72);
}

void TestXpBPainting::corners()
{
    QFETCH(bool, enabled);
    QFETCH(XpColor, corner);
    XpBFace face = MakeFace(40, 20, 3);
    face.Enabled = enabled;
    const QImage image = Render(face);
    // (outer corner, horizontal step, vertical step) of the corners the face-coloured box covers whole
    const int corners[3][4] = {{0, 0, 1, 1}, {39, 0, -1, 1}, {0, 19, 1, -1}};
    for (const auto &c : corners) {
        QCOMPARE(At(image, c[0], c[1]), kFace);
        QCOMPARE(At(image, c[0] + c[2], c[1]), kFace);
        QCOMPARE(At(image, c[0], c[1] + c[3]), kFace);
        QCOMPARE(At(image, c[0] + c[2], c[1] + c[3]), corner);
        QVERIFY(At(image, c[0] + 2 * c[2], c[1]) != kFace);
    }
    // The bottom-right box reaches one pixel past the surface on both sides, so its outline misses the
    // outermost pixel, which keeps the outline's colour.
    QCOMPARE(At(image, 38, 19), kFace);
    QCOMPARE(At(image, 39, 18), kFace);
    QCOMPARE(At(image, 38, 18), corner);
    QCOMPARE(At(image, 39, 19), At(image, 20, 19));
}

void TestXpBPainting::disabledGradientIsFlat()
{
    XpBFace face = MakeFace(40, 20, 3);
    face.Enabled = false;
    face.HasFocus = true;
    const QImage image = Render(face);
    const XpColor base = ShiftColor(kFace, +48);
    QCOMPARE(At(image, 20, 1), ShiftColor(base, -24));
    QCOMPARE(At(image, 20, 18), ShiftColor(base, -24));
    QCOMPARE(At(image, 1, 10), ShiftColor(base, -24));
    QCOMPARE(At(image, 20, 0), ShiftColor(base, -84));
    QCOMPARE(At(image, 39, 10), ShiftColor(base, -84));
}

void TestXpBPainting::zeroHeightDrawsNothing()
{
    XpBFace face = MakeFace(40, 0, 3);
    QImage image(40, 4, QImage::Format_RGB32);
    image.fill(ToQColor(kSentinel));
    QPainter painter(&image);
    DrawGradientLook(painter, face, false, true);
    painter.end();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            QCOMPARE(At(image, x, y), kSentinel);
    QCOMPARE(face.XPColor_Hover, RGB(225, 153, 71));
}

void TestXpBPainting::focusRectangle_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("show");
    QTest::addColumn<bool>("dotted");
    QTest::newRow("plain") << 1 << true << true;
    QTest::newRow("plain, focus rectangle off") << 1 << false << false;
    QTest::newRow("gradient") << 3 << true << false;
}

void TestXpBPainting::focusRectangle()
{
    QFETCH(int, style);
    QFETCH(bool, show);
    QFETCH(bool, dotted);
    XpBFace face = MakeFace(40, 20, style);
    face.HasFocus = true;
    face.ShowFocusRect = show;
    const QImage image = Render(face);
    XpBFace unfocused = MakeFace(40, 20, style);
    const QImage plain = Render(unfocused);
    const XpColor inverted =
        RGB(255 - RedOf(At(plain, 4, 4)), 255 - GreenOf(At(plain, 4, 4)), 255 - BlueOf(At(plain, 4, 4)));
    QCOMPARE(At(image, 4, 4) == inverted, dotted);
    QCOMPARE(At(image, 35, 15) != At(plain, 35, 15), dotted);  // (W-5, H-5), on the dotted pattern
    QCOMPARE(At(image, 5, 4), At(plain, 5, 4));
    QCOMPARE(At(image, 3, 4), At(plain, 3, 4));
    QCOMPARE(At(image, 36, 15), At(plain, 36, 15));
}

// The 21 x 20 picture-only button: the picture rectangle is (2, 2, 18, 18), over the content's edge.
void TestXpBPainting::bitmapTopLeftPixelIsTransparent()
{
    XpBFace face = MakeFace(21, 20, 2);
    face.Picture = XpPicture::FromBitmap(TestBitmap());
    face.PictureWidth = 16;
    face.PictureHeight = 16;
    face.MaskColor = kBlue;
    const QImage image = Render(face);
    QCOMPARE(face.PictureRect, RectLTRB(2, 2, 18, 18));
    QCOMPARE(face.MaskColor, kMagenta);
    QCOMPARE(At(image, 2, 2), kFace);
    QCOMPARE(At(image, 5, 5), kFace);
    QCOMPARE(At(image, 6, 6), kGreen);
    QCOMPARE(At(image, 10, 10), kRed);
    QCOMPARE(At(image, 13, 13), kGreen);
    QCOMPARE(At(image, 14, 14), kFace);
}

void TestXpBPainting::maskColorWhenUsed()
{
    XpBFace face = MakeFace(21, 20, 2);
    face.Picture = XpPicture::FromBitmap(TestBitmap());
    face.PictureWidth = 16;
    face.PictureHeight = 16;
    face.UseMaskColor = true;
    face.MaskColor = kGreen;
    const QImage image = Render(face);
    QCOMPARE(face.MaskColor, kGreen);
    QCOMPARE(At(image, 2, 2), kMagenta);
    QCOMPARE(At(image, 6, 6), kFace);
    QCOMPARE(At(image, 10, 10), kRed);
}

void TestXpBPainting::pressedPictureMovesByOnePixel()
{
    XpBFace face = MakeFace(21, 20, 2);
    face.Picture = XpPicture::FromBitmap(TestBitmap());
    face.PictureWidth = 16;
    face.PictureHeight = 16;
    face.IsDown = true;
    const QImage image = Render(face);
    QCOMPARE(At(image, 10, 10), kGreen);
    QCOMPARE(At(image, 11, 11), kRed);
    QCOMPARE(face.PictureRect, RectLTRB(2, 2, 18, 18));
}

void TestXpBPainting::iconIsStretchedWithItsOwnTransparency()
{
    QImage art(8, 8, QImage::Format_ARGB32);
    art.fill(Qt::transparent);
    QPainter(&art).fillRect(QRect(4, 0, 4, 8), Qt::blue);
    XpBFace face = MakeFace(40, 40, 2);
    face.Picture = XpPicture::FromIcon(QIcon(QPixmap::fromImage(art)), QSize(8, 8));
    face.PictureWidth = 16;
    face.PictureHeight = 16;
    const QImage image = Render(face);
    QCOMPARE(face.PictureRect, QRect(12, 12, 16, 16));
    QCOMPARE(At(image, 13, 20), kFace);
    QCOMPARE(At(image, 26, 20), kBlue);
    QCOMPARE(At(image, 21, 27), kBlue);
}

void TestXpBPainting::disabledPictureIsEmbossed()
{
    XpBFace face = MakeFace(21, 20, 2);
    face.Picture = XpPicture::FromBitmap(TestBitmap());
    face.PictureWidth = 16;
    face.PictureHeight = 16;
    face.Enabled = false;
    const QImage image = Render(face);
    QCOMPARE(At(image, 6, 6), kShadow);  // the green square, in shadow
    QCOMPARE(At(image, 14, 14), kHighlight);  // one pixel past its bottom-right corner
    QCOMPARE(At(image, 14, 7), kHighlight);
    QCOMPARE(At(image, 14, 6), kFace);
    QCOMPARE(At(image, 5, 5), kFace);
    QCOMPARE(At(image, 3, 3), kFace);
}

void TestXpBPainting::disabledPictureLeavesLightPartsOut()
{
    // A sheet of paper with a dark outline, as the paste picture draws it.
    QImage sheet = TestBitmap();
    QPainter painter(&sheet);
    painter.fillRect(QRect(4, 4, 8, 8), QColor(40, 50, 60));
    painter.fillRect(QRect(5, 5, 6, 6), QColor(244, 247, 251));
    painter.end();
    XpBFace face = MakeFace(21, 20, 2);
    face.Picture = XpPicture::FromBitmap(sheet);
    face.PictureWidth = 16;
    face.PictureHeight = 16;
    face.Enabled = false;
    const QImage image = Render(face);
    QCOMPARE(At(image, 6, 6), kShadow);  // the outline
    QCOMPARE(At(image, 9, 9), kFace);  // the paper
}

void TestXpBPainting::disabledCaptionIsEmbossed()
{
    const auto countColour = [](const QImage &image, XpColor rgb) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += At(image, x, y) == rgb;
        return count;
    };
    XpBFace face = MakeFace(60, 30, 2);
    face.Caption = QStringLiteral("H");
    face.Font.setPixelSize(16);
    face.Font.setStyleStrategy(QFont::NoAntialias);
    const QImage enabled = Render(face);
    QVERIFY(countColour(enabled, RGB(0, 0, 80)) > 10);
    face.Enabled = false;
    const QImage disabled = Render(face);
    QCOMPARE(countColour(disabled, RGB(0, 0, 80)), 0);
    QVERIFY(countColour(disabled, kShadow) > 10);
    QVERIFY(countColour(disabled, kHighlight) > 0);
}

void TestXpBPainting::crispAtDoubleResolution()
{
    XpBFace face = MakeFace(30, 20, 0);
    const QImage framed = Render(face, 2);
    QCOMPARE(framed.size(), QSize(60, 40));
    QCOMPARE(At(framed, 30, 0), kHighlight);
    QCOMPARE(At(framed, 30, 1), kHighlight);
    QCOMPARE(At(framed, 30, 2), kFace);
    QCOMPARE(At(framed, 59, 20), kBlack);
    QCOMPARE(At(framed, 58, 20), kBlack);
    QCOMPARE(At(framed, 57, 20), kFace);

    XpBFace gradient = MakeFace(30, 20, 3);
    const QImage image = Render(gradient, 2);
    QCOMPARE(At(image, 30, 2), ShiftColor(kWhite, -2));
    QCOMPARE(At(image, 30, 3), ShiftColor(kWhite, -2));
    QCOMPARE(At(image, 30, 6), ShiftColor(kWhite, -8));
    QCOMPARE(At(image, 30, 7), ShiftColor(kWhite, -8));
    QCOMPARE(At(image, 2, 2), kDarkShadow);
    QCOMPARE(At(image, 3, 3), kDarkShadow);
    QCOMPARE(At(image, 1, 1), kFace);
}

QTEST_MAIN(TestXpBPainting)
#include "tst_xpbpainting.moc"
