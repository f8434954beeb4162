#include "CandidateFinder.h"

#include "ParsedPage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace CandidateFinder {

namespace {

// What the walk over the document collects, before anything is resolved: the <base href> has to be known
// first, and it may come after the first candidates in the text.
struct RawCandidate {
    QString address;
    CandidateSource source;
    QString declaredType;
    int height;
};

struct Collected {
    QString baseHref;
    bool baseSeen = false;
    QList<RawCandidate> bySource[5];
    qsizetype openGraphGroupStart = 0;  // first og:video of the group an og:video:type belongs to
    QString openGraphTitle;
    QString documentTitle;
    bool documentTitleSeen = false;

    void Add(CandidateSource source, const QString &address, const QString &type = QString(), int height = 0)
    {
        if (!address.trimmed().isEmpty())
            bySource[int(source)].append({address.trimmed(), source, type.trimmed().toLower(), height});
    }
};

// Where players and pages write a video's height, most particular first: Plyr's size, the resolution switchers'
// res, data attributes, the element's own height, then a label such as "720p".
int ReadElementHeight(const ParsedPage::Element &element)
{
    for (const char *name : {"size", "res", "data-res", "data-height", "height", "label", "data-quality"})
        if (const int height = ReadHeight(element.Attribute(name)))
            return height;
    return 0;
}

void CollectVideo(const ParsedPage::Element &video, Collected &collected)
{
    const int ownHeight = ReadElementHeight(video);
    collected.Add(CandidateSource::VideoElement, video.Attribute("src"), video.Attribute("type"), ownHeight);
    // The element's height is what its one source shows; with several, each tells its own.
    const QList<ParsedPage::Element> sources = video.ChildElements(GUMBO_TAG_SOURCE);
    for (const ParsedPage::Element &source : sources) {
        const int height = ReadElementHeight(source);
        collected.Add(CandidateSource::VideoElement, source.Attribute("src"), source.Attribute("type"),
                      height > 0 || sources.size() > 1 ? height : ownHeight);
    }
}

bool IsOpenGraphVideo(const QString &property)
{
    return property == QLatin1String("og:video") || property == QLatin1String("og:video:url")
        || property == QLatin1String("og:video:secure_url");
}

void CollectMeta(const ParsedPage::Element &meta, Collected &collected)
{
    // Pages write the Open Graph name in "property" as the protocol says, and often in "name" as well.
    QString property = meta.Attribute("property").toLower();
    if (property.isEmpty())
        property = meta.Attribute("name").toLower();
    QList<RawCandidate> &openGraph = collected.bySource[int(CandidateSource::OpenGraph)];
    if (property == QLatin1String("og:video"))
        collected.openGraphGroupStart = openGraph.size();
    if (IsOpenGraphVideo(property)) {
        collected.Add(CandidateSource::OpenGraph, meta.Attribute("content"));
    } else if (property == QLatin1String("og:video:type")) {
        for (qsizetype i = collected.openGraphGroupStart; i < openGraph.size(); ++i)
            openGraph[i].declaredType = meta.Attribute("content").trimmed().toLower();
    } else if (property == QLatin1String("og:video:height")) {
        for (qsizetype i = collected.openGraphGroupStart; i < openGraph.size(); ++i)
            openGraph[i].height = ReadHeight(meta.Attribute("content"));
    } else if (property == QLatin1String("og:title") && collected.openGraphTitle.isEmpty()) {
        collected.openGraphTitle = meta.Attribute("content");
    }
}

void CollectFlashVariables(const QString &variables, Collected &collected)
{
    for (const Candidate &candidate : ReadFlashVariables(variables))
        collected.Add(CandidateSource::FlashVariables, candidate.url.toString(), candidate.declaredType);
}

// A Flash player takes its variables from flashvars and, just as often, from the query of its own address.
void CollectPlayerAddress(const QString &playerAddress, Collected &collected)
{
    const qsizetype query = playerAddress.indexOf(QLatin1Char('?'));
    if (query >= 0)
        CollectFlashVariables(playerAddress.mid(query + 1), collected);
}

void CollectObject(const ParsedPage::Element &object, Collected &collected)
{
    CollectPlayerAddress(object.Attribute("data"), collected);
    for (const ParsedPage::Element &param : object.ChildElements(GUMBO_TAG_PARAM)) {
        const QString name = param.Attribute("name").toLower();
        if (name == QLatin1String("flashvars"))
            CollectFlashVariables(param.Attribute("value"), collected);
        else if (name == QLatin1String("movie") || name == QLatin1String("src"))
            CollectPlayerAddress(param.Attribute("value"), collected);
    }
}

void CollectElement(const ParsedPage::Element &element, Collected &collected)
{
    switch (element.Tag()) {
    case GUMBO_TAG_BASE:
        // Only the first <base> with an address counts, as in browsers.
        if (!collected.baseSeen && element.HasAttribute("href")) {
            collected.baseSeen = true;
            collected.baseHref = element.Attribute("href").trimmed();
        }
        break;
    case GUMBO_TAG_META:
        CollectMeta(element, collected);
        break;
    case GUMBO_TAG_VIDEO:
        CollectVideo(element, collected);
        break;
    case GUMBO_TAG_TITLE:
        // The document's title comes first; an SVG drawing's own titles come later.
        if (!collected.documentTitleSeen) {
            collected.documentTitleSeen = true;
            collected.documentTitle = ParsedPage::DecodeUtf8(element.Text());
        }
        break;
    case GUMBO_TAG_EMBED:
        CollectFlashVariables(element.Attribute("flashvars"), collected);
        CollectPlayerAddress(element.Attribute("src"), collected);
        break;
    case GUMBO_TAG_OBJECT:
        CollectObject(element, collected);
        break;
    case GUMBO_TAG_SCRIPT:
        if (element.Attribute("type").trimmed().toLower() == QLatin1String("application/ld+json"))
            for (const QString &address : ReadJsonLdVideos(element.Text()))
                collected.Add(CandidateSource::JsonLd, address);
        break;
    case GUMBO_TAG_A:
        collected.Add(CandidateSource::Link, element.Attribute("href"), element.Attribute("type"));
        break;
    default:
        break;
    }
}

void CollectJsonValue(const QJsonValue &value, int depth, QStringList &addresses)
{
    if (depth > 64)
        return;
    if (value.isArray()) {
        for (const QJsonValue &item : value.toArray())
            CollectJsonValue(item, depth + 1, addresses);
        return;
    }
    if (!value.isObject())
        return;
    const QJsonObject object = value.toObject();
    const QJsonValue type = object.value(QLatin1String("@type"));
    const bool isVideo = type.toString() == QLatin1String("VideoObject")
        || type.toArray().contains(QJsonValue(QStringLiteral("VideoObject")));
    if (isVideo && object.value(QLatin1String("contentUrl")).isString())
        addresses.append(object.value(QLatin1String("contentUrl")).toString());
    for (auto it = object.begin(); it != object.end(); ++it)
        CollectJsonValue(it.value(), depth + 1, addresses);
}

}  // namespace

