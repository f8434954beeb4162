#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>
#include <vector>

#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

// The whole content of a file, or "<unreadable>" (which no test writes), so a comparison names the failure.
inline QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// How many bytes of the file still wait in memory for the disk: ranges the file system has not placed yet (delayed
// allocation) or has placed but not written. The map is read without syncing the file first. nullopt where the file
// system keeps no such map (tmpfs).
inline std::optional<qint64> BytesWaitingForDisk(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    constexpr unsigned kExtents = 256;
    constexpr quint32 kWaiting = FIEMAP_EXTENT_DELALLOC | FIEMAP_EXTENT_UNWRITTEN | FIEMAP_EXTENT_UNKNOWN;
    std::vector<fiemap_extent> buffer(kExtents + 1);
    auto *map = reinterpret_cast<fiemap *>(buffer.data());
    qint64 waiting = 0;
    for (quint64 start = 0;;) {
        *map = {};
        map->fm_start = start;
        map->fm_length = FIEMAP_MAX_OFFSET - start;
        map->fm_extent_count = kExtents;
        if (::ioctl(file.handle(), FS_IOC_FIEMAP, map) != 0)
            return std::nullopt;
        if (map->fm_mapped_extents == 0)
            return waiting;
        for (quint32 i = 0; i < map->fm_mapped_extents; ++i) {
            const fiemap_extent &extent = map->fm_extents[i];
            if (extent.fe_flags & kWaiting)
                waiting += qint64(extent.fe_length);
            if (extent.fe_flags & FIEMAP_EXTENT_LAST)
                return waiting;
        }
        const fiemap_extent &last = map->fm_extents[map->fm_mapped_extents - 1];
        start = last.fe_logical + last.fe_length;
    }
}
