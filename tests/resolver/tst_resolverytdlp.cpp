#include "FetchProxy.h"
#include "MediaFixtures.h"
#include "MediaToken.h"
#include "ResolverTestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace ResolverTestSupport;

// yt-dlp as the service's second engine and stream-only videos as one file, against a real nginx serving
// pages and streams made with ffmpeg, the real yt-dlp, and yt-dlps that misbehave.
class TestResolverYtDlp : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void deliversDashAsOneFile();
    void resetsStreamThatLacksAPiece();
    void findsPlayerSetUpInScript_data();
    void findsPlayerSetUpInScript();
    void answersBuiltinPagesWithoutYtDlp();
    void asksSiteExtractorsFirst();
    void describesYtDlpChoices();
    void answersYtDlpFailuresInRussian_data();
    void answersYtDlpFailuresInRussian();
    void misbehavingYtDlp_data();
    void misbehavingYtDlp();
    void refusesInternalAddressesThroughYtDlpAndFfmpeg();
    void servesTokenOfAnotherInstance();

private:
    QByteArray Resolve(const ResolverService &service, const QString &page);
    QByteArray Fetch(quint16 port, const QString &link);

    NginxServer site;
    std::unique_ptr<ResolverService> service;
};

namespace {

constexpr int kSeconds = 6;

// A page whose player a script sets up with the video's address.
QByteArray PlayerPage(const QByteArray &video)
{
    return "<!DOCTYPE html><html><head><title>Player</title></head><body><div id=\"player\"></div><script>"
           "jwplayer(\"player\").setup({file: \""
        + video + "\", title: \"A clip\"});</script></body></html>";
}

bool WaitUntilReady(const ResolverService &service)
{
    return QTest::qWaitFor(
        [&] { return service.YtDlp() && service.YtDlp()->CurrentState() != YtDlpBridge::State::Starting; }, 180000);
}

// The opening tags of the answer's links.
QStringList LinksOf(const QByteArray &answer)
{
    static const QRegularExpression tag(QStringLiteral("<a [^>]*>"));
    QStringList links;
    for (const QRegularExpressionMatch &match : tag.globalMatch(QString::fromUtf8(BodyOf(answer))))
        links.append(match.captured());
    return links;
}

// The answer's page text, without markup.
QString ReasonOf(const QByteArray &answer)
{
    return QString::fromUtf8(BodyOf(answer)).remove(QRegularExpression(QStringLiteral("<[^>]*>")));
}

}  // namespace

void TestResolverYtDlp::initTestCase()
{
    QString error;
    QVERIFY2(MediaFixtures::MakeHls(site.FilePath(QString()), kSeconds, &error), qPrintable(error));
    QVERIFY2(MediaFixtures::MakeDash(site.FilePath(QString()), kSeconds, &error), qPrintable(error));
    site.WritePage("dash.html",
                   "<!DOCTYPE html><html><head><title>DASH</title></head><body><video controls>"
                   "<source src=\"dash/manifest.mpd\" type=\"application/dash+xml\"></video></body></html>");
    site.WritePage("player.html", PlayerPage("hls/v0.m3u8"));
    site.WritePage("mp4player.html", PlayerPage("clip.mp4"));
    site.WritePage("hls/broken.m3u8",
                   "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n#EXT-X-PLAYLIST-TYPE:VOD\n"
                   "#EXTINF:2.0,\nv0-000.ts\n#EXTINF:2.0,\nmissing.ts\n#EXTINF:2.0,\nv0-002.ts\n"
                   "#EXT-X-ENDLIST\n");
    site.WritePage("broken.html",
                   "<!DOCTYPE html><html><body><video><source src=\"hls/broken.m3u8\" "
                   "type=\"application/x-mpegURL\"></video></body></html>");
    site.WritePage("flv.html",
                   "<!DOCTYPE html><html><head><meta property=\"og:video\" content=\"/clip.flv\"></head>"
                   "<body></body></html>");
    QVERIFY2(site.Start(&error), qPrintable(error));
    service = StartLocalService();
    QVERIFY(WaitUntilReady(*service));
    QCOMPARE(service->YtDlp()->CurrentState(), YtDlpBridge::State::Ready);
}

