#include "ElidedLabel.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

ElidedLabel::ElidedLabel(const QString &name, const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setObjectName(name);
    setTextFormat(Qt::PlainText);
}

QRect ElidedLabel::TextArea() const
{
    QRect area = contentsRect();
    const int margin = std::max(indent(), 0);
    if (alignment() & Qt::AlignRight)
        area.setRight(area.right() - margin);
    else if (!(alignment() & Qt::AlignHCenter))
        area.setLeft(area.left() + margin);
    return area;
}

void ElidedLabel::setSmallestPixelSize(int pixels)
{
    smallestPixelSize = pixels;
    update();
}

QFont ElidedLabel::ShownFont() const
{
    QFont shown = font();
    if (smallestPixelSize <= 0)
        return shown;
    const int width = TextArea().width();
    for (int pixels = QFontInfo(shown).pixelSize();
         pixels > smallestPixelSize && QFontMetrics(shown).horizontalAdvance(text()) > width; --pixels)
        shown.setPixelSize(pixels - 1);
    return shown;
}

QString ElidedLabel::ShownText() const
{
    return ShownText(ShownFont());
}

QString ElidedLabel::ShownText(const QFont &shown) const
{
    return QFontMetrics(shown).elidedText(text(), Qt::ElideRight, TextArea().width());
}

bool ElidedLabel::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QLabel::event(event);
    // A tooltip set on the label itself goes first; otherwise the whole text, when it does not fit.
    if (toolTip().isEmpty() && ShownText() != text()) {
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text(), this);
        return true;
    }
    return QLabel::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFont shown = ShownFont();
    painter.setFont(shown);
    const Qt::Alignment aligned = QStyle::visualAlignment(layoutDirection(), alignment());
    style()->drawItemText(&painter, TextArea(), int(aligned), palette(), isEnabled(), ShownText(shown),
                          foregroundRole());
}
