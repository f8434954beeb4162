#include "MovieAddress.h"

namespace {
const QString kAddressStart = QStringLiteral("file://localhost");
const QString kMovieName = QStringLiteral("/flv_video.swf");
const QString kFileKey = QStringLiteral("?file=");
const QString kAutoStartKey = QStringLiteral("&autoStart=");
}  // namespace

QString PlayerMovieAddress(const QString &programFolder, const QString &videoFile)
{
    QString folder = programFolder;
    if (!folder.startsWith(QLatin1Char('/'))) {
        // A folder such as C:\Tools\Player: on Linux a "\" may be part of a name, so only this kind of folder
        // has its separators turned round.
        folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
        folder.prepend(QLatin1Char('/'));
    }
    QString address = kAddressStart + folder + kMovieName;
    if (!videoFile.isEmpty())
        address += kFileKey + videoFile + kAutoStartKey + QStringLiteral("true");
    return address;
}

MovieRequest ParseMovieAddress(const QString &address)
{
    MovieRequest request;
    const qsizetype fileAt = address.indexOf(kFileKey);
    if (fileAt < 0)
        return request;
    const qsizetype pathAt = fileAt + kFileKey.size();
    const qsizetype autoStartAt = address.lastIndexOf(kAutoStartKey);
    if (autoStartAt < pathAt) {
        request.file = address.mid(pathAt);
        return request;
    }
    request.file = address.mid(pathAt, autoStartAt - pathAt);
    request.autoStart =
        address.mid(autoStartAt + kAutoStartKey.size()).compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
    return request;
}