QByteArray TestResolverYtDlp::Resolve(const ResolverService &target, const QString &page)
{
    const QByteArray host = "127.0.0.1:" + QByteArray::number(target.ServerPort());
    return ExchangeRaw(target.ServerPort(), ComposeResolutionRequest(EncodeAsProgram(site.Address(page)), host));
}

QByteArray TestResolverYtDlp::Fetch(quint16 port, const QString &link)
{
    const QUrl url(link);
    return ExchangeRaw(port,
                       "GET " + url.path(QUrl::FullyEncoded).toLatin1()
                           + " HTTP/1.0\r\nHost: " + url.authority().toLatin1() + "\r\n\r\n");
}

void TestResolverYtDlp::deliversDashAsOneFile()
{
    const QString link = ReadVideoLink(Resolve(*service, "dash.html"));
    QVERIFY2(link.startsWith(QStringLiteral("http://127.0.0.1:%1/media/").arg(service->ServerPort())),
             qPrintable(link));
    const QByteArray answer = Fetch(service->ServerPort(), link);
    QVERIFY2(answer.startsWith("HTTP/1.1 200 OK\r\n"), answer.left(300).constData());
    QVERIFY(answer.contains("\r\nContent-Type: video/x-flv\r\n"));
    QTemporaryDir folder;
    QFile saved(folder.filePath("saved.flv"));
    QVERIFY(saved.open(QIODevice::WriteOnly));
    saved.write(BodyOf(answer));
    saved.close();
    const MediaFixtures::Probe probe = MediaFixtures::ProbeFile(saved.fileName());
    QCOMPARE(probe.streams, (QStringList{"video", "audio"}));
    QCOMPARE(probe.format, QStringLiteral("flv"));
    QVERIFY2(qAbs(probe.duration - kSeconds) <= 0.5, qPrintable(QString::number(probe.duration)));

    // A client that takes its bytes slowly holds ffmpeg back, and gets the same file.
    const RawExchange slow =
        ExchangeTellingReset(service->ServerPort(),
                             "GET " + QUrl(link).path(QUrl::FullyEncoded).toLatin1() + " HTTP/1.0\r\n\r\n", 2);
    QVERIFY(!slow.reset);
    QCOMPARE(BodyOf(slow.answer).size(), BodyOf(answer).size());
    QVERIFY(BodyOf(slow.answer) == BodyOf(answer));
}

void TestResolverYtDlp::resetsStreamThatLacksAPiece()
{
    // ffmpeg skips a segment it cannot fetch and ends as if all were well; the client must not take the
    // shorter video for the whole one.
    const QString link = ReadVideoLink(Resolve(*service, "broken.html"));
    QVERIFY2(link.contains(QStringLiteral("/media/")), qPrintable(link));
    const QUrl url(link);
    const RawExchange exchange =
        ExchangeTellingReset(service->ServerPort(),
                             "GET " + url.path(QUrl::FullyEncoded).toLatin1() + " HTTP/1.0\r\n\r\n");
    QVERIFY2(exchange.answer.startsWith("HTTP/1.1 200 OK\r\n"), exchange.answer.left(300).constData());
    QVERIFY(BodyOf(exchange.answer).startsWith("FLV"));
    QVERIFY(exchange.reset);
}

void TestResolverYtDlp::findsPlayerSetUpInScript_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("file");  // the link to the file itself; empty: a /media/ link of the service

    QTest::newRow("a stream, remuxed") << "player.html" << QString();
    // yt-dlp names its own standard request headers for every format: no reason to remux a file any client gets.
    QTest::newRow("a file, offered as it is") << "mp4player.html" << site.Address("clip.mp4");
}

