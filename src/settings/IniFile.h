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

// Puts the content into the file through a temporary file in the same folder that is renamed over it, so the
// file is at every moment either the old one or the new one. A new file is readable by its owner only, as it
// holds the proxy password; an existing file keeps its permissions (and, where allowed, its owner). On failure the old file is untouched, no
// temporary file is left behind, and error tells why.
bool ReplaceFileContent(const QString &path, const QByteArray &content, QString *error);
