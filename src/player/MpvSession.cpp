#include "MpvSession.h"

#include <QMetaObject>

#include <mpv/client.h>
#include <mpv/render.h>

#include <vector>

namespace {
enum PropertyId : uint64_t { TimePos = 1, DurationId, PauseId, EofReached, VolumeId, MuteId, VideoWidth };

void SetOption(mpv_handle *handle, const char *name, const char *value)
{
    mpv_set_option_string(handle, name, value);
}
}  // namespace

MpvSession::MpvSession(const QString &audioOutput, QObject *parent) : QObject(parent)
{
    Create(audioOutput);
}

void MpvSession::Create(const QString &audioOutput)
{
    handle = mpv_create();
    if (!handle)
        return;
    SetOption(handle, "config", "no");
    SetOption(handle, "terminal", "no");
    SetOption(handle, "load-scripts", "no");
    SetOption(handle, "ytdl", "no");
    SetOption(handle, "osc", "no");
    SetOption(handle, "input-default-bindings", "no");
    SetOption(handle, "input-vo-keyboard", "no");
    SetOption(handle, "osd-level", "0");
    SetOption(handle, "vo", "libmpv");
    SetOption(handle, "hwdec", "no");
    // The last frame stays on screen at the end, under the replay button.
    SetOption(handle, "keep-open", "yes");
    SetOption(handle, "idle", "yes");
    SetOption(handle, "audio-file-auto", "no");
    SetOption(handle, "sub-auto", "no");
    // Local files need no big read-ahead; this keeps the memory of a load small.
    SetOption(handle, "demuxer-max-bytes", "16MiB");
    SetOption(handle, "demuxer-max-back-bytes", "4MiB");
    if (!audioOutput.isEmpty())
        SetOption(handle, "ao", audioOutput.toUtf8().constData());
    if (mpv_initialize(handle) < 0) {
        mpv_terminate_destroy(handle);
        handle = nullptr;
        return;
    }

    char apiType[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType}, {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_create(&render, handle, params) < 0) {
        render = nullptr;
        mpv_terminate_destroy(handle);
        handle = nullptr;
        return;
    }

    mpv_observe_property(handle, TimePos, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(handle, DurationId, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(handle, PauseId, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(handle, EofReached, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(handle, VolumeId, "volume", MPV_FORMAT_DOUBLE);
    mpv_observe_property(handle, MuteId, "mute", MPV_FORMAT_FLAG);
    mpv_observe_property(handle, VideoWidth, "video-params/w", MPV_FORMAT_INT64);

    mpv_set_wakeup_callback(handle, &MpvSession::WakeUp, this);
    mpv_render_context_set_update_callback(render, &MpvSession::RenderUpdate, this);
}

MpvSession::~MpvSession()
{
    if (!handle)
        return;
    // This order only: no knocks after this point, the render context goes before the core it belongs to.
    mpv_set_wakeup_callback(handle, nullptr, nullptr);
    mpv_render_context_set_update_callback(render, nullptr, nullptr);
    mpv_render_context_free(render);
    mpv_terminate_destroy(handle);
}

bool MpvSession::IsReady() const
{
    return handle != nullptr;
}

// Both callbacks come from mpv's threads; they may not call into mpv, so they only queue the work.
void MpvSession::WakeUp(void *self)
{
    auto *session = static_cast<MpvSession *>(self);
    if (!session->eventsQueued.exchange(true))
        QMetaObject::invokeMethod(session, &MpvSession::DrainEvents, Qt::QueuedConnection);
}

void MpvSession::RenderUpdate(void *self)
{
    auto *session = static_cast<MpvSession *>(self);
    if (!session->frameQueued.exchange(true))
        QMetaObject::invokeMethod(session, &MpvSession::CheckForFrame, Qt::QueuedConnection);
}

void MpvSession::Command(std::initializer_list<const char *> words)
{
    if (!handle)
        return;
    std::vector<const char *> command(words);
    command.push_back(nullptr);
    mpv_command_async(handle, 0, command.data());
}

void MpvSession::LoadFile(const QString &path, bool startPaused)
{
    if (!handle)
        return;
    failed = false;
    awaitingStart = true;
    seeking = false;
    videoShown = false;
    timeAdvanced = false;
    atEnd = false;
    int flag = startPaused ? 1 : 0;
    mpv_set_property(handle, "pause", MPV_FORMAT_FLAG, &flag);
    const QByteArray file = path.toUtf8();
    // The path is handed over as it is: mpv takes any bytes as a local file name unless it looks like a
    // protocol, and a full path never does.
    Command({"loadfile", file.constData(), "replace"});
}

void MpvSession::Stop()
{
    Command({"stop"});
}

void MpvSession::SetPaused(bool pause)
{
    if (!handle)
        return;
    int flag = pause ? 1 : 0;
    mpv_set_property_async(handle, 0, "pause", MPV_FORMAT_FLAG, &flag);
}

void MpvSession::SeekBy(double seconds)
{
    const QByteArray offset = QByteArray::number(seconds, 'f', 3);
    Command({"seek", offset.constData(), "relative+exact"});
}

void MpvSession::SeekTo(double seconds)
{
    const QByteArray target = QByteArray::number(seconds, 'f', 3);
    Command({"seek", target.constData(), "absolute+exact"});
}

void MpvSession::SetVolume(double value)
{
    if (!handle)
        return;
    mpv_set_property_async(handle, 0, "volume", MPV_FORMAT_DOUBLE, &value);
}

void MpvSession::SetMuted(bool mute)
{
    if (!handle)
        return;
    int flag = mute ? 1 : 0;
    mpv_set_property_async(handle, 0, "mute", MPV_FORMAT_FLAG, &flag);
}

void MpvSession::RenderFrame(uchar *pixels, QSize size, qsizetype stride)
{
    if (!render || size.isEmpty())
        return;
    int surfaceSize[2] = {size.width(), size.height()};
    char format[] = "bgr0";
    size_t bytesPerLine = static_cast<size_t>(stride);
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, surfaceSize},     {MPV_RENDER_PARAM_SW_FORMAT, format},
        {MPV_RENDER_PARAM_SW_STRIDE, &bytesPerLine}, {MPV_RENDER_PARAM_SW_POINTER, pixels},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(render, params);
}

qint64 MpvSession::DroppedFrames() const
{
    int64_t dropped = 0;
    if (handle)
        mpv_get_property(handle, "frame-drop-count", MPV_FORMAT_INT64, &dropped);
    return dropped;
}

void MpvSession::CheckForFrame()
{
    frameQueued = false;
    if (render && (mpv_render_context_update(render) & MPV_RENDER_UPDATE_FRAME))
        emit FrameChanged();
}

void MpvSession::DrainEvents()
{
    eventsQueued = false;
    while (handle) {
        const mpv_event *event = mpv_wait_event(handle, 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        HandleEvent(*event);
    }
}

void MpvSession::HandleEvent(const mpv_event &event)
{
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
        currentEntry = static_cast<const mpv_event_start_file *>(event.data)->playlist_entry_id;
        awaitingStart = false;
        emit FileStarted();
        break;
    case MPV_EVENT_FILE_LOADED: {
        char *video = mpv_get_property_string(handle, "vid");
        char *audio = mpv_get_property_string(handle, "aid");
        const bool nothingToPlay = (!video || qstrcmp(video, "no") == 0) && (!audio || qstrcmp(audio, "no") == 0);
        mpv_free(video);
        mpv_free(audio);
        if (nothingToPlay)
            Fail();
        break;
    }
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<const mpv_event_end_file *>(event.data);
        if (!awaitingStart && end->playlist_entry_id == currentEntry && end->reason == MPV_END_FILE_REASON_ERROR)
            Fail();
        break;
    }
    case MPV_EVENT_SEEK:
        seeking = true;
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        seeking = false;
        if (!awaitingStart && !videoShown) {
            // A video of the same size and format as the one before changes nothing mpv would report; at
            // the restart the video has its parameters only if a picture of this file went through.
            int64_t width = 0;
            videoShown = mpv_get_property(handle, "video-params/w", MPV_FORMAT_INT64, &width) >= 0 && width > 0;
        }
        break;
    case MPV_EVENT_PROPERTY_CHANGE:
        HandleProperty(event.reply_userdata, *static_cast<const mpv_event_property *>(event.data));
        break;
    default:
        break;
    }
}

void MpvSession::HandleProperty(uint64_t id, const mpv_event_property &property)
{
    const bool known = property.format != MPV_FORMAT_NONE && property.data;
    const auto flag = [&] { return known && *static_cast<const int *>(property.data) != 0; };
    const auto number = [&] { return known ? *static_cast<const double *>(property.data) : 0.0; };
    // What the previous video still reports after a new one was asked for says nothing about the new one.
    if (awaitingStart && (id == TimePos || id == EofReached || id == VideoWidth))
        return;
    switch (id) {
    case TimePos:
        position = number();
        // A jump is not playing: at the end of a file mpv jumps to its last moment even when nothing played,
        // and that jump may be reported before or after its seek event.
        if (position > 0 && !seeking && (duration <= 0 || position < duration - 0.25))
            timeAdvanced = true;
        emit PositionChanged(position);
        break;
    case DurationId:
        duration = number();
        emit DurationChanged(duration);
        break;
    case PauseId:
        paused = flag();
        emit PausedChanged(paused);
        break;
    case EofReached:
        atEnd = flag();
        // A file that opens but never gives a picture or a moment of sound cannot be played, even though
        // mpv reaches its end without an error (a decoder that gives up, a file cut after its header).
        if (atEnd && !videoShown && !timeAdvanced)
            Fail();
        else
            emit EndChanged(atEnd);
        break;
    case VolumeId:
        volume = number();
        emit VolumeChanged(volume);
        break;
    case MuteId:
        muted = flag();
        emit MutedChanged(muted);
        break;
    case VideoWidth:
        if (known && *static_cast<const int64_t *>(property.data) > 0)
            videoShown = true;
        break;
    default:
        break;
    }
}

void MpvSession::Fail()
{
    if (failed)
        return;
    failed = true;
    Command({"stop"});
    emit PlaybackFailed();
}
