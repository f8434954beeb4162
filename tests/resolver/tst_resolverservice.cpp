#include "ResolverService.h"
#include "ResolverTestSupport.h"
#include "Version.h"

#include <QRegularExpression>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace ResolverTestSupport;

// Resolutions by the service in this process: pages from a real nginx on 127.0.0.1, requests as raw bytes.
class TestResolverService : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void resolvesEachSource_data();
    void resolvesEachSource();
    void resolvesADirectVideo_data();
    void resolvesADirectVideo();
    void describesTheChoices_data();
    void describesTheChoices();
    void followsRedirects();
    void takesAnAddressWithoutScheme();
    void readsBothRequestEncodings_data();
    void readsBothRequestEncodings();
    void answersTheAbsoluteForm();
    void explainsFailures_data();
    void explainsFailures();
    void fetchesOverTls();
    void refusesACertificateForAnotherName();
    void parsesPagesInParserProcesses();
    void refusesATooLargePage();
    void givesUpOnASlowServer();
    void refusesInternalAddressesWhenShared();

private:
    QByteArray Resolve(quint16 port, const QString &address);

    QTemporaryDir certificates;
    NginxServer nginx;
    std::unique_ptr<ResolverService> service;
};

namespace {

QByteArray Page(const QByteArray &content)
{
    return "<!DOCTYPE html><html><head><title>t</title></head><body>" + content + "</body></html>";
}

}  // namespace

QByteArray TestResolverService::Resolve(quint16 port, const QString &address)
{
    return ExchangeRaw(port, ComposeResolutionRequest(EncodeAsProgram(address), "localhost:8397"));
}

void TestResolverService::initTestCase()
{
    nginx.WritePage("pages/og.html", Page(R"(<meta property="og:video" content="/media/og.mp4">)"));
    nginx.WritePage("pages/video.html", Page(R"(<video src="../media/v.webm"></video>)"));
    nginx.WritePage("pages/source.html", Page(R"(<video><source src="/media/s.mp4" type="video/mp4"></video>)"));
    nginx.WritePage("pages/embed.html", Page(R"(<embed src="/p.swf" flashvars="a=1&amp;file=%2Fmedia%2Fe.flv">)"));
    nginx.WritePage("pages/object.html",
                    Page(R"(<object data="/p.swf"><param name="flashvars" value="video=media/o.mp4"></object>)"));
    nginx.WritePage("pages/jsonld.html",
                    Page(
                        R"(<script type="application/ld+json">{"@type":"VideoObject","contentUrl":"j.mp4"}</script>)"));
    nginx.WritePage("pages/link.html", Page(R"(<a href="files/l.flv?a=1&amp;b=2">film</a>)"));
    nginx.WritePage("pages/base.html", Page(R"(<base href="/elsewhere/deep/"><video src="b.mp4"></video>)"));
    nginx.WritePage("pages/mixed.html",
                    Page(R"(<meta property="og:video" content="/embed/9"><video src="/m.mp4"></video>)"
                         R"(<a href="/m.flv">flv</a>)"));
    nginx.WritePage("pages/labelled.html",
                    "<html><head><title>Page</title><meta property=\"og:title\" content=\"Закат &amp; "
                    "&quot;море&quot; 🌅\"></head><body><video><source src=\"/m/1080.mp4\" type=\"video/mp4\" "
                    "size=\"1080\"><source src=\"/m/720.webm\" label=\"HD 720p\"><source src=\"/m/a.m4a\" "
                    "type=\"audio/mp4\"></video></body></html>");
    nginx.WritePage("pages/titled.html",
                    "<html><head><title>\n Sunset  over\tthe harbour </title></head><body>"
                    "<video height=\"480\"><source src=\"/m/s.mp4\"></video></body></html>");
    nginx.WritePage("pages/og-height.html",
                    "<html><head><meta property=\"og:video\" content=\"/m/play?id=1\"><meta "
                    "property=\"og:video:type\" content=\"video/x-flv\"><meta property=\"og:video:height\" "
                    "content=\"360\"></head><body></body></html>");
    nginx.WritePage("pages/none.html", Page("<p>Just text, <a href=\"/about.html\">about</a></p>"));
    nginx.WritePage("pages/страница видео.html", Page(R"(<video src="/media/ru.mp4"></video>)"));
    nginx.WritePage("cp1251/page.html", "<html><body><a href=\"\xE2\xE8\xE4\xE5\xEE.flv\">\xE2</a></body></html>");
    nginx.WritePage("media/clip.flv", "FLV\x01\x05 video bytes");
    nginx.WritePage("media/flv-bytes.bin", "FLV\x01\x05 more bytes");
    nginx.WritePage("pages/big.html", Page(QByteArray(20000, 'x')));
    QByteArray longPage;
    for (int i = 0; i < 30000; ++i)
        longPage += "<p>line</p>";
    nginx.WritePage("pages/long.html", Page(longPage + R"(<a href="/media/long.flv">film</a>)"));
    nginx.WritePage("pages/deep.html", Page(QByteArray("<div>").repeated(200000)));
    QString certificate, key;
    QVERIFY(MakeLocalhostCertificate(certificates.path(), &certificate, &key));
    nginx.EnableTls(certificate, key);
    // The test's certificate is trusted the way a system store trusts a real one, for this process only.
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(certificate);
    QSslConfiguration::setDefaultConfiguration(tls);
    QString error;
    QVERIFY2(nginx.Start(&error), qPrintable(error));
    service = StartLocalService();
    QVERIFY(service->ServerPort() != 0);
}

