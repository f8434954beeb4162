#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// The page address a client sends as the form field "url". The program writes it in its single-byte code
// page, browsers and scripts write UTF-8; both arrive percent-encoded with "+" for a blank.
namespace FormAddress {

// Percent-decodes one form value: "+" is a blank, "%XX" a byte; a "%" not followed by two hex digits stays.
QByteArray DecodeFormValue(QByteArrayView value);

// Valid UTF-8 is read as UTF-8, anything else as Windows-1251 (every byte has a character there).
QString DecodeAddressBytes(QByteArrayView bytes);

// The trimmed text of the first "url" field of a form body, or nothing when the body has none.
std::optional<QString> ExtractAddress(QByteArrayView body);

}  // namespace FormAddress
