#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The content of an INI file as bytes: reading one value and rewriting the content with one value changed.
// Nothing here touches the disk, so the rules can be checked on any bytes. Names are compared without regard
// to the case of ASCII letters; every other byte, in names and values alike, is taken as it is.

// The longest value a read returns; longer values are cut to it.
inline constexpr qsizetype kIniValueLimit = 254;

// What a read of a stored value gives: blanks around it removed, one pair of matching quotes removed,
// cut to kIniValueLimit bytes.
QByteArray NormalizeValue(QByteArrayView stored);

// True when the value, written as it is, reads back unchanged.
bool IsValueKept(QByteArrayView value);

// The value of KeyName in the first section called Section; "" when the section or the key is absent.
QByteArray ReadIniValue(QByteArrayView content, QByteArrayView Section, QByteArrayView KeyName);

// The content with KeyName of Section set to KeyValue: an existing key gets the value in its own line, a new
// key goes after the last entry of its section, a new section goes to the end. Lines that are not the key's
// are kept byte for byte. Nothing when a name or the value cannot be written so that it reads back as the
// same entry (a line break anywhere, "=" in the key, "]" in the section, blanks around a name, ...).
std::optional<QByteArray> WriteIniValue(QByteArrayView content, QByteArrayView Section, QByteArrayView KeyName,
                                        QByteArrayView KeyValue);
