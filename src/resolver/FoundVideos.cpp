#include "FoundVideos.h"

#include "Candidate.h"
#include "CandidateFinder.h"
#include "PageText.h"

namespace FoundVideosReader {

FoundVideos FindVideos(QByteArrayView body, QByteArrayView contentType, const QUrl &pageUrl)
{
    const QByteArray html = PageText::ConvertPageToUtf8(body, contentType);
    QList<Candidate> files;
    FoundVideos found;
    for (const Candidate &candidate : CandidateFinder::FindCandidates(html, pageUrl)) {
        if (!CandidateOrder::IsStreamManifest(candidate))
            files.append(candidate);
        else if (!found.streams.contains(candidate.url))
            found.streams.append(candidate.url);
    }
    found.files = CandidateOrder::OrderCandidates(files);
    return found;
}

QByteArray EncodeVideos(const FoundVideos &videos)
{
    QByteArray encoded;
    for (const QUrl &file : videos.files)
        encoded += "F " + file.toEncoded() + '\n';
    for (const QUrl &stream : videos.streams)
        encoded += "S " + stream.toEncoded() + '\n';
    return encoded;
}

std::optional<FoundVideos> DecodeVideos(QByteArrayView encoded)
{
    FoundVideos videos;
    for (const QByteArray &line : encoded.toByteArray().split('\n')) {
        if (line.isEmpty())
            continue;
        const QUrl url = QUrl::fromEncoded(line.mid(2));
        if (line.size() < 3 || line[1] != ' ' || !url.isValid())
            return std::nullopt;
        if (line[0] == 'F')
            videos.files.append(url);
        else if (line[0] == 'S')
            videos.streams.append(url);
        else
            return std::nullopt;
    }
    return videos;
}

}  // namespace FoundVideosReader
