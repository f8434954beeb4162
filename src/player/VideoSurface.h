#pragma once

#include <QImage>
#include <QWidget>

#include <cstdlib>
#include <memory>

class MpvSession;

// The area that shows the picture: mpv's current frame, the empty player, or a short message in place of a
// video that cannot be played. Frames are drawn by mpv's software renderer straight into our own memory,
// sized to the widget's device pixels so the picture stays sharp on a scaled desktop.
class VideoSurface : public QWidget {
    Q_OBJECT

public:
    enum class Content { EmptyPlayer, Video, Message };

    explicit VideoSurface(QWidget *parent = nullptr);
    ~VideoSurface() override;

    // The session to draw from; nullptr before the first video and while the player goes away.
    void SetSession(MpvSession *session);

    void ShowEmptyPlayer();
    void ShowVideo();
    void ShowMessage(const QString &text);

    Content Showing() const { return content; }
    QString Message() const { return message; }

public slots:
    // Asks mpv for the current frame at the present size and schedules a repaint.
    void RedrawFrame();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct FreeAligned {
        void operator()(uchar *memory) const { std::free(memory); }
    };

    bool MakeBuffer(QSize size);
    void PaintEmptyPlayer(QPainter &painter);
    void PaintMessage(QPainter &painter);

    MpvSession *session = nullptr;
    Content content = Content::EmptyPlayer;
    QString message;
    std::unique_ptr<uchar, FreeAligned> pixels;
    QImage frame;
    bool frameDrawn = false;
};
