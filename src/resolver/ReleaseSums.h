#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The list of checksums a yt-dlp release publishes (SHA2-256SUMS): one line a file, 64 hexadecimal digits, a
// blank and the file's name (sha256sum's form, with "*" before the name in its binary mode).
namespace ReleaseSums {

// The SHA-256 of the named file as 32 bytes, or nothing when no line, or more than one, names it.
std::optional<QByteArray> DigestFor(const QByteArray &sums, const QString &fileName);

}  // namespace ReleaseSums
