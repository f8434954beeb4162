#pragma once

#include <QColor>
#include <QWidget>

// The background picture `BG` of the program's small windows: a vertical gradient that always covers the
// whole window it is put in, also after the window changes size, and lies behind every other control.
class GradientBG : public QWidget {
    Q_OBJECT

public:
    GradientBG(const QColor &top, const QColor &bottom, QWidget *window);

    QColor TopColor() const { return top; }
    QColor BottomColor() const { return bottom; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void CoverWindow();

    QColor top;
    QColor bottom;
};
