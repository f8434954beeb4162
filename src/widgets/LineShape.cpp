#include "LineShape.h"

#include <QPainter>

LineShape::LineShape(const QString &name, QPoint from, QPoint to, QWidget *parent) : QWidget(parent), from(from), to(to)
{
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(QRect(QPoint(qMin(from.x(), to.x()), qMin(from.y(), to.y())),
                      QPoint(qMax(from.x(), to.x()), qMax(from.y(), to.y()))));
}

void LineShape::setBorderColor(const QColor &newColor)
{
    color = newColor;
    update();
}

void LineShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(color, 0));
    painter.drawLine(from - pos(), to - pos());
}
