#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The content of an INI file as bytes: reading one value and rewriting the content with one value changed.
// Nothing here touches the disk, so the rules can be checked on any bytes. They are those of the Windows INI
// functions the settings file comes from:
// - CR, LF and CR LF each end a line, mixed as they come.
// - A UTF-8 byte-order mark at the start is not part of the first line and stays where it is. A file that
//   starts with the UTF-16LE mark is UTF-16LE text and stays so; see ReadIniValue for its values.
// - Names are compared without regard to the case of ASCII letters; blanks around a name are not part of it,
//   in the file and in the names asked alike. A section name runs to the last "]" of its line. A key line
//   without "=" is that key with an empty value.
// - Blanks are space, tab, vertical tab, form feed and Ctrl-Z; a NUL ends a value.
// Every other byte, in names and values alike, is taken as it is.

// The longest value a read returns, in characters; longer values are cut to it.
inline constexpr qsizetype kIniValueLimit = 254;

// The value cut to kIniValueLimit characters. Values are UTF-8 text, or Windows-1251 text and scrambled
// passwords in files of earlier versions, and a value is read as UTF-8 when all of it is valid UTF-8, as the
// settings decode it: such a value is cut between characters, any other one byte by byte. A value of up to
// kIniValueLimit bytes is never cut, so whatever bytes a scrambled password holds, it reads back as written.
QByteArray CutIniValue(QByteArrayView value);

// What a read of a value written as "key=" + stored and a line end gives: the text up to a NUL, blanks
// around it removed, one pair of matching quotes removed, cut by CutIniValue. One Ctrl-Z ending a value that
// has nothing else to trim stays (a scrambled password can end in one).
QByteArray NormalizeValue(QByteArrayView stored);

// True when the value, written as it is, reads back unchanged.
bool IsValueKept(QByteArrayView value);

// The value of KeyName in the first section called Section; "" when the section or the key is absent. From
// a UTF-16LE file the value comes in Windows-1251 when that code page holds all of it, as the Windows
// functions give it, otherwise in UTF-8; names asked of such a file are taken as Windows-1251.
QByteArray ReadIniValue(QByteArrayView content, QByteArrayView Section, QByteArrayView KeyName);

// True when the first section called Section holds KeyName, with a value or without.
bool HasIniKey(QByteArrayView content, QByteArrayView Section, QByteArrayView KeyName);

// The content with KeyName of Section set to KeyValue: an existing key gets the value in its own line, a new
// key goes after the last entry of its section, a new section goes to the end, each written as "key=value"
// and "[section]" without blanks. Lines that are not the key's are kept byte for byte. A UTF-16LE file
// takes the value's bytes as Windows-1251 characters, so that it reads back as the same bytes. Nothing when
// a name or the value cannot be written so that it reads back as the same entry (a line break anywhere, "="
// in the key, a key that would read as a header or a comment, ...).
std::optional<QByteArray> WriteIniValue(QByteArrayView content, QByteArrayView Section, QByteArrayView KeyName,
                                        QByteArrayView KeyValue);