void TestResolverYtDlp::findsPlayerSetUpInScript()
{
    QFETCH(QString, page);
    QFETCH(QString, file);
    // The built-in engine sees no video in a script; yt-dlp's generic extractor reads the player's setup.
    const int before = service->YtDlp()->ExtractionsStarted();
    const QByteArray answer = Resolve(*service, page);
    const QString link = ReadVideoLink(answer);
    // The title yt-dlp read from the player's setup.
    QVERIFY2(LinksOf(answer).value(0).contains(QStringLiteral("data-title=\"A clip\"")), BodyOf(answer).constData());
    if (file.isEmpty())
        QVERIFY2(link.contains(QStringLiteral("/media/")), qPrintable(link));
    else
        QCOMPARE(link, file);
    QCOMPARE(service->YtDlp()->ExtractionsStarted(), before + 1);
}

void TestResolverYtDlp::answersBuiltinPagesWithoutYtDlp()
{
    const int before = service->YtDlp()->ExtractionsStarted();
    QCOMPARE(ReadVideoLink(Resolve(*service, "flv.html")), site.Address("clip.flv"));
    QCOMPARE(service->YtDlp()->ExtractionsStarted(), before);
}

void TestResolverYtDlp::asksSiteExtractorsFirst()
{
    QString youtube, local;
    bool answered = false;
    service->YtDlp()->AskClaim(QUrl("https://www.youtube.com/watch?v=BaW_jenozKc"), this, [&](const QString &claim) {
        youtube = claim;
        service->YtDlp()->AskClaim(QUrl(site.Address("player.html")), this, [&](const QString &other) {
            local = other;
            answered = true;
        });
    });
    QTRY_VERIFY_WITH_TIMEOUT(answered, 30000);
    QCOMPARE(youtube, QStringLiteral("Youtube"));
    QCOMPARE(local, QString());
}

void TestResolverYtDlp::describesYtDlpChoices()
{
    // yt-dlp's answer as its releases give it, cut down by the real bridge.
    QTemporaryDir folder;
    ResolverOptions options;
    options.engines = {Engine::YtDlp};
    options.ytDlpPath = MediaFixtures::MakeFakeYtDlp(
        folder.path(),
        "        return {'title': 'Закат & \"море\" 🌅', 'extractor_key': 'Generic', 'formats': [\n"
        "            {'url': 'http://cdn.example/720.mp4', 'protocol': 'http', 'ext': 'mp4', 'vcodec': 'avc1',\n"
        "             'acodec': 'mp4a', 'height': 720, 'width': 1280, 'filesize': 88080384, 'tbr': None},\n"
        "            {'url': 'http://cdn.example/a.m4a', 'protocol': 'http', 'ext': 'm4a', 'vcodec': 'none',\n"
        "             'acodec': 'mp4a', 'filesize': None, 'filesize_approx': 3000000.5}]}\n");
    QVERIFY(!options.ytDlpPath.isEmpty());
    const auto own = StartLocalService(options);
    QVERIFY(WaitUntilReady(*own));
    const QByteArray answer = Resolve(*own, "player.html");
    QCOMPARE(LinksOf(answer),
             (QStringList{"<a href=\"http://cdn.example/720.mp4\" data-title=\"Закат &amp; &quot;море&quot; 🌅\" "
                          "data-height=\"720\" data-width=\"1280\" data-container=\"mp4\" data-size=\"88080384\">",
                          "<a href=\"http://cdn.example/a.m4a\" data-container=\"m4a\" data-size=\"3000000\" "
                          "data-sound-only=\"1\">"}));
    QCOMPARE(ReadVideoLink(answer), QStringLiteral("http://cdn.example/720.mp4"));
}

void TestResolverYtDlp::answersYtDlpFailuresInRussian_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("reason");
    QTest::newRow("connection refused") << QStringLiteral("http://127.0.0.1:%1/watch").arg(FindFreePort())
                                        << "Сервер страницы не отвечает: соединение отклонено.";
    QTest::newRow("404") << site.Address("missing.html") << "Страница не найдена (ошибка 404).";
}

