#include "AnswerPages.h"
#include "Candidate.h"
#include "ResolverTestSupport.h"

#include <QRegularExpression>
#include <QTest>

class TestAnswerPages : public QObject {
    Q_OBJECT

private slots:
    void ordersCandidates_data();
    void ordersCandidates();
    void escapesHtml_data();
    void escapesHtml();
    void programReadsTheFirstLink_data();
    void programReadsTheFirstLink();
    void describesEachChoice_data();
    void describesEachChoice();
    void failurePageHasNoMarker();
};

namespace {

Candidate Make(const char *address, CandidateSource source, const char *type = "")
{
    return {QUrl(QString::fromLatin1(address)), source, QString::fromLatin1(type), 0};
}

}  // namespace

void TestAnswerPages::ordersCandidates_data()
{
    QTest::addColumn<QList<Candidate>>("candidates");
    QTest::addColumn<QStringList>("order");
    const auto og = CandidateSource::OpenGraph;
    const auto video = CandidateSource::VideoElement;
    const auto link = CandidateSource::Link;
    const auto flash = CandidateSource::FlashVariables;

    QTest::newRow("flv before mp4") << QList{Make("http://a/v.mp4", video), Make("http://a/v.flv", link)}
                                    << QStringList{"http://a/v.flv", "http://a/v.mp4"};
    QTest::newRow("video before player page") << QList{Make("http://a/embed/1", og), Make("http://a/v.webm", link)}
                                              << QStringList{"http://a/v.webm", "http://a/embed/1"};
    QTest::newRow("declared flv type") << QList{Make("http://a/v.mp4", video),
                                                Make("http://a/stream", video, "video/x-flv")}
                                       << QStringList{"http://a/stream", "http://a/v.mp4"};
    QTest::newRow("og with video type is a video")
        << QList{Make("http://a/embed", og), Make("http://a/play", og, "video/mp4")}
        << QStringList{"http://a/play", "http://a/embed"};
    QTest::newRow("flash file without extension is a video")
        << QList{Make("http://a/embed", og), Make("http://a/get?id=1", flash)}
        << QStringList{"http://a/get?id=1", "http://a/embed"};
    QTest::newRow("page order kept within a class")
        << QList{Make("http://a/2.flv", og), Make("http://a/1.flv", link), Make("http://a/3.FLV", video)}
        << QStringList{"http://a/2.flv", "http://a/1.flv", "http://a/3.FLV"};
    QTest::newRow("duplicates once, in best place")
        << QList{Make("http://a/v.mp4", og), Make("http://a/x.flv", link), Make("http://a/v.mp4", video)}
        << QStringList{"http://a/x.flv", "http://a/v.mp4"};
    QTest::newRow("none") << QList<Candidate>{} << QStringList{};
}

void TestAnswerPages::ordersCandidates()
{
    QFETCH(QList<Candidate>, candidates);
    QFETCH(QStringList, order);
    QStringList found;
    for (const Candidate &candidate : CandidateOrder::OrderCandidates(candidates))
        found.append(candidate.url.toString());
    QCOMPARE(found, order);
}

void TestAnswerPages::escapesHtml_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("escaped");
    QTest::newRow("plain") << "abc"
                           << "abc";
    QTest::newRow("ampersand") << "a&b"
                               << "a&amp;b";
    QTest::newRow("quotes") << "\"'"
                            << "&quot;&#39;";
    QTest::newRow("tags") << "<script>"
                          << "&lt;script&gt;";
    QTest::newRow("already escaped is escaped again") << "&amp;"
                                                      << "&amp;amp;";
    QTest::newRow("cyrillic untouched") << "видео"
                                        << "видео";
}

void TestAnswerPages::escapesHtml()
{
    QFETCH(QString, text);
    QFETCH(QString, escaped);
    QCOMPARE(AnswerPages::EscapeHtml(text), escaped);
}

void TestAnswerPages::programReadsTheFirstLink_data()
{
    QTest::addColumn<QUrl>("video");
    QTest::addColumn<QString>("link");
    QTest::newRow("simple") << QUrl("http://h/v.flv") << "http://h/v.flv";
    QTest::newRow("query with ampersands") << QUrl("http://h/get?a=1&b=2") << "http://h/get?a=1&b=2";
    QTest::newRow("quote in the path") << QUrl::fromEncoded("http://h/a%22b.flv") << "http://h/a%22b.flv";
    QTest::newRow("tag in the query") << QUrl("http://h/v?x=<b>\"") << "http://h/v?x=%3Cb%3E%22";
    QTest::newRow("cyrillic path and host")
        << QUrl("https://видео.рф/ролик.flv") << "https://xn--b1aedk6a.xn--p1ai/%D1%80%D0%BE%D0%BB%D0%B8%D0%BA.flv";
    QTest::newRow("https") << QUrl("https://h/v.mp4") << "https://h/v.mp4";
    // The program takes no address with a login in it, and the login is not ours to pass on.
    QTest::newRow("user-info dropped") << QUrl("http://user:pw@h:8080/v.flv") << "http://h:8080/v.flv";
}

