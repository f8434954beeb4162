#include "MediaFormats.h"

#include <QJsonArray>

#include <algorithm>
#include <cctype>
#include <functional>
#include <limits>

namespace MediaFormats {

namespace {

bool IsWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// ffmpeg sends these on its own command line: nothing in them may end a line or be no header at all.
bool IsSafeHeader(const QByteArray &name, const QByteArray &value)
{
    if (name.isEmpty())
        return false;
    for (const char c : name)
        if (!(std::isalnum(uchar(c)) || c == '-' || c == '_'))
            return false;
    return std::none_of(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
}

HeaderList ReadHeaders(const QJsonObject &headers)
{
    HeaderList list;
    for (auto it = headers.begin(); it != headers.end(); ++it) {
        const QByteArray name = it.key().toLatin1();
        const QByteArray value = it.value().toString().toUtf8();
        if (it.value().isString() && IsSafeHeader(name, value))
            list.append({name, value});
    }
    return list;
}

std::optional<MediaFormat> ReadFormat(const QJsonObject &object)
{
    MediaFormat format;
    format.url = QUrl(object.value(QLatin1String("url")).toString(), QUrl::StrictMode);
    if (!IsWebAddress(format.url))
        return std::nullopt;
    format.protocol = object.value(QLatin1String("protocol")).toString().toLower();
    format.ext = object.value(QLatin1String("ext")).toString().toLower();
    format.videoCodec = object.value(QLatin1String("vcodec")).toString().toLower();
    format.audioCodec = object.value(QLatin1String("acodec")).toString().toLower();
    format.height = std::max(0, object.value(QLatin1String("height")).toInt());
    format.width = std::max(0, object.value(QLatin1String("width")).toInt());
    for (const char *key : {"filesize", "filesize_approx"}) {
        const double size = object.value(QLatin1String(key)).toDouble();
        if (format.size < 0 && size > 0 && size < 1e15)
            format.size = qint64(size);
    }
    format.bitrate = std::max(0.0, object.value(QLatin1String("tbr")).toDouble());
    const QJsonValue stream = object.value(QLatin1String("manifest_stream_number"));
    if (stream.isDouble() && stream.toInt(-1) >= 0)
        format.streamNumber = stream.toInt();
    format.headers = ReadHeaders(object.value(QLatin1String("http_headers")).toObject());
    format.hasDrm = object.value(QLatin1String("has_drm")).toBool();
    return format;
}

// The generic extractor names the page as Referer of everything it finds on it; a server that needed that
// would have needed a site's own extractor too.
bool NeedsOwnHeaders(const MediaFormat &format, const QString &extractor)
{
    const bool generic = extractor == QLatin1String("Generic") || extractor == QLatin1String("HTML5MediaEmbed");
    return std::any_of(format.headers.begin(), format.headers.end(), [&](const auto &header) {
        return !(generic && header.first.compare("Referer", Qt::CaseInsensitive) == 0);
    });
}

bool IsPlainTransfer(const MediaFormat &format)
{
    return format.protocol == QLatin1String("http") || format.protocol == QLatin1String("https");
}

// What ffmpeg reads: files, HLS playlists and DASH manifests.
bool IsRemuxable(const MediaFormat &format)
{
    static const QStringList protocols{QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("m3u8"),
                                       QStringLiteral("m3u8_native"), QStringLiteral("http_dash_segments")};
    return protocols.contains(format.protocol);
}

int ContainerRank(const QString &ext)
{
    if (ext == QLatin1String("flv"))
        return 0;
    if (ext == QLatin1String("mp4") || ext == QLatin1String("m4v"))
        return 1;
    if (ext == QLatin1String("webm"))
        return 2;
    return 3;
}

bool IsBetter(const MediaFormat &a, const MediaFormat &b)
{
    if (a.height != b.height)
        return a.height > b.height;
    return a.bitrate > b.bitrate;
}

bool IsWholeFile(const MediaFormat &format, const QString &extractor)
{
    return IsPlainTransfer(format) && format.HasPicture() && format.HasSound() && !NeedsOwnHeaders(format, extractor);
}

QList<MediaFormat> ChooseFiles(const QList<MediaFormat> &formats, const QString &extractor)
{
    QList<MediaFormat> files;
    for (const MediaFormat &format : formats)
        if (IsWholeFile(format, extractor))
            files.append(format);
    std::stable_sort(files.begin(), files.end(), [](const MediaFormat &a, const MediaFormat &b) {
        const int rankA = ContainerRank(a.ext), rankB = ContainerRank(b.ext);
        return rankA != rankB ? rankA < rankB : IsBetter(a, b);
    });
    return files;
}

const MediaFormat *Best(const QList<MediaFormat> &formats, bool picture, bool sound)
{
    const MediaFormat *best = nullptr;
    for (const MediaFormat &format : formats) {
        if (format.HasPicture() != picture || format.HasSound() != sound)
            continue;
        if (!best || (picture ? IsBetter(format, *best) : format.bitrate > best->bitrate))
            best = &format;
    }
    return best;
}

// What ffmpeg takes the stream from: one format with both, or the best picture with the best sound.
QList<MediaFormat> ChooseStream(const QList<MediaFormat> &formats)
{
    const MediaFormat *both = Best(formats, true, true);
    const MediaFormat *picture = Best(formats, true, false);
    const MediaFormat *sound = Best(formats, false, true);
    if (both && !(picture && sound && picture->height > both->height))
        return {*both};
    if (picture && sound)
        return {*picture, *sound};
    if (both || picture)
        return {both ? *both : *picture};  // a silent video is still the video
    return {};
}

StreamPlan PlanOf(const QList<MediaFormat> &inputs)
{
    StreamPlan plan;
    for (const MediaFormat &format : inputs) {
        plan.inputs.append({format.url, format.headers, format.streamNumber});
        for (const QString &codec : {format.videoCodec, format.audioCodec})
            if (!codec.isEmpty() && codec != QLatin1String("none") && !FitsFlv(codec))
                plan.flvFits = false;
    }
    return plan;
}

// What ChooseDelivery chooses, as the formats themselves.
struct Pick {
    QList<MediaFormat> files;
    QList<MediaFormat> stream;  // empty when there are files
};

QList<MediaFormat> Usable(const MediaInfo &info, int maxHeight)
{
    QList<MediaFormat> usable;
    for (const MediaFormat &format : info.formats)
        if (!format.hasDrm && IsRemuxable(format) && format.height <= maxHeight)
            usable.append(format);
    return usable;
}

Pick PickUpTo(const MediaInfo &info, int maxHeight)
{
    const QList<MediaFormat> usable = Usable(info, maxHeight);
    Pick pick{ChooseFiles(usable, info.extractor), {}};
    if (pick.files.isEmpty())
        pick.stream = ChooseStream(usable);
    return pick;
}

Pick PickDelivery(const MediaInfo &info, int maxHeight)
{
    Pick pick = PickUpTo(info, maxHeight);
    if (!pick.files.isEmpty() || !pick.stream.isEmpty())
        return pick;
    int lowest = 0;
    for (const MediaFormat &format : info.formats)
        if (format.height > maxHeight && (lowest == 0 || format.height < lowest))
            lowest = format.height;
    return lowest > 0 ? PickUpTo(info, lowest) : pick;
}

MediaChoice FileChoice(const MediaFormat &format)
{
    return {{format.url, format.height, format.width, format.ext, format.size, !format.HasPicture()}, std::nullopt};
}

// The stream's file is FLV when its codecs are known to fit, Matroska when one is known not to; with a codec
// unknown only ffmpeg can tell.
MediaChoice StreamChoice(const QList<MediaFormat> &inputs)
{
    MediaChoice choice{{}, PlanOf(inputs)};
    VideoChoice &video = choice.video;
    video.size = 0;
    bool codecsKnown = true;
    for (const MediaFormat &format : inputs) {
        if (format.HasPicture()) {
            video.height = format.height;
            video.width = format.width;
        }
        video.size = video.size < 0 || format.size < 0 ? -1 : video.size + format.size;
        codecsKnown = codecsKnown && !format.videoCodec.isEmpty() && !format.audioCodec.isEmpty();
    }
    video.soundOnly = std::none_of(inputs.begin(), inputs.end(), [](const MediaFormat &f) { return f.HasPicture(); });
    if (!choice.stream->flvFits)
        video.container = QStringLiteral("mkv");
    else if (codecsKnown)
        video.container = QStringLiteral("flv");
    return choice;
}

// The form of one picture height: its best file, or else a stream of it with the best sound.
std::optional<MediaChoice> ChooseAtHeight(const QList<MediaFormat> &usable, int height, const QString &extractor)
{
    QList<MediaFormat> atHeight;
    for (const MediaFormat &format : usable)
        if (!format.HasPicture() || format.height == height)
            atHeight.append(format);
    const QList<MediaFormat> files = ChooseFiles(atHeight, extractor);
    if (!files.isEmpty())
        return FileChoice(files.first());
    const QList<MediaFormat> stream = ChooseStream(atHeight);
    if (stream.isEmpty())
        return std::nullopt;
    return StreamChoice(stream);
}

std::optional<MediaChoice> ChooseSound(const QList<MediaFormat> &usable, const QString &extractor)
{
    QList<MediaFormat> sounds, files;
    for (const MediaFormat &format : usable) {
        if (format.HasPicture() || !format.HasSound())
            continue;
        sounds.append(format);
        if (IsPlainTransfer(format) && !NeedsOwnHeaders(format, extractor))
            files.append(format);
    }
    if (const MediaFormat *file = Best(files, false, true))
        return FileChoice(*file);
    if (const MediaFormat *sound = Best(sounds, false, true))
        return StreamChoice({*sound});
    return std::nullopt;
}

}  // namespace

std::optional<MediaInfo> ReadMediaInfo(const QJsonObject &info)
{
    MediaInfo media;
    media.extractor = info.value(QLatin1String("extractor_key")).toString();
    media.title = info.value(QLatin1String("title")).toString();
    media.isLive = info.value(QLatin1String("is_live")).toBool()
        || info.value(QLatin1String("live_status")).toString() == QLatin1String("is_live");
    for (const QJsonValue &value : info.value(QLatin1String("formats")).toArray())
        if (const std::optional<MediaFormat> format = ReadFormat(value.toObject()))
            media.formats.append(*format);
    if (media.formats.isEmpty())
        return std::nullopt;
    return media;
}

Delivery ChooseDelivery(const MediaInfo &info, int maxHeight)
{
    const Pick pick = PickDelivery(info, maxHeight);
    Delivery delivery;
    for (const MediaFormat &file : pick.files)
        if (!delivery.files.contains(file.url))
            delivery.files.append(file.url);
    if (!pick.stream.isEmpty())
        delivery.stream = PlanOf(pick.stream);
    return delivery;
}

QList<MediaChoice> OfferChoices(const MediaInfo &info, int maxHeight)
{
    const Pick pick = PickDelivery(info, maxHeight);
    QList<MediaChoice> choices;
    QList<int> heights;
    for (const MediaFormat &file : pick.files) {
        choices.append(FileChoice(file));
        heights.append(file.height);
    }
    if (!pick.stream.isEmpty()) {
        choices.append(StreamChoice(pick.stream));
        heights.append(choices.last().video.height);
    }
    const QList<MediaFormat> usable = Usable(info, std::numeric_limits<int>::max());
    QList<int> others;
    for (const MediaFormat &format : usable)
        if (format.HasPicture() && format.height > 0 && !heights.contains(format.height)
            && !others.contains(format.height))
            others.append(format.height);
    std::sort(others.begin(), others.end(), std::greater<>());
    for (const int height : others)
        if (const std::optional<MediaChoice> choice = ChooseAtHeight(usable, height, info.extractor))
            choices.append(*choice);
    if (const std::optional<MediaChoice> sound = ChooseSound(usable, info.extractor))
        choices.append(*sound);
    return choices;
}

bool FitsFlv(const QString &codec)
{
    static const QStringList kinds{QStringLiteral("avc1"), QStringLiteral("avc3"), QStringLiteral("h264"),
                                   QStringLiteral("mp4a"), QStringLiteral("aac"),  QStringLiteral("mp3")};
    return kinds.contains(codec.section(QLatin1Char('.'), 0, 0).toLower());
}

}  // namespace MediaFormats
