#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Whole-file reading and writing for the settings store.

// The file's bytes; "" when it is absent or cannot be read: a read never fails.
QByteArray ReadFileContent(const QString &path);

// The file's bytes for rewriting it: "" when it does not exist yet, nothing when it exists but cannot be
// read (rewriting it from "" would throw away everything else in it).
std::optional<QByteArray> ReadFileForRewrite(const QString &path, QString *error);

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
