#include "ResolutionAnswer.h"

#include "Windows1251.h"

#include <QRegularExpression>

namespace ResolutionAnswer {

namespace {

constexpr char kMarker[] = "\xD0\x9D\xD0\xB0\xD0\xB6\xD0\xBC\xD0\xB8\xD1\x82\xD0\xB5\x2C\x20"
                           "\xD1\x87\xD1\x82\xD0\xBE\xD0\xB1\xD1\x8B";
constexpr char kLinkPattern[] = "href=\"http";
// "href=" and the quote before the address.
constexpr qsizetype kLinkSkip = 6;
constexpr qsizetype kLongestReference = 10;
// A reason is a sentence or two; a whole web page answered by mistake is not read further.
constexpr qsizetype kReasonBytes = 64 * 1024;
constexpr qsizetype kReasonChars = 300;

std::optional<char32_t> NamedCharacter(QStringView name)
{
    if (name == u"amp")
        return U'&';
    if (name == u"lt")
        return U'<';
    if (name == u"gt")
        return U'>';
    if (name == u"quot")
        return U'"';
    if (name == u"apos")
        return U'\'';
    return std::nullopt;
}

std::optional<char32_t> NumberedCharacter(QStringView digits)
{
    bool ok = false;
    uint value = 0;
    if (digits.startsWith(u'x') || digits.startsWith(u'X'))
        value = digits.mid(1).toUInt(&ok, 16);
    else
        value = digits.toUInt(&ok, 10);
    // No character 0, no lone surrogate halves, nothing past the last plane.
    if (!ok || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    return static_cast<char32_t>(value);
}

}  // namespace

QByteArrayView Marker()
{
    return QByteArrayView(kMarker, sizeof(kMarker) - 1);
}

QString DecodeCharacterReferences(const QString &text)
{
    QString result;
    result.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype semicolon = text[i] == QLatin1Char('&') ? text.indexOf(QLatin1Char(';'), i + 1) : -1;
        if (semicolon > i + 1 && semicolon - i <= kLongestReference) {
            const QStringView body = QStringView(text).mid(i + 1, semicolon - i - 1);
            const std::optional<char32_t> character =
                body.startsWith(u'#') ? NumberedCharacter(body.mid(1)) : NamedCharacter(body);
            if (character) {
                result.append(QString::fromUcs4(&*character, 1));
                i = semicolon + 1;
                continue;
            }
        }
        result.append(text[i]);
        ++i;
    }
    return result;
}

QString ReasonOf(QByteArrayView answer)
{
    static const QRegularExpression hidden(QStringLiteral("<(head|script|style)\\b.*?</\\1\\s*>|<!--.*?-->"),
                                           QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    // An answer that says it found a video gives no reason, even when its link cannot be read.
    if (answer.contains(Marker()))
        return {};
    QString text = DecodeUtf8OrWindows1251(answer.first(std::min(answer.size(), kReasonBytes)));
    text.replace(hidden, QStringLiteral(" "));
    text.replace(tag, QStringLiteral(" "));
    text = DecodeCharacterReferences(text).simplified();
    if (text.size() > kReasonChars)
        text = text.left(kReasonChars - 1).trimmed() + u'…';
    return text;
}

std::optional<QString> VideoLinkOf(QByteArrayView answer)
{
    if (!answer.contains(Marker()))
        return std::nullopt;
    const qsizetype start = answer.indexOf(QByteArrayView(kLinkPattern));
    if (start < 0)
        return std::nullopt;
    const QByteArrayView rest = answer.sliced(start + kLinkSkip);
    const qsizetype end = rest.indexOf('"');
    if (end < 0)
        return std::nullopt;
    // One character per byte, as the transfer control reads and writes addresses, so that whatever bytes
    // the service sent go back on the wire unchanged.
    return DecodeCharacterReferences(Windows1251::Decode(rest.first(end)));
}

}  // namespace ResolutionAnswer
