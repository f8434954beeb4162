#include "IniText.h"

#include "IniLines.h"
#include "Windows1251.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

constexpr QByteArrayView kUtf8Mark = "\xEF\xBB\xBF";
constexpr QByteArrayView kUtf16LeMark = "\xFF\xFE";

// A file as its lines are read: the text as 16-bit units, with what surrounds it kept aside so that a
// rewrite gives it back unchanged.
struct IniContent {
    QByteArray mark;
    bool wide = false;
    QString text;
    // The odd last byte of a UTF-16 file, which no unit holds.
    QByteArray oddByte;
};

IniContent DecodeContent(QByteArrayView content)
{
    IniContent decoded;
    if (content.startsWith(kUtf16LeMark)) {
        decoded.mark = kUtf16LeMark.toByteArray();
        decoded.wide = true;
        const QByteArrayView units = content.sliced(kUtf16LeMark.size());
        decoded.text.resize(units.size() / 2);
        for (qsizetype i = 0; i < decoded.text.size(); ++i)
            decoded.text[i] = QChar(char16_t(uchar(units[2 * i]) | uchar(units[2 * i + 1]) << 8));
        if (units.size() % 2 != 0)
            decoded.oddByte = units.last(1).toByteArray();
        return decoded;
    }
    if (content.startsWith(kUtf8Mark)) {
        decoded.mark = kUtf8Mark.toByteArray();
        content = content.sliced(kUtf8Mark.size());
    }
    // One unit a byte, whatever the byte: values are bytes (a scrambled password is any of them) and come
    // back exactly as they were.
    decoded.text = QString::fromLatin1(content);
    return decoded;
}

QByteArray EncodeContent(const IniContent &content)
{
    if (!content.wide)
        return content.mark + content.text.toLatin1();
    QByteArray bytes = content.mark;
    bytes.reserve(bytes.size() + 2 * content.text.size() + content.oddByte.size());
    for (QChar unit : content.text) {
        bytes.append(char(unit.unicode() & 0xFF));
        bytes.append(char(unit.unicode() >> 8));
    }
    return bytes + content.oddByte;
}

// The caller's bytes in the file's units. Windows takes the bytes of its ANSI functions in the system's code
// page; here that is Windows-1251, the code page of the scrambled password, which has a character for every
// byte, so any value reads back as the bytes written.
QString UnitsOf(QByteArrayView bytes, bool wide)
{
    return wide ? Windows1251::Decode(bytes) : QString::fromLatin1(bytes);
}

// A value read, in bytes: those of a plain file as they are; the text of a UTF-16 file in Windows-1251, or
// in UTF-8 when that code page cannot hold it all, so that no character is lost.
QByteArray BytesOf(QStringView value, bool wide)
{
    QByteArray bytes;
    if (!wide) {
        bytes = value.toLatin1();
    } else if (const std::optional<QByteArray> codes = Windows1251::Encode(value)) {
        bytes = *codes;
    } else {
        bytes = value.toUtf8();
    }
    return CutIniValue(bytes);
}

bool IsUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = utf8.decode(bytes);
    return !utf8.hasError();
}

bool IsContinuationByte(char byte)
{
    return (uchar(byte) & 0xC0) == 0x80;
}

}  // namespace

QByteArray CutIniValue(QByteArrayView value)
{
    if (value.size() <= kIniValueLimit || !IsUtf8(value))
        return value.first(std::min(value.size(), kIniValueLimit)).toByteArray();
    // Valid UTF-8: every byte that does not continue a character begins one.
    qsizetype characters = 0;
    for (qsizetype at = 0; at < value.size(); ++at) {
        if (!IsContinuationByte(value[at]) && characters++ == kIniValueLimit)
            return value.first(at).toByteArray();
    }
    return value.toByteArray();
}

QByteArray NormalizeValue(QByteArrayView stored)
{
    return BytesOf(NormalizeStoredValue(QString::fromLatin1(stored), true), false);
}

bool IsValueKept(QByteArrayView value)
{
    return !value.contains('\n') && !value.contains('\r') && NormalizeValue(value) == value;
}

QByteArray ReadIniValue(QByteArrayView content, QByteArrayView Section, QByteArrayView KeyName)
{
    const IniContent file = DecodeContent(content);
    return BytesOf(FindIniValue(file.text, UnitsOf(Section, file.wide), UnitsOf(KeyName, file.wide)), file.wide);
}

bool HasIniKey(QByteArrayView content, QByteArrayView Section, QByteArrayView KeyName)
{
    const IniContent file = DecodeContent(content);
    return FindIniEntry(file.text, UnitsOf(Section, file.wide), UnitsOf(KeyName, file.wide)).has_value();
}

std::optional<QByteArray> WriteIniValue(QByteArrayView content, QByteArrayView Section, QByteArrayView KeyName,
                                        QByteArrayView KeyValue)
{
    IniContent file = DecodeContent(content);
    std::optional<QString> text = PlaceIniValue(file.text, UnitsOf(Section, file.wide), UnitsOf(KeyName, file.wide),
                                                UnitsOf(KeyValue, file.wide));
    if (!text)
        return std::nullopt;
    file.text = std::move(*text);
    return EncodeContent(file);
}
