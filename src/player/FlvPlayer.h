#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>

class MpvSession;
class PlayerControls;
class ReplayButton;
class VideoSurface;

// The video component of the main window (instance "swf"). The window only sets Movie and shows or hides
// it: the bare movie address shows the empty player and stops any video; the address with "?file=" loads
// that video, playing at once with "autoStart=true" and otherwise waiting on its first frame.
// libmpv starts with the first video, so a program that never plays one never pays for it.
class FlvPlayer : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Movie READ Movie WRITE SetMovie)

public:
    explicit FlvPlayer(QWidget *parent = nullptr);
    ~FlvPlayer() override;

    QString Movie() const;
    void SetMovie(const QString &address);

    // mpv's audio output, used when the engine starts: "null" plays silently (tests, benchmarks); empty,
    // the default, lets mpv use the desktop's audio system, and plays silently when there is none.
    void SetAudioOutput(const QString &driver);

    // What the player is doing, for the window and for tests.
    bool HasEngine() const;
    QString VideoFile() const;
    bool IsShowingMessage() const;
    QString ShownMessage() const;
    bool IsEmptyPlayer() const;
    bool HasPicture() const;
    double Position() const;
    double Duration() const;
    bool IsPaused() const;
    bool IsAtEnd() const;
    double Volume() const;
    bool IsMuted() const;
    qint64 DroppedFrames() const;

public slots:
    void TogglePause();
    void SeekBy(double seconds);
    void ChangeVolumeBy(double step);
    void ToggleMute();
    void Replay();
    void SetFullScreen(bool fullScreen);

signals:
    // The video could not be played; the player shows why in its own area.
    void PlaybackFailed();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void StartEngine();
    void ShowFailure();
    void PlaceOverlays();
    void UpdateOverlays();
    bool HasVideo() const;

    QString movie;
    QString videoFile;
    QString audioOutput;
    std::unique_ptr<MpvSession> session;
    VideoSurface *surface = nullptr;
    PlayerControls *controls = nullptr;
    ReplayButton *replay = nullptr;
    bool pointerInside = false;
    // In full screen the strip steps aside when the mouse rests.
    QTimer restingMouse;
    QRect windowedGeometry;
};