void TestResolverService::resolvesEachSource_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("link");
    QTest::newRow("og:video") << "pages/og.html"
                              << "media/og.mp4";
    QTest::newRow("video src") << "pages/video.html"
                               << "media/v.webm";
    QTest::newRow("video source") << "pages/source.html"
                                  << "media/s.mp4";
    QTest::newRow("embed flashvars") << "pages/embed.html"
                                     << "media/e.flv";
    QTest::newRow("object flashvars") << "pages/object.html"
                                      << "pages/media/o.mp4";
    QTest::newRow("json-ld") << "pages/jsonld.html"
                             << "pages/j.mp4";
    QTest::newRow("link, ampersands escaped") << "pages/link.html"
                                              << "pages/files/l.flv?a=1&b=2";
    QTest::newRow("base href") << "pages/base.html"
                               << "elsewhere/deep/b.mp4";
    QTest::newRow("flv first") << "pages/mixed.html"
                               << "m.flv";
    QTest::newRow("windows-1251 page") << "cp1251/page.html"
                                       << "cp1251/%D0%B2%D0%B8%D0%B4%D0%B5%D0%BE.flv";
}

void TestResolverService::resolvesEachSource()
{
    QFETCH(QString, page);
    QFETCH(QString, link);
    const QByteArray answer = Resolve(service->ServerPort(), nginx.Address(page));
    QVERIFY2(answer.startsWith("HTTP/1.1 200 OK\r\n"), answer.constData());
    QVERIFY(answer.contains("Content-Type: text/html; charset=utf-8\r\n"));
    QCOMPARE(ReadVideoLink(BodyOf(answer)), nginx.Address(link));
}

void TestResolverService::resolvesADirectVideo_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("video content type") << "media/clip.flv";
    QTest::newRow("body starts with FLV") << "media/flv-bytes.bin";
}

void TestResolverService::resolvesADirectVideo()
{
    QFETCH(QString, path);
    QCOMPARE(ReadVideoLink(BodyOf(Resolve(service->ServerPort(), nginx.Address(path)))), nginx.Address(path));
}

void TestResolverService::describesTheChoices_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("links");  // the opening tags of the answer's links
    const QString at = nginx.Address(QString());

    QTest::newRow("og:title, and each source's own label")
        << "pages/labelled.html"
        << QStringList{"<a href=\"" + at
                           + "m/1080.mp4\" data-title=\"Закат &amp; &quot;море&quot; 🌅\" "
                             "data-height=\"1080\" data-container=\"mp4\">",
                       "<a href=\"" + at + "m/720.webm\" data-height=\"720\" data-container=\"webm\">",
                       "<a href=\"" + at + "m/a.m4a\" data-container=\"m4a\" data-sound-only=\"1\">"};
    QTest::newRow("the title element, and the video's height for its one source")
        << "pages/titled.html"
        << QStringList{
               "<a href=\"" + at
               + "m/s.mp4\" data-title=\"Sunset over the harbour\" data-height=\"480\" data-container=\"mp4\">"};
    QTest::newRow("og:video's height and type")
        << "pages/og-height.html"
        << QStringList{"<a href=\"" + at + "m/play?id=1\" data-height=\"360\" data-container=\"flv\">"};
    QTest::newRow("a direct video: its type and length")
        << "media/clip.flv"
        << QStringList{"<a href=\"" + at + "media/clip.flv\" data-container=\"flv\" data-size=\"17\">"};
}

