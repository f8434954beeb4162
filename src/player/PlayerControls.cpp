#include "PlayerControls.h"

#include "PlayTime.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
constexpr int kHeight = 30;
constexpr qreal kGap = 6;
constexpr qreal kVolumeWidth = 52;
constexpr qreal kKnobRadius = 5;
const QColor StripShade(0, 0, 0, 150);
const QColor Light(0xf2, 0xf3, 0xf5);
const QColor Track(255, 255, 255, 70);
const QColor Fill(0x4f, 0x9c, 0xf0);

double ShareAlong(QRectF bar, QPointF point)
{
    if (bar.width() <= 0)
        return 0;
    return std::clamp((point.x() - bar.left()) / bar.width(), 0.0, 1.0);
}
}  // namespace

PlayerControls::PlayerControls(QWidget *parent) : QWidget(parent)
{
    // The player keeps the keyboard; the strip is for the mouse.
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

int PlayerControls::StripHeight()
{
    return kHeight;
}

QSize PlayerControls::sizeHint() const
{
    return {320, kHeight};
}

void PlayerControls::SetPaused(bool value)
{
    paused = value;
    update();
}

void PlayerControls::SetPosition(double seconds)
{
    position = seconds;
    if (isVisible())
        update();
}

void PlayerControls::SetDuration(double seconds)
{
    duration = seconds;
    update();
}

void PlayerControls::SetVolume(double value)
{
    volume = value;
    update();
}

void PlayerControls::SetMuted(bool value)
{
    muted = value;
    update();
}

QString PlayerControls::TimeText() const
{
    return FormatPlayTime(position) + QStringLiteral(" / ") + FormatPlayTime(duration);
}

QRectF PlayerControls::Area(Part part) const
{
    const qreal h = height();
    const QRectF playPause(0, 0, h, h);
    // The knob stands out of its bar by its radius; at full volume it must still be whole.
    const QRectF volumeBar(width() - kGap - kKnobRadius - kVolumeWidth, 0, kVolumeWidth, h);
    const QRectF mute(volumeBar.left() - h, 0, h, h);
    const qreal textWidth = fontMetrics().horizontalAdvance(TimeText()) + kGap;
    const QRectF seek(playPause.right() + kGap, 0,
                      std::max(0.0, mute.left() - textWidth - 2 * kGap - playPause.right()), h);
    switch (part) {
    case Part::PlayPause:
        return playPause;
    case Part::Seek:
        return seek;
    case Part::Mute:
        return mute;
    case Part::Volume:
        return volumeBar;
    case Part::None:
        break;
    }
    return {};
}

PlayerControls::Part PlayerControls::PartAt(QPointF point) const
{
    for (Part part : {Part::PlayPause, Part::Seek, Part::Mute, Part::Volume}) {
        if (Area(part).contains(point))
            return part;
    }
    return Part::None;
}

void PlayerControls::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const Part part = PartAt(event->position());
    if (part == Part::PlayPause)
        emit PauseToggled();
    else if (part == Part::Mute)
        emit MuteToggled();
    else if (part == Part::Seek || part == Part::Volume) {
        dragged = part;
        Drag(event->position());
    }
    event->accept();
}

void PlayerControls::mouseMoveEvent(QMouseEvent *event)
{
    if (dragged != Part::None)
        Drag(event->position());
    event->accept();
}

void PlayerControls::mouseReleaseEvent(QMouseEvent *event)
{
    dragged = Part::None;
    event->accept();
}

void PlayerControls::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A quick second click on a button is a second click, not full screen.
    mousePressEvent(event);
}

void PlayerControls::Drag(QPointF point)
{
    const double share = ShareAlong(Area(dragged), point);
    if (dragged == Part::Seek && duration > 0)
        emit SeekRequested(share * duration);
    else if (dragged == Part::Volume)
        emit VolumeRequested(share * 100);
}

void PlayerControls::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), StripShade);

    PaintPlayPause(painter, Area(Part::PlayPause));
    PaintBar(painter, Area(Part::Seek), duration > 0 ? position / duration : 0);

    const QRectF seek = Area(Part::Seek);
    const QRectF text(seek.right() + kGap, 0, Area(Part::Mute).left() - seek.right() - kGap, height());
    painter.setPen(Light);
    painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, TimeText());

    PaintSpeaker(painter, Area(Part::Mute));
    PaintBar(painter, Area(Part::Volume), muted ? 0 : volume / 100);
}

void PlayerControls::PaintPlayPause(QPainter &painter, QRectF area) const
{
    const qreal unit = area.height() / 30;
    const QPointF c = area.center();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Light);
    if (paused) {
        QPainterPath play;
        play.moveTo(c + QPointF(-5 * unit, -7 * unit));
        play.lineTo(c + QPointF(7 * unit, 0));
        play.lineTo(c + QPointF(-5 * unit, 7 * unit));
        play.closeSubpath();
        painter.drawPath(play);
    } else {
        painter.drawRoundedRect(QRectF(c.x() - 6 * unit, c.y() - 7 * unit, 4 * unit, 14 * unit), unit, unit);
        painter.drawRoundedRect(QRectF(c.x() + 2 * unit, c.y() - 7 * unit, 4 * unit, 14 * unit), unit, unit);
    }
}

void PlayerControls::PaintSpeaker(QPainter &painter, QRectF area) const
{
    const qreal unit = area.height() / 30;
    const QPointF c = area.center() - QPointF(2 * unit, 0);
    QPainterPath body;
    body.moveTo(c + QPointF(-6 * unit, -3 * unit));
    body.lineTo(c + QPointF(-2 * unit, -3 * unit));
    body.lineTo(c + QPointF(3 * unit, -7 * unit));
    body.lineTo(c + QPointF(3 * unit, 7 * unit));
    body.lineTo(c + QPointF(-2 * unit, 3 * unit));
    body.lineTo(c + QPointF(-6 * unit, 3 * unit));
    body.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Light);
    painter.drawPath(body);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Light, 1.6 * unit, Qt::SolidLine, Qt::RoundCap));
    if (muted) {
        painter.drawLine(c + QPointF(6 * unit, -4 * unit), c + QPointF(12 * unit, 4 * unit));
        painter.drawLine(c + QPointF(6 * unit, 4 * unit), c + QPointF(12 * unit, -4 * unit));
    } else {
        const QRectF wave(c.x() + 1 * unit, c.y() - 6 * unit, 10 * unit, 12 * unit);
        painter.drawArc(wave, -50 * 16, 100 * 16);
    }
}

void PlayerControls::PaintBar(QPainter &painter, QRectF area, double share)
{
    if (area.width() <= 0)
        return;
    share = std::clamp(share, 0.0, 1.0);
    const qreal thickness = 4;
    const QRectF track(area.left(), area.center().y() - thickness / 2, area.width(), thickness);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Track);
    painter.drawRoundedRect(track, thickness / 2, thickness / 2);
    painter.setBrush(Fill);
    painter.drawRoundedRect(QRectF(track.topLeft(), QSizeF(track.width() * share, thickness)), thickness / 2,
                            thickness / 2);
    painter.setBrush(Light);
    painter.drawEllipse(QPointF(track.left() + track.width() * share, track.center().y()), kKnobRadius, kKnobRadius);
}
