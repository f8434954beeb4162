#pragma once

#include "VideoChoice.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QUrl>

#include <optional>

// What the built-in engine finds on a page: its title, video files, best first, with what the page tells of
// each, and streams (HLS playlists, DASH manifests) in the page's order, which only a remux turns into a file.
struct FoundVideos {
    QString title;
    QList<VideoChoice> files;
    QList<QUrl> streams;

    friend bool operator==(const FoundVideos &, const FoundVideos &) = default;
};

namespace FoundVideosReader {

// The page converted to UTF-8, parsed and searched: what a parser process does with one page.
FoundVideos FindVideos(QByteArrayView body, QByteArrayView contentType, const QUrl &pageUrl);

// How a parser process hands its finding back: one JSON object,
// {"title": T, "files": [{"url": U, "height": H, "container": C, "soundOnly": B}, ...], "streams": [U, ...]}.
QByteArray EncodeVideos(const FoundVideos &videos);
std::optional<FoundVideos> DecodeVideos(QByteArrayView encoded);

}  // namespace FoundVideosReader
