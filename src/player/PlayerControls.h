#pragma once

#include <QRectF>
#include <QWidget>

// The slim strip over the bottom of the video: play/pause, the seek bar with elapsed and total time, and
// the volume with its mute button. It only shows and reports; the player decides what a click means.
// Everything is drawn as shapes, so it stays crisp at any desktop scale.
class PlayerControls : public QWidget {
    Q_OBJECT

public:
    enum class Part { None, PlayPause, Seek, Mute, Volume };

    explicit PlayerControls(QWidget *parent = nullptr);

    // The strip's height in device-independent pixels.
    static int StripHeight();

    void SetPaused(bool paused);
    void SetPosition(double seconds);
    void SetDuration(double seconds);
    void SetVolume(double volume);
    void SetMuted(bool muted);

    // Where each part lies in the strip; used for hit tests and by tests that click.
    QRectF Area(Part part) const;

    QSize sizeHint() const override;

signals:
    void PauseToggled();
    void SeekRequested(double seconds);
    void MuteToggled();
    void VolumeRequested(double volume);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    Part PartAt(QPointF point) const;
    QString TimeText() const;
    void Drag(QPointF point);
    void PaintPlayPause(QPainter &painter, QRectF area) const;
    void PaintSpeaker(QPainter &painter, QRectF area) const;
    static void PaintBar(QPainter &painter, QRectF area, double share);

    bool paused = true;
    double position = 0;
    double duration = 0;
    double volume = 100;
    bool muted = false;
    Part dragged = Part::None;
};
