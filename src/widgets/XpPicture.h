#pragma once

#include "XpColor.h"

#include <QIcon>
#include <QImage>
#include <QMetaType>
#include <QSize>
#include <QString>

// A button's picture: a bitmap, whose transparent colour is one of its own colours, or an icon, which
// carries its own transparency and is stretched to the picture rectangle.
class XpPicture {
public:
    enum class Kind { None, Bitmap, Icon };

    XpPicture() = default;
    static XpPicture FromBitmap(const QImage &bitmap);
    static XpPicture FromIcon(const QIcon &icon, QSize size);

    Kind kind() const { return pictureKind; }
    bool isNone() const { return pictureKind == Kind::None; }
    const QImage &bitmap() const { return bitmapImage; }
    const QIcon &icon() const { return iconImage; }

    // The picture's own size in pixels at 100 %; a high-resolution bitmap counts at its logical size.
    QSize naturalSize() const { return size; }

    friend bool operator==(const XpPicture &a, const XpPicture &b);

private:
    Kind pictureKind = Kind::None;
    QImage bitmapImage;
    QIcon iconImage;
    QSize size;
};

Q_DECLARE_METATYPE(XpPicture)

// Reads a picture file: .ico files become icons, everything else a bitmap. A file that cannot be read
// gives no picture.
XpPicture LoadPicture(const QString &path);

// The bitmap as ARGB with every pixel of the mask colour made fully transparent.
QImage MaskedBitmap(const QImage &bitmap, XpColor maskColor);

// The ink of the disabled (embossed) form: opaque where the picture shows something other than white,
// transparent elsewhere; white pixels fade into the face as they do in the system's own embossing.
QImage DisabledInk(const QImage &visible);
