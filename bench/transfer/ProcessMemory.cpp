#include "ProcessMemory.h"

#include <QByteArray>
#include <QFile>

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

}  // namespace

qint64 ReadPeakResidentKiB()
{
    return ReadStatusField("VmHWM");
}

qint64 ReadResidentKiB()
{
    return ReadStatusField("VmRSS");
}
