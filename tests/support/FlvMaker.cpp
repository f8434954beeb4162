#include "FlvMaker.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtDebug>

namespace FlvMaker {

QString MakeFlv(const QString &folder, const QString &name, const Recipe &recipe)
{
    const QString path = QDir(folder).filePath(name);
    const QString seconds = QString::number(recipe.seconds, 'f', 3);
    const QString size = QStringLiteral("%1x%2").arg(recipe.size.width()).arg(recipe.size.height());
    QStringList arguments = {
        QStringLiteral("-hide_banner"),
        QStringLiteral("-loglevel"),
        QStringLiteral("error"),
        QStringLiteral("-y"),
        QStringLiteral("-f"),
        QStringLiteral("lavfi"),
        QStringLiteral("-i"),
        QStringLiteral("testsrc=size=%1:rate=%2:duration=%3").arg(size).arg(recipe.frameRate).arg(seconds),
        QStringLiteral("-f"),
        QStringLiteral("lavfi"),
        QStringLiteral("-i"),
        QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(seconds),
    };
    if (recipe.codecs == Codecs::SorensonMp3) {
        arguments << QStringLiteral("-c:v") << QStringLiteral("flv1") << QStringLiteral("-q:v") << QStringLiteral("6")
                  << QStringLiteral("-c:a") << QStringLiteral("libmp3lame") << QStringLiteral("-b:a")
                  << QStringLiteral("64k");
    } else {
        arguments << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
                  << QStringLiteral("veryfast") << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p")
                  << QStringLiteral("-g") << QString::number(recipe.frameRate * 2) << QStringLiteral("-c:a")
                  << QStringLiteral("aac") << QStringLiteral("-b:a") << QStringLiteral("64k");
    }
    arguments << QStringLiteral("-ar") << QStringLiteral("44100") << QStringLiteral("-shortest") << QStringLiteral("-f")
              << QStringLiteral("flv") << path;

    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"), arguments);
    // Generous: the sanitizer build and a busy machine both slow ffmpeg down.
    if (!ffmpeg.waitForFinished(300000) || ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0) {
        qWarning().noquote() << "ffmpeg could not make" << path << ":" << ffmpeg.readAll();
        return {};
    }
    return path;
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
