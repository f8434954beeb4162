#include "FailureReasons.h"

#include <QTest>

using FailureReasons::Kind;

// yt-dlp's failures as its releases word them (Debian 12's 2023.03.04 and later ones), and what kind each is.
class TestFailureReasons : public QObject {
    Q_OBJECT

private slots:
    void classifiesYtDlpErrors_data();
    void classifiesYtDlpErrors();
};

void TestFailureReasons::classifiesYtDlpErrors_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("exceptions");
    QTest::addColumn<Kind>("kind");

    const QStringList extractor{"DownloadError", "ExtractorError"};
    QTest::newRow("unsupported, whatever its address says")
        << "Unsupported URL: http://127.0.0.1:8080/members/login.html"
        << QStringList{"DownloadError", "UnsupportedError"} << Kind::Unsupported;
    QTest::newRow("no formats") << "[Generic] 1: No video formats found!" << extractor << Kind::Unsupported;
    QTest::newRow("404") << "[generic] None: Unable to download webpage: HTTP Error 404: Not Found (caused by "
                            "<HTTPError 404: 'Not Found'>)"
                         << QStringList{"DownloadError", "HTTPError"} << Kind::NotFound;
    QTest::newRow("refused, urllib")
        << "[generic] None: Unable to download webpage: <urlopen error [Errno 111] Connection refused> (caused by "
           "URLError(ConnectionRefusedError(111, 'Connection refused')))"
        << QStringList{"DownloadError", "URLError", "ConnectionRefusedError"} << Kind::Refused;
    QTest::newRow("refused, requests")
        << "[generic] None: Unable to download webpage: HTTPConnectionPool(host='127.0.0.1', port=9): Max retries "
           "exceeded with url: / (Caused by NewConnectionError('<urllib3.connection.HTTPConnection object at 0x7f>: "
           "Failed to establish a new connection: [Errno 111] Connection refused'))"
        << QStringList{"DownloadError", "TransportError", "ConnectionError"} << Kind::Refused;
    QTest::newRow("time out, urllib") << "[generic] None: Unable to download webpage: timed out (caused by "
                                         "TimeoutError('timed out'))"
                                      << QStringList{"DownloadError", "TimeoutError"} << Kind::TimedOut;
    QTest::newRow("time out, requests")
        << "[generic] None: Unable to download webpage: HTTPConnectionPool(host='h', port=80): Read timed out. "
           "(read timeout=15.0)"
        << QStringList{"DownloadError", "TransportError", "ReadTimeout"} << Kind::TimedOut;
    QTest::newRow("private, though it says sign in")
        << "[youtube] abc: Private video. Sign in if you've been granted access to this video" << extractor
        << Kind::Removed;
    QTest::newRow("removed") << "[youtube] abc: Video unavailable. This video has been removed by the uploader"
                             << extractor << Kind::Removed;
    QTest::newRow("age") << "[youtube] abc: Sign in to confirm your age. This video may be inappropriate for some "
                            "users."
                         << extractor << Kind::SignIn;
    QTest::newRow("not a bot") << "[youtube] abc: Sign in to confirm you’re not a bot. Use --cookies-from-browser or "
                                  "--cookies for the authentication."
                               << extractor << Kind::SignIn;
    QTest::newRow("registered users") << "[vimeo] 1: This video is only available for registered users. Use "
                                         "--cookies, --cookies-from-browser, --username and --password"
                                      << extractor << Kind::SignIn;
    QTest::newRow("country, by its class")
        << "[youtube] abc: The uploader has not made this video available in your country.\nThis video is "
           "available in Germany.\nYou might want to use a VPN or a proxy server (with --proxy) to workaround."
        << QStringList{"DownloadError", "GeoRestrictedError"} << Kind::GeoBlocked;
    QTest::newRow("country, though it says unavailable")
        << "[site] 1: Video unavailable. This video is not available in your country." << extractor << Kind::GeoBlocked;
    QTest::newRow("a live event to come")
        << "[youtube] abc: This live event will begin in 3 hours." << extractor << Kind::Live;
    QTest::newRow("a channel not live") << "[twitch:stream] x: The channel is not currently live"
                                        << QStringList{"DownloadError", "UserNotLive"} << Kind::Live;
    QTest::newRow("anything else") << "[generic] None: Unable to extract title" << extractor << Kind::Other;
    QTest::newRow("a child that crashed") << "ended without an answer (status 139)" << QStringList{} << Kind::Other;
}

void TestFailureReasons::classifiesYtDlpErrors()
{
    QFETCH(QString, text);
    QFETCH(QStringList, exceptions);
    QFETCH(Kind, kind);
    QCOMPARE(FailureReasons::ClassifyYtDlpError(text, exceptions), kind);
}

QTEST_GUILESS_MAIN(TestFailureReasons)
#include "tst_failurereasons.moc"
