#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The single-byte code page of the wire and of the scrambled proxy password. Servers and settings files
// written by earlier versions of the program speak it, so every byte value 0..255 has a character here:
// 0x98, which the code page leaves undefined, stands for U+0098 so that any byte string survives a round trip.
namespace Windows1251 {

// The code of one character, or nothing when the code page cannot hold it.
std::optional<uchar> CodeOf(QChar character);

// The whole text, or nothing when any character cannot be held: a character is never silently dropped.
std::optional<QByteArray> Encode(QStringView text);

QChar CharOf(uchar code);
QString Decode(QByteArrayView bytes);

}  // namespace Windows1251

// Text that is UTF-8 when it is valid UTF-8, and Windows-1251 otherwise: what settings files and clients
// written for earlier versions of the program send. A byte string of Windows-1251 letters is practically never
// valid UTF-8, so the guess does not mistake one for the other.
QString DecodeUtf8OrWindows1251(QByteArrayView bytes);
