#include "XpBPainter.h"

#include "XpBGradient.h"
#include "XpBLayout.h"
#include "XpCanvas.h"

#include <QFontMetrics>

using namespace XpCanvas;

namespace {

constexpr XpColor kBlack = 0;

QImage Tinted(const QImage &ink, XpColor rgb)
{
    QImage out = ink;
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(out.rect(), ToQColor(rgb));
    return out;
}

// What the picture shows at its natural size, transparent where it is transparent.
QImage VisiblePicture(const XpBFace &face, qreal devicePixelRatio)
{
    const XpPicture &picture = face.Picture;
    if (picture.kind() == XpPicture::Kind::Bitmap) {
        const XpColor mask = face.UseMaskColor ? TranslateColor(face.MaskColor, face.Palette)
                                               : FromQColor(picture.bitmap().pixelColor(0, 0));
        return MaskedBitmap(picture.bitmap(), mask);
    }
    return picture.icon().pixmap(picture.naturalSize(), devicePixelRatio).toImage();
}

void DrawDisabledPicture(QPainter &painter, const XpBFace &face, QPoint at)
{
    const QImage ink = DisabledInk(VisiblePicture(face, painter.device()->devicePixelRatioF()));
    painter.drawImage(at + QPoint(1, 1), Tinted(ink, TranslateColor(SystemColor(COLOR_3DHIGHLIGHT), face.Palette)));
    painter.drawImage(at, Tinted(ink, TranslateColor(SystemColor(COLOR_BTNSHADOW), face.Palette)));
}

}  // namespace

void DrawPlainFrame(QPainter &painter, const XpBFace &face)
{
    const XpColor highlight = TranslateColor(SystemColor(COLOR_3DHIGHLIGHT), face.Palette);
    // The second outline is one pixel larger than the surface, so only its top row and left column land:
    // they take its colour, the right column and bottom row keep the first outline's.
    if (face.IsDown) {
        Frame(painter, RectLTRB(0, 0, face.W, face.H), highlight);
        Frame(painter, RectLTRB(0, 0, face.W + 1, face.H + 1), kBlack);
    } else if (face.IsOver || face.ButtonStyle == XpBLook::Style::AlwaysFramed) {
        Frame(painter, RectLTRB(0, 0, face.W, face.H), kBlack);
        Frame(painter, RectLTRB(0, 0, face.W + 1, face.H + 1), highlight);
    }
}

void DrawCaption(QPainter &painter, const XpBFace &face)
{
    constexpr int kFlags = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    // The rectangle fits the measured text exactly; a little slack on both sides keeps rounding at other
    // device-pixel ratios from wrapping a line that fitted when measured.
    const QRect rect = face.CaptionRect.adjusted(1 - 2, 0, -1 + 2, 0);
    painter.setFont(face.Font);
    if (face.Enabled) {
        painter.setPen(ToQColor(TranslateColor(SystemColor(COLOR_BTNTEXT), face.Palette)));
        painter.drawText(face.IsDown ? rect.translated(1, 1) : rect, kFlags, face.Caption);
        return;
    }
    painter.setPen(ToQColor(TranslateColor(SystemColor(COLOR_3DHIGHLIGHT), face.Palette)));
    painter.drawText(rect.translated(1, 1), kFlags, face.Caption);
    painter.setPen(ToQColor(TranslateColor(SystemColor(COLOR_BTNSHADOW), face.Palette)));
    painter.drawText(rect, kFlags, face.Caption);
}

void DrawPicture(QPainter &painter, XpBFace &face)
{
    const QRect target = face.IsDown ? face.PictureRect.translated(1, 1) : face.PictureRect;
    if (!face.Enabled) {
        DrawDisabledPicture(painter, face, target.topLeft());
        return;
    }
    const XpPicture &picture = face.Picture;
    if (picture.kind() == XpPicture::Kind::Bitmap) {
        const QImage &bitmap = picture.bitmap();
        if (!face.UseMaskColor)
            face.MaskColor = FromQColor(bitmap.pixelColor(0, 0));
        // The bitmap is copied at its natural size: the picture rectangle only decides how much of it shows.
        const qreal ratio = bitmap.devicePixelRatio();
        const QRect source =
            QRect(0, 0, qRound(target.width() * ratio), qRound(target.height() * ratio)).intersected(bitmap.rect());
        const QRectF shown(target.topLeft(), QSizeF(source.size()) / ratio);
        painter.drawImage(shown, MaskedBitmap(bitmap, TranslateColor(face.MaskColor, face.Palette)), source);
    } else if (picture.kind() == XpPicture::Kind::Icon) {
        if (target.isEmpty())
            return;
        const QPixmap pixmap = picture.icon().pixmap(target.size(), painter.device()->devicePixelRatioF());
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(target, pixmap);
        painter.restore();
    }
}

void DrawFocusRect(QPainter &painter, const QRect &rect)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    const auto dot = [&painter](int x, int y) {
        if ((x + y) % 2 == 0)
            painter.fillRect(QRect(x, y, 1, 1), Qt::black);
    };
    for (int x = rect.left(); x <= rect.right(); ++x) {
        dot(x, rect.top());
        if (rect.bottom() != rect.top())
            dot(x, rect.bottom());
    }
    for (int y = rect.top() + 1; y < rect.bottom(); ++y) {
        dot(rect.left(), y);
        if (rect.right() != rect.left())
            dot(rect.right(), y);
    }
    painter.restore();
}

void DrawXpB(QPainter &painter, XpBFace &face)
{
    painter.save();
    painter.setClipRect(QRect(0, 0, face.W, face.H));
    painter.fillRect(QRect(0, 0, face.W, face.H),
                     face.Background.isValid() ? face.Background : face.Palette.color(QPalette::Button));
    if (face.ButtonStyle == XpBLook::Style::Gradient)
        DrawGradientLook(painter, face, face.IsDown, face.IsOver);
    else
        DrawPlainFrame(painter, face);
    LayOut(face, QFontMetrics(face.Font, painter.device()));
    if (!face.Caption.isEmpty())
        DrawCaption(painter, face);
    if (!face.Picture.isNone())
        DrawPicture(painter, face);
    if (face.HasFocus && face.ShowFocusRect && face.ButtonStyle != XpBLook::Style::Gradient)
        DrawFocusRect(painter, RectLTRB(4, 4, face.W - 4, face.H - 4));
    painter.restore();
}