void TestResolverYtDlp::answersYtDlpFailuresInRussian()
{
    QFETCH(QString, page);
    QFETCH(QString, reason);
    ResolverOptions options;
    options.engines = {Engine::YtDlp};
    const auto own = StartLocalService(options);
    QVERIFY(WaitUntilReady(*own));
    const QByteArray host = "127.0.0.1:" + QByteArray::number(own->ServerPort());
    const QByteArray answer = ExchangeRaw(own->ServerPort(), ComposeResolutionRequest(EncodeAsProgram(page), host));
    // yt-dlp's own words went to the log.
    QCOMPARE(ReasonOf(answer).simplified(), QStringLiteral("Видео не найдено Видео не найдено. ") + reason);
}

void TestResolverYtDlp::misbehavingYtDlp_data()
{
    QTest::addColumn<QByteArray>("extract");  // what the fake's extract_info does; empty: no yt-dlp at all
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing") << QByteArray() << "На странице нет ссылок на видео.";
    // It also starts a process of its own, which has to go with it, and ignores the bridge's last-resort alarm:
    // only the service's own kill ends it.
    QTest::newRow("hanging past its limit") << QByteArray("        import signal, subprocess, time\n"
                                                          "        signal.signal(signal.SIGALRM, signal.SIG_IGN)\n"
                                                          "        subprocess.Popen(['sleep', 'MARK'])\n"
                                                          "        time.sleep(600)\n")
                                            << "yt-dlp не ответил за 3 с.";
    QTest::newRow("printing garbage") << QByteArray("        import os, sys\n"
                                                    "        os.write(1, b'\\x00\\xff{\"id\": 1, \"info\": {}}\\n')\n"
                                                    "        print('garbage', file=sys.stderr)\n"
                                                    "        return {'_type': 'video', 'formats': 'nonsense'}\n")
                                      << "yt-dlp не нашёл на странице видео.";
    QTest::newRow("crashing") << QByteArray("        import os\n        os._exit(139)\n")
                              << "Не удалось получить видео с этой страницы.";
}

void TestResolverYtDlp::misbehavingYtDlp()
{
    QFETCH(QByteArray, extract);
    QFETCH(QString, reason);
    QTemporaryDir folder;
    const QByteArray mark = QByteArray::number(6000 + QCoreApplication::applicationPid() % 1000) + ".25";
    const bool startsProcess = extract.contains("MARK");
    ResolverOptions options;
    options.fetchTimeoutSeconds = 3;
    options.ytDlpPath = extract.isEmpty() ? folder.filePath("yt-dlp")
                                          : MediaFixtures::MakeFakeYtDlp(folder.path(), extract.replace("MARK", mark));
    QVERIFY(!options.ytDlpPath.isEmpty());
    const auto own = StartLocalService(options);
    if (!extract.isEmpty())
        QVERIFY(WaitUntilReady(*own));
    QCOMPARE(bool(own->YtDlp()), !extract.isEmpty());
    int seenMarks = 0;
    QTimer sample;
    connect(&sample, &QTimer::timeout, this,
            [&] { seenMarks = std::max(seenMarks, MediaFixtures::CountProcessesWithArgument(mark)); });
    sample.start(50);
    const QByteArray answer = Resolve(*own, "player.html");
    QVERIFY2(!answer.isEmpty(), "no answer");
    QVERIFY(ReadVideoLink(answer).isEmpty());
    QVERIFY2(ReasonOf(answer).contains(reason), qPrintable(ReasonOf(answer)));
    if (startsProcess)
        QVERIFY(seenMarks > 0);
    QTRY_COMPARE_WITH_TIMEOUT(MediaFixtures::CountProcessesWithArgument(mark), 0, 10000);
    if (own->YtDlp()) {
        // Nothing of the page's process is left below the bridge, which itself goes on.
        QCOMPARE(own->YtDlp()->CurrentState(), YtDlpBridge::State::Ready);
        QTRY_VERIFY_WITH_TIMEOUT(MediaFixtures::ChildrenOf(own->YtDlp()->ProcessId()).isEmpty(), 10000);
    }
}

