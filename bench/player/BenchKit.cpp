#include "BenchKit.h"

#include "FlvMaker.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

namespace BenchKit {

QString DataFolder()
{
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/bench-data");
    QDir().mkpath(folder);
    return folder;
}

QString Clip720p(int seconds)
{
    const QString name = QStringLiteral("clip-720p-%1s.flv").arg(seconds);
    const QString path = QDir(DataFolder()).filePath(name);
    if (QFileInfo(path).size() > 0)
        return path;
    return FlvMaker::MakeFlv(DataFolder(), name, {FlvMaker::Codecs::H264Aac, double(seconds), {1280, 720}, 25});
}

bool WaitUntil(const std::function<bool()> &done, int timeoutMs)
{
    // A sleeping event loop that looks every 50 ms: the waiting itself must not cost the CPU being measured.
    QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer look;
    look.setInterval(50);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    if (done())
        return true;
    look.start();
    loop.exec();
    return done();
}

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double ResidentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return -1;
    return fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

QString DisplayAndLoad()
{
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    QString load;
    if (loadavg.open(QIODevice::ReadOnly))
        load = QString::fromLatin1(loadavg.readAll()).section(QLatin1Char(' '), 0, 2);
    return QStringLiteral("display %1, load averages %2, %3 cores")
        .arg(QGuiApplication::platformName(), load)
        .arg(sysconf(_SC_NPROCESSORS_ONLN));
}

}  // namespace BenchKit
