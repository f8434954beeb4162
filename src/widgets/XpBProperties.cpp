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

template <typename T>
void Put(QVariantMap &bag, const QString &key, const T &value, const T &defaultValue)
{
    if (!(value == defaultValue))
        bag.insert(key, QVariant::fromValue(value));
}

} // namespace

void XpB::ReadProperties(const QVariantMap &bag)
{
    const XpBFace Defaults;
    const auto get = [&bag](const char *key, const QVariant &defaultValue) {
        return bag.value(QLatin1String(key), defaultValue);
    };
    m_face.Caption = get("Caption", objectName()).toString();
    m_face.ButtonStyle = get("ButtonStyle", Defaults.ButtonStyle).toInt();
    m_face.Picture = PictureOf(bag.value(QStringLiteral("Picture")));
    m_face.PicturePosition = get("PicturePosition", Defaults.PicturePosition).toInt();
    m_face.PictureWidth = get("PictureWidth", Defaults.PictureWidth).toInt();
    m_face.PictureHeight = get("PictureHeight", Defaults.PictureHeight).toInt();
    m_face.ShowFocusRect = get("ShowFocusRect", Defaults.ShowFocusRect).toBool();
    m_enabledCtrl = get("Enabled", true).toBool();
    m_face.XPColor_Pressed = get("XPColor_Pressed", Defaults.XPColor_Pressed).toUInt();
    m_face.XPColor_Hover = get("XPColor_Hover", Defaults.XPColor_Hover).toUInt();
    m_face.XPDefaultColors = get("XPDefaultColors", Defaults.XPDefaultColors).toBool();
    m_face.MaskColor = get("MaskColor", Defaults.MaskColor).toUInt();
    // Stored as a number; any value but 0 means true.
    m_face.UseMaskColor = get("UseMaskColor", Defaults.UseMaskColor).toInt() != 0;

    setEnabled(m_enabledCtrl);
    SetAccessKey();
    UpdateSize();
}

QVariantMap XpB::WriteProperties() const
{
    const XpBFace Defaults;
    QVariantMap bag;
    Put(bag, QStringLiteral("Caption"), m_face.Caption, objectName());
    Put(bag, QStringLiteral("ButtonStyle"), m_face.ButtonStyle, Defaults.ButtonStyle);
    Put(bag, QStringLiteral("Picture"), m_face.Picture, Defaults.Picture);
    Put(bag, QStringLiteral("PicturePosition"), m_face.PicturePosition, Defaults.PicturePosition);
    Put(bag, QStringLiteral("PictureWidth"), m_face.PictureWidth, Defaults.PictureWidth);
    Put(bag, QStringLiteral("PictureHeight"), m_face.PictureHeight, Defaults.PictureHeight);
    Put(bag, QStringLiteral("ShowFocusRect"), m_face.ShowFocusRect, Defaults.ShowFocusRect);
    Put(bag, QStringLiteral("Enabled"), m_enabledCtrl, true);
    Put(bag, QStringLiteral("XPColor_Pressed"), m_face.XPColor_Pressed, Defaults.XPColor_Pressed);
    Put(bag, QStringLiteral("XPColor_Hover"), m_face.XPColor_Hover, Defaults.XPColor_Hover);
    Put(bag, QStringLiteral("XPDefaultColors"), m_face.XPDefaultColors, Defaults.XPDefaultColors);
    Put(bag, QStringLiteral("MaskColor"), m_face.MaskColor, Defaults.MaskColor);
    Put(bag, QStringLiteral("UseMaskColor"), qint32(m_face.UseMaskColor ? -1 : 0), qint32(0));
    return bag;
}
