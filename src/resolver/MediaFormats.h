#pragma once

#include "VideoChoice.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <optional>

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

// One of the forms yt-dlp offers a video in, with the fields the choice needs.
struct MediaFormat {
    QUrl url;
    QString protocol;  // "http", "https", "m3u8_native", "http_dash_segments", ...
    QString ext;  // the container: "flv", "mp4", "webm", ...
    QString videoCodec;  // empty: unknown; "none": no picture
    QString audioCodec;  // empty: unknown; "none": no sound
    int height = 0;  // 0: unknown
    int width = 0;  // 0: unknown
    qint64 size = -1;  // bytes, yt-dlp's figure or estimate; -1: unknown
    double bitrate = 0;  // kbit/s, 0: unknown
    int streamNumber = -1;  // which stream of its manifest it is (DASH); -1: the input's own choice
    HeaderList headers;  // what its server wants to hear besides what yt-dlp sends every server
    bool hasDrm = false;

    bool HasPicture() const { return videoCodec != QLatin1String("none"); }
    bool HasSound() const { return audioCodec != QLatin1String("none"); }
};

struct MediaInfo {
    QString extractor;  // yt-dlp's extractor key: "Generic", "Youtube", ...
    QString title;
    bool isLive = false;
    QList<MediaFormat> formats;
};

// One input of a remux: an address ffmpeg opens, the headers it sends, and which of its streams to take.
struct StreamInput {
    QUrl url;
    HeaderList headers;
    int streamNumber = -1;  // -1: the first input gives picture and sound, a second one sound

    friend bool operator==(const StreamInput &, const StreamInput &) = default;
};

// A video that is no single file to download: inputs that ffmpeg copies, without re-encoding, into one file.
struct StreamPlan {
    QList<StreamInput> inputs;
    bool flvFits = true;  // false when a codec is known not to fit in FLV; unknown codecs try FLV first

    friend bool operator==(const StreamPlan &, const StreamPlan &) = default;
};

// What the answer offers for a video: direct files, best first, or else one remuxed stream.
struct Delivery {
    QList<QUrl> files;
    std::optional<StreamPlan> stream;
};

// One form of yt-dlp's video the answer offers: a file to download as it is (video.url), or a stream that the
// service remuxes (video.url empty until the /media/ link is made), with what is known of what comes out.
struct MediaChoice {
    VideoChoice video;
    std::optional<StreamPlan> stream;
};

namespace MediaFormats {

// The video of yt-dlp's answer (its info dictionary as the bridge cuts it down); nothing when it holds no
// format at an http or https address.
std::optional<MediaInfo> ReadMediaInfo(const QJsonObject &info);

// The files: single files with picture and sound, served over plain HTTP(S) to any client (no headers of
// their own), no higher than maxHeight, FLV first, then MP4, then WebM, then the rest, the best of each
// first. Without such a file, the best stream up to maxHeight: a format with both picture and sound, or the
// best picture with the best sound. When everything is higher than maxHeight, the lowest there is.
Delivery ChooseDelivery(const MediaInfo &info, int maxHeight);

// Every form worth offering, the first as ChooseDelivery chooses: its files, or its stream; then for each
// other picture height, tallest first and beyond maxHeight too, a file of that height (the best by the same
// order) or else a stream of it; last the best sound alone, a file when there is one.
QList<MediaChoice> OfferChoices(const MediaInfo &info, int maxHeight);

// Whether FLV holds this codec as yt-dlp names it ("avc1.64001f", "mp4a.40.2", "vp9", ...).
bool FitsFlv(const QString &codec);

}  // namespace MediaFormats
