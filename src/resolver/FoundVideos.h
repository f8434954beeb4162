#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QUrl>

#include <optional>

// What the built-in engine finds on a page: video files, best first, and streams (HLS playlists, DASH
// manifests) in the page's order, which only a remux turns into a file.
struct FoundVideos {
    QList<QUrl> files;
    QList<QUrl> streams;

    friend bool operator==(const FoundVideos &, const FoundVideos &) = default;
};

namespace FoundVideosReader {

// The page converted to UTF-8, parsed and searched: what a parser process does with one page.
FoundVideos FindVideos(QByteArrayView body, QByteArrayView contentType, const QUrl &pageUrl);

// How a parser process hands its finding back: one address a line, "F " for a file, "S " for a stream.
QByteArray EncodeVideos(const FoundVideos &videos);
std::optional<FoundVideos> DecodeVideos(QByteArrayView encoded);

}  // namespace FoundVideosReader
