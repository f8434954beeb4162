#include "FoundVideos.h"

#include "Candidate.h"
#include "CandidateFinder.h"
#include "PageText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace FoundVideosReader {

namespace {

VideoChoice ChoiceOf(const Candidate &candidate)
{
    VideoChoice choice;
    choice.url = candidate.url;
    choice.height = candidate.height;
    choice.container = CandidateOrder::ContainerOf(candidate.url, candidate.declaredType);
    choice.soundOnly = CandidateOrder::IsSoundOnly(candidate);
    return choice;
}

QString EncodedText(const QUrl &url)
{
    return QString::fromLatin1(url.toEncoded());
}

std::optional<QUrl> ReadUrl(const QJsonValue &value)
{
    const QUrl url = QUrl::fromEncoded(value.toString().toLatin1());
    if (!value.isString() || !url.isValid())
        return std::nullopt;
    return url;
}

}  // namespace

FoundVideos FindVideos(QByteArrayView body, QByteArrayView contentType, const QUrl &pageUrl)
{
    const QByteArray html = PageText::ConvertPageToUtf8(body, contentType);
    QList<Candidate> files;
    FoundVideos found;
    for (const Candidate &candidate : CandidateFinder::FindCandidates(html, pageUrl, &found.title)) {
        if (!CandidateOrder::IsStreamManifest(candidate))
            files.append(candidate);
        else if (!found.streams.contains(candidate.url))
            found.streams.append(candidate.url);
    }
    for (const Candidate &candidate : CandidateOrder::OrderCandidates(files))
        found.files.append(ChoiceOf(candidate));
    return found;
}

QByteArray EncodeVideos(const FoundVideos &videos)
{
    QJsonArray files;
    for (const VideoChoice &file : videos.files)
        files.append(QJsonObject{{"url", EncodedText(file.url)},
                                 {"height", file.height},
                                 {"container", file.container},
                                 {"soundOnly", file.soundOnly}});
    QJsonArray streams;
    for (const QUrl &stream : videos.streams)
        streams.append(EncodedText(stream));
    return QJsonDocument(QJsonObject{{"title", videos.title}, {"files", files}, {"streams", streams}})
        .toJson(QJsonDocument::Compact);
}

std::optional<FoundVideos> DecodeVideos(QByteArrayView encoded)
{
    const QJsonDocument document = QJsonDocument::fromJson(encoded.toByteArray());
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    FoundVideos videos;
    videos.title = object.value(QLatin1String("title")).toString();
    for (const QJsonValue &value : object.value(QLatin1String("files")).toArray()) {
        const QJsonObject file = value.toObject();
        const std::optional<QUrl> url = ReadUrl(file.value(QLatin1String("url")));
        if (!url)
            return std::nullopt;
        VideoChoice choice;
        choice.url = *url;
        choice.height = std::max(0, file.value(QLatin1String("height")).toInt());
        choice.container = file.value(QLatin1String("container")).toString();
        choice.soundOnly = file.value(QLatin1String("soundOnly")).toBool();
        videos.files.append(choice);
    }
    for (const QJsonValue &value : object.value(QLatin1String("streams")).toArray()) {
        const std::optional<QUrl> url = ReadUrl(value);
        if (!url)
            return std::nullopt;
        videos.streams.append(*url);
    }
    return videos;
}

}  // namespace FoundVideosReader
