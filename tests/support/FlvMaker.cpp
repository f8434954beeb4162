#include "FlvMaker.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtDebug>

namespace FlvMaker {

namespace {

QStringList Sources(double seconds, QSize size, int frameRate, int sampleRate)
{
    const QString length = QString::number(seconds, 'f', 3);
    const QString pixels = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    return {
        QStringLiteral("-hide_banner"),
        QStringLiteral("-loglevel"),
        QStringLiteral("error"),
        QStringLiteral("-y"),
        QStringLiteral("-f"),
        QStringLiteral("lavfi"),
        QStringLiteral("-i"),
        QStringLiteral("testsrc=size=%1:rate=%2:duration=%3").arg(pixels).arg(frameRate).arg(length),
        QStringLiteral("-f"),
        QStringLiteral("lavfi"),
        QStringLiteral("-i"),
        QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2").arg(sampleRate).arg(length),
    };
}

QStringList H264Aac(int frameRate)
{
    return {QStringLiteral("-c:v"),     QStringLiteral("libx264"),      QStringLiteral("-preset"),
            QStringLiteral("veryfast"), QStringLiteral("-pix_fmt"),     QStringLiteral("yuv420p"),
            QStringLiteral("-g"),       QString::number(frameRate * 2), QStringLiteral("-c:a"),
            QStringLiteral("aac"),      QStringLiteral("-b:a"),         QStringLiteral("64k")};
}

QStringList VideoAudio(const char *video, const char *audio)
{
    QStringList codecs = {QStringLiteral("-c:v"), QString::fromLatin1(video)};
    if (audio)
        codecs << QStringLiteral("-c:a") << QString::fromLatin1(audio);
    else
        codecs << QStringLiteral("-an");
    return codecs;
}

// What each format is made with: codecs, then the muxer.
QStringList FormatArguments(Format format)
{
    const QStringList h264 = H264Aac(25);
    switch (format) {
    case Format::Mp4:
        return h264 + QStringList{QStringLiteral("-f"), QStringLiteral("mp4")};
    case Format::QuickTime:
        return h264 + QStringList{QStringLiteral("-f"), QStringLiteral("mov")};
    case Format::WebM:
        return VideoAudio("libvpx", "libopus") + QStringList{QStringLiteral("-deadline"), QStringLiteral("realtime"),
                                                             QStringLiteral("-cpu-used"), QStringLiteral("8"),
                                                             QStringLiteral("-b:v"),      QStringLiteral("300k"),
                                                             QStringLiteral("-f"),        QStringLiteral("webm")};
    case Format::Matroska:
        return h264 + QStringList{QStringLiteral("-f"), QStringLiteral("matroska")};
    case Format::MpegTs:
        return h264 + QStringList{QStringLiteral("-f"), QStringLiteral("mpegts")};
    case Format::M2ts:
        return h264
            + QStringList{QStringLiteral("-f"), QStringLiteral("mpegts"), QStringLiteral("-mpegts_m2ts_mode"),
                          QStringLiteral("1")};
    case Format::MpegPs:
        return VideoAudio("mpeg1video", "mp2") + QStringList{QStringLiteral("-f"), QStringLiteral("mpeg")};
    case Format::Avi:
        return VideoAudio("mpeg4", "libmp3lame") + QStringList{QStringLiteral("-f"), QStringLiteral("avi")};
    case Format::Asf:
        return VideoAudio("wmv2", "wmav2") + QStringList{QStringLiteral("-f"), QStringLiteral("asf")};
    case Format::OggTheora:
        return VideoAudio("libtheora", "libvorbis") + QStringList{QStringLiteral("-f"), QStringLiteral("ogg")};
    case Format::RealMedia:
        return VideoAudio("rv10", nullptr) + QStringList{QStringLiteral("-f"), QStringLiteral("rm")};
    case Format::Mxf:
        return VideoAudio("mpeg2video", "pcm_s16le") + QStringList{QStringLiteral("-f"), QStringLiteral("mxf")};
    case Format::Nut:
        return VideoAudio("mpeg4", "libmp3lame") + QStringList{QStringLiteral("-f"), QStringLiteral("nut")};
    case Format::OggVorbis:
        return QStringList{QStringLiteral("-vn"), QStringLiteral("-c:a"), QStringLiteral("libvorbis"),
                           QStringLiteral("-f"), QStringLiteral("ogg")};
    }
    return {};
}

QString RunFfmpeg(const QStringList &arguments, const QString &path)
{
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"), arguments + QStringList{path});
    // Generous: the sanitizer build and a busy machine both slow ffmpeg down.
    if (!ffmpeg.waitForFinished(300000) || ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0) {
        qWarning().noquote() << "ffmpeg could not make" << path << ":" << ffmpeg.readAll();
        return {};
    }
    return path;
}

}  // namespace

QString MakeFlv(const QString &folder, const QString &name, const Recipe &recipe)
{
    QStringList arguments = Sources(recipe.seconds, recipe.size, recipe.frameRate, 44100);
    if (recipe.codecs == Codecs::SorensonMp3) {
        arguments << QStringLiteral("-c:v") << QStringLiteral("flv1") << QStringLiteral("-q:v") << QStringLiteral("6")
                  << QStringLiteral("-c:a") << QStringLiteral("libmp3lame") << QStringLiteral("-b:a")
                  << QStringLiteral("64k");
    } else {
        arguments << H264Aac(recipe.frameRate);
    }
    arguments << QStringLiteral("-ar") << QStringLiteral("44100") << QStringLiteral("-shortest") << QStringLiteral("-f")
              << QStringLiteral("flv");
    return RunFfmpeg(arguments, QDir(folder).filePath(name));
}

QString MakeMedia(const QString &folder, const QString &name, Format format, double seconds, QSize size)
{
    // 48 kHz suits every muxer here (MXF takes nothing else).
    return RunFfmpeg(Sources(seconds, size, 25, 48000) + FormatArguments(format)
                         + QStringList{QStringLiteral("-shortest")},
                     QDir(folder).filePath(name));
}

QString WriteFile(const QString &folder, const QString &name, const QByteArray &bytes)
{
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

QString MakeTruncatedCopy(const QString &source, const QString &folder, const QString &name, qint64 bytes)
{
    QFile original(source);
    if (!original.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = original.read(bytes);
    if (head.size() != bytes)
        return {};
    return WriteFile(folder, name, head);
}

QString MakeUnknownCodecCopy(const QString &source, const QString &folder, const QString &name)
{
    QFile original(source);
    if (!original.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = original.readAll();
    if (!bytes.startsWith("FLV") || bytes.size() < 13)
        return {};
    // After the 9-byte header and the first 4-byte back pointer come the tags: type, 24-bit data size,
    // 4 bytes of time, 3 of stream id, the data, and a 4-byte back pointer.
    qsizetype at = 13;
    while (at + 11 < bytes.size()) {
        const int type = uchar(bytes[at]);
        const qsizetype size = (uchar(bytes[at + 1]) << 16) | (uchar(bytes[at + 2]) << 8) | uchar(bytes[at + 3]);
        const qsizetype data = at + 11;
        if (data + size > bytes.size())
            break;
        if (size > 0 && type == 8)  // audio: the codec is the high nibble; 15 is not assigned
            bytes[data] = char((uchar(bytes[data]) & 0x0f) | 0xf0);
        else if (size > 0 && type == 9)  // video: the codec is the low nibble; 15 is not assigned
            bytes[data] = char((uchar(bytes[data]) & 0xf0) | 0x0f);
        at = data + size + 4;
    }
    return WriteFile(folder, name, bytes);
}

}  // namespace FlvMaker
