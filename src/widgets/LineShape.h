#pragma once

#include <QColor>
#include <QPoint>
#include <QWidget>

// A straight line control of a window, one pixel wide, from one point to another (both drawn). The
// windows use only horizontal and vertical ones; a slanted line is drawn within the box of its two ends.
class LineShape : public QWidget {
    Q_OBJECT

public:
    LineShape(const QString &name, QPoint from, QPoint to, QWidget *parent);

    QPoint From() const { return from; }
    QPoint To() const { return to; }
    QColor BorderColor() const { return color; }
    void setBorderColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPoint from;
    QPoint to;
    QColor color = Qt::black;
};
