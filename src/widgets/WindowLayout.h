#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QSize>

class QLabel;
class QWidget;

// What the program's small fixed windows (Options, About) share: their font, their background colours and
// the way their labels are placed.

// The windows were laid out for an 8-point sans serif at 96 dots per inch, eleven pixels high and narrow.
QFont WindowFont();

// The two ends of the background gradient.
inline const QColor kBackgroundTop = QColor(255, 255, 255);
inline const QColor kBackgroundBottom = QColor(200, 214, 236);

// A window of the given client size that the user cannot resize, minimise or maximise.
void MakeFixedWindow(QWidget *window, QSize size);

// Puts a label on its box. A text wider than the box keeps the box's left edge (left alignment) or its
// centre (centred), so fonts a little wider than the layout's own are not cut.
void PlaceLabel(QLabel *label, const QRect &box, bool centred);
