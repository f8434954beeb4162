#include "ResolutionAnswer.h"

#include "Windows1251.h"

#include <QRegularExpression>

#include <algorithm>

namespace ResolutionAnswer {

namespace {

constexpr char kMarker[] = "\xD0\x9D\xD0\xB0\xD0\xB6\xD0\xBC\xD0\xB8\xD1\x82\xD0\xB5\x2C\x20"
                           "\xD1\x87\xD1\x82\xD0\xBE\xD0\xB1\xD1\x8B";
constexpr char kLinkPattern[] = "href=\"http";
// A further choice is a link whose first attribute is its address, as the service writes every link.
constexpr char kChoicePattern[] = "<a href=\"http";
// "href=" and the quote before the address.
constexpr qsizetype kLinkSkip = 6;
constexpr qsizetype kLongestReference = 10;
// A reason is a sentence or two; a whole web page answered by mistake is not read further.
constexpr qsizetype kReasonBytes = 64 * 1024;
constexpr qsizetype kReasonChars = 300;
constexpr qsizetype kTitleChars = 1000;
constexpr int kMostPixels = 100000;

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

// A link of the answer: its address, and the rest of its tag after the address's closing quote.
struct LinkAt {
    QString Address;
    QByteArrayView Attributes;
    // Where the search for the next link goes on.
    qsizetype TagEnd = 0;
};

// The link whose href="http begins at pattern; nothing when its address never ends.
std::optional<LinkAt> LinkFrom(QByteArrayView answer, qsizetype pattern)
{
    const qsizetype start = pattern + kLinkSkip;
    const qsizetype end = answer.indexOf('"', start);
    if (end < 0)
        return std::nullopt;
    qsizetype tagEnd = answer.indexOf('>', end + 1);
    if (tagEnd < 0)
        tagEnd = answer.size();
    // One character per byte, as the transfer control reads and writes addresses, so that whatever bytes
    // the service sent go back on the wire unchanged.
    return LinkAt{DecodeCharacterReferences(Windows1251::Decode(answer.sliced(start, end - start))),
                  answer.sliced(end + 1, tagEnd - end - 1), tagEnd};
}

int PixelsOf(const QString &value)
{
    bool ok = false;
    const int pixels = value.toInt(&ok);
    return ok && pixels > 0 && pixels <= kMostPixels ? pixels : 0;
}

qint64 SizeOf(const QString &value)
{
    bool ok = false;
    const qint64 bytes = value.toLongLong(&ok);
    return ok && bytes >= 0 ? bytes : -1;
}

// An extension is a short run of ASCII letters and digits: anything else is no name for a file's kind.
QString ExtensionText(const QString &value)
{
    static const QRegularExpression extension(QStringLiteral("^[a-z0-9]{1,8}$"));
    const QString lower = value.toLower();
    return extension.match(lower).hasMatch() ? lower : QString();
}

// The attributes the program knows, from the rest of a link's tag; the title only where title is given.
Choice ChoiceOf(const LinkAt &link, QString *title)
{
    static const QRegularExpression attribute(QStringLiteral(R"re(([A-Za-z][A-Za-z0-9-]*)\s*=\s*"([^"]*)")re"));
    Choice choice;
    choice.Link = link.Address;
    const QString tag = QString::fromUtf8(link.Attributes);
    for (QRegularExpressionMatchIterator found = attribute.globalMatch(tag); found.hasNext();) {
        const QRegularExpressionMatch match = found.next();
        const QString name = match.captured(1).toLower();
        const QString value = DecodeCharacterReferences(match.captured(2));
        if (name == u"data-title" && title)
            *title = value.simplified().left(kTitleChars);
        else if (name == u"data-height")
            choice.Height = PixelsOf(value);
        else if (name == u"data-width")
            choice.Width = PixelsOf(value);
        else if (name == u"data-container")
            choice.Container = ExtensionText(value);
        else if (name == u"data-size")
            choice.Size = SizeOf(value);
        else if (name == u"data-sound-only")
            choice.SoundOnly = value == u"1";
    }
    return choice;
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
    // The service's answer begins by saying that it found nothing, which the window says in its own words;
    // the reason is what follows.
    static const QString heading = QStringLiteral("Видео не найдено. ");
    if (text.startsWith(heading))
        text.remove(0, heading.size());
    if (text.size() > kReasonChars)
        text = text.left(kReasonChars - 1).trimmed() + u'…';
    return text;
}

namespace {

std::optional<LinkAt> FirstLinkOf(QByteArrayView answer)
{
    if (!answer.contains(Marker()))
        return std::nullopt;
    const qsizetype start = answer.indexOf(QByteArrayView(kLinkPattern));
    if (start < 0)
        return std::nullopt;
    return LinkFrom(answer, start);
}

}  // namespace

std::optional<QString> VideoLinkOf(QByteArrayView answer)
{
    const std::optional<LinkAt> first = FirstLinkOf(answer);
    if (!first)
        return std::nullopt;
    return first->Address;
}

std::optional<Offer> OfferOf(QByteArrayView answer)
{
    std::optional<LinkAt> link = FirstLinkOf(answer);
    if (!link)
        return std::nullopt;
    Offer offer;
    offer.Choices.append(ChoiceOf(*link, &offer.Title));
    const QByteArrayView pattern(kChoicePattern);
    for (qsizetype next = answer.indexOf(pattern, link->TagEnd); next >= 0 && offer.Choices.size() < kMaxChoices;
         next = answer.indexOf(pattern, link->TagEnd)) {
        // "<a " before the pattern the first link is cut at.
        link = LinkFrom(answer, next + 3);
        if (!link)
            break;
        const Choice choice = ChoiceOf(*link, nullptr);
        const bool offered = std::any_of(offer.Choices.cbegin(), offer.Choices.cend(),
                                         [&choice](const Choice &taken) { return taken.Link == choice.Link; });
        if (!offered)
            offer.Choices.append(choice);
    }
    return offer;
}

}  // namespace ResolutionAnswer
