#include "ClickLabel.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

ClickLabel::ClickLabel(const QString &name, const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setObjectName(name);
}

void ClickLabel::mousePressEvent(QMouseEvent *event)
{
    pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit Click();
}

void ClickLabel::setFocusShown(bool shown)
{
    focusShown = shown;
    update();
}

void ClickLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!focusShown)
        return;
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    // Shown from the start, as the window's buttons show theirs, not only once Tab has been pressed.
    focus.state |= QStyle::State_KeyboardFocusChange;
    const int textWidth = std::min(fontMetrics().horizontalAdvance(text()), contentsRect().width() - 2);
    focus.rect = QRect(contentsRect().left(), contentsRect().top(), textWidth + 2, contentsRect().height());
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}

void ClickLabel::OpenToKeyboard()
{
    setFocusPolicy(Qt::StrongFocus);
}

void ClickLabel::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (focusPolicy() != Qt::NoFocus && !event->isAutoRepeat()
        && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
        emit Click();
        return;
    }
    QLabel::keyPressEvent(event);
}

void ClickLabel::focusInEvent(QFocusEvent *event)
{
    setFocusShown(true);
    QLabel::focusInEvent(event);
}

void ClickLabel::focusOutEvent(QFocusEvent *event)
{
    setFocusShown(false);
    QLabel::focusOutEvent(event);
}
