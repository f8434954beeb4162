#include "MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace MediaFixtures {

namespace {

bool RunFfmpeg(const QString &folder, const QStringList &arguments, QString *error)
{
    QProcess ffmpeg;
    ffmpeg.setWorkingDirectory(folder);
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{"-hide_banner", "-loglevel", "error", "-y"} + arguments);
    if (ffmpeg.waitForFinished(180000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0)
        return true;
    *error = QStringLiteral("ffmpeg: ") + QString::fromLocal8Bit(ffmpeg.readAll());
    return false;
}

// ffmpeg's test sources: a picture and a tone, seconds long.
QStringList TestSources(int seconds, const QString &picture = QStringLiteral("testsrc=size=320x240:rate=25"))
{
    return QStringLiteral("-f lavfi -i %1 -f lavfi -i sine=frequency=440:sample_rate=44100 -t %2")
        .arg(picture)
        .arg(seconds)
        .split(QLatin1Char(' '));
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

bool MakeHls(const QString &folder, int seconds, QString *error)
{
    const QString hls = folder + QStringLiteral("/hls");
    QDir().mkpath(hls);
    const QStringList variants =
        QStringLiteral("-filter_complex [0:v]split=2[big][s];[s]scale=160:120[small];[1:a]asplit=2[a1][a2] "
                       "-map [big] -map [a1] -map [small] -map [a2] -c:v libx264 -preset ultrafast -g 25 -c:a aac "
                       "-b:a 64k -f hls -hls_time 2 -hls_playlist_type vod -master_pl_name master.m3u8 "
                       "-hls_segment_filename v%v-%03d.ts")
            .split(QLatin1Char(' '));
    return RunFfmpeg(hls,
                     TestSources(seconds) + variants + QStringList{"-var_stream_map", "v:0,a:0 v:1,a:1", "v%v.m3u8"},
                     error);
}

bool MakeDash(const QString &folder, int seconds, QString *error)
{
    const QString dash = folder + QStringLiteral("/dash");
    QDir().mkpath(dash);
    // Noise makes a picture that does not compress: megabytes, more than sockets hold on their way.
    const QStringList separate =
        QStringLiteral("-map 0:v -map 1:a -c:v libx264 -preset ultrafast -b:v 6M -g 25 -c:a aac "
                       "-b:a 64k -f dash -seg_duration 2 -adaptation_sets")
            .split(QLatin1Char(' '));
    return RunFfmpeg(dash,
                     TestSources(seconds, QStringLiteral("testsrc=size=320x240:rate=25,noise=alls=60:allf=t"))
                         + separate + QStringList{"id=0,streams=v id=1,streams=a", "manifest.mpd"},
                     error);
}

Probe ProbeFile(const QString &file)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {"-v", "error", "-show_entries", "stream=codec_type:format=format_name,duration", "-of", "json",
                   file});
    Probe probe;
    if (!ffprobe.waitForFinished(60000))
        return probe;
    const QJsonObject result = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
    for (const QJsonValue &stream : result.value("streams").toArray())
        probe.streams.append(stream.toObject().value("codec_type").toString());
    probe.format = result.value("format").toObject().value("format_name").toString();
    probe.duration = result.value("format").toObject().value("duration").toString(QStringLiteral("-1")).toDouble();
    return probe;
}

QString MakeFakeYtDlp(const QString &folder, const QByteArray &extractBody)
{
    const QString source = folder + QStringLiteral("/fake-yt-dlp");
    const QByteArray module = "class YoutubeDL:\n"
                              "    def __init__(self, params=None):\n"
                              "        self.params = params or {}\n"
                              "    def extract_info(self, url, download=False, **kwargs):\n"
                              "        if not url.startswith('http'):\n"
                              "            raise Exception('Unsupported URL: ' + url)\n"
        + extractBody + "\n";
    if (!WriteFile(source + "/yt_dlp/__init__.py", module)
        || !WriteFile(source + "/yt_dlp/extractor/__init__.py", "def gen_extractor_classes():\n    return []\n")
        || !WriteFile(source + "/__main__.py", "print('a fake yt-dlp')\n"))
        return QString();
    const QString program = folder + QStringLiteral("/yt-dlp");
    QProcess zipapp;
    zipapp.start(QStringLiteral("/usr/bin/python3"), {"-m", "zipapp", source, "-o", program, "-p", "/usr/bin/python3"});
    if (!zipapp.waitForFinished(60000) || zipapp.exitCode() != 0)
        return QString();
    return program;
}

int CountProcessesWithArgument(const QByteArray &argument)
{
    int count = 0;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (entry.toInt() > 0 && commandLine.open(QIODevice::ReadOnly)
            && commandLine.readAll().split('\0').contains(argument))
            ++count;
    }
    return count;
}

QList<qint64> ChildrenOf(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    QList<qint64> children;
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray &child : file.readAll().simplified().split(' '))
            if (child.toLongLong() > 0)
                children.append(child.toLongLong());
    return children;
}

}  // namespace MediaFixtures
