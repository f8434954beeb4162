#include "LogoPicture.h"

#include "PartsAccessible.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor Ink(28, 46, 96);
const QColor FeatherLight(255, 196, 92);
const QColor FeatherDark(214, 92, 38);

void DrawQuill(QPainter &painter)
{
    // The feather sweeps from the lower left up to the right.
    QPainterPath feather;
    feather.moveTo(14, 33);
    feather.cubicTo(16, 20, 26, 8, 40, 2);
    feather.cubicTo(38, 14, 30, 26, 16, 34);
    feather.closeSubpath();
    QLinearGradient fill(14, 34, 40, 2);
    fill.setColorAt(0, FeatherDark);
    fill.setColorAt(1, FeatherLight);
    painter.setPen(QPen(FeatherDark.darker(130), 1));
    painter.setBrush(fill);
    painter.drawPath(feather);

    // The shaft down the middle of the feather.
    painter.setPen(QPen(FeatherDark.darker(160), 1.2));
    painter.drawLine(QPointF(15, 34), QPointF(37, 6));

    // The nib, dipped in ink.
    QPainterPath nib;
    nib.moveTo(12.5, 30.5);
    nib.lineTo(18, 33.5);
    nib.lineTo(7, 37.5);
    nib.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Ink);
    painter.drawPath(nib);
}

void DrawName(QPainter &painter, const QRect &area)
{
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(28);
    font.setBold(true);
    font.setItalic(true);
    painter.setFont(font);

    const QString name = QStringLiteral("Quillon");
    painter.setPen(QColor(255, 255, 255, 200));
    painter.drawText(area.translated(1, 1), Qt::AlignLeft | Qt::AlignVCenter, name);
    QLinearGradient fill(0, area.top(), 0, area.bottom());
    fill.setColorAt(0, Ink.lighter(170));
    fill.setColorAt(1, Ink);
    painter.setPen(QPen(QBrush(fill), 1));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, name);
}

}  // namespace

LogoPicture::LogoPicture(const QString &name, QPoint at, QWidget *parent) : QWidget(parent)
{
    InstallAccessibleParts();
    setObjectName(name);
    setAccessibleName(QStringLiteral("Логотип Quillon"));
    setGeometry(QRect(at, kLogoSize));
}

void LogoPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    DrawQuill(painter);
    DrawName(painter, QRect(46, 0, width() - 46, height()));
}
