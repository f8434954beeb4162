#include "XpBLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kGap = 4;

// Picture sizes take part in the layout as 16-bit values; larger ones saturate rather than overflow.
qint16 Clamp16(qint32 value)
{
    return qint16(std::clamp<qint32>(value, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max()));
}

int Centred(int start, int room, int size)
{
    return Nearest(start + (room - size) / 2.0);
}

}  // namespace

int Nearest(double value)
{
    return int(std::nearbyint(value));
}

QSize MeasureCaption(const QFontMetrics &metrics, const QString &caption, int contentWidth)
{
    const int wrapWidth = std::max(contentWidth - 2, 1);
    const QRect bounds = metrics.boundingRect(QRect(0, 0, wrapWidth, std::numeric_limits<int>::max() / 4),
                                              Qt::AlignHCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, caption);
    return QSize(bounds.width() + 2, bounds.height());
}

void PlaceCaptionAndPicture(int W, int H, QSize textSize, bool hasPicture, qint16 pw, qint16 ph, qint32 picturePosition,
                            QRect &captionRect, QRect &pictureRect)
{
    const int left = 4;
    const int top = 4;
    const int cw = (W - 4) - left;
    const int ch = (H - 4) - top;

    if (textSize.isEmpty()) {
        pictureRect = QRect(Centred(left, cw, pw), Centred(top, ch, ph), pw, ph);
        return;
    }

    const int tw = textSize.width();
    const int th = textSize.height();
    captionRect = QRect(Centred(left, cw, tw), Centred(top, ch, th), tw, th);
    if (!hasPicture)
        return;

    switch (picturePosition) {
    case 0:
        pictureRect = QRect(Centred(left, cw, pw), Centred(top, ch, ph + th + kGap), pw, ph);
        captionRect = QRect(Centred(left, cw, tw), pictureRect.top() + ph + kGap, tw, th);
        break;
    case 1:
        pictureRect = QRect(Centred(left, cw, pw + tw + kGap), Centred(top, ch, ph), pw, ph);
        captionRect = QRect(pictureRect.left() + pw + kGap, Centred(top, ch, th), tw, th);
        break;
    case 2:
        captionRect = QRect(Centred(left, cw, pw + tw + kGap), Centred(top, ch, th), tw, th);
        pictureRect = QRect(captionRect.left() + tw + kGap, Centred(top, ch, ph), pw, ph);
        break;
    case 3:
        captionRect = QRect(Centred(left, cw, tw), Centred(top, ch, ph + th + kGap), tw, th);
        pictureRect = QRect(Centred(left, cw, pw), captionRect.top() + th + kGap, pw, ph);
        break;
    default:
        break;
    }
}

void LayOut(XpBFace &face, const QFontMetrics &metrics)
{
    const QSize textSize = face.Caption.isEmpty() ? QSize() : MeasureCaption(metrics, face.Caption, face.W - 8);
    PlaceCaptionAndPicture(face.W, face.H, textSize, !face.Picture.isNone(), Clamp16(face.PictureWidth),
                           Clamp16(face.PictureHeight), face.PicturePosition, face.CaptionRect, face.PictureRect);
}

QChar AccessKeyOf(const QString &caption)
{
    if (caption.size() < 2)
        return {};
    qsizetype at = caption.indexOf(QLatin1Char('&'));
    if (at < 0 || at + 1 >= caption.size())
        return {};
    if (caption.at(at + 1) == QLatin1Char('&')) {
        at = caption.indexOf(QLatin1Char('&'), at + 2);
        if (at < 0 || at + 1 >= caption.size() || caption.at(at + 1) == QLatin1Char('&'))
            return {};
    }
    return caption.at(at + 1).toLower();
}
