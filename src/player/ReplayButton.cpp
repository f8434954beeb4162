#include "ReplayButton.h"

#include <QPainter>
#include <QPainterPath>

ReplayButton::ReplayButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    // The button draws only its round arrow; these are its words.
    setToolTip(QStringLiteral("Смотреть снова"));
    setAccessibleName(toolTip());
}

QSize ReplayButton::sizeHint() const
{
    return {56, 56};
}

void ReplayButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal unit = disc.width() / 56;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, underMouse() ? 190 : 140));
    painter.drawEllipse(disc);

    // A circular arrow, open at the top right, with its head pointing on round the circle.
    const QColor ink(0xf2, 0xf3, 0xf5);
    const QRectF ring(disc.center() - QPointF(14 * unit, 14 * unit), QSizeF(28 * unit, 28 * unit));
    painter.setPen(QPen(ink, 3.5 * unit, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(ring, 60 * 16, 300 * 16);
    const QPointF tip = ring.center() + QPointF(7 * unit, -12.1 * unit);
    QPainterPath head;
    head.moveTo(tip + QPointF(-2 * unit, -6 * unit));
    head.lineTo(tip + QPointF(6 * unit, 0.5 * unit));
    head.lineTo(tip + QPointF(-3 * unit, 5 * unit));
    head.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawPath(head);
}
