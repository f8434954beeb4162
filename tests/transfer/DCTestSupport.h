#pragma once

#include "ConnectionSettings.h"
#include "DCRecorder.h"
#include "ScriptedServer.h"
#include "TransferTexts.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

using namespace Qt::StringLiterals;

// What the DC tests share: proxy settings, addresses on the scripted server, and the beginnings of the
// event lines every transfer writes.
namespace DCTest {

inline constexpr int kWait = 20000;
inline const QByteArray kOkAnswer = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";

// A proxy listening on this machine's loopback, with Basic authorisation when proxyAuth.
inline ConnectionSettings LoopbackProxy(quint16 port, bool proxyAuth = false, const QString &login = {},
                                        const QString &password = {})
{
    ConnectionSettings settings;
    settings.UseProxy = true;
    settings.ProxyName = QStringLiteral("127.0.0.1");
    settings.ProxyPort = port;
    settings.ProxyAuth = proxyAuth;
    settings.ProxyLogin = login;
    settings.ProxyPass = password;
    return settings;
}

inline QString Url(const ScriptedServer &server, const QString &path)
{
    return u"http://"_s + server.HostAndPort() + path;
}

inline QStringList Start(const QString &serverName)
{
    return {u"Percent:0"_s, u"Size:0"_s, u"Msg:"_s + TransferTexts::Connecting(serverName)};
}

// A video of size bytes beginning with "FLV" in which no two spots repeat, so a lost or doubled piece shows;
// written to path as well.
inline QByteArray WriteTestVideo(const QString &path, qsizetype size, quint32 seed)
{
    QByteArray video("FLV\x01\x05", 5);
    QRandomGenerator generator(seed);
    while (video.size() < size) {
        const quint32 word = generator.generate();
        video.append(reinterpret_cast<const char *>(&word), sizeof word);
    }
    video.truncate(size);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(video) != video.size())
        return {};
    return video;
}

inline QString Receiving(qint64 bytes)
{
    return u"Msg:"_s + TransferTexts::Receiving(bytes);
}

inline void AddRedirects(ScriptedServer &server, int count)
{
    for (int i = 0; i < count; ++i)
        server.AddScript(
            {ScriptedServer::Send("HTTP/1.0 302 Found\r\nLocation: /hop" + QByteArray::number(i) + "\r\n\r\n"),
             ScriptedServer::Close()});
}

}  // namespace DCTest
