#include "ProcessFigures.h"

#include <QByteArray>
#include <QFile>

#include <sys/resource.h>

namespace {

qint64 ReadStatusField(const QByteArray &name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    // /proc files report a size of 0, which QFile takes for the end: read until the kernel says so instead.
    const QByteArray text = status.readAll();
    for (const QByteArray &line : text.split('\n')) {
        if (!line.startsWith(name + ':'))
            continue;
        bool ok = false;
        const qint64 value = line.mid(name.size() + 1).trimmed().split(' ').value(0).toLongLong(&ok);
        return ok ? value : -1;
    }
    return -1;
}

CpuUsage ReadUsage(int who)
{
    rusage usage{};
    if (getrusage(who, &usage) != 0)
        return {};
    const auto toNs = [](const timeval &time) {
        return qint64(time.tv_sec) * 1000000000 + qint64(time.tv_usec) * 1000;
    };
    return {toNs(usage.ru_utime), toNs(usage.ru_stime), qint64(usage.ru_minflt)};
}

}  // namespace

qint64 ReadPeakResidentKiB()
{
    return ReadStatusField("VmHWM");
}

qint64 ReadResidentKiB()
{
    return ReadStatusField("VmRSS");
}

CpuUsage ReadOwnCpuUsage()
{
    return ReadUsage(RUSAGE_SELF);
}

CpuUsage ReadChildrenCpuUsage()
{
    return ReadUsage(RUSAGE_CHILDREN);
}