void TestAnswerPages::programReadsTheFirstLink()
{
    QFETCH(QUrl, video);
    QFETCH(QString, link);
    const QByteArray page = AnswerPages::ComposeFoundPage({{}, {{video}, {QUrl("http://second/other.flv")}}});
    QCOMPARE(ResolverTestSupport::ReadVideoLink(page), link);
    // Nothing before the marker may look like a link to the program.
    const QByteArray marker = QStringLiteral("Нажмите, чтобы").toUtf8();
    QVERIFY(page.indexOf(marker) >= 0);
    QVERIFY(page.indexOf("href=") > page.indexOf(marker));
}

void TestAnswerPages::describesEachChoice_data()
{
    QTest::addColumn<VideoOffer>("offer");
    QTest::addColumn<QStringList>("links");  // the opening tags of the answer's links

    const QUrl a("http://h/720.mp4"), b("http://h/a.m4a");
    QTest::newRow("all that is known")
        << VideoOffer{"Sunset over the harbour", {{a, 720, 1280, "mp4", 88080384, false}, {b, 0, 0, "m4a", 3, true}}}
        << QStringList{R"(<a href="http://h/720.mp4" data-title="Sunset over the harbour" data-height="720" )"
                       R"(data-width="1280" data-container="mp4" data-size="88080384">)",
                       R"(<a href="http://h/a.m4a" data-container="m4a" data-size="3" data-sound-only="1">)"};
    QTest::newRow("nothing known") << VideoOffer{{}, {{a}}} << QStringList{R"(<a href="http://h/720.mp4">)"};
    QTest::newRow("title escaped, on one line, UTF-8 kept")
        << VideoOffer{"\"Закат\" &\n<b>it's</b>\t\x01🌅 ", {{a}}}
        << QStringList{
               R"(<a href="http://h/720.mp4" data-title="&quot;Закат&quot; &amp; &lt;b&gt;it&#39;s&lt;/b&gt; 🌅">)"};
    QList<VideoChoice> many;
    QStringList twenty;
    for (int i = 0; i < 25; ++i) {
        many.append({QUrl(QStringLiteral("http://h/%1.mp4").arg(i))});
        if (twenty.size() < AnswerPages::kMaxChoices)
            twenty.append(QString::fromLatin1("<a href=\"http://h/%1.mp4\">").arg(i));
    }
    QTest::newRow("at most twenty choices") << VideoOffer{{}, many} << twenty;
    QTest::newRow("a long title cut to its first 1000 characters")
        << VideoOffer{QString(1200, QChar(u'я')) + QStringLiteral("🌅"), {{a}}}
        << QStringList{R"(<a href="http://h/720.mp4" data-title=")" + QString(1000, QChar(u'я')) + R"(">)"};
    QTest::newRow("an emoji is one character, never cut in half")
        << VideoOffer{QStringLiteral("🌅").repeated(1001), {{a}}}
        << QStringList{R"(<a href="http://h/720.mp4" data-title=")" + QStringLiteral("🌅").repeated(1000) + R"(">)"};
}

void TestAnswerPages::describesEachChoice()
{
    QFETCH(VideoOffer, offer);
    QFETCH(QStringList, links);
    const QByteArray page = AnswerPages::ComposeFoundPage(offer);
    static const QRegularExpression tag(QStringLiteral("<a [^>]*>"));
    QStringList found;
    for (const QRegularExpressionMatch &match : tag.globalMatch(QString::fromUtf8(page)))
        found.append(match.captured());
    QCOMPARE(found, links);
    QCOMPARE(ResolverTestSupport::ReadVideoLink(page), offer.choices.first().url.toString());
}

void TestAnswerPages::failurePageHasNoMarker()
{
    const QByteArray page = AnswerPages::ComposeFailurePage(QStringLiteral("<b>\"http://x\" & Нажмите</b>"));
    QVERIFY(!page.contains(QStringLiteral("Нажмите, чтобы").toUtf8()));
    QVERIFY(!page.contains("href="));
    QVERIFY(page.contains("&lt;b&gt;&quot;http://x&quot; &amp;"));
    QCOMPARE(ResolverTestSupport::ReadVideoLink(page), QString());
}

QTEST_GUILESS_MAIN(TestAnswerPages)
#include "tst_answerpages.moc"
