#include "MediaFixtures.h"
#include "MediaToken.h"
#include "ResolverTestSupport.h"
#include "ScriptedServer.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace ResolverTestSupport;

// What a /media/ stream may reach, and what its client is told when it fails: ffmpeg run by the service against
// playlists that point where they should not, and sources that fail. Real nginx, ffmpeg and loopback peers;
// 127.0.0.2 stands for the internal network.
class TestResolverMedia : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void deliversThroughTheProxy_data();
    void deliversThroughTheProxy();
    void reachesNothingButTheProxy_data();
    void reachesNothingButTheProxy();
    void answersWhatWentWrong_data();
    void answersWhatWentWrong();

private:
    RawExchange FetchStream(const ResolverService &service, const QUrl &playlist);

    QTemporaryDir certificates;
    NginxServer site;
    QTcpServer inside;  // an internal server that hands a video to whoever reaches it
    int reached = 0;
    std::unique_ptr<ResolverService> shared;
};

namespace {

const QByteArray kSecret = "media";
const QHostAddress kInside("127.0.0.2");

// Every protocol the installed ffmpeg knows, for reading or writing.
QStringList FfmpegProtocols()
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-hide_banner"), QStringLiteral("-protocols")});
    ffmpeg.waitForFinished(30000);
    QStringList names;
    for (const QByteArray &line : ffmpeg.readAllStandardOutput().split('\n'))
        if (line.startsWith("  ") && !names.contains(QString::fromLatin1(line.trimmed())))
            names.append(QString::fromLatin1(line.trimmed()));
    return names;
}

QByteArray MediaPlaylist(const QByteArray &key, const QByteArray &segment)
{
    return "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n#EXT-X-PLAYLIST-TYPE:VOD\n" + key + "#EXTINF:2.0,\n"
        + segment + "\n#EXT-X-ENDLIST\n";
}

}  // namespace

void TestResolverMedia::initTestCase()
{
    QString error;
    QVERIFY2(MediaFixtures::MakeHls(site.FilePath(QString()), 2, &error), qPrintable(error));
    QString certificate, key;
    QVERIFY(MakeLocalhostCertificate(certificates.path(), &certificate, &key));
    site.EnableTls(certificate, key);
    QVERIFY2(site.Start(&error), qPrintable(error));
    QFile segment(site.FilePath("hls/v0-000.ts"));
    QVERIFY(segment.open(QIODevice::ReadOnly));
    const QByteArray video = "HTTP/1.1 200 OK\r\n\r\n" + segment.readAll();
    QVERIFY(inside.listen(kInside, 0));
    connect(&inside, &QTcpServer::newConnection, this, [this, video] {
        while (QTcpSocket *client = inside.nextPendingConnection()) {
            ++reached;
            client->write(video);
            client->disconnectFromHost();
            connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        }
    });
    ResolverOptions options;
    options.engines = {Engine::Builtin};
    options.secret = kSecret;
    options.fetchTimeoutSeconds = 3;
    options.parseMemoryMiB = 16;
    const ResolverService::AddressJudge allInsideButOne = [](const QHostAddress &address) {
        return address != kInside;
    };
    shared = StartLocalService(options, allInsideButOne);
}

RawExchange TestResolverMedia::FetchStream(const ResolverService &service, const QUrl &playlist)
{
    const QByteArray token =
        MediaToken::ComposeToken({{{playlist, {}, -1}}, true}, kSecret, QDateTime::currentDateTimeUtc());
    return ExchangeTellingReset(service.ServerPort(), "GET /media/" + token + " HTTP/1.0\r\n\r\n");
}

void TestResolverMedia::deliversThroughTheProxy_data()
{
    QTest::addColumn<QString>("scheme");

    QTest::newRow("http") << "http";
    QTest::newRow("https, through ffmpeg's tunnel") << "https";
}

void TestResolverMedia::deliversThroughTheProxy()
{
    QFETCH(QString, scheme);
    const quint16 port = scheme == QLatin1String("https") ? site.TlsPort() : site.Port();
    const RawExchange exchange =
        FetchStream(*shared, QUrl(QStringLiteral("%1://localhost:%2/hls/v0.m3u8").arg(scheme).arg(port)));
    QVERIFY2(exchange.answer.startsWith("HTTP/1.1 200 OK\r\n"), exchange.answer.left(300).constData());
    QVERIFY(BodyOf(exchange.answer).startsWith("FLV"));
    QVERIFY(!exchange.reset);
}

