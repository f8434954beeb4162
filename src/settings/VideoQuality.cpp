#include "VideoQuality.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<VideoQuality, int>, 5> kLimits = {{
    {VideoQuality::UpTo2160, 2160},
    {VideoQuality::UpTo1080, 1080},
    {VideoQuality::UpTo720, 720},
    {VideoQuality::UpTo480, 480},
    {VideoQuality::SoundOnly, 0},
}};

}  // namespace

int HeightLimitOf(VideoQuality quality)
{
    for (const auto &[named, limit] : kLimits) {
        if (named == quality)
            return limit;
    }
    return HeightLimitOf(kDefaultVideoQuality);
}

QByteArray VideoQualityWord(VideoQuality quality)
{
    const int limit = HeightLimitOf(quality);
    return limit > 0 ? QByteArray::number(limit) : QByteArrayLiteral("sound");
}

VideoQuality ReadVideoQuality(const QString &word)
{
    const QString trimmed = word.trimmed();
    for (const auto &[quality, limit] : kLimits) {
        if (trimmed.compare(QString::fromLatin1(VideoQualityWord(quality)), Qt::CaseInsensitive) == 0)
            return quality;
    }
    return kDefaultVideoQuality;
}

QString VideoQualityText(VideoQuality quality)
{
    const int limit = HeightLimitOf(quality);
    return limit > 0 ? QStringLiteral("Лучшее до %1p").arg(limit) : QStringLiteral("Только звук");
}
