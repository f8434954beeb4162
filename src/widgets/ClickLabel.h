#pragma once

#include <QLabel>

// A label that reports a click: the left button pressed and released over it.
class ClickLabel : public QLabel {
    Q_OBJECT

public:
    ClickLabel(const QString &name, const QString &text, QWidget *parent);

signals:
    void Click();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool pressed = false;
};
