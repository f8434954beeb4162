#include "XpB.h"

#include <QImage>

namespace {

// Besides a picture itself, a window's description may give an image or the name of a picture file.
XpPicture PictureOf(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<XpPicture>())
        return value.value<XpPicture>();
    if (value.metaType() == QMetaType::fromType<QImage>())
        return XpPicture::FromBitmap(value.value<QImage>());
    if (value.metaType() == QMetaType::fromType<QString>())
        return LoadPicture(value.toString());
    return XpPicture();
}

template <typename T> void Put(QVariantMap &bag, const QString &key, const T &value, const T &defaultValue)
{
    if (!(value == defaultValue))
        bag.insert(key, QVariant::fromValue(value));
}

}  // namespace

void XpB::ReadProperties(const QVariantMap &bag)
{
    const XpBFace Defaults;
    const auto get = [&bag](const char *key, const QVariant &defaultValue) {
        return bag.value(QLatin1String(key), defaultValue);
    };
    face.Caption = get("Caption", objectName()).toString();
    face.ButtonStyle = XpBLook::Style(get("ButtonStyle", qint32(Defaults.ButtonStyle)).toInt());
    face.Picture = PictureOf(bag.value(QStringLiteral("Picture")));
    face.PicturePosition = get("PicturePosition", Defaults.PicturePosition).toInt();
    face.PictureWidth = get("PictureWidth", Defaults.PictureWidth).toInt();
    face.PictureHeight = get("PictureHeight", Defaults.PictureHeight).toInt();
    face.ShowFocusRect = get("ShowFocusRect", Defaults.ShowFocusRect).toBool();
    enabledCtrl = get("Enabled", true).toBool();
    face.XPColor_Pressed = get("XPColor_Pressed", Defaults.XPColor_Pressed).toUInt();
    face.XPColor_Hover = get("XPColor_Hover", Defaults.XPColor_Hover).toUInt();
    face.XPDefaultColors = get("XPDefaultColors", Defaults.XPDefaultColors).toBool();
    face.MaskColor = get("MaskColor", Defaults.MaskColor).toUInt();
    // Stored as a number; any value but 0 means true.
    face.UseMaskColor = get("UseMaskColor", Defaults.UseMaskColor).toInt() != 0;

    setEnabled(enabledCtrl);
    SetAccessKey();
    UpdateSize();
}

QVariantMap XpB::WriteProperties() const
{
    const XpBFace Defaults;
    QVariantMap bag;
    Put(bag, QStringLiteral("Caption"), face.Caption, objectName());
    Put(bag, QStringLiteral("ButtonStyle"), qint32(face.ButtonStyle), qint32(Defaults.ButtonStyle));
    Put(bag, QStringLiteral("Picture"), face.Picture, Defaults.Picture);
    Put(bag, QStringLiteral("PicturePosition"), face.PicturePosition, Defaults.PicturePosition);
    Put(bag, QStringLiteral("PictureWidth"), face.PictureWidth, Defaults.PictureWidth);
    Put(bag, QStringLiteral("PictureHeight"), face.PictureHeight, Defaults.PictureHeight);
    Put(bag, QStringLiteral("ShowFocusRect"), face.ShowFocusRect, Defaults.ShowFocusRect);
    Put(bag, QStringLiteral("Enabled"), enabledCtrl, true);
    Put(bag, QStringLiteral("XPColor_Pressed"), face.XPColor_Pressed, Defaults.XPColor_Pressed);
    Put(bag, QStringLiteral("XPColor_Hover"), face.XPColor_Hover, Defaults.XPColor_Hover);
    Put(bag, QStringLiteral("XPDefaultColors"), face.XPDefaultColors, Defaults.XPDefaultColors);
    Put(bag, QStringLiteral("MaskColor"), face.MaskColor, Defaults.MaskColor);
    Put(bag, QStringLiteral("UseMaskColor"), qint32(face.UseMaskColor ? -1 : 0), qint32(0));
    return bag;
}