void TestResolverService::describesTheChoices()
{
    QFETCH(QString, page);
    QFETCH(QStringList, links);
    const QByteArray body = BodyOf(Resolve(service->ServerPort(), nginx.Address(page)));
    static const QRegularExpression tag(QStringLiteral("<a [^>]*>"));
    QStringList found;
    for (const QRegularExpressionMatch &match : tag.globalMatch(QString::fromUtf8(body)))
        found.append(match.captured());
    QCOMPARE(found, links);
    QCOMPARE(ReadVideoLink(body), links.first().section(QLatin1Char('"'), 1, 1));
}

void TestResolverService::followsRedirects()
{
    // /moved-twice answers 301 to an absolute /moved, which answers 302 to the og page: its relative video
    // address is resolved against the page where the redirects ended.
    QCOMPARE(ReadVideoLink(BodyOf(Resolve(service->ServerPort(), nginx.Address("moved-twice")))),
             nginx.Address("media/og.mp4"));
}

void TestResolverService::takesAnAddressWithoutScheme()
{
    const QString address = QStringLiteral("127.0.0.1:%1/pages/og.html").arg(nginx.Port());
    QCOMPARE(ReadVideoLink(BodyOf(Resolve(service->ServerPort(), address))), nginx.Address("media/og.mp4"));
}

void TestResolverService::readsBothRequestEncodings_data()
{
    QTest::addColumn<bool>("windows1251");
    QTest::newRow("windows-1251, as the program sends") << true;
    QTest::newRow("utf-8") << false;
}

void TestResolverService::readsBothRequestEncodings()
{
    QFETCH(bool, windows1251);
    const QString address = nginx.Address(QStringLiteral("pages/страница видео.html"));
    const QByteArray encoded = windows1251 ? EncodeAsProgram(address) : EncodeAsUtf8Form(address);
    QVERIFY(encoded.contains(windows1251 ? "%F1%F2%F0" : "%D1%81%D1%82"));
    const QByteArray answer = ExchangeRaw(service->ServerPort(), ComposeResolutionRequest(encoded, "localhost:8397"));
    QCOMPARE(ReadVideoLink(BodyOf(answer)), nginx.Address("media/ru.mp4"));
}

void TestResolverService::answersTheAbsoluteForm()
{
    const QByteArray request =
        ComposeResolutionRequest(EncodeAsProgram(nginx.Address("pages/og.html")), "localhost:8397", true);
    QVERIFY(request.startsWith("POST http://localhost:8397/xurl/ HTTP/1.0\r\n"));
    const QByteArray answer = ExchangeRaw(service->ServerPort(), request);
    QCOMPARE(ReadVideoLink(BodyOf(answer)), nginx.Address("media/og.mp4"));
}

void TestResolverService::explainsFailures_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("reason");
    QTest::newRow("page without video") << nginx.Address("pages/none.html") << "На странице нет ссылок на видео.";
    QTest::newRow("missing page") << nginx.Address("pages/gone.html") << "Страница не найдена (ошибка 404).";
    QTest::newRow("too many redirects") << nginx.Address("loop") << "Слишком много перенаправлений (больше 20).";
    QTest::newRow("unreachable host") << QStringLiteral("http://127.0.0.1:%1/").arg(FindFreePort())
                                      << "Сервер страницы не отвечает: соединение отклонено.";
    QTest::newRow("not a web address")
        << "file:///etc/passwd"
        << "Адрес страницы не понят: нужен адрес, который начинается с http:// или https://.";
}

void TestResolverService::explainsFailures()
{
    QFETCH(QString, address);
    QFETCH(QString, reason);
    const QByteArray answer = Resolve(service->ServerPort(), address);
    // A failure is still a 200, so that the program says "video not found" instead of waiting.
    QVERIFY2(answer.startsWith("HTTP/1.1 200 OK\r\n"), answer.constData());
    QCOMPARE(ReadVideoLink(BodyOf(answer)), QString());
    QVERIFY2(QString::fromUtf8(BodyOf(answer)).contains(reason), BodyOf(answer).constData());
}

void TestResolverService::fetchesOverTls()
{
    // The connection goes to the address looked up for localhost; the certificate is still checked
    // against the name.
    const QString page = QStringLiteral("https://localhost:%1/pages/og.html").arg(nginx.TlsPort());
    QCOMPARE(ReadVideoLink(BodyOf(Resolve(service->ServerPort(), page))),
             QStringLiteral("https://localhost:%1/media/og.mp4").arg(nginx.TlsPort()));
}

