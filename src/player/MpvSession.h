#pragma once

#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>

struct mpv_handle;
struct mpv_render_context;
struct mpv_event;
struct mpv_event_property;

// The libmpv engine behind the player: the handle, its software render context and its events. It knows
// nothing of widgets; the view asks it for frames and the player drives it. Everything here runs on the
// thread that made it: mpv's own threads only knock, and the knock is queued to us.
class MpvSession : public QObject {
    Q_OBJECT

public:
    // audioOutput is mpv's "ao"; empty lets mpv pick the desktop's audio system.
    explicit MpvSession(const QString &audioOutput, QObject *parent = nullptr);
    ~MpvSession() override;

    // False when libmpv could not be started; every other call is then harmless and does nothing.
    bool IsReady() const;

    void LoadFile(const QString &path, bool paused);
    void Stop();
    void SetPaused(bool paused);
    void SeekBy(double seconds);
    void SeekTo(double seconds);
    void SetVolume(double volume);
    void SetMuted(bool muted);

    // Draws the current video frame, scaled to fit with black bars, into a "bgr0" surface. The pointer and
    // stride should be 64-byte aligned; mpv copies the whole frame otherwise.
    void RenderFrame(uchar *pixels, QSize size, qsizetype stride);

    double Position() const { return position; }
    double Duration() const { return duration; }
    bool IsPaused() const { return paused; }
    bool IsAtEnd() const { return atEnd; }
    double Volume() const { return volume; }
    bool IsMuted() const { return muted; }
    bool HasVideo() const { return videoShown; }
    // Frames mpv left out because they came too late to show, since the file started.
    qint64 DroppedFrames() const;

signals:
    void FrameChanged();
    void FileStarted();
    void PlaybackFailed();
    void PositionChanged(double seconds);
    void DurationChanged(double seconds);
    void PausedChanged(bool paused);
    void EndChanged(bool atEnd);
    void VolumeChanged(double volume);
    void MutedChanged(bool muted);

private:
    void Create(const QString &audioOutput);
    void Command(std::initializer_list<const char *> words);
    void DrainEvents();
    void HandleEvent(const mpv_event &event);
    void HandleProperty(uint64_t id, const mpv_event_property &property);
    void CheckForFrame();
    void Fail();

    static void WakeUp(void *self);
    static void RenderUpdate(void *self);

    mpv_handle *handle = nullptr;
    mpv_render_context *render = nullptr;
    // mpv may knock many times before we answer; one queued answer is enough.
    std::atomic<bool> eventsQueued = false;
    std::atomic<bool> frameQueued = false;

    qint64 currentEntry = -1;
    bool awaitingStart = false;
    bool seeking = false;
    bool failed = false;
    bool videoShown = false;
    bool timeAdvanced = false;
    double position = 0;
    double duration = 0;
    bool paused = false;
    bool atEnd = false;
    double volume = 100;
    bool muted = false;
};
