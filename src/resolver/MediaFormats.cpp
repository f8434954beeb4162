#include "MediaFormats.h"

#include <QJsonArray>

#include <algorithm>
#include <cctype>

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

QList<QUrl> ChooseFiles(const QList<MediaFormat> &formats, const QString &extractor)
{
    QList<MediaFormat> files;
    for (const MediaFormat &format : formats)
        if (IsPlainTransfer(format) && format.HasPicture() && format.HasSound() && !NeedsOwnHeaders(format, extractor))
            files.append(format);
    std::stable_sort(files.begin(), files.end(), [](const MediaFormat &a, const MediaFormat &b) {
        const int rankA = ContainerRank(a.ext), rankB = ContainerRank(b.ext);
        return rankA != rankB ? rankA < rankB : IsBetter(a, b);
    });
    QList<QUrl> urls;
    for (const MediaFormat &file : files)
        if (!urls.contains(file.url))
            urls.append(file.url);
    return urls;
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

StreamInput InputOf(const MediaFormat &format)
{
    return {format.url, format.headers, format.streamNumber};
}

std::optional<StreamPlan> ChooseStream(const QList<MediaFormat> &formats)
{
    const MediaFormat *both = Best(formats, true, true);
    const MediaFormat *picture = Best(formats, true, false);
    const MediaFormat *sound = Best(formats, false, true);
    StreamPlan plan;
    QList<const MediaFormat *> used;
    if (both && !(picture && sound && picture->height > both->height))
        used = {both};
    else if (picture && sound)
        used = {picture, sound};
    else if (both || picture)
        used = {both ? both : picture};  // a silent video is still the video
    else
        return std::nullopt;
    for (const MediaFormat *format : used) {
        plan.inputs.append(InputOf(*format));
        for (const QString &codec : {format->videoCodec, format->audioCodec})
            if (!codec.isEmpty() && codec != QLatin1String("none") && !FitsFlv(codec))
                plan.flvFits = false;
    }
    return plan;
}

Delivery ChooseUpTo(const MediaInfo &info, int maxHeight)
{
    QList<MediaFormat> usable;
    for (const MediaFormat &format : info.formats)
        if (!format.hasDrm && IsRemuxable(format) && format.height <= maxHeight)
            usable.append(format);
    Delivery delivery;
    delivery.files = ChooseFiles(usable, info.extractor);
    if (delivery.files.isEmpty())
        delivery.stream = ChooseStream(usable);
    return delivery;
}

}  // namespace

std::optional<MediaInfo> ReadMediaInfo(const QJsonObject &info)
{
    MediaInfo media;
    media.extractor = info.value(QLatin1String("extractor_key")).toString();
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
    Delivery delivery = ChooseUpTo(info, maxHeight);
    if (!delivery.files.isEmpty() || delivery.stream)
        return delivery;
    int lowest = 0;
    for (const MediaFormat &format : info.formats)
        if (format.height > maxHeight && (lowest == 0 || format.height < lowest))
            lowest = format.height;
    return lowest > 0 ? ChooseUpTo(info, lowest) : delivery;
}

bool FitsFlv(const QString &codec)
{
    static const QStringList kinds{QStringLiteral("avc1"), QStringLiteral("avc3"), QStringLiteral("h264"),
                                   QStringLiteral("mp4a"), QStringLiteral("aac"),  QStringLiteral("mp3")};
    return kinds.contains(codec.section(QLatin1Char('.'), 0, 0).toLower());
}

}  // namespace MediaFormats
