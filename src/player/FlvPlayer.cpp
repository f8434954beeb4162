#include "FlvPlayer.h"

#include "MovieAddress.h"
#include "MpvSession.h"
#include "PlayerControls.h"
#include "ReplayButton.h"
#include "VideoSurface.h"

#include <QFileInfo>
#include <QKeyEvent>

#include <algorithm>

namespace {
const QString kCannotPlay = QStringLiteral("Не удалось воспроизвести файл");
constexpr double kSeekStep = 5;
constexpr double kVolumeStep = 5;
constexpr int kRestingMouseMs = 2500;
}  // namespace

FlvPlayer::FlvPlayer(QWidget *parent)
    : QWidget(parent)
    , surface(new VideoSurface(this))
    , controls(new PlayerControls(this))
    , replay(new ReplayButton(this))
{
    setObjectName(QStringLiteral("swf"));
    surface->setObjectName(QStringLiteral("VideoSurface"));
    controls->setObjectName(QStringLiteral("PlayerControls"));
    replay->setObjectName(QStringLiteral("ReplayButton"));
    surface->setAccessibleName(QStringLiteral("Видео"));
    controls->setAccessibleName(QStringLiteral("Управление воспроизведением"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    surface->setMouseTracking(true);
    // Mouse events over the picture belong to the player (double click, focus, the resting mouse).
    surface->setAttribute(Qt::WA_TransparentForMouseEvents);
    controls->hide();
    replay->hide();

    connect(controls, &PlayerControls::PauseToggled, this, &FlvPlayer::TogglePause);
    connect(controls, &PlayerControls::MuteToggled, this, &FlvPlayer::ToggleMute);
    connect(controls, &PlayerControls::SeekRequested, this, [this](double seconds) {
        if (session)
            session->SeekTo(seconds);
    });
    connect(controls, &PlayerControls::VolumeRequested, this, [this](double volume) {
        if (session)
            session->SetVolume(volume);
    });
    connect(replay, &QAbstractButton::clicked, this, &FlvPlayer::Replay);

    restingMouse.setSingleShot(true);
    restingMouse.setInterval(kRestingMouseMs);
    connect(&restingMouse, &QTimer::timeout, this, [this] {
        controls->hide();
        setCursor(Qt::BlankCursor);
    });
    resize(320, 240);
}

FlvPlayer::~FlvPlayer()
{
    // The surface may not draw from an engine that is going away.
    surface->SetSession(nullptr);
    session.reset();
}

QString FlvPlayer::Movie() const
{
    return movie;
}

void FlvPlayer::SetMovie(const QString &address)
{
    movie = address;
    const MovieRequest request = ParseMovieAddress(address);
    videoFile = request.file;
    if (videoFile.isEmpty()) {
        if (session)
            session->Stop();
        surface->ShowEmptyPlayer();
        SetFullScreen(false);
        UpdateOverlays();
        return;
    }
    if (!session)
        StartEngine();
    if (!session->IsReady()) {
        ShowFailure();
        return;
    }
    surface->ShowVideo();
    // mpv reads a name with "://" in it as a stream address; an absolute path never has that at its start.
    session->LoadFile(QFileInfo(videoFile).absoluteFilePath(), !request.autoStart);
    UpdateOverlays();
}

void FlvPlayer::SetAudioOutput(const QString &driver)
{
    audioOutput = driver;
}

void FlvPlayer::StartEngine()
{
    session = std::make_unique<MpvSession>(audioOutput);
    surface->SetSession(session.get());
    connect(session.get(), &MpvSession::PlaybackFailed, this, &FlvPlayer::ShowFailure);
    connect(session.get(), &MpvSession::PositionChanged, controls, &PlayerControls::SetPosition);
    connect(session.get(), &MpvSession::DurationChanged, controls, &PlayerControls::SetDuration);
    connect(session.get(), &MpvSession::PausedChanged, controls, &PlayerControls::SetPaused);
    connect(session.get(), &MpvSession::VolumeChanged, controls, &PlayerControls::SetVolume);
    connect(session.get(), &MpvSession::MutedChanged, controls, &PlayerControls::SetMuted);
    connect(session.get(), &MpvSession::EndChanged, this, &FlvPlayer::UpdateOverlays);
}

void FlvPlayer::ShowFailure()
{
    surface->ShowMessage(kCannotPlay);
    UpdateOverlays();
    emit PlaybackFailed();
}

bool FlvPlayer::HasEngine() const
{
    return session != nullptr;
}

QString FlvPlayer::VideoFile() const
{
    return videoFile;
}

bool FlvPlayer::IsShowingMessage() const
{
    return surface->Showing() == VideoSurface::Content::Message;
}

QString FlvPlayer::ShownMessage() const
{
    return surface->Message();
}

bool FlvPlayer::IsEmptyPlayer() const
{
    return surface->Showing() == VideoSurface::Content::EmptyPlayer;
}

bool FlvPlayer::HasVideo() const
{
    return session && surface->Showing() == VideoSurface::Content::Video;
}

bool FlvPlayer::HasPicture() const
{
    return HasVideo() && session->HasVideo();
}

double FlvPlayer::Position() const
{
    return session ? session->Position() : 0;
}

double FlvPlayer::Duration() const
{
    return session ? session->Duration() : 0;
}

bool FlvPlayer::IsPaused() const
{
    return session && session->IsPaused();
}

bool FlvPlayer::IsAtEnd() const
{
    return HasVideo() && session->IsAtEnd();
}

double FlvPlayer::Volume() const
{
    return session ? session->Volume() : 100;
}

bool FlvPlayer::IsMuted() const
{
    return session && session->IsMuted();
}

qint64 FlvPlayer::DroppedFrames() const
{
    return session ? session->DroppedFrames() : 0;
}

void FlvPlayer::TogglePause()
{
    if (!HasVideo())
        return;
    if (session->IsAtEnd())
        Replay();
    else
        session->SetPaused(!session->IsPaused());
}

void FlvPlayer::SeekBy(double seconds)
{
    if (HasVideo())
        session->SeekBy(seconds);
}

void FlvPlayer::ChangeVolumeBy(double step)
{
    if (HasVideo())
        session->SetVolume(std::clamp(session->Volume() + step, 0.0, 100.0));
}

void FlvPlayer::ToggleMute()
{
    if (HasVideo())
        session->SetMuted(!session->IsMuted());
}

void FlvPlayer::Replay()
{
    if (!HasVideo())
        return;
    session->SeekTo(0);
    session->SetPaused(false);
}

void FlvPlayer::SetFullScreen(bool fullScreen)
{
    if (fullScreen == isFullScreen())
        return;
    if (!parentWidget()) {
        fullScreen ? showFullScreen() : showNormal();
    } else if (fullScreen) {
        // A child widget can only fill the screen as a window of its own; it goes back into its place after.
        windowedGeometry = geometry();
        setWindowFlag(Qt::Window, true);
        showFullScreen();
    } else {
        setWindowFlag(Qt::Window, false);
        showNormal();
        setGeometry(windowedGeometry);
        show();
    }
    restingMouse.stop();
    unsetCursor();
    setFocus();
    UpdateOverlays();
}

void FlvPlayer::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    PlaceOverlays();
}

void FlvPlayer::PlaceOverlays()
{
    surface->setGeometry(rect());
    const int strip = PlayerControls::StripHeight();
    controls->setGeometry(0, height() - strip, width(), strip);
    const QSize button = replay->sizeHint();
    replay->setGeometry(QRect(rect().center() - QPoint(button.width() / 2, button.height() / 2), button));
}

void FlvPlayer::UpdateOverlays()
{
    const bool video = HasVideo();
    controls->setVisible(video && pointerInside);
    replay->setVisible(video && session->IsAtEnd());
    if (controls->isVisible())
        controls->raise();
    if (replay->isVisible())
        replay->raise();
}

void FlvPlayer::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
        TogglePause();
        break;
    case Qt::Key_Left:
        SeekBy(-kSeekStep);
        break;
    case Qt::Key_Right:
        SeekBy(kSeekStep);
        break;
    case Qt::Key_Up:
        ChangeVolumeBy(kVolumeStep);
        break;
    case Qt::Key_Down:
        ChangeVolumeBy(-kVolumeStep);
        break;
    case Qt::Key_M:
        ToggleMute();
        break;
    case Qt::Key_F:
        SetFullScreen(!isFullScreen());
        break;
    case Qt::Key_Escape:
        if (!isFullScreen()) {
            QWidget::keyPressEvent(event);
            return;
        }
        SetFullScreen(false);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void FlvPlayer::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    event->accept();
}

void FlvPlayer::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        SetFullScreen(!isFullScreen());
    event->accept();
}

void FlvPlayer::mouseMoveEvent(QMouseEvent *event)
{
    pointerInside = true;
    unsetCursor();
    UpdateOverlays();
    if (isFullScreen())
        restingMouse.start();
    QWidget::mouseMoveEvent(event);
}

void FlvPlayer::enterEvent(QEnterEvent *event)
{
    pointerInside = true;
    UpdateOverlays();
    QWidget::enterEvent(event);
}

void FlvPlayer::hideEvent(QHideEvent *event)
{
    // The pointer may be elsewhere by the time the window shows the player again.
    pointerInside = false;
    UpdateOverlays();
    QWidget::hideEvent(event);
}

void FlvPlayer::leaveEvent(QEvent *event)
{
    pointerInside = false;
    UpdateOverlays();
    QWidget::leaveEvent(event);
}
