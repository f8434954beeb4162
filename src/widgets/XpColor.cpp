#include "XpColor.h"

#include <algorithm>

XpColor SystemColorRGB(int index, const QPalette &palette)
{
    QPalette::ColorRole role;
    switch (index) {
    case 5:
        role = QPalette::Base;
        break;  // window background
    case 8:
        role = QPalette::Text;
        break;  // window text
    case 13:
        role = QPalette::Highlight;
        break;  // selected item
    case 14:
        role = QPalette::HighlightedText;
        break;  // selected item text
    case COLOR_BTNFACE:
        role = QPalette::Button;
        break;
    case COLOR_BTNSHADOW:
        role = QPalette::Dark;
        break;
    case COLOR_BTNTEXT:
        role = QPalette::ButtonText;
        break;
    case COLOR_3DHIGHLIGHT:
        role = QPalette::Light;
        break;
    case COLOR_3DDKSHADOW:
        role = QPalette::Shadow;
        break;
    case COLOR_3DLIGHT:
        role = QPalette::Midlight;
        break;
    default:
        return 0;
    }
    // The buttons draw their own disabled look from the normal colours, so always take the active group.
    return FromQColor(palette.color(QPalette::Active, role));
}

XpColor TranslateColor(XpColor value, const QPalette &palette)
{
    if (value & kSystemColorFlag)
        return SystemColorRGB(int(value & ~kSystemColorFlag), palette);
    return value;
}

XpColor ShiftColor(XpColor rgb, int delta)
{
    const auto shift = [delta](int channel) { return std::clamp(channel + delta, 0, 255); };
    return RGB(shift(RedOf(rgb)), shift(GreenOf(rgb)), shift(BlueOf(rgb)));
}

QColor ToQColor(XpColor rgb)
{
    return QColor(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
}

XpColor FromQColor(const QColor &color)
{
    return RGB(color.red(), color.green(), color.blue());
}