void TestResolverYtDlp::refusesInternalAddressesThroughYtDlpAndFfmpeg()
{
    ResolverOptions options;
    options.engines = {Engine::YtDlp};
    options.secret = "shared";
    const auto shared = StartLocalService(options, true);
    QVERIFY(WaitUntilReady(*shared));

    const QByteArray answer = Resolve(*shared, "player.html");
    QVERIFY(ReadVideoLink(answer).isEmpty());
    QVERIFY2(ReasonOf(answer).contains(QStringLiteral("ведёт во внутреннюю сеть")), qPrintable(ReasonOf(answer)));

    // A page address that looks like an option is still an address: nothing runs it.
    QTemporaryDir folder;
    const QString file = folder.filePath("ran");
    const QByteArray host = "127.0.0.1:" + QByteArray::number(shared->ServerPort());
    for (const QString &address : {QStringLiteral("--exec=touch %1").arg(file), QStringLiteral("-o%1").arg(file)})
        QVERIFY(
            ReadVideoLink(ExchangeRaw(shared->ServerPort(), ComposeResolutionRequest(EncodeAsProgram(address), host)))
                .isEmpty());
    QVERIFY(!QFile::exists(file));

    // A link made for a stream on this machine: ffmpeg's fetches are judged the same way.
    const QByteArray token = MediaToken::ComposeToken({{{QUrl(site.Address("hls/master.m3u8")), {}, -1}}, true},
                                                      options.secret, QDateTime::currentDateTimeUtc());
    const QByteArray refused = Fetch(shared->ServerPort(), "http://" + host + "/media/" + token);
    QVERIFY2(refused.startsWith("HTTP/1.1 403 "), refused.left(200).constData());
    QVERIFY(ReasonOf(refused).contains(QStringLiteral("ведёт во внутреннюю сеть")));
}

void TestResolverYtDlp::servesTokenOfAnotherInstance()
{
    ResolverOptions options;
    options.engines = {Engine::Builtin};  // the page's own stream, remuxed as ffmpeg chooses
    options.secret = "one key for both";
    const auto first = StartLocalService(options);
    const auto second = StartLocalService(options);
    NginxServer balancer;
    const quint16 port = FindFreePort();
    balancer.AddHttpConfig(
        QStringLiteral("log_format upstreams '$request_method $upstream_addr';\n"
                       "upstream quillon { server 127.0.0.1:%1; server 127.0.0.1:%2; }\n"
                       "server { listen 127.0.0.1:%3; access_log %4 upstreams;\n"
                       "  location / { proxy_pass http://quillon; proxy_set_header Host $http_host;\n"
                       "               proxy_buffering off; } }\n")
            .arg(first->ServerPort())
            .arg(second->ServerPort())
            .arg(port)
            .arg(balancer.OwnFilePath("upstreams.log")));
    QString error;
    QVERIFY2(balancer.Start(&error), qPrintable(error));

    const QByteArray host = "127.0.0.1:" + QByteArray::number(port);
    const QString link =
        ReadVideoLink(ExchangeRaw(port, ComposeResolutionRequest(EncodeAsProgram(site.Address("dash.html")), host)));
    QVERIFY2(link.startsWith("http://" + host + "/media/"), qPrintable(link));
    const QByteArray answer = Fetch(port, link);
    QVERIFY2(answer.startsWith("HTTP/1.1 200 OK\r\n"), answer.left(300).constData());
    QVERIFY(BodyOf(answer).startsWith("FLV"));

    QFile log(balancer.OwnFilePath("upstreams.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[0].startsWith("POST ") && lines[1].startsWith("GET "));
    QVERIFY2(lines[0].split(' ').last() != lines[1].split(' ').last(), log.fileName().toLatin1().constData());
}

QTEST_GUILESS_MAIN(TestResolverYtDlp)
#include "tst_resolverytdlp.moc"
