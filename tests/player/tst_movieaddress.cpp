#include "MovieAddress.h"

#include <QTest>

class TestMovieAddress : public QObject {
    Q_OBJECT

private slots:
    void buildsAddress_data();
    void buildsAddress();
    void readsAddress_data();
    void readsAddress();
    void everyPathSurvivesTheRoundTrip_data();
    void everyPathSurvivesTheRoundTrip();
};

void TestMovieAddress::buildsAddress_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("address");

    QTest::newRow("bare, linux folder") << QStringLiteral("/opt/quillon") << QString()
                                        << QStringLiteral("file://localhost/opt/quillon/flv_video.swf");
    QTest::newRow("video, linux folder")
        << QStringLiteral("/opt/quillon") << QStringLiteral("/home/ann/clip.flv")
        << QStringLiteral("file://localhost/opt/quillon/flv_video.swf?file=/home/ann/clip.flv&autoStart=true");
    QTest::newRow("folder with blanks and cyrillic")
        << QStringLiteral("/home/ann/Мои программы/Quillon 2") << QString()
        << QStringLiteral("file://localhost/home/ann/Мои программы/Quillon 2/flv_video.swf");
    QTest::newRow("path with blanks, cyrillic, & and #")
        << QStringLiteral("/opt/q") << QStringLiteral("/home/ann/Видео/a b&c #1.flv")
        << QStringLiteral("file://localhost/opt/q/flv_video.swf?file=/home/ann/Видео/a b&c #1.flv&autoStart=true");
    QTest::newRow("percent and question mark stay as they are")
        << QStringLiteral("/opt/q") << QStringLiteral("/tmp/50%?.flv")
        << QStringLiteral("file://localhost/opt/q/flv_video.swf?file=/tmp/50%?.flv&autoStart=true");
    QTest::newRow("root folder") << QStringLiteral("/") << QString()
                                 << QStringLiteral("file://localhost//flv_video.swf");
    QTest::newRow("drive-letter folder, bare") << QStringLiteral("C:\\Tools\\Player") << QString()
                                               << QStringLiteral("file://localhost/C:/Tools/Player/flv_video.swf");
    QTest::newRow("drive-letter folder, video keeps its backslashes")
        << QStringLiteral("C:\\Tools\\Player") << QStringLiteral("D:\\Clips\\a b.flv")
        << QStringLiteral("file://localhost/C:/Tools/Player/flv_video.swf?file=D:\\Clips\\a b.flv&autoStart=true");
    QTest::newRow("linux folder keeps a backslash in a name")
        << QStringLiteral("/opt/odd\\name") << QString()
        << QStringLiteral("file://localhost/opt/odd\\name/flv_video.swf");
}

void TestMovieAddress::buildsAddress()
{
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QFETCH(QString, address);
    QCOMPARE(PlayerMovieAddress(folder, file), address);
    QVERIFY(!PlayerMovieAddress(folder, file).contains(QStringLiteral("localhost//opt")));
}

void TestMovieAddress::readsAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("autoStart");

    QTest::newRow("bare") << QStringLiteral("file://localhost/opt/q/flv_video.swf") << QString() << false;
    QTest::newRow("empty") << QString() << QString() << false;
    QTest::newRow("started") << QStringLiteral("file://localhost/opt/q/flv_video.swf?file=/v/a.flv&autoStart=true")
                             << QStringLiteral("/v/a.flv") << true;
    QTest::newRow("autoStart false") << QStringLiteral(
        "file://localhost/opt/q/flv_video.swf?file=/v/a.flv&autoStart=false")
                                     << QStringLiteral("/v/a.flv") << false;
    QTest::newRow("autoStart in capitals")
        << QStringLiteral("file://localhost/opt/q/flv_video.swf?file=/v/a.flv&autoStart=TRUE")
        << QStringLiteral("/v/a.flv") << true;
    QTest::newRow("no autoStart") << QStringLiteral("file://localhost/opt/q/flv_video.swf?file=/v/a.flv")
                                  << QStringLiteral("/v/a.flv") << false;
    QTest::newRow("ampersand and hash in path")
        << QStringLiteral("file://localhost/opt/q/flv_video.swf?file=/v/Tom & Jerry #2.flv&autoStart=true")
        << QStringLiteral("/v/Tom & Jerry #2.flv") << true;
    QTest::newRow("path that holds &autoStart= itself")
        << QStringLiteral("file://localhost/opt/q/flv_video.swf?file=/v/x&autoStart=false.flv&autoStart=true")
        << QStringLiteral("/v/x&autoStart=false.flv") << true;
    QTest::newRow("path that holds ?file= itself")
        << QStringLiteral("file://localhost/opt/q/flv_video.swf?file=/v/?file=b.flv&autoStart=true")
        << QStringLiteral("/v/?file=b.flv") << true;
    QTest::newRow("cyrillic and blanks") << QStringLiteral(
        "file://localhost/opt/q/flv_video.swf?file=/home/аня/Моё видео.flv&autoStart=true")
                                         << QStringLiteral("/home/аня/Моё видео.flv") << true;
    QTest::newRow("windows form") << QStringLiteral(
        "file://localhost/C:/Tools/Player/flv_video.swf?file=D:\\Clips\\a b.flv&autoStart=true")
                                  << QStringLiteral("D:\\Clips\\a b.flv") << true;
}

void TestMovieAddress::readsAddress()
{
    QFETCH(QString, address);
    QFETCH(QString, file);
    QFETCH(bool, autoStart);
    const MovieRequest request = ParseMovieAddress(address);
    QCOMPARE(request.file, file);
    QCOMPARE(request.autoStart, autoStart);
}

void TestMovieAddress::everyPathSurvivesTheRoundTrip_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::newRow("plain") << QStringLiteral("/opt/q") << QStringLiteral("/tmp/a.flv");
    QTest::newRow("everything awkward") << QStringLiteral("/home/Юля/Quillon & co #1")
                                        << QStringLiteral("/tmp/R&B #1 ?file= 100% Ёлка&autoStart=no.flv");
    QTest::newRow("ends with ampersand") << QStringLiteral("/opt/q") << QStringLiteral("/tmp/a&");
}

void TestMovieAddress::everyPathSurvivesTheRoundTrip()
{
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QCOMPARE(ParseMovieAddress(PlayerMovieAddress(folder, file)), (MovieRequest{file, true}));
    QCOMPARE(ParseMovieAddress(PlayerMovieAddress(folder)), MovieRequest{});
}

QTEST_APPLESS_MAIN(TestMovieAddress)
#include "tst_movieaddress.moc"
