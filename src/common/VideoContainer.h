#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// What kind of video file a file is, judged by its first bytes, never by its name: pages serve MP4 and WebM
// under any name, and a downloaded video has no name until it is saved.
enum class VideoContainer {
    Unknown,
    Flv,
    // ISO media: MP4, QuickTime, 3GP.
    Mp4,
    WebM,
    Matroska,
    // MPEG transport stream in 188-byte packets, and in the 192-byte packets of Blu-ray and cameras.
    MpegTs,
    M2ts,
    // MPEG program stream (DVD, VCD) or a bare MPEG-1/2 video stream.
    Mpeg,
    Avi,
    // ASF: Windows Media.
    Asf,
    // Ogg carrying Theora video.
    OggTheora,
    RealMedia,
    Mxf,
    Nut,
};

// How many leading bytes the judgement needs at most; fewer serve for most kinds.
constexpr qsizetype kVideoHeadBytes = 4096;

// The container whose signature the bytes begin with; only the first kVideoHeadBytes are looked at. A file counts as
// FLV exactly when its first three bytes are "FLV", as it always has.
VideoContainer ContainerOf(QByteArrayView bytes);

// The container of the file at path, judged by its first kVideoHeadBytes bytes; Unknown when it is not a file
// or cannot be read.
VideoContainer ContainerOfFile(const QString &path);

// True when the file is a video of a kind the player plays.
bool IsVideoFile(const QString &path);

// The extension a file of this kind is saved with, without the point; "flv" for Unknown, the name videos have
// always been given.
QString ExtensionOf(VideoContainer container);

// The extensions video files are usually found under: those of every kind above and their usual aliases.
QStringList VideoExtensions();
