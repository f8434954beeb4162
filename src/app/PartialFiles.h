#pragma once

#include <QDateTime>
#include <QString>

// A video is written while it arrives to "date(time).part", the default name of a video whose download began
// then, in the folder the save dialog proposes; its kind, and so its extension, shows once it has arrived.
QString PartialFileName(const QDateTime &start);

// Deletes the partial files a crash or a power cut left in folder: files named as ours are ("date(time).part")
// that no running download holds locked. Anything else in the folder is left alone.
void RemoveLeftPartials(const QString &folder);
