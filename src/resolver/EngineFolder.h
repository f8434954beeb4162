#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The folder where the service keeps the yt-dlp releases it downloaded, each verified and tried before it got its
// name there: "yt-dlp-2026.08.19". A name is never reused for other contents, so a warm bridge that reads its
// program again while it runs never finds another file in its place. The newest is the one to run; the one
// before it stays for a step back; older ones go.
namespace EngineFolder {

struct Downloaded {
    QString path;
    QString version;
};

// $XDG_DATA_HOME/quillon/engines.
QString DefaultFolder();

// The releases in the folder, newest first.
QList<Downloaded> ScanFolder(const QString &folder);

// Where the release of that version goes.
QString InstalledPath(const QString &folder, const QString &version);

// Deletes all but the newest two releases.
void Prune(const QString &folder);

// Makes the file's contents durable; for a folder, the names in it.
bool SyncPath(const QString &path);

// SHA-256 of the file, or empty when it cannot be read.
QByteArray Sha256Of(const QString &path);

}  // namespace EngineFolder
