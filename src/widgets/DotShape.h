#pragma once

#include <QWidget>

// A filled black circle filling its box: the blinking dots of the About window.
class DotShape : public QWidget {
    Q_OBJECT

public:
    DotShape(const QString &name, const QRect &box, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};
