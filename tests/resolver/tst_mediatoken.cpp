#include "MediaToken.h"
#include "RemuxCommand.h"

#include <QTest>

Q_DECLARE_METATYPE(StreamPlan)

// The /media/ link's token, and the ffmpeg command it becomes.
class TestMediaToken : public QObject {
    Q_OBJECT

private slots:
    void readsWhatWasComposed_data();
    void readsWhatWasComposed();
    void composesRemuxArguments_data();
    void composesRemuxArguments();
    void tellsFfmpegFailures();
};

namespace {

const QDateTime kNow = QDateTime::fromSecsSinceEpoch(1800000000, Qt::UTC);

StreamPlan TwoInputs()
{
    return {{{QUrl("https://cdn.example/v.mpd"), {{"Referer", "https://site.example/"}}, 0},
             {QUrl("https://cdn.example/v.mpd?x=%20y"), {}, 3}},
            false};
}

}  // namespace

void TestMediaToken::readsWhatWasComposed_data()
{
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<int>("problem");

    const QByteArray key("one key");
    const QByteArray token = MediaToken::ComposeToken(TwoInputs(), key, kNow);
    const qsizetype dot = token.indexOf('.');
    QByteArray changedPayload = token;
    changedPayload[dot / 2] = changedPayload[dot / 2] == 'A' ? 'B' : 'A';
    QByteArray changedSignature = token;
    changedSignature[dot + 3] = changedSignature[dot + 3] == 'A' ? 'B' : 'A';
    const int none = int(MediaToken::Problem::None), malformed = int(MediaToken::Problem::Malformed);
    QTest::newRow("as composed") << token << key << kNow << none;
    QTest::newRow("just before it expires") << token << key << kNow.addSecs(MediaToken::kLifetimeSeconds) << none;
    QTest::newRow("expired") << token << key << kNow.addSecs(MediaToken::kLifetimeSeconds + 1)
                             << int(MediaToken::Problem::Expired);
    QTest::newRow("another instance's key") << token << QByteArray("other key") << kNow << malformed;
    QTest::newRow("payload changed") << changedPayload << key << kNow << malformed;
    QTest::newRow("signature changed") << changedSignature << key << kNow << malformed;
    QTest::newRow("signature cut") << token.chopped(1) << key << kNow << malformed;
    QTest::newRow("no signature") << token.left(dot) << key << kNow << malformed;
    QTest::newRow("garbage") << QByteArray("%00..") << key << kNow << malformed;
    QTest::newRow("empty") << QByteArray() << key << kNow << malformed;
}

void TestMediaToken::readsWhatWasComposed()
{
    QFETCH(QByteArray, token);
    QFETCH(QByteArray, key);
    QFETCH(QDateTime, now);
    QFETCH(int, problem);
    const MediaToken::Reading reading = MediaToken::ReadToken(token, key, now);
    QCOMPARE(int(reading.problem), problem);
    if (reading.problem != MediaToken::Problem::Malformed)
        QCOMPARE(reading.plan, TwoInputs());
}

void TestMediaToken::composesRemuxArguments_data()
{
    QTest::addColumn<StreamPlan>("plan");
    QTest::addColumn<int>("container");
    QTest::addColumn<bool>("throughProxy");
    QTest::addColumn<QString>("arguments");

    const QString head = "-hide_banner -nostdin -nostats -loglevel warning";
    const QString input = "-protocol_whitelist http,https,tls,tcp,crypto -rw_timeout 14000000";
    QTest::newRow("one playlist, ffmpeg's own choice, flv")
        << StreamPlan{{{QUrl("http://h/v.m3u8"), {}, -1}}, true} << int(RemuxCommand::Container::Flv) << false
        << head + " " + input
            + " -i http://h/v.m3u8 -c copy -flush_packets 0 -f flv -flvflags no_duration_filesize pipe:1";
    QTest::newRow("picture and sound from two playlists")
        << StreamPlan{{{QUrl("http://h/v.m3u8"), {}, -1}, {QUrl("http://h/a.m3u8"), {}, -1}}, true}
        << int(RemuxCommand::Container::Flv) << false
        << head + " " + input + " -i http://h/v.m3u8 " + input
            + " -i http://h/a.m3u8 -map 0:v:0 -map 1:a:0 -c copy -flush_packets 0 -f flv -flvflags "
              "no_duration_filesize pipe:1";
    QTest::newRow("dash streams by number, headers, matroska")
        << TwoInputs() << int(RemuxCommand::Container::Matroska) << false
        << head + " " + input + " -headers Referer: https://site.example/\r\n -i https://cdn.example/v.mpd " + input
            + " -i https://cdn.example/v.mpd?x=%20y -map 0:0 -map 1:3 -c copy -flush_packets 0 -f matroska pipe:1";
    // Through the fetch proxy, HTTPS needs ffmpeg's tunnel protocol.
    const QString tunnel = "-protocol_whitelist http,https,tls,tcp,crypto,httpproxy -rw_timeout 14000000";
    QTest::newRow("through the proxy") << StreamPlan{{{QUrl("https://h/v.m3u8"), {}, -1}}, true}
                                       << int(RemuxCommand::Container::Flv) << true
                                       << head + " " + tunnel
            + " -i https://h/v.m3u8 -c copy -flush_packets 0 -f flv -flvflags no_duration_filesize pipe:1";
}

void TestMediaToken::composesRemuxArguments()
{
    QFETCH(StreamPlan, plan);
    QFETCH(int, container);
    QFETCH(QString, arguments);
    QFETCH(bool, throughProxy);
    QCOMPARE(RemuxCommand::ComposeArguments(plan, RemuxCommand::Container(container), 7, throughProxy)
                 .join(QLatin1Char(' ')),
             arguments);
}

void TestMediaToken::tellsFfmpegFailures()
{
    QVERIFY(RemuxCommand::IsContainerRefusal("[flv @ 0x5] Video codec vp9 not compatible with flv\nCould not write "
                                             "header for output file #0 (incorrect codec parameters ?)\n"));
    QVERIFY(!RemuxCommand::IsContainerRefusal("http://h/v.m3u8: Server returned 404 Not Found\n"));
    QVERIFY(RemuxCommand::IsSourceBroken("[http @ 0x1] HTTP error 404 File not found\n[hls @ 0x2] Failed to open "
                                         "segment 1 of playlist 0\n"));
    QVERIFY(RemuxCommand::IsSourceBroken("[dash @ 0x2] Failed to open fragment of playlist\n"));
    QVERIFY(!RemuxCommand::IsSourceBroken("[mpegts @ 0x3] Packet corrupt (stream = 0, dts = 304490).\n"));
}

QTEST_GUILESS_MAIN(TestMediaToken)
#include "tst_mediatoken.moc"
