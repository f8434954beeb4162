#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

// Test videos made on the spot with ffmpeg's own test sources: a moving test pattern with a running
// counter (so the picture changes every frame) and a steady tone.
namespace FlvMaker {

enum class Codecs {
    SorensonMp3,  // FLV1 (Sorenson Spark) video with MP3 sound, the classic FLV
    H264Aac,  // H.264 video with AAC sound
};

struct Recipe {
    Codecs codecs = Codecs::SorensonMp3;
    double seconds = 3;
    QSize size = {320, 240};
    int frameRate = 25;
};

// Makes folder/name as an FLV file and returns its full path, or "" when ffmpeg failed (ffmpeg's own
// words go to the test log). The file is always written as FLV, whatever its name says.
QString MakeFlv(const QString &folder, const QString &name, const Recipe &recipe = {});

// Other kinds of media file, each with the codecs files of its kind usually carry.
enum class Format {
    Mp4,  // H.264 + AAC
    QuickTime,  // H.264 + AAC in a .mov
    WebM,  // VP8 + Opus
    Matroska,  // H.264 + AAC
    MpegTs,  // H.264 + AAC in 188-byte packets
    M2ts,  // the same in 192-byte packets
    MpegPs,  // MPEG-1 video + MP2
    Avi,  // MPEG-4 part 2 + MP3
    Asf,  // WMV2 + WMA2
    OggTheora,  // Theora + Vorbis
    RealMedia,  // RealVideo 1, no sound
    Mxf,  // MPEG-2 video + PCM
    Nut,  // MPEG-4 part 2 + MP3
    OggVorbis,  // sound alone
};

// Makes folder/name in the given format with the test pattern and the tone, and returns its full path, or ""
// when ffmpeg failed.
QString MakeMedia(const QString &folder, const QString &name, Format format, double seconds = 1,
                  QSize size = {320, 240});

// Writes folder/name with exactly these bytes and returns its full path, or "" on failure.
QString WriteFile(const QString &folder, const QString &name, const QByteArray &bytes);

// The first `bytes` bytes of an existing file as folder/name; "" on failure.
QString MakeTruncatedCopy(const QString &source, const QString &folder, const QString &name, qint64 bytes);

// A copy of an FLV file whose every audio and video tag names a codec that does not exist: a well-formed
// file nothing can decode. "" when the source is not an FLV file.
QString MakeUnknownCodecCopy(const QString &source, const QString &folder, const QString &name);

}  // namespace FlvMaker
