#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

#include <sys/types.h>

// Puts the content into the file through a temporary file in the same folder that is synced to disk and then
// renamed over it, so the file is at every moment either the old one or the new one, and a success is only
// reported once the bytes are on disk. An existing file keeps its permissions (and, where allowed, its owner);
// a new one gets newFileMode. A symbolic link stays a link: the file it points to is the one replaced. On
// failure the old file is untouched, no temporary file is left behind, and error tells why, in the user's
// words.
//
// QSaveFile would do most of this, but it reports success when the disk fills up half-way through the
// content (a short write is not an error to it) and then renames the cut file over the good one.
bool ReplaceFileContent(const QString &path, QByteArrayView content, mode_t newFileMode, QString *error);

// How far a copy has got, in bytes; called on the thread that copies.
using CopyProgress = std::function<void(qint64 done, qint64 total)>;

// Puts the file at source in place of path, and source is gone afterwards; a success means the file is on disk
// under its new name. On the same file system it is synced, then renamed (the same file); otherwise it is copied
// in pieces to a temporary file beside path, synced, renamed over path, and only then is source deleted. Either
// way the folder is synced after the rename. On failure source is kept whole. May run on any thread.
bool MoveFileInto(const QString &source, const QString &path, mode_t newFileMode, const CopyProgress &progress,
                  QString *error);

// What a new file gets from the user's umask, as any program's new file would.
mode_t DefaultNewFileMode();
