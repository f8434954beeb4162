#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>

// One group of Base64: three bytes to four characters of the standard alphabet.
std::array<char, 4> EncodeTriple(uchar b1, uchar b2, uchar b3);

// Base64 of RFC 4648 with "=" fill and no line breaks at any length.
QByteArray Base64EncodeBytes(QByteArrayView bytes);

// The text's wire bytes (ToWireBytes: Windows-1251, UTF-8 for a character the code page lacks) in Base64.
// The proxy's login and password go through here, so a Cyrillic login is one byte per letter.
QString Base64Encode(const QString &text);
