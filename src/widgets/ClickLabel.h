#pragma once

#include <QLabel>

// A label that reports a click: the left button pressed and released over it.
class ClickLabel : public QLabel {
    Q_OBJECT

public:
    ClickLabel(const QString &name, const QString &text, QWidget *parent);

    // Lets the keyboard reach the label, as a link: Tab gives it the focus, shown around its text, and Enter or
    // Space click it; a screen reader reads it as a link.
    void OpenToKeyboard();

    // A dotted focus rectangle around the text, for the control this label is the caption of: a check box
    // without text of its own has nowhere else to show that it has the keyboard focus.
    bool FocusShown() const { return focusShown; }
    void setFocusShown(bool shown);

signals:
    void Click();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool pressed = false;
    bool focusShown = false;
};
