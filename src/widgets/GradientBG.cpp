#include "GradientBG.h"

#include "PartsAccessible.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>

GradientBG::GradientBG(const QColor &top, const QColor &bottom, QWidget *window)
    : QWidget(window)
    , top(top)
    , bottom(bottom)
{
    InstallAccessibleParts();
    setObjectName(QStringLiteral("BG"));
    // A picture: clicks go to the window, and every pixel is painted here.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    window->installEventFilter(this);
    CoverWindow();
}

bool GradientBG::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        CoverWindow();
    return QWidget::eventFilter(watched, event);
}

void GradientBG::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // From the middle of the top row to the middle of the bottom row, so those rows are the two colours.
    QLinearGradient gradient(0, 0.5, 0, height() - 0.5);
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillRect(rect(), gradient);
}

void GradientBG::CoverWindow()
{
    setGeometry(parentWidget()->rect());
    lower();
}
