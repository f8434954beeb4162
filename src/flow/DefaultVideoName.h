#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

// Today's date as the locale writes it in short: the text of the daily update mark and the front of a
// default video name.
QString ShortDateText(const QDate &date = QDate::currentDate(), const QLocale &locale = QLocale());

// The locale's time format with seconds and without a time zone, in the locale's order and separators.
QString TimeFormatWithSeconds(const QLocale &locale = QLocale());

// The suggested name of a downloaded video: date(time).extension, with ":" written "-" and ",", "\" and "/"
// written "." so the name holds no folder separator, e.g. 06.12.2026(10-31-07).flv.
QString DefaultVideoName(const QDateTime &now = QDateTime::currentDateTime(), const QLocale &locale = QLocale(),
                         const QString &extension = QStringLiteral("flv"));

// The most bytes of UTF-8 a name made of a title takes before its extension: ext4, NTFS, FAT and exFAT take 255,
// which leaves room for the extension and for a " (2)" that tells two videos of one title apart.
constexpr qsizetype kMostTitleNameBytes = 200;

// A video's title as a file name any file system a video is copied to can hold: no "/", NUL or other control
// character, none of \ : * ? " < > |, no dot at its start, no dot or blank at its end, at most
// kMostTitleNameBytes bytes of UTF-8 cut between two characters as a reader sees them (an emoji or a letter
// with its accent whole). Blanks are run together; a quote becomes an apostrophe, ":" "/" "\" "|" a dash (": "
// " - "), and * ? < > are left out. "" when nothing of the title is left.
QString SafeFileName(const QString &title);

// The name the save proposes for a video of that title and extension: the title made safe (SafeFileName), or the
// date-and-time name (DefaultVideoName) when the title leaves nothing or byDateTime asks for those.
QString ProposedVideoName(const QString &title, bool byDateTime, const QString &extension,
                          const QDateTime &now = QDateTime::currentDateTime(), const QLocale &locale = QLocale());
