#include "CandidateFinder.h"
#include "FoundVideos.h"
#include "PageText.h"

#include <QTest>

class TestCandidateFinder : public QObject {
    Q_OBJECT

private slots:
    void findsCandidates_data();
    void findsCandidates();
    void readsFlashVariables_data();
    void readsFlashVariables();
    void readsJsonLd_data();
    void readsJsonLd();
    void convertsPagesToUtf8_data();
    void convertsPagesToUtf8();
    void tellsStreamsFromFiles_data();
    void tellsStreamsFromFiles();
};

namespace {

const QUrl kPage(QStringLiteral("http://site.example/watch/page.html?id=7"));

QStringList FoundAddresses(const QByteArray &html)
{
    QStringList found;
    for (const Candidate &candidate : CandidateFinder::FindCandidates(html, kPage))
        found.append(candidate.url.toString(QUrl::FullyEncoded));
    return found;
}

}  // namespace

void TestCandidateFinder::findsCandidates_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QStringList>("addresses");

    QTest::newRow("og:video") << QByteArray(R"(<meta property="og:video" content="http://cdn.example/v.mp4">)")
                              << QStringList{"http://cdn.example/v.mp4"};
    QTest::newRow("og:video:url and secure_url") << QByteArray(
        R"(<meta property="og:video:url" content="/a.mp4"><meta property="og:video:secure_url" content="https://s.example/a.mp4">)")
                                                 << QStringList{"http://site.example/a.mp4", "https://s.example/a.mp4"};
    QTest::newRow("og in name attribute")
        << QByteArray(R"(<meta name="OG:VIDEO" content="x.mp4">)") << QStringList{"http://site.example/watch/x.mp4"};
    QTest::newRow("og:image is not a video")
        << QByteArray(R"(<meta property="og:image" content="x.jpg">)") << QStringList{};
    QTest::newRow("video src relative") << QByteArray(R"(<video src="clip.webm"></video>)")
                                        << QStringList{"http://site.example/watch/clip.webm"};
    QTest::newRow("video sources") << QByteArray(
        R"(<video><source src="/a.webm"><source src="//cdn.example/b.mp4"></video>)")
                                   << QStringList{"http://site.example/a.webm", "http://cdn.example/b.mp4"};
    QTest::newRow("source outside video is ignored")
        << QByteArray(R"(<audio><source src="/a.ogg"></audio>)") << QStringList{};
    QTest::newRow("embed flashvars") << QByteArray(
        R"(<embed src="/p.swf" flashvars="autostart=true&amp;file=http%3A%2F%2Fcdn.example%2Fv.flv">)")
                                     << QStringList{"http://cdn.example/v.flv"};
    QTest::newRow("embed src query") << QByteArray(R"(<embed src="/p.swf?flv=/media/v.flv&amp;w=1">)")
                                     << QStringList{"http://site.example/media/v.flv"};
    QTest::newRow("object param flashvars")
        << QByteArray(R"(<object data="/p.swf"><param name="FlashVars" value="video=media/v.mp4"></object>)")
        << QStringList{"http://site.example/watch/media/v.mp4"};
    QTest::newRow("object param movie query")
        << QByteArray(R"(<object><param name="movie" value="/p.swf?file=/v.flv"></object>)")
        << QStringList{"http://site.example/v.flv"};
    QTest::newRow("json-ld") << QByteArray(
        R"(<script type="application/ld+json">{"@type":"VideoObject","contentUrl":"/v.mp4"}</script>)")
                             << QStringList{"http://site.example/v.mp4"};
    QTest::newRow("json-ld other type ignored")
        << QByteArray(R"(<script type="application/ld+json">{"@type":"ImageObject","contentUrl":"/i.jpg"}</script>)")
        << QStringList{};
    QTest::newRow("json-ld in other script type ignored")
        << QByteArray(R"(<script>{"@type":"VideoObject","contentUrl":"/v.mp4"}</script>)") << QStringList{};
    QTest::newRow("links to video files")
        << QByteArray(
               R"(<a href="a.FLV">a</a><a href="b.html">b</a><a href="/c.mp4?x=1">c</a><a href="d.webm#t=3">d</a>)")
        << QStringList{"http://site.example/watch/a.FLV", "http://site.example/c.mp4?x=1",
                       "http://site.example/watch/d.webm"};
    QTest::newRow("base href") << QByteArray(
        R"(<head><base href="http://media.example/dir/"></head><video src="v.mp4"></video>)")
                               << QStringList{"http://media.example/dir/v.mp4"};
    QTest::newRow("relative base href") << QByteArray(R"(<base href="/other/"><a href="v.flv">v</a>)")
                                        << QStringList{"http://site.example/other/v.flv"};
    QTest::newRow("only the first base counts")
        << QByteArray(R"(<base href="/one/"><base href="/two/"><a href="v.flv">v</a>)")
        << QStringList{"http://site.example/one/v.flv"};
    QTest::newRow("base after the candidate still applies")
        << QByteArray(R"(<video src="v.mp4"></video><base href="/late/">)")
        << QStringList{"http://site.example/late/v.mp4"};
    QTest::newRow("query-only relative") << QByteArray(R"(<video src="?part=2"></video>)")
                                         << QStringList{"http://site.example/watch/page.html?part=2"};
    QTest::newRow("non-web schemes dropped") << QByteArray(
        R"html(<video src="javascript:alert(1)"></video><video src="data:video/mp4,xx"></video><a href="ftp://h/v.flv">f</a>)html")
                                             << QStringList{};
    QTest::newRow("entities decoded") << QByteArray(R"(<video src="/v.mp4?a=1&amp;b=2"></video>)")
                                      << QStringList{"http://site.example/v.mp4?a=1&b=2"};
    // A browser fetches a U+FEFF at the start of a value as %EF%BB%BF: it is no byte order mark there.
    QTest::newRow("U+FEFF starting a value is kept") << QByteArray("<video src=\"\xEF\xBB\xBFv.mp4\"></video>")
                                                     << QStringList{"http://site.example/watch/%EF%BB%BFv.mp4"};
    QTest::newRow("blanks around trimmed")
        << QByteArray("<video src=\"  \n/v.mp4 \"></video>") << QStringList{"http://site.example/v.mp4"};
    QTest::newRow("broken markup") << QByteArray(R"(<div><p><video src=/v.mp4><table><a href=x.flv>)")
                                   << QStringList{"http://site.example/v.mp4", "http://site.example/watch/x.flv"};
    QTest::newRow("no video") << QByteArray("<html><body><p>Nothing here</p></body></html>") << QStringList{};
    QTest::newRow("empty page") << QByteArray() << QStringList{};
    // Four megabytes of nesting: the tree is freed without a frame per level (gumbo's own freeing overflows
    // the stack here).
    QTest::newRow("half a million nested objects") << QByteArray("<object>").repeated(512 * 1024)
            + R"(<video src="/deep.mp4"></video>)" << QStringList{"http://site.example/deep.mp4"};
    QTest::newRow("nested svg") << QByteArray("<svg>").repeated(800 * 1024) << QStringList{};
    QTest::newRow("sources in fixed order") << QByteArray(
        R"(<a href="/l.mp4">l</a><script type="application/ld+json">[{"@type":["VideoObject"],"contentUrl":"/j.mp4"}]</script>)"
        R"(<embed flashvars="file=/f.mp4"><video src="/v.mp4"></video><meta property="og:video" content="/o.mp4">)")
                                            << QStringList{"http://site.example/o.mp4", "http://site.example/v.mp4",
                                                           "http://site.example/f.mp4", "http://site.example/j.mp4",
                                                           "http://site.example/l.mp4"};
}

void TestCandidateFinder::findsCandidates()
{
    QFETCH(QByteArray, html);
    QFETCH(QStringList, addresses);
    QCOMPARE(FoundAddresses(html), addresses);
}

void TestCandidateFinder::readsFlashVariables_data()
{
    QTest::addColumn<QString>("variables");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QStringList>("types");
    QTest::newRow("file") << "file=a.flv" << QStringList{"a.flv"} << QStringList{""};
    QTest::newRow("flv declares an FLV") << "flv=a" << QStringList{"a"} << QStringList{"video/x-flv"};
    QTest::newRow("names case-insensitive") << "FILE=a&Video=b" << QStringList{"a", "b"} << QStringList{"", ""};
    QTest::newRow("percent-decoded once")
        << "file=http%3A%2F%2Fh%2Fa%2520b.flv" << QStringList{"http://h/a%20b.flv"} << QStringList{""};
    QTest::newRow("U+FEFF starting a value is kept")
        << "file=%EF%BB%BFa.flv" << QStringList{"%EF%BB%BFa.flv"} << QStringList{""};
    QTest::newRow("other names ignored") << "image=a.jpg&autostart=1" << QStringList{} << QStringList{};
    QTest::newRow("empty value ignored") << "file=&video" << QStringList{} << QStringList{};
}

void TestCandidateFinder::readsFlashVariables()
{
    QFETCH(QString, variables);
    QFETCH(QStringList, addresses);
    QFETCH(QStringList, types);
    QStringList foundAddresses, foundTypes;
    for (const Candidate &candidate : CandidateFinder::ReadFlashVariables(variables)) {
        foundAddresses.append(candidate.url.toString(QUrl::FullyEncoded));
        foundTypes.append(candidate.declaredType);
        QCOMPARE(candidate.source, CandidateSource::FlashVariables);
    }
    QCOMPARE(foundAddresses, addresses);
    QCOMPARE(foundTypes, types);
}

void TestCandidateFinder::readsJsonLd_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("addresses");
    QTest::newRow("object") << QByteArray(R"({"@type":"VideoObject","contentUrl":"a"})") << QStringList{"a"};
    QTest::newRow("graph") << QByteArray(R"({"@graph":[{"@type":"WebPage"},{"@type":"VideoObject","contentUrl":"b"}]})")
                           << QStringList{"b"};
    QTest::newRow("nested") << QByteArray(R"({"@type":"WebPage","video":{"@type":"VideoObject","contentUrl":"c"}})")
                            << QStringList{"c"};
    QTest::newRow("type list") << QByteArray(R"([{"@type":["Thing","VideoObject"],"contentUrl":"d"}])")
                               << QStringList{"d"};
    QTest::newRow("no contentUrl") << QByteArray(R"({"@type":"VideoObject","embedUrl":"e"})") << QStringList{};
    QTest::newRow("broken json") << QByteArray(R"({"@type":"VideoObject","contentUrl":)") << QStringList{};
}

void TestCandidateFinder::readsJsonLd()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, addresses);
    QCOMPARE(CandidateFinder::ReadJsonLdVideos(json), addresses);
}

void TestCandidateFinder::convertsPagesToUtf8_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("text");
    QTest::newRow("utf-8 by header") << QStringLiteral("<p>видео").toUtf8() << QByteArray("text/html; charset=UTF-8")
                                     << QStringLiteral("<p>видео");
    QTest::newRow("windows-1251 by header")
        << QByteArray("<p>\xE2\xE8\xE4\xE5\xEE") << QByteArray("text/html; charset=windows-1251")
        << QStringLiteral("<p>видео");
    QTest::newRow("windows-1251 by meta")
        << QByteArray("<meta charset=\"windows-1251\"><p>\xE2\xE8\xE4\xE5\xEE") << QByteArray("text/html")
        << QStringLiteral("<meta charset=\"windows-1251\"><p>видео");
    QTest::newRow("koi8-r by http-equiv")
        << QByteArray("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\"><p>\xD7\xC9\xC4\xC5\xCF")
        << QByteArray()
        << QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\"><p>видео");
    QTest::newRow("header beats meta") << QByteArray("<meta charset=\"koi8-r\">\xE2")
                                       << QByteArray("text/html; charset=cp1251")
                                       << QStringLiteral("<meta charset=\"koi8-r\">в");
    QTest::newRow("bom beats header") << QByteArray("\xEF\xBB\xBF<p>\xD0\xB2")
                                      << QByteArray("text/html; charset=windows-1251") << QStringLiteral("<p>в");
    QTest::newRow("unknown charset read as utf-8")
        << QStringLiteral("<p>в").toUtf8() << QByteArray("text/html; charset=x-nonsense") << QStringLiteral("<p>в");
}

