#include "IniNumber.h"

#include "HexDigit.h"

#include <QByteArray>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

bool IsSkipped(char byte)
{
    return byte == ' ' || byte == '\t' || byte == '\n';
}

bool IsDigit(char byte)
{
    return byte >= '0' && byte <= '9';
}

int DigitValue(char byte, int base)
{
    const int value = HexDigitValue(byte);
    return value >= 0 && value < base ? value : -1;
}

double ReadRadixNumber(const QByteArray &digits, int base)
{
    double value = 0;
    for (char byte : digits) {
        const int digit = DigitValue(byte, base);
        if (digit < 0)
            break;
        value = value * base + digit;
    }
    return value;
}

double ReadDecimalNumber(const QByteArray &text)
{
    qsizetype at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';

    // Rebuilt as plain "digits.digitsEdigits" so that std::from_chars reads it the same in every locale.
    std::string number;
    qsizetype digits = 0;
    while (at < text.size() && IsDigit(text[at])) {
        number += text[at++];
        ++digits;
    }
    if (at < text.size() && text[at] == '.') {
        number += text[at++];
        while (at < text.size() && IsDigit(text[at])) {
            number += text[at++];
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    if (number.front() == '.')
        number.insert(number.begin(), '0');
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E' || text[at] == 'd' || text[at] == 'D')) {
        qsizetype exponentAt = at + 1;
        std::string exponent = "e";
        if (exponentAt < text.size() && (text[exponentAt] == '+' || text[exponentAt] == '-'))
            exponent += text[exponentAt++];
        if (exponentAt < text.size() && IsDigit(text[exponentAt])) {
            while (exponentAt < text.size() && IsDigit(text[exponentAt]))
                exponent += text[exponentAt++];
            number += exponent;
        }
    }

    double value = 0;
    const std::from_chars_result parsed = std::from_chars(number.data(), number.data() + number.size(), value);
    if (parsed.ec == std::errc::result_out_of_range) {
        // Too large gives infinity (an overflow for the caller); too small is as good as zero.
        const std::size_t exponentAt = number.find('e');
        const bool tiny = exponentAt != std::string::npos && number[exponentAt + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

}  // namespace

double ReadLeadingNumber(QByteArrayView text)
{
    QByteArray compact;
    compact.reserve(text.size());
    for (char byte : text) {
        if (!IsSkipped(byte))
            compact.append(byte);
    }
    if (compact.size() >= 2 && compact[0] == '&') {
        const char radix = compact[1];
        if (radix == 'h' || radix == 'H')
            return ReadRadixNumber(compact.sliced(2), 16);
        if (radix == 'o' || radix == 'O')
            return ReadRadixNumber(compact.sliced(2), 8);
        return 0;
    }
    return ReadDecimalNumber(compact);
}

qint16 RoundToInteger16(double number)
{
    // std::nearbyint rounds halves to even in the default rounding mode, which nothing here changes.
    const double rounded = std::nearbyint(number);
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        throw IniOverflow("Overflow: the stored number does not fit in -32768..32767");
    return static_cast<qint16>(rounded);
}
