#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <stdexcept>

// Raised by RINIi when the stored number does not fit a 16-bit signed integer; it reaches the caller.
class IniOverflow : public std::overflow_error {
public:
    using std::overflow_error::overflow_error;
};

// The number a text begins with, the way settings files of the program have always been read: blanks, tabs
// and line feeds are skipped wherever they stand, an optional sign, digits with an optional fraction and
// exponent ("E" or "D"), or "&H" / "&O" and hexadecimal or octal digits. A text that does not begin with a
// number gives 0; a number too large for a double gives infinity.
double ReadLeadingNumber(QByteArrayView text);

// The number rounded to the nearest integer, halves to the even neighbour; IniOverflow outside
// -32768..32767.
qint16 RoundToInteger16(double number);