void TestCandidateFinder::convertsPagesToUtf8()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, text);
    QCOMPARE(QString::fromUtf8(PageText::ConvertPageToUtf8(body, contentType)), text);
}

void TestCandidateFinder::tellsStreamsFromFiles_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("streams");
    QTest::newRow("hls and dash by their names")
        << QByteArray(R"(<video><source src="/a.m3u8"><source src="/b.MPD"></video><a href="/c.mp4">c</a>)")
        << QStringList{"http://site.example/c.mp4"}
        << QStringList{"http://site.example/a.m3u8", "http://site.example/b.MPD"};
    QTest::newRow("by their declared types") << QByteArray(
        R"(<video><source src="/live?id=1" type="application/x-mpegURL"><source src="/d" type="application/dash+xml"></video>)")
                                             << QStringList{}
                                             << QStringList{"http://site.example/live?id=1", "http://site.example/d"};
    QTest::newRow("files only") << QByteArray(R"(<video src="/v.flv"></video>)")
                                << QStringList{"http://site.example/v.flv"} << QStringList{};
}

void TestCandidateFinder::tellsStreamsFromFiles()
{
    QFETCH(QByteArray, html);
    QFETCH(QStringList, files);
    QFETCH(QStringList, streams);
    const FoundVideos found = FoundVideosReader::FindVideos(html, "text/html", kPage);
    QStringList foundFiles, foundStreams;
    for (const VideoChoice &file : found.files)
        foundFiles.append(file.url.toString(QUrl::FullyEncoded));
    for (const QUrl &stream : found.streams)
        foundStreams.append(stream.toString(QUrl::FullyEncoded));
    QCOMPARE(foundFiles, files);
    QCOMPARE(foundStreams, streams);
    // What a parser process hands back is read back the same.
    QCOMPARE(FoundVideosReader::DecodeVideos(FoundVideosReader::EncodeVideos(found)), std::optional(found));
    QVERIFY(!FoundVideosReader::DecodeVideos("X http://a/\n"));
}

QTEST_GUILESS_MAIN(TestCandidateFinder)
#include "tst_candidatefinder.moc"
