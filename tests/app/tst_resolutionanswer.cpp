#include "AnswerPages.h"
#include "ResolutionAnswer.h"

#include <QTest>

using ResolutionAnswer::VideoLinkOf;

namespace {
QByteArray Marker()
{
    return ResolutionAnswer::Marker().toByteArray();
}

// A choice in one line, as the tables below write them: address|height|width|container|size|sound.
QString Described(const ResolutionAnswer::Choice &choice)
{
    return QStringList{choice.Link,
                       QString::number(choice.Height),
                       QString::number(choice.Width),
                       choice.Container,
                       QString::number(choice.Size),
                       choice.SoundOnly ? QStringLiteral("sound") : QString()}
        .join(u'|');
}

QByteArray ServiceAnswer(const VideoOffer &offer)
{
    return AnswerPages::ComposeFoundPage(offer);
}
}  // namespace

class TestResolutionAnswer : public QObject {
    Q_OBJECT

private slots:
    void markerBytes();
    void link_data();
    void link();
    void references_data();
    void references();
    void reason_data();
    void reason();
    void offer_data();
    void offer();
};

void TestResolutionAnswer::markerBytes()
{
    QCOMPARE(ResolutionAnswer::Marker().size(), 26);
    QCOMPARE(Marker(), QStringLiteral("Нажмите, чтобы").toUtf8());
}

void TestResolutionAnswer::link_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("link");

    const QByteArray m = Marker();
    QTest::newRow("plain") << "<html>" + m + " <a href=\"http://v.example/a.flv\">x</a>" << true
                           << "http://v.example/a.flv";
    QTest::newRow("link before marker") << "<a href=\"http://v.example/b.flv\">" + m << true
                                        << "http://v.example/b.flv";
    QTest::newRow("first of two") << m + "href=\"http://one/1.flv\" href=\"http://two/2.flv\"" << true
                                  << "http://one/1.flv";
    QTest::newRow("whatever follows the quote") << m + "href=\"http://h/x\"\"\"broken" << true << "http://h/x";
    QTest::newRow("no marker") << QByteArray("href=\"http://v.example/a.flv\"") << false << QString();
    QTest::newRow("marker cut short") << m.left(25) + " href=\"http://v/a\"" << false << QString();
    QTest::newRow("marker in another encoding")
        << QByteArray("\xcd\xe0\xe6\xec\xe8\xf2\xe5, \xf7\xf2\xee\xe1\xfb href=\"http://v/a\"") << false << QString();
    // Mended: a marker without the link pattern, or a link that never ends, is no video.
    QTest::newRow("marker without link") << m + " nothing here" << false << QString();
    QTest::newRow("single quotes are no pattern") << m + " href='http://v/a'" << false << QString();
    QTest::newRow("upper case is no pattern") << m + " HREF=\"http://v/a\"" << false << QString();
    QTest::newRow("https is http plus s") << m + " href=\"https://v/a\"" << true << "https://v/a";
    QTest::newRow("link without closing quote") << m + " href=\"http://v.example/a.flv" << false << QString();
    QTest::newRow("empty") << QByteArray() << false << QString();
    // Mended: the service escapes "&" in its HTML; the address holds the real character.
    QTest::newRow("escaped ampersand") << m + "href=\"http://v/get?a=1&amp;b=2&#38;c=3&#x26;d=4\"" << true
                                       << "http://v/get?a=1&b=2&c=3&d=4";
    QTest::newRow("bytes kept one for one")
        << m + "href=\"http://v/\xc0\xff\"" << true << QStringLiteral("http://v/\u0410\u044f");
    QTest::newRow("nul byte inside the answer")
        << QByteArray("\0", 1) + m + "href=\"http://v/z\"" << true << "http://v/z";
}

void TestResolutionAnswer::link()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, found);
    QFETCH(QString, link);
    const std::optional<QString> result = VideoLinkOf(answer);
    QCOMPARE(result.has_value(), found);
    if (found)
        QCOMPARE(*result, link);
}

void TestResolutionAnswer::references_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << "http://a/b?c=d"
                          << "http://a/b?c=d";
    QTest::newRow("named") << "&lt;&gt;&quot;&apos;&amp;"
                           << "<>\"'&";
    QTest::newRow("decimal") << "&#65;&#1071;" << QStringLiteral("A\u042f");
    QTest::newRow("hex both cases") << "&#x41;&#X42;&#x1F600;" << QStringLiteral("AB\U0001F600");
    QTest::newRow("decoded once only") << "&amp;amp;"
                                       << "&amp;";
    QTest::newRow("unknown name kept") << "&nbsp;&foo;"
                                       << "&nbsp;&foo;";
    QTest::newRow("lone ampersand") << "a&b&"
                                    << "a&b&";
    QTest::newRow("no semicolon") << "&amp b"
                                  << "&amp b";
    QTest::newRow("zero kept") << "&#0;"
                               << "&#0;";
    QTest::newRow("surrogate kept") << "&#xD800;"
                                    << "&#xD800;";
    QTest::newRow("too large kept") << "&#x110000;&#99999999999;"
                                    << "&#x110000;&#99999999999;";
    QTest::newRow("not a number") << "&#12a;&#x;&#;"
                                  << "&#12a;&#x;&#;";
    QTest::newRow("semicolon far away") << "&amp and then;"
                                        << "&amp and then;";
}

