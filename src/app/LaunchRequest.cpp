#include "LaunchRequest.h"

#include <QDataStream>
#include <QDir>
#include <QUrl>

namespace {

// The version of the bytes two starts exchange; a start of another version is not understood, and opens a window
// of its own.
constexpr quint32 kRequestVersion = 1;

}  // namespace

LaunchRequest ReadLaunchRequest(const QStringList &arguments, const QString &currentFolder)
{
    LaunchRequest request;
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return request;
    const QString argument = arguments.first();
    const QUrl url(argument, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if ((scheme == u"http" || scheme == u"https") && !url.host().isEmpty()) {
        request.What = LaunchRequest::Kind::Address;
        request.Value = argument;
    } else {
        request.What = LaunchRequest::Kind::File;
        // Some file managers hand over addresses even for local files.
        const QString path = scheme == u"file" && url.isLocalFile() ? url.toLocalFile() : argument;
        request.Value = QDir::cleanPath(QDir(currentFolder).absoluteFilePath(path));
    }
    return request;
}

QByteArray RequestBytes(const LaunchRequest &request)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << kRequestVersion << qint32(request.What) << request.Value << request.ActivationToken;
    return bytes;
}

LaunchRequest RequestOfBytes(const QByteArray &bytes)
{
    QDataStream stream(bytes);
    quint32 version = 0;
    qint32 kind = 0;
    LaunchRequest request;
    stream >> version >> kind >> request.Value >> request.ActivationToken;
    const bool known = kind == qint32(LaunchRequest::Kind::File) || kind == qint32(LaunchRequest::Kind::Address);
    if (stream.status() != QDataStream::Ok || version != kRequestVersion || !known || !stream.atEnd())
        return {};
    request.What = LaunchRequest::Kind(kind);
    return request;
}
