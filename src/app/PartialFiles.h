#pragma once

#include <QDateTime>
#include <QString>

// A video is written while it arrives to a partial file in the folder the save dialog proposes, named by the
// time its download began in a form of the program's own that no locale changes and no other program writes:
// "quillon-20261207-213012.part"; attempt 2 and on, for a name already taken, "quillon-20261207-213012-2.part".
QString PartialFileName(const QDateTime &start, int attempt = 1);

// Deletes the partial files a crash or a power cut left in folder: files named exactly as PartialFileName names
// them that no running download holds locked. Anything else in the folder is left alone.
void RemoveLeftPartials(const QString &folder);
