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

// Replaces the settings file whole and safely (see ReplaceFileContent); a new one is readable by its owner
// only, as it holds the proxy password.
bool ReplaceSettingsFile(const QString &path, const QByteArray &content, QString *error);
