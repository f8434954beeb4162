#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Whole-file reading and writing for the settings store.

// The longest settings file read. options.ini holds a few hundred bytes; what is far longer is no settings
// file of ours, and reading it would only fill the memory.
constexpr qint64 kLongestSettingsFile = qint64(4) << 20;

// The settings file's bytes: "" when there is none yet; nothing, with error saying why in the user's words, when
// what stands at path is no regular file (a FIFO, a device, a folder; a link to a regular file is followed), is
// longer than kLongestSettingsFile, or cannot be read. It never waits on a FIFO or a device and never reads more
// than the limit.
std::optional<QByteArray> ReadSettingsFile(const QString &path, QString *error);

// The same for a read that never fails: "" whenever there are no bytes to use.
QByteArray ReadFileContent(const QString &path);

// Makes the folder and those above it that are missing, each readable by its owner only, as the user's
// configuration folders are to be made.
bool MakeOwnerFolder(const QString &folder, QString *error);

// Held while a writer re-reads the file and replaces it, so that two programs writing the same file at once
// never write over each other's values: each write then starts from the other's result. The lock is on the
// file's folder (the file itself is replaced, and a lock file would be one more file beside it); the system
// releases it when its holder ends, however it ends.
class SettingsFileLock {
public:
    explicit SettingsFileLock(const QString &path);
    ~SettingsFileLock();
    SettingsFileLock(const SettingsFileLock &) = delete;
    SettingsFileLock &operator=(const SettingsFileLock &) = delete;

    // False when another program held the file for too long. A folder that cannot be locked (a missing one, a
    // file system without locks) is no reason to fail: the write itself then tells what is wrong.
    bool Acquired() const { return acquired; }

private:
    int descriptor = -1;
    bool acquired = true;
};

// Replaces the settings file whole and safely (see ReplaceFileContent); a new one is readable by its owner
// only, as it holds the proxy password.
bool ReplaceSettingsFile(const QString &path, const QByteArray &content, QString *error);
