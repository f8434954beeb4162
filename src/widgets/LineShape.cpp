#include "LineShape.h"

#include <QPainter>

LineShape::LineShape(const QString &name, QPoint from, QPoint to, QWidget *parent)
    : QWidget(parent), m_from(from), m_to(to)
{
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(QRect(QPoint(qMin(from.x(), to.x()), qMin(from.y(), to.y())),
                      QPoint(qMax(from.x(), to.x()), qMax(from.y(), to.y()))));
}

void LineShape::setBorderColor(const QColor &color)
{
    m_color = color;
    update();
}

void LineShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(m_color, 0));
    painter.drawLine(m_from - pos(), m_to - pos());
}
