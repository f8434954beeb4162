#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// yt-dlp numbers its releases by date, "2026.08.19", with ".N" for a second release on one day.
namespace EngineVersion {

// The numbers of a version, or nothing when the text is not of that form.
std::optional<QList<int>> ParseVersion(const QString &text);

// Whether a is a later release than b; a text that is no version is older than any version.
bool IsNewer(const QString &a, const QString &b);

// The day of the release, or an invalid date.
QDate DateOf(const QString &version);

}  // namespace EngineVersion