void TestResolutionAnswer::references()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(ResolutionAnswer::DecodeCharacterReferences(text), expected);
}

void TestResolutionAnswer::reason_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("reason");
    QTest::newRow("the service's page")
        << QStringLiteral("<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n<title>Видео не "
                          "найдено</title>\n</head>\n<body>\n<p>Видео не найдено.</p>\n<p>Сервер x.test не "
                          "найден.</p>\n</body>\n</html>\n")
               .toUtf8()
        << "Сервер x.test не найден.";
    QTest::newRow("the service's heading alone")
        << QStringLiteral("<p>Видео не найдено.</p>").toUtf8() << "Видео не найдено.";
    QTest::newRow("plain text") << QByteArray("  no video here \r\n") << "no video here";
    QTest::newRow("Windows-1251") << QByteArray("\xcd\xe5\xf2 \xe2\xe8\xe4\xe5\xee") << "Нет видео";
    QTest::newRow("scripts, styles and comments")
        << QByteArray("<script>var a = '<p>';</script><STYLE>p{}</STYLE><!-- <p>x</p> --><b>Why</b> <i>&lt;not&gt;</i>")
        << "Why <not>";
    QTest::newRow("nothing to read") << QByteArray("<html><head><title>t</title></head><body> </body></html>") << "";
    QTest::newRow("marker") << Marker() + " no link"
                            << "";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("long") << QByteArray(1000, 'a') << QString(299, u'a') + u'…';
}

void TestResolutionAnswer::reason()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, reason);
    QCOMPARE(ResolutionAnswer::ReasonOf(answer), reason);
}

void TestResolutionAnswer::offer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("choices");

    const QByteArray m = Marker();
    // What the service writes, read back: escaping, Cyrillic, each attribute where it is known.
    VideoOffer offer{QStringLiteral("Закат \"2026\" & <море> 'ночью' 🌅"),
                     {{QUrl(QStringLiteral("http://v.test/720.mp4?a=1&b=2")), 720, 1280, QStringLiteral("mp4"),
                       88080384},
                      {QUrl(QStringLiteral("http://v.test/1080.webm")), 1080, 0, QStringLiteral("webm")},
                      {QUrl(QStringLiteral("http://v.test/a.m4a")), 0, 0, QStringLiteral("m4a"), -1, true}}};
    QTest::newRow("the service's answer")
        << ServiceAnswer(offer) << offer.title
        << QStringList{"http://v.test/720.mp4?a=1&b=2|720|1280|mp4|88080384|",
                       "http://v.test/1080.webm|1080|0|webm|-1|", "http://v.test/a.m4a|0|0|m4a|-1|sound"};
    QTest::newRow("nothing known") << ServiceAnswer({QString(), {{QUrl(QStringLiteral("http://v.test/x"))}}})
                                   << QString() << QStringList{"http://v.test/x|0|0||-1|"};
    QTest::newRow("the title of the first link only")
        << m + "<a href=\"http://a/1\">1</a><a href=\"http://a/2\" data-title=\"two\">2</a>" << QString()
        << QStringList{"http://a/1|0|0||-1|", "http://a/2|0|0||-1|"};
    QTest::newRow("unknown attributes passed over")
        << m + "<a href=\"http://a/1\" data-fps=\"60\" data-height=\"480\">1</a>" << QString()
        << QStringList{"http://a/1|480|0||-1|"};
    QTest::newRow("values that say nothing") << m
            + "<a href=\"http://a/1\" data-height=\"tall\" data-width=\"-4\" data-size=\"-1\" "
              "data-container=\"m p4\" data-sound-only=\"yes\">1</a>"
                                             << QString() << QStringList{"http://a/1|0|0||-1|"};
    QTest::newRow("an address once") << m + "<a href=\"http://a/1\">1</a><a href=\"http://a/1\" data-height=\"9\">"
                                     << QString() << QStringList{"http://a/1|0|0||-1|"};
    QTest::newRow("other links are no choices")
        << m + "<a href=\"http://a/1\">1</a> <a class=\"c\" href=\"http://help\">?</a> href=\"http://b/\"" << QString()
        << QStringList{"http://a/1|0|0||-1|"};
    QByteArray many = m;
    QStringList twenty;
    for (int i = 0; i < 25; ++i) {
        many += "<li><a href=\"http://a/" + QByteArray::number(i) + "\">x</a></li>\n";
        if (i < 20)
            twenty.append(QStringLiteral("http://a/%1|0|0||-1|").arg(i));
    }
    QTest::newRow("twenty at most") << many << QString() << twenty;
    QTest::newRow("a later link that never ends")
        << m + "<a href=\"http://a/1\">1</a><a href=\"http://a/2" << QString() << QStringList{"http://a/1|0|0||-1|"};
}

// The first choice is always the link the program has always taken; the others follow it.
void TestResolutionAnswer::offer()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, title);
    QFETCH(QStringList, choices);
    const std::optional<ResolutionAnswer::Offer> offer = ResolutionAnswer::OfferOf(answer);
    QVERIFY(offer.has_value());
    QCOMPARE(offer->Title, title);
    QStringList described;
    for (const ResolutionAnswer::Choice &choice : offer->Choices)
        described.append(Described(choice));
    QCOMPARE(described, choices);
    QCOMPARE(offer->Choices.first().Link, *VideoLinkOf(answer));
}

QTEST_GUILESS_MAIN(TestResolutionAnswer)
#include "tst_resolutionanswer.moc"
