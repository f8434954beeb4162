#include "FormAddress.h"

#include "HexDigit.h"
#include "Windows1251.h"

namespace FormAddress {

QByteArray DecodeFormValue(QByteArrayView value)
{
    QByteArray bytes;
    bytes.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '+') {
            bytes.append(' ');
        } else if (c == '%' && i + 2 < value.size() && HexDigitValue(value[i + 1]) >= 0
                   && HexDigitValue(value[i + 2]) >= 0) {
            bytes.append(static_cast<char>(HexDigitValue(value[i + 1]) * 16 + HexDigitValue(value[i + 2])));
            i += 2;
        } else {
            bytes.append(c);
        }
    }
    return bytes;
}

QString DecodeAddressBytes(QByteArrayView bytes)
{
    return DecodeUtf8OrWindows1251(bytes);
}

std::optional<QString> ExtractAddress(QByteArrayView body)
{
    // Some clients count the line break after the body into its length; it is never part of the address.
    while (!body.isEmpty() && (body.back() == '\r' || body.back() == '\n'))
        body.chop(1);
    qsizetype start = 0;
    while (start <= body.size()) {
        qsizetype end = body.indexOf('&', start);
        if (end < 0)
            end = body.size();
        const QByteArrayView field = body.sliced(start, end - start);
        const qsizetype equals = field.indexOf('=');
        const QByteArrayView name = equals < 0 ? field : field.first(equals);
        if (DecodeFormValue(name) == "url") {
            const QByteArrayView value = equals < 0 ? QByteArrayView() : field.sliced(equals + 1);
            return DecodeAddressBytes(DecodeFormValue(value)).trimmed();
        }
        start = end + 1;
    }
    return std::nullopt;
}

}  // namespace FormAddress
