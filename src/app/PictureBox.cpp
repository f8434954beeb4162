#include "PictureBox.h"

#include <QAccessibleWidget>
#include <QPainter>
#include <QSvgRenderer>

namespace {

// A box that holds controls is a panel named by what it is for; one that only shows its picture is a
// graphic read by its description, or, without one, a background that is not read at all.
class PictureBoxAccessible : public QAccessibleWidget {
public:
    explicit PictureBoxAccessible(QWidget *box) : QAccessibleWidget(box) { }

    QAccessible::Role role() const override { return HoldsControls() ? QAccessible::Pane : QAccessible::Graphic; }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        if (!HoldsControls() && widget()->accessibleName().isEmpty())
            state.invisible = true;
        return state;
    }

private:
    bool HoldsControls() const { return !widget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).isEmpty(); }
};

QAccessibleInterface *PictureBoxFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("PictureBox") && object && object->isWidgetType())
        return new PictureBoxAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

}  // namespace

PictureBox::PictureBox(const QString &name, QWidget *parent) : QWidget(parent)
{
    static const bool readable = [] {
        QAccessible::installFactory(&PictureBoxFactory);
        return true;
    }();
    Q_UNUSED(readable);
    setObjectName(name);
}

void PictureBox::setPicture(const QString &path)
{
    if (path == picture)
        return;
    picture = path;
    cache = QPixmap();
    update();
}

void PictureBox::setKeepAspect(bool keep)
{
    keepAspect = keep;
    cache = QPixmap();
    update();
}

namespace {

// The picture's view widened or heightened about its middle to the proportions of the box.
QRectF ViewInProportion(const QRectF &view, QSizeF box)
{
    if (view.isEmpty() || box.isEmpty())
        return view;
    QSizeF shown = view.size();
    if (box.width() * view.height() > view.width() * box.height())
        shown.setWidth(view.height() * box.width() / box.height());
    else
        shown.setHeight(view.width() * box.height() / box.width());
    QRectF result(QPointF(), shown);
    result.moveCenter(view.center());
    return result;
}

}  // namespace

void PictureBox::paintEvent(QPaintEvent *)
{
    if (picture.isEmpty())
        return;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (cache.size() != pixels) {
        cache = QPixmap(pixels);
        cache.fill(Qt::transparent);
        QPainter painter(&cache);
        QSvgRenderer renderer(picture);
        if (keepAspect)
            renderer.setViewBox(ViewInProportion(renderer.viewBoxF(), QSizeF(size())));
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
        painter.end();
        cache.setDevicePixelRatio(ratio);
    }
    QPainter(this).drawPixmap(0, 0, cache);
}

ProgressFrame::ProgressFrame(const QString &name, QWidget *parent) : QWidget(parent)
{
    setObjectName(name);
}

void ProgressFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0xf7, 0xfa, 0xfd));
    painter.setPen(QColor(0x9d, 0xb3, 0xca));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

ProgressBar::ProgressBar(const QString &name, QWidget *parent) : QWidget(parent)
{
    setObjectName(name);
}

void ProgressBar::setWidthTwips(int twips)
{
    widthTwips = twips;
    resize(qRound(twips / double(kTwipsPerPixel)), height());
}

void ProgressBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QLinearGradient shade(0, 0, 0, height());
    shade.setColorAt(0, QColor(0x5b, 0x93, 0xd3));
    shade.setColorAt(1, QColor(0x2d, 0x6c, 0xb5));
    painter.fillRect(rect(), shade);
}
