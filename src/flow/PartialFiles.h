#pragma once

#include <QDateTime>
#include <QString>

class BodyFile;

// A video is written while it arrives to a partial file in the folder the save dialog proposes, named by the
// time its download began in a form of the program's own that no locale changes and no other program writes:
// "quillon-20261207-213012.part"; attempt 2 and on, for a name already taken, "quillon-20261207-213012-2.part".
QString PartialFileName(const QDateTime &start, int attempt = 1);

// Opens file as a new partial file in folder (ending with "/") for a download begun at start, under the first of
// its names that nothing holds yet. Whatever holds a name (another download begun in the same second, a file or a
// link someone put there) is left as it is. False with the reason.
bool OpenPartialFile(BodyFile &file, const QString &folder, const QDateTime &start, QString *error);

// Deletes the partial files a crash or a power cut left in folder: files named exactly as PartialFileName names
// them that no running download holds locked. Anything else in the folder is left alone.
void RemoveLeftPartials(const QString &folder);
