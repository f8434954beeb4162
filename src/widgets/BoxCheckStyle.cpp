#include "BoxCheckStyle.h"

#include <QStyleOption>

namespace {

// The styles draw a check box's edge a little darker than the window's colour, which on a near-white dialog is
// hardly seen; this colour makes it the grey of a field's frame.
const QColor kEdgeBase(150, 150, 150);

}  // namespace

BoxCheckStyle::BoxCheckStyle(int side) : side(side)
{
}

int BoxCheckStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    if (metric == PM_IndicatorWidth || metric == PM_IndicatorHeight)
        return side;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

void BoxCheckStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                                  const QWidget *widget) const
{
    const auto *box = qstyleoption_cast<const QStyleOptionButton *>(option);
    if (element != PE_IndicatorCheckBox || !box)
        return QProxyStyle::drawPrimitive(element, option, painter, widget);
    QStyleOptionButton darker(*box);
    darker.palette.setColor(QPalette::Window, kEdgeBase);
    QProxyStyle::drawPrimitive(element, &darker, painter, widget);
}