void TestResolverService::refusesACertificateForAnotherName()
{
    const QString page = QStringLiteral("https://127.0.0.1:%1/pages/og.html").arg(nginx.TlsPort());
    const QByteArray body = BodyOf(Resolve(service->ServerPort(), page));
    QVERIFY2(QString::fromUtf8(body).contains(
                 QStringLiteral("Не удалось установить защищённое соединение с сервером 127.0.0.1")),
             body.constData());
}

void TestResolverService::parsesPagesInParserProcesses()
{
    ResolverOptions options;
    options.parserProgram = QStringLiteral(RESOLVER_PROGRAM);
    options.fetchTimeoutSeconds = 2;
    const auto ownService = StartLocalService(options);
    QCOMPARE(ReadVideoLink(BodyOf(Resolve(ownService->ServerPort(), nginx.Address("pages/long.html")))),
             nginx.Address("media/long.flv"));
    // A megabyte of nested elements would keep the parser busy for most of a minute: the client is answered
    // at the time limit, and the service goes on.
    const QByteArray body = BodyOf(Resolve(ownService->ServerPort(), nginx.Address("pages/deep.html")));
    QVERIFY2(QString::fromUtf8(body).contains(QStringLiteral("Страница не разобрана за 2 с.")), body.constData());
    QCOMPARE(BodyOf(ExchangeRaw(ownService->ServerPort(), "GET /version.info HTTP/1.0\r\n\r\n")),
             AppVersion().toUtf8());

    // Pages really go to the parser processes: without them there is no parse.
    options.parserProgram = certificates.filePath(QStringLiteral("no-such-program"));
    const auto withoutChild = StartLocalService(options);
    const QByteArray failed = BodyOf(Resolve(withoutChild->ServerPort(), nginx.Address("pages/long.html")));
    QVERIFY2(QString::fromUtf8(failed).contains(QStringLiteral("Страницу не удалось разобрать")), failed.constData());
}

void TestResolverService::refusesATooLargePage()
{
    ResolverOptions options;
    options.pageLimit = 4096;
    const auto ownService = StartLocalService(options);
    const QByteArray body = BodyOf(Resolve(ownService->ServerPort(), nginx.Address("pages/big.html")));
    QVERIFY2(QString::fromUtf8(body).contains(QStringLiteral("Страница больше допустимых 4096 байт.")),
             body.constData());
    // A direct video is recognised before its size matters.
    QCOMPARE(ReadVideoLink(BodyOf(Resolve(ownService->ServerPort(), nginx.Address("media/clip.flv")))),
             nginx.Address("media/clip.flv"));
}

void TestResolverService::givesUpOnASlowServer()
{
    QTcpServer silent;  // accepts and never answers
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    ResolverOptions options;
    options.fetchTimeoutSeconds = 1;
    const auto ownService = StartLocalService(options);
    const QByteArray body =
        BodyOf(Resolve(ownService->ServerPort(), QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort())));
    QVERIFY2(QString::fromUtf8(body).contains(QStringLiteral("Время ожидания ответа от сайта истекло.")),
             body.constData());
}

void TestResolverService::refusesInternalAddressesWhenShared()
{
    QTcpServer page;  // the page's server: it must never see a connection
    QVERIFY(page.listen(QHostAddress::LocalHost, 0));
    const auto shared = StartLocalService({}, true);
    const QByteArray body =
        BodyOf(Resolve(shared->ServerPort(), QStringLiteral("http://127.0.0.1:%1/page.html").arg(page.serverPort())));
    QVERIFY2(QString::fromUtf8(body).contains(
                 QStringLiteral("Адрес 127.0.0.1 ведёт во внутреннюю сеть; эта служба открыта для всех")),
             body.constData());
    QVERIFY(!page.waitForNewConnection(0));
    QVERIFY(!page.hasPendingConnections());
    // By name too: localhost is looked up and judged before any connection, and the answer does not tell
    // which internal address the name has.
    const QByteArray byName =
        BodyOf(Resolve(shared->ServerPort(), QStringLiteral("http://localhost:%1/").arg(page.serverPort())));
    QVERIFY2(QString::fromUtf8(byName).contains(QStringLiteral("Адрес localhost ведёт во внутреннюю сеть;")),
             byName.constData());
    QVERIFY2(!byName.contains("127.0.0.1") && !byName.contains("::1"), byName.constData());
    QVERIFY(!page.waitForNewConnection(0));
}

QTEST_GUILESS_MAIN(TestResolverService)
#include "tst_resolverservice.moc"
