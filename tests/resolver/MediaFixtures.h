#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Streamed videos made at test time with ffmpeg's test sources, what ffprobe says of a saved file, and stand-ins
// for a yt-dlp that misbehaves.
namespace MediaFixtures {

// folder/hls/master.m3u8: an HLS master playlist of two variants (320x240 and 160x120), each H.264 + AAC in
// MPEG-TS segments of 2 s. False with ffmpeg's complaint in *error.
bool MakeHls(const QString &folder, int seconds, QString *error);

// folder/dash/manifest.mpd: DASH with picture and sound in separate adaptation sets, about 6 Mbit/s.
bool MakeDash(const QString &folder, int seconds, QString *error);

struct Probe {
    QStringList streams;  // codec types, in the file's order: "video", "audio"
    QString format;  // ffprobe's format name: "flv", "matroska,webm", ...
    double duration = -1;
};

Probe ProbeFile(const QString &file);

// A yt-dlp as its releases ship it (a zipapp run by /usr/bin/python3) around a yt_dlp module of our own,
// whose YoutubeDL.extract_info(url) runs extractBody (Python, indented by 8 blanks) for http addresses.
// Returns the program's path, or empty when python3 -m zipapp failed.
QString MakeFakeYtDlp(const QString &folder, const QByteArray &extractBody);

// How many processes run with this exact argument on their command line.
int CountProcessesWithArgument(const QByteArray &argument);

// The processes a process started that still run (or wait to be reaped).
QList<qint64> ChildrenOf(qint64 pid);

}  // namespace MediaFixtures
