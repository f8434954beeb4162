#pragma once

#include <QProxyStyle>

// The style of the settings dialog's check boxes, which are exactly as large as their square: the square fills
// the box, so none of its edges is cut off, and its edge is drawn dark enough to be seen on the dialog's light
// background.
class BoxCheckStyle : public QProxyStyle {
    Q_OBJECT

public:
    // side: the box's side in pixels at 100 %.
    explicit BoxCheckStyle(int side);

    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;

private:
    int side;
};
