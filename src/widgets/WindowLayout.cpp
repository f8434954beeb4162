#include "WindowLayout.h"

#include <QApplication>
#include <QLabel>

QFont WindowFont()
{
    // The layouts were drawn for a narrow 8-point face; the usual sans serif faces of a Linux desktop are
    // about an eighth wider, which semi-condensed makes good.
    QFont font = QApplication::font();
    font.setPixelSize(11);
    font.setStretch(QFont::SemiCondensed);
    return font;
}

void MakeFixedWindow(QWidget *window, QSize size)
{
    window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                           | Qt::MSWindowsFixedSizeDialogHint);
    window->setFixedSize(size);
}

void PlaceLabel(QLabel *label, const QRect &box, bool centred)
{
    QRect placed = box;
    const int needed = label->sizeHint().width();
    if (needed > box.width()) {
        placed.setWidth(needed);
        if (centred)
            placed.moveLeft(box.center().x() - needed / 2);
    }
    label->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
    label->setGeometry(placed);
}
