#include "VideoFilters.h"

namespace {

QString Description(VideoContainer container)
{
    switch (container) {
    case VideoContainer::Unknown:
    case VideoContainer::Flv:
        break;
    case VideoContainer::Mp4:
        return QStringLiteral("Видео MP4");
    case VideoContainer::WebM:
        return QStringLiteral("Видео WebM");
    case VideoContainer::Matroska:
        return QStringLiteral("Видео Matroska");
    case VideoContainer::MpegTs:
    case VideoContainer::M2ts:
        return QStringLiteral("Видео MPEG-TS");
    case VideoContainer::Mpeg:
        return QStringLiteral("Видео MPEG");
    case VideoContainer::Avi:
        return QStringLiteral("Видео AVI");
    case VideoContainer::Asf:
        return QStringLiteral("Видео Windows Media");
    case VideoContainer::OggTheora:
        return QStringLiteral("Видео Ogg");
    case VideoContainer::RealMedia:
        return QStringLiteral("Видео RealMedia");
    case VideoContainer::Mxf:
        return QStringLiteral("Видео MXF");
    case VideoContainer::Nut:
        return QStringLiteral("Видео NUT");
    }
    return QStringLiteral("Видео FLV");
}

QString AllVideos()
{
    QStringList patterns;
    for (const QString &extension : VideoExtensions())
        patterns.append(QStringLiteral("*.") + extension);
    return QStringLiteral("Все видеофайлы|") + patterns.join(QLatin1Char(';'));
}

QString AllFiles()
{
    return QStringLiteral("Все файлы|*");
}

}  // namespace

namespace VideoFilters {

QString SaveFilter(VideoContainer container)
{
    return Description(container) + QStringLiteral("|*.") + ExtensionOf(container) + QLatin1Char('|') + AllVideos()
        + QLatin1Char('|') + AllFiles();
}

QString OpenFilter()
{
    return AllVideos() + QLatin1Char('|') + AllFiles();
}

}  // namespace VideoFilters
