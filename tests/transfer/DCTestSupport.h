#pragma once

#include "DCRecorder.h"
#include "ProgramValues.h"
#include "ScriptedServer.h"
#include "TransferTexts.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

using namespace Qt::StringLiterals;

// What the DC tests share: proxy settings in one go, addresses on the scripted server, and the
// beginnings of the event lines every transfer writes.
namespace DCTest {

inline constexpr int kWait = 20000;
inline const QByteArray kOkAnswer = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";

struct Settings {
    QString useProxy = QStringLiteral("0");
    QString proxyName;
    QString proxyPort;
    QString proxyAuth = QStringLiteral("0");
    QString proxyLogin;
    QString proxyPass;
};

inline void Apply(const Settings &settings)
{
    Program().UseProxy = settings.useProxy;
    Program().ProxyName = settings.proxyName;
    Program().ProxyPort = settings.proxyPort;
    Program().ProxyAuth = settings.proxyAuth;
    Program().ProxyLogin = settings.proxyLogin;
    Program().ProxyPass = settings.proxyPass;
}

// A proxy listening on this machine's loopback, with Basic authorisation as proxyAuth says.
inline void UseLoopbackProxy(quint16 port, const QString &proxyAuth, const QString &login, const QString &password)
{
    Apply({QStringLiteral("1"), QStringLiteral("127.0.0.1"), QString::number(port), proxyAuth, login, password});
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
