#include "Base64.h"

#include "WireText.h"

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}

std::array<char, 4> EncodeTriple(uchar b1, uchar b2, uchar b3)
{
    return {kAlphabet[b1 >> 2], kAlphabet[((b1 & 0x03) << 4) | (b2 >> 4)], kAlphabet[((b2 & 0x0F) << 2) | (b3 >> 6)],
            kAlphabet[b3 & 0x3F]};
}

QByteArray Base64EncodeBytes(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    const qsizetype whole = n / 3;
    QByteArray result(whole * 4 + (n % 3 ? 4 : 0), Qt::Uninitialized);
    char *out = result.data();
    const auto byteAt = [&bytes](qsizetype i) { return static_cast<uchar>(bytes[i]); };
    for (qsizetype k = 0; k < whole; ++k) {
        const std::array<char, 4> group = EncodeTriple(byteAt(3 * k), byteAt(3 * k + 1), byteAt(3 * k + 2));
        std::copy(group.begin(), group.end(), out + 4 * k);
    }
    out += 4 * whole;
    if (n % 3 == 1) {
        const std::array<char, 4> group = EncodeTriple(byteAt(n - 1), 0, 0);
        out[0] = group[0];
        out[1] = group[1];
        out[2] = '=';
        out[3] = '=';
    } else if (n % 3 == 2) {
        const std::array<char, 4> group = EncodeTriple(byteAt(n - 2), byteAt(n - 1), 0);
        out[0] = group[0];
        out[1] = group[1];
        out[2] = group[2];
        out[3] = '=';
    }
    return result;
}

QString Base64Encode(const QString &text)
{
    return QString::fromLatin1(Base64EncodeBytes(ToWireBytes(text)));
}