void TestResolverMedia::reachesNothingButTheProxy_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QByteArray>("content");

    const QByteArray segment = "../hls/v0-000.ts";
    for (const QString &protocol : FfmpegProtocols()) {
        const QByteArray address =
            QStringLiteral("%1://%2:%3/x.ts").arg(protocol, kInside.toString()).arg(inside.serverPort()).toLatin1();
        QTest::addRow("%s as a segment", qPrintable(protocol)) << "reach/segment.m3u8" << MediaPlaylist({}, address);
        QTest::addRow("%s as a key", qPrintable(protocol))
            << "reach/key.m3u8" << MediaPlaylist("#EXT-X-KEY:METHOD=AES-128,URI=\"" + address + "\"\n", segment);
        QTest::addRow("%s as a variant playlist", qPrintable(protocol))
            << "reach/master.m3u8"
            << "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=100000\n" + address + "\n";
        QTest::addRow("%s as a base address", qPrintable(protocol))
            << "reach/manifest.mpd"
            << "<?xml version=\"1.0\"?>\n<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" "
               "mediaPresentationDuration=\"PT2S\" minBufferTime=\"PT2S\" "
               "profiles=\"urn:mpeg:dash:profile:isoff-on-demand:2011\"><Period><AdaptationSet>"
               "<Representation id=\"v\" bandwidth=\"100000\" mimeType=\"video/mp2t\"><BaseURL>"
                + address + "</BaseURL></Representation></AdaptationSet></Period></MPD>\n";
    }
}

void TestResolverMedia::reachesNothingButTheProxy()
{
    QFETCH(QString, page);
    QFETCH(QByteArray, content);
    site.WritePage(page, content);
    reached = 0;
    const RawExchange exchange = FetchStream(*shared, QUrl(site.Address(page)));
    QTest::qWait(20);
    QCOMPARE(reached, 0);
    QVERIFY2(!exchange.answer.startsWith("HTTP/1.1 200 ") || exchange.reset, exchange.answer.left(200).constData());
}

void TestResolverMedia::answersWhatWentWrong_data()
{
    QTest::addColumn<QByteArray>("answer");  // the source's whole answer; empty: it sends nothing at all
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason");

    QTest::newRow("a source that never sends anything") << QByteArray() << 504 << "Видео не пришло за 3 с.";
    QTest::newRow("a playlist its server refuses") << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")
                                                   << 502 << "Не удалось получить видео: сервер ответил кодом 404.";
    QTest::newRow("no playlist at all") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello") << 502
                                        << "Не удалось получить видео.";
    // 40 KiB on the wire, 22 MB of playlist, more than 300 MiB for ffmpeg to hold.
    const QByteArray playlist =
        MediaPlaylist({}, "a.ts").replace("#EXTINF:2.0,\na.ts\n", QByteArray("#EXTINF:2.0,\na.ts\n").repeated(1400000));
    const QByteArray deflated = qCompress(playlist, 9).mid(4);  // a zlib stream, as HTTP's "deflate" is
    QTest::newRow("a playlist that needs more memory than allowed")
        << "HTTP/1.1 200 OK\r\nContent-Encoding: deflate\r\nContent-Length: " + QByteArray::number(deflated.size())
            + "\r\n\r\n" + deflated
        << 502 << "Видео слишком сложно: для его сборки нужно больше 16 МиБ памяти.";
}

void TestResolverMedia::answersWhatWentWrong()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, status);
    QFETCH(QString, reason);
    ScriptedServer source;
    QVERIFY(source.Listen());
    source.AddScript(answer.isEmpty() ? ScriptedServer::Script{ScriptedServer::Hold()}
                                      : ScriptedServer::Script{ScriptedServer::Send(answer), ScriptedServer::Close()});
    const RawExchange exchange =
        FetchStream(*shared, QUrl(QStringLiteral("http://%1/v.m3u8").arg(source.HostAndPort())));
    QVERIFY2(exchange.answer.startsWith("HTTP/1.1 " + QByteArray::number(status) + " "),
             exchange.answer.left(300).constData());
    const QString page = QString::fromUtf8(BodyOf(exchange.answer));
    QVERIFY2(page.contains(reason), qPrintable(page));
    // ffmpeg's own lines, with the addresses of its processes, are for the service's log.
    QVERIFY2(!page.contains(QLatin1String("@ 0x")) && !page.contains(source.HostAndPort()), qPrintable(page));
}

QTEST_GUILESS_MAIN(TestResolverMedia)
#include "tst_resolvermedia.moc"
