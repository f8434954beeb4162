#include "Candidate.h"

#include <QHash>

#include <algorithm>

namespace CandidateOrder {

namespace {

const QStringList kVideoExtensions{
    QStringLiteral(".flv"),  QStringLiteral(".f4v"), QStringLiteral(".mp4"), QStringLiteral(".m4v"),
    QStringLiteral(".webm"), QStringLiteral(".ogv"), QStringLiteral(".mov"), QStringLiteral(".3gp"),
    QStringLiteral(".mkv"),  QStringLiteral(".avi"), QStringLiteral(".wmv"), QStringLiteral(".mpg"),
    QStringLiteral(".mpeg"),
};

const QStringList kSoundExtensions{
    QStringLiteral(".mp3"), QStringLiteral(".m4a"),  QStringLiteral(".aac"),
    QStringLiteral(".oga"), QStringLiteral(".opus"), QStringLiteral(".flac"),
};

// The types pages declare for media files, and the file each one is.
const QHash<QString, QString> kTypeContainers{
    {QStringLiteral("video/x-flv"), QStringLiteral("flv")},
    {QStringLiteral("video/flv"), QStringLiteral("flv")},
    {QStringLiteral("video/mp4"), QStringLiteral("mp4")},
    {QStringLiteral("video/webm"), QStringLiteral("webm")},
    {QStringLiteral("video/ogg"), QStringLiteral("ogv")},
    {QStringLiteral("video/quicktime"), QStringLiteral("mov")},
    {QStringLiteral("video/3gpp"), QStringLiteral("3gp")},
    {QStringLiteral("video/x-matroska"), QStringLiteral("mkv")},
    {QStringLiteral("video/x-msvideo"), QStringLiteral("avi")},
    {QStringLiteral("video/x-ms-wmv"), QStringLiteral("wmv")},
    {QStringLiteral("video/mpeg"), QStringLiteral("mpg")},
    {QStringLiteral("video/mp2t"), QStringLiteral("ts")},
    {QStringLiteral("audio/mpeg"), QStringLiteral("mp3")},
    {QStringLiteral("audio/mp4"), QStringLiteral("m4a")},
    {QStringLiteral("audio/aac"), QStringLiteral("aac")},
    {QStringLiteral("audio/ogg"), QStringLiteral("oga")},
    {QStringLiteral("audio/webm"), QStringLiteral("webm")},
    {QStringLiteral("audio/flac"), QStringLiteral("flac")},
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

QList<Candidate> OrderCandidates(const QList<Candidate> &candidates)
{
    QList<Candidate> ordered = candidates;
    std::stable_sort(ordered.begin(), ordered.end(), [](const Candidate &a, const Candidate &b) {
        return ClassifyCandidate(a) < ClassifyCandidate(b);
    });
    QList<Candidate> once;
    QHash<QUrl, qsizetype> seen;
    for (const Candidate &candidate : ordered) {
        if (!seen.contains(candidate.url)) {
            seen.insert(candidate.url, once.size());
            once.append(candidate);
            continue;
        }
        // og:video often names the address a <source> further down describes.
        Candidate &kept = once[seen.value(candidate.url)];
        if (kept.declaredType.isEmpty())
            kept.declaredType = candidate.declaredType;
        if (kept.height == 0)
            kept.height = candidate.height;
    }
    return once;
}

QString ContainerOf(const QUrl &url, const QString &declaredType)
{
    const QString known = kTypeContainers.value(declaredType.section(QLatin1Char(';'), 0, 0).trimmed());
    if (!known.isEmpty())
        return known;
    const QString path = url.path();
    for (const QStringList *extensions : {&kVideoExtensions, &kSoundExtensions})
        for (const QString &extension : *extensions)
            if (path.endsWith(extension, Qt::CaseInsensitive))
                return extension.mid(1);
    return QString();
}

bool IsSoundOnly(const Candidate &candidate)
{
    if (!candidate.declaredType.isEmpty())
        return candidate.declaredType.startsWith(QLatin1String("audio/"));
    const QString path = candidate.url.path();
    return std::any_of(kSoundExtensions.begin(), kSoundExtensions.end(),
                       [&](const QString &extension) { return path.endsWith(extension, Qt::CaseInsensitive); });
}

}  // namespace CandidateOrder
