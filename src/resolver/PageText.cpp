#include "PageText.h"

#include "CandidateFinder.h"
#include "Windows1251.h"

#include <QStringDecoder>

namespace PageText {

namespace {

bool IsWindows1251(const QString &charset)
{
    return charset == QLatin1String("windows-1251") || charset == QLatin1String("cp1251")
        || charset == QLatin1String("x-cp1251") || charset == QLatin1String("win-1251");
}

bool IsUtf8(const QString &charset)
{
    return charset == QLatin1String("utf-8") || charset == QLatin1String("utf8");
}

std::optional<QByteArray> ConvertFrom(const QString &charset, QByteArrayView body)
{
    if (charset.isEmpty())
        return std::nullopt;
    if (IsUtf8(charset))
        return body.toByteArray();
    if (IsWindows1251(charset))
        return Windows1251::Decode(body).toUtf8();
    QStringDecoder decoder(charset.toLatin1().constData());
    if (!decoder.isValid())
        return std::nullopt;
    return QString(decoder.decode(body)).toUtf8();
}

}  // namespace

QString CharsetOfContentType(QByteArrayView contentType)
{
    const QString value = QString::fromLatin1(contentType).toLower();
    for (const QString &parameter : value.split(QLatin1Char(';')).mid(1)) {
        const QString trimmed = parameter.trimmed();
        if (trimmed.startsWith(QLatin1String("charset=")))
            return trimmed.mid(8).remove(QLatin1Char('"')).remove(QLatin1Char('\'')).trimmed();
    }
    return QString();
}

QByteArray ConvertPageToUtf8(QByteArrayView body, QByteArrayView contentType)
{
    if (body.startsWith("\xEF\xBB\xBF"))
        return body.sliced(3).toByteArray();
    if (body.startsWith("\xFF\xFE"))
        return QString(QStringDecoder(QStringDecoder::Utf16LE).decode(body.sliced(2))).toUtf8();
    if (body.startsWith("\xFE\xFF"))
        return QString(QStringDecoder(QStringDecoder::Utf16BE).decode(body.sliced(2))).toUtf8();
    if (auto converted = ConvertFrom(CharsetOfContentType(contentType), body))
        return *converted;
    // Only a page that is not valid UTF-8 is worth a second parse to find the charset its <meta> names:
    // a page in a single-byte code page with any letter beyond ASCII is practically never valid UTF-8.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(utf8.decode(body));
    if (!utf8.hasError())
        return body.toByteArray();
    if (auto converted = ConvertFrom(CandidateFinder::FindDeclaredCharset(body), body))
        return *converted;
    return body.toByteArray();
}

}  // namespace PageText