QList<Candidate> ReadFlashVariables(QStringView variables)
{
    QList<Candidate> found;
    for (QStringView pair : variables.split(QLatin1Char('&'))) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString name = pair.first(equals).trimmed().toString().toLower();
        if (name != QLatin1String("file") && name != QLatin1String("flv") && name != QLatin1String("video"))
            continue;
        const QString value =
            ParsedPage::DecodeUtf8(QByteArray::fromPercentEncoding(pair.sliced(equals + 1).toUtf8())).trimmed();
        if (value.isEmpty())
            continue;
        Candidate candidate;
        candidate.url = QUrl(value);
        candidate.source = CandidateSource::FlashVariables;
        if (name == QLatin1String("flv"))
            candidate.declaredType = QStringLiteral("video/x-flv");
        found.append(candidate);
    }
    return found;
}

int ReadHeight(QStringView label)
{
    static const QRegularExpression pattern(
        QStringLiteral("\\d{2,5}\\s*[x×]\\s*(\\d{2,4})|(\\d{3,4})\\s*p(?![a-z])|^\\s*(\\d{2,4})\\s*$|\\b([48])k\\b"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(label);
    if (!match.hasMatch())
        return 0;
    if (match.hasCaptured(4))
        return match.captured(4) == QLatin1String("4") ? 2160 : 4320;
    for (int group = 1; group <= 3; ++group)
        if (match.hasCaptured(group))
            return match.captured(group).toInt();
    return 0;
}

QStringList ReadJsonLdVideos(QByteArrayView json)
{
    QStringList addresses;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError)
        return addresses;
    CollectJsonValue(document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()), 0, addresses);
    return addresses;
}

QString FindDeclaredCharset(QByteArrayView html)
{
    QString charset;
    const ParsedPage document(html);
    document.VisitElements([&](const ParsedPage::Element &element) {
        if (!charset.isEmpty() || element.Tag() != GUMBO_TAG_META)
            return;
        if (element.HasAttribute("charset")) {
            charset = element.Attribute("charset").trimmed().toLower();
            return;
        }
        if (element.Attribute("http-equiv").trimmed().toLower() != QLatin1String("content-type"))
            return;
        const QString content = element.Attribute("content").toLower();
        const qsizetype at = content.indexOf(QLatin1String("charset="));
        if (at >= 0)
            charset = content.mid(at + 8).section(QLatin1Char(';'), 0, 0).remove(QLatin1Char('"')).trimmed();
    });
    return charset;
}

QList<Candidate> FindCandidates(QByteArrayView utf8Html, const QUrl &pageUrl, QString *title)
{
    Collected collected;
    const ParsedPage document(utf8Html);
    document.VisitElements([&](const ParsedPage::Element &element) { CollectElement(element, collected); });

    const QUrl base = collected.baseSeen ? pageUrl.resolved(QUrl(collected.baseHref)) : pageUrl;
    QList<Candidate> candidates;
    for (const QList<RawCandidate> &raws : collected.bySource) {
        for (const RawCandidate &raw : raws) {
            const QUrl url = base.resolved(QUrl(raw.address));
            const QString scheme = url.scheme().toLower();
            if (!url.isValid() || url.host().isEmpty()
                || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
                continue;
            if (raw.source == CandidateSource::Link && !CandidateOrder::HasVideoExtension(url.path())
                && !raw.declaredType.startsWith(QLatin1String("video/")))
                continue;
            candidates.append({url.adjusted(QUrl::RemoveFragment), raw.source, raw.declaredType, raw.height});
        }
    }
    if (title)
        *title = collected.openGraphTitle.trimmed().isEmpty() ? collected.documentTitle : collected.openGraphTitle;
    return candidates;
}

}  // namespace CandidateFinder
