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
