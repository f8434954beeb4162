#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// The lines of an INI file as 16-bit units, whatever bytes the file holds them in: finding the stored text of
// a value and placing a new one. Names are compared without regard to the case of ASCII letters, and blanks
// around them are not part of them; every other unit is taken as it is.

// What a read of one stored value gives, before any limit on its length: the text up to a NUL, blanks
// (Ctrl-Z among them) removed around it, then one pair of matching quotes removed. beforeLineEnd tells
// whether a line end follows the stored text directly.
QStringView NormalizeStoredValue(QStringView stored, bool beforeLineEnd);

// The value of KeyName in the first section called Section, as NormalizeStoredValue gives it; nothing when the
// section or the key is absent.
std::optional<QStringView> FindIniEntry(QStringView text, QStringView Section, QStringView KeyName);

// The same, "" when the section or the key is absent.
QStringView FindIniValue(QStringView text, QStringView Section, QStringView KeyName);

// The text with KeyName of Section set to KeyValue: an existing key gets the value in its own line, a new key
// goes after the last entry of its section, a new section goes to the end. Nothing when a name or the value
// cannot be written so that it reads back as the same entry.
std::optional<QString> PlaceIniValue(QStringView text, QStringView Section, QStringView KeyName, QStringView KeyValue);
