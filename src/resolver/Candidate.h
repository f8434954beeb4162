#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// One address on a page that may be the video, and where on the page it was found.
enum class CandidateSource {
    OpenGraph,  // <meta property="og:video...">
    VideoElement,  // <video src> and <video><source src>
    FlashVariables,  // file=, flv=, video= handed to a Flash player by <embed> or <object>
    JsonLd,  // contentUrl of a schema.org VideoObject
    Link,  // <a href> to a video file
};

// How good a candidate is for the program, best first: its player and downloader were made for FLV.
enum class CandidateClass {
    Flv,
    Video,
    Other,
};

struct Candidate {
    QUrl url;
    CandidateSource source = CandidateSource::Link;
    QString declaredType;  // a MIME type the page gave for it, lower case, or empty
    int height = 0;  // the picture's height in pixels the page gave for it (a player's "720p"), or 0

    friend bool operator==(const Candidate &, const Candidate &) = default;
};

namespace CandidateOrder {

CandidateClass ClassifyCandidate(const Candidate &candidate);

// FLV first, then other videos, then the rest; the page's own order within each class; each address once,
// with what any of its mentions tells of it.
QList<Candidate> OrderCandidates(const QList<Candidate> &candidates);

// What the file is, as its usual extension ("mp4", "webm", "mp3", ...), from the type the page declared or
// else from the address; empty when neither tells.
QString ContainerOf(const QUrl &url, const QString &declaredType);

// Sound without picture, as its type or extension says.
bool IsSoundOnly(const Candidate &candidate);

// True for a path whose file name ends in an extension of a video container.
bool HasVideoExtension(const QString &path);

// True for an HLS playlist or a DASH manifest: a stream in pieces, no file the program could download.
bool IsStreamManifest(const Candidate &candidate);

}  // namespace CandidateOrder
