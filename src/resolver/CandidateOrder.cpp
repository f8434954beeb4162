#include "Candidate.h"

#include <QSet>

#include <algorithm>

namespace CandidateOrder {

namespace {

const QStringList kVideoExtensions{
    QStringLiteral(".flv"),  QStringLiteral(".f4v"), QStringLiteral(".mp4"), QStringLiteral(".m4v"),
    QStringLiteral(".webm"), QStringLiteral(".ogv"), QStringLiteral(".mov"), QStringLiteral(".3gp"),
    QStringLiteral(".mkv"),  QStringLiteral(".avi"), QStringLiteral(".wmv"), QStringLiteral(".mpg"),
    QStringLiteral(".mpeg"),
};

bool IsFlvType(const QString &type)
{
    return type == QLatin1String("video/x-flv") || type == QLatin1String("video/flv");
}

}  // namespace

bool HasVideoExtension(const QString &path)
{
    return std::any_of(kVideoExtensions.begin(), kVideoExtensions.end(),
                       [&](const QString &extension) { return path.endsWith(extension, Qt::CaseInsensitive); });
}

bool IsStreamManifest(const Candidate &candidate)
{
    static const QStringList types{QStringLiteral("application/x-mpegurl"),
                                   QStringLiteral("application/vnd.apple.mpegurl"), QStringLiteral("audio/mpegurl"),
                                   QStringLiteral("audio/x-mpegurl"), QStringLiteral("application/dash+xml")};
    const QString path = candidate.url.path();
    return path.endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive)
        || path.endsWith(QLatin1String(".mpd"), Qt::CaseInsensitive) || types.contains(candidate.declaredType);
}

CandidateClass ClassifyCandidate(const Candidate &candidate)
{
    const QString path = candidate.url.path();
    if (path.endsWith(QLatin1String(".flv"), Qt::CaseInsensitive) || IsFlvType(candidate.declaredType))
        return CandidateClass::Flv;
    if (HasVideoExtension(path) || candidate.declaredType.startsWith(QLatin1String("video/")))
        return CandidateClass::Video;
    // A <video> element, a VideoObject's contentUrl and a Flash player's file are the media by their very
    // place on the page; og:video often names a player page instead, so it needs an extension or a type.
    switch (candidate.source) {
    case CandidateSource::VideoElement:
    case CandidateSource::JsonLd:
    case CandidateSource::FlashVariables:
        return CandidateClass::Video;
    case CandidateSource::OpenGraph:
    case CandidateSource::Link:
        break;
    }
    return CandidateClass::Other;
}

QList<QUrl> OrderCandidates(const QList<Candidate> &candidates)
{
    QList<Candidate> ordered = candidates;
    std::stable_sort(ordered.begin(), ordered.end(), [](const Candidate &a, const Candidate &b) {
        return ClassifyCandidate(a) < ClassifyCandidate(b);
    });
    QList<QUrl> urls;
    QSet<QUrl> seen;
    for (const Candidate &candidate : ordered) {
        if (seen.contains(candidate.url))
            continue;
        seen.insert(candidate.url);
        urls.append(candidate.url);
    }
    return urls;
}

}  // namespace CandidateOrder
