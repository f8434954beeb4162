#include "MovieAddress.h"

namespace {
const QString AddressStart = QStringLiteral("file://localhost");
const QString MovieName = QStringLiteral("/flv_video.swf");
const QString FileKey = QStringLiteral("?file=");
const QString AutoStartKey = QStringLiteral("&autoStart=");
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
    QString address = AddressStart + folder + MovieName;
    if (!videoFile.isEmpty())
        address += FileKey + videoFile + AutoStartKey + QStringLiteral("true");
    return address;
}

MovieRequest ParseMovieAddress(const QString &address)
{
    MovieRequest request;
    const qsizetype fileAt = address.indexOf(FileKey);
    if (fileAt < 0)
        return request;
    const qsizetype pathAt = fileAt + FileKey.size();
    const qsizetype autoStartAt = address.lastIndexOf(AutoStartKey);
    if (autoStartAt < pathAt) {
        request.file = address.mid(pathAt);
        return request;
    }
    request.file = address.mid(pathAt, autoStartAt - pathAt);
    request.autoStart =
        address.mid(autoStartAt + AutoStartKey.size()).compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
    return request;
}
