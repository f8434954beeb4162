#include "XpPicture.h"

#include <QFileInfo>
#include <QImageReader>

#include <cmath>

XpPicture XpPicture::FromBitmap(const QImage &bitmap)
{
    XpPicture picture;
    if (bitmap.isNull())
        return picture;
    picture.pictureKind = Kind::Bitmap;
    picture.bitmapImage = bitmap;
    const QSizeF logical = bitmap.deviceIndependentSize();
    picture.size = QSize(int(std::nearbyint(logical.width())), int(std::nearbyint(logical.height())));
    return picture;
}

XpPicture XpPicture::FromIcon(const QIcon &icon, QSize size)
{
    XpPicture picture;
    if (icon.isNull() || size.isEmpty())
        return picture;
    picture.pictureKind = Kind::Icon;
    picture.iconImage = icon;
    picture.size = size;
    return picture;
}

bool operator==(const XpPicture &a, const XpPicture &b)
{
    if (a.pictureKind != b.pictureKind || a.size != b.size)
        return false;
    switch (a.pictureKind) {
    case XpPicture::Kind::None:
        return true;
    case XpPicture::Kind::Bitmap:
        return a.bitmapImage == b.bitmapImage;
    case XpPicture::Kind::Icon:
        return a.iconImage.cacheKey() == b.iconImage.cacheKey();
    }
    return false;
}

XpPicture LoadPicture(const QString &path)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("ico"), Qt::CaseInsensitive) == 0) {
        QImageReader reader(path);
        const QSize size = reader.size();
        return XpPicture::FromIcon(QIcon(path), size.isValid() ? size : QSize(32, 32));
    }
    return XpPicture::FromBitmap(QImage(path));
}

QImage MaskedBitmap(const QImage &bitmap, XpColor maskColor)
{
    QImage masked = bitmap.convertToFormat(QImage::Format_ARGB32);
    const QRgb mask = ToQColor(maskColor).rgb() & RGB_MASK;
    for (int y = 0; y < masked.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x) {
            if ((line[x] & RGB_MASK) == mask)
                line[x] = 0;
        }
    }
    return masked;
}

QImage DisabledInk(const QImage &visible)
{
    QImage ink = visible.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < ink.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(ink.scanLine(y));
        for (int x = 0; x < ink.width(); ++x) {
            // Light parts (paper, highlights) stay out of the shape, so a picture keeps its outline and
            // markings instead of turning into one grey blob.
            const bool shows = qAlpha(line[x]) >= 128 && qGray(line[x]) < 192;
            line[x] = shows ? 0xFF000000u : 0u;
        }
    }
    return ink;
}
