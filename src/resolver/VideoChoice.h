#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// One form of the video that an answer offers: an address the program downloads as it is (the file itself,
// or the service's /media/ link that makes one file of a stream), and what is known of what it gets there.
struct VideoChoice {
    QUrl url = {};
    int height = 0;  // pixels; 0: unknown
    int width = 0;  // pixels; 0: unknown
    // What the file is, as its usual extension: "mp4", "webm", "flv", "m4a", ...; empty: unknown.
    QString container = {};
    qint64 size = -1;  // bytes, as the page or yt-dlp states or estimates it; -1: unknown
    bool soundOnly = false;

    friend bool operator==(const VideoChoice &, const VideoChoice &) = default;
};

// What a page offers: the video's title (empty: unknown) and its forms, the one the service thinks best first.
struct VideoOffer {
    QString title = {};
    QList<VideoChoice> choices = {};

    friend bool operator==(const VideoOffer &, const VideoOffer &) = default;
};
