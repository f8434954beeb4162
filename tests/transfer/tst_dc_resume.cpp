#include "DC.h"
#include "DCRecorder.h"
#include "DCTestSupport.h"
#include "Nginx.h"
#include "RealPeers.h"
#include "ScriptedServer.h"
#include "TestCertificates.h"
#include "TestFiles.h"
#include "TransferTexts.h"
#include "VideoDownload.h"
#include "VideoRig.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using Kind = ScriptedServer::Step::Kind;
Q_DECLARE_METATYPE(ScriptedServer::Step::Kind)

namespace {

constexpr qsizetype kVideoSize = 3 * 1024 * 1024 + 77;

QByteArray Head200(qsizetype total, const QByteArray &etag = "\"v1\"")
{
    return "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(total) + "\r\nETag: " + etag + "\r\n\r\n";
}

QByteArray Head206(qsizetype from, qsizetype total, const QByteArray &etag = "\"v1\"")
{
    return "HTTP/1.0 206 Partial Content\r\nContent-Range: bytes " + QByteArray::number(from) + '-'
        + QByteArray::number(total - 1) + '/' + QByteArray::number(total)
        + "\r\nContent-Length: " + QByteArray::number(total - from) + "\r\nETag: " + etag + "\r\n\r\n";
}

// The end of a connection that drops: a close or a reset once the bytes have been read, or silence.
ScriptedServer::Script Dropping(const QByteArray &sent, Kind end)
{
    if (end == Kind::Hold)
        return {ScriptedServer::Send(sent), ScriptedServer::Hold()};
    return {ScriptedServer::Send(sent), ScriptedServer::Pause(200), {end, {}, 0}};
}

}  // namespace

// A video download into its file that the connection drops: taken up again from the bytes on disk, or started
// over when the server's answer cannot continue them.
class TestDCResume : public QObject, private DCTest::VideoRig {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void dropsAreResumed_data();
    void dropsAreResumed();
    void answersThatCannotContinue_data();
    void answersThatCannotContinue();
    void answersOfTheWrongLength_data();
    void answersOfTheWrongLength();
    void givesUpAfterFiveTries();
    void lengthBeyond64Bits_data();
    void lengthBeyond64Bits();
    void stoppedWhileTheBodyPours();
    void reservesTheLengthWhileWaiting();
    void throughTinyproxy();
    void overHttps();

private:
    QTemporaryDir folder;
    QByteArray video;
    std::unique_ptr<ScriptedServer> server;
};

void TestDCResume::initTestCase()
{
    QVERIFY(folder.isValid());
    video = DCTest::WriteTestVideo(folder.filePath(u"served.flv"_s), kVideoSize, 20261207);
    QVERIFY(!video.isEmpty());
}

void TestDCResume::init()
{
    server = std::make_unique<ScriptedServer>();
    QVERIFY(server->Listen());
    QString error;
    QVERIFY2(Open(folder.filePath(u"video.flv.part"_s), &error), qPrintable(error));
}

void TestDCResume::cleanup()
{
    Close();
    server.reset();
}

void TestDCResume::dropsAreResumed_data()
{
    QTest::addColumn<double>("share");
    QTest::addColumn<Kind>("end");
    QTest::newRow("close at 30%") << 0.3 << Kind::Close;
    QTest::newRow("reset at 60%") << 0.6 << Kind::Reset;
    QTest::newRow("silence at 90%") << 0.9 << Kind::Hold;
}

void TestDCResume::dropsAreResumed()
{
    QFETCH(double, share);
    QFETCH(Kind, end);
    const qsizetype cut = qsizetype(video.size() * share);
    server->AddScript(Dropping(Head200(video.size()) + video.first(cut), end));
    server->AddScript({ScriptedServer::Send(Head206(cut, video.size()) + video.sliced(cut)), ScriptedServer::Close()});

    QVERIFY(Download(DCTest::Url(*server, u"/video.flv"_s)));

    QCOMPARE(recorder->events.last(), u"OK:"_s);
    QCOMPARE(ReadAll(file->Path()), video);
    QVERIFY(recorder->events.contains(u"Msg:"_s + TransferTexts::ResumingFrom(cut, 1, 5)));
    QCOMPARE(server->Connections(), 2);
    const QByteArray resumed = server->Requests().value(1);
    QVERIFY2(resumed.startsWith("GET /video.flv HTTP/1.0\r\n"), resumed.constData());
    QVERIFY2(resumed.contains("\r\nRange: bytes=" + QByteArray::number(cut) + "-\r\nIf-Range: \"v1\"\r\n"),
             resumed.constData());
}

void TestDCResume::answersThatCannotContinue_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("connections");
    const qsizetype cut = kVideoSize / 2;
    // The whole body again, as a server that ignores Range or sees a changed file sends it.
    QTest::newRow("200 to the Range request") << QByteArray() << 2;
    QTest::newRow("another validator") << Head206(cut, kVideoSize, "\"v2\"") << 3;
    QTest::newRow("another start") << Head206(cut - 10, kVideoSize) << 3;
    QTest::newRow("another total") << Head206(cut, kVideoSize + 1) << 3;
}

void TestDCResume::answersThatCannotContinue()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, connections);
    const qsizetype cut = video.size() / 2;
    server->AddScript(Dropping(Head200(video.size()) + video.first(cut), Kind::Close));
    if (!answer.isEmpty())
        server->AddScript({ScriptedServer::Send(answer + video.sliced(cut)), ScriptedServer::Close()});
    server->AddScript({ScriptedServer::Send(Head200(video.size(), "\"v2\"") + video), ScriptedServer::Close()});

    QVERIFY(Download(DCTest::Url(*server, u"/video.flv"_s)));

    QCOMPARE(recorder->events.last(), u"OK:"_s);
    QCOMPARE(ReadAll(file->Path()), video);
    QCOMPARE(server->Connections(), connections);
    // Starting over asks for the whole body.
    if (connections == 3)
        QVERIFY(!server->Requests().value(2).contains("Range:"));
}

void TestDCResume::answersOfTheWrongLength_data()
{
    QTest::addColumn<QByteArray>("first");  // the first answer, whose connection then closes
    QTest::addColumn<QByteArray>("second");  // the answer to the request for the rest, if one is asked for
    QTest::addColumn<qint64>("resumedFrom");  // where the request after it begins; -1 when there is none
    QTest::addColumn<QString>("error");  // empty: the file is saved whole
    const qsizetype cut = kVideoSize / 2;
    const qsizetype rest = kVideoSize - cut;
    const QByteArray dropped = Head200(kVideoSize) + video.first(cut);
    const QByteArray partial = "HTTP/1.0 206 Partial Content\r\nContent-Range: bytes " + QByteArray::number(cut) + '-'
        + QByteArray::number(kVideoSize - 1) + '/' + QByteArray::number(kVideoSize) + "\r\nETag: \"v1\"\r\n";
    const auto length = [](qsizetype bytes) { return "Content-Length: " + QByteArray::number(bytes) + "\r\n\r\n"; };
    const QByteArray tooMuch = video.sliced(cut) + QByteArray(1000, 'x');
    const QString tooLong = u"Ответ сервера длиннее заявленного: ожидалось %1 байт"_s.arg(rest);

    // Bytes beyond the declared length are no part of the body.
    QTest::newRow("200 longer than its length")
        << Head200(kVideoSize) + video + QByteArray(1000, 'x') << QByteArray() << qint64(-1) << QString();
    // A short answer is a drop like any other: the rest is asked for again.
    QTest::newRow("206 with a short length")
        << dropped << partial + length(rest / 2) + video.sliced(cut, rest / 2) << qint64(cut + rest / 2) << QString();
    QTest::newRow("206 without a length, closed after 1000 bytes")
        << dropped << partial + "\r\n" + video.sliced(cut, 1000) << qint64(cut + 1000) << QString();
    QTest::newRow("206 with a long length")
        << dropped << partial + length(tooMuch.size()) + tooMuch << qint64(-1) << tooLong;
    QTest::newRow("206 without a length, too long") << dropped << partial + "\r\n" + tooMuch << qint64(-1) << tooLong;
}

// Only the whole file is a success: the bytes in it are the declared length exactly.
void TestDCResume::answersOfTheWrongLength()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(qint64, resumedFrom);
    QFETCH(QString, error);
    server->AddScript(Dropping(first, Kind::Close));
    if (!second.isEmpty())
        server->AddScript(Dropping(second, Kind::Close));
    if (resumedFrom >= 0)
        server->AddScript({ScriptedServer::Send(Head206(resumedFrom, video.size()) + video.sliced(resumedFrom)),
                           ScriptedServer::Close()});

    QVERIFY(Download(DCTest::Url(*server, u"/video.flv"_s)));

    QCOMPARE(server->Connections(), 1 + !second.isEmpty() + (resumedFrom >= 0));
    QCOMPARE(recorder->events.last(), error.isEmpty() ? u"OK:"_s : u"Error:"_s + error);
    if (!error.isEmpty())
        return;
    QCOMPARE(ReadAll(file->Path()), video);
    if (resumedFrom >= 0)
        QVERIFY2(server->Requests().value(2).contains("\r\nRange: bytes=" + QByteArray::number(resumedFrom) + "-\r\n"),
                 server->Requests().value(2).constData());
}

void TestDCResume::givesUpAfterFiveTries()
{
    const qsizetype cut = video.size() / 10;
    server->AddScript(Dropping(Head200(video.size()) + video.first(cut), Kind::Close));
    for (int i = 0; i < 5; ++i)
        server->AddScript(Dropping(Head206(cut, video.size()), Kind::Close));

    QVERIFY(Download(DCTest::Url(*server, u"/video.flv"_s)));

    QCOMPARE(server->Connections(), 6);
    QVERIFY(recorder->events.contains(u"Msg:"_s + TransferTexts::ResumingFrom(cut, 5, 5)));
    QVERIFY2(recorder->events.last().startsWith(u"Error:Соединение прервано"_s), qPrintable(recorder->events.last()));
}

void TestDCResume::lengthBeyond64Bits_data()
{
    QTest::addColumn<QByteArray>("length");
    QTest::newRow("2^63") << QByteArray("9223372036854775808");
    QTest::newRow("2^64") << QByteArray("18446744073709551616");
}

// No disk is asked for room for a length that no file can have: it is a wrong length like any other.
void TestDCResume::lengthBeyond64Bits()
{
    QFETCH(QByteArray, length);
    server->AddScript({ScriptedServer::Send("HTTP/1.0 200 OK\r\nContent-Length: " + length + "\r\n\r\nFLV"),
                       ScriptedServer::Close()});

    QVERIFY(Download(DCTest::Url(*server, u"/video.flv"_s)));

    QCOMPARE(recorder->events.last(),
             u"Error:Ответ сервера не распознан: неверная длина (Content-Length: "_s + QString::fromLatin1(length)
                 + u')');
}

// The body goes from the connection to the file past the program; a stop ends that at once, and nothing of the
// stopped connection reaches the next download into the same file.
void TestDCResume::stoppedWhileTheBodyPours()
{
    const qsizetype cut = video.size() / 2;
    server->AddScript({ScriptedServer::Send(Head200(video.size()) + video.first(cut)), ScriptedServer::Hold()});
    dc->setURLmode(true);
    dc->setURL(DCTest::Url(*server, u"/video.flv"_s));
    // Counted while they pour, before the pour has ended.
    QTRY_COMPARE_WITH_TIMEOUT(file->Size(), qint64(cut), DCTest::kWait);

    dc->Stopped();
    QTest::qWait(100);

    QCOMPARE(recorder->events.last(), u"Size:0"_s);
    QVERIFY(!recorder->Ended());
    server->AddScript({ScriptedServer::Send(Head200(video.size()) + video), ScriptedServer::Close()});
    QVERIFY(Download(DCTest::Url(*server, u"/video.flv"_s)));
    QCOMPARE(recorder->events.last(), u"OK:"_s);
    QCOMPARE(ReadAll(file->Path()), video);
}

// The declared length is reserved even while no byte arrives.
void TestDCResume::reservesTheLengthWhileWaiting()
{
    constexpr qint64 kLength = qint64(64) << 20;
    QString error;
    QVERIFY2(file->Reserve(kLength, &error), qPrintable(error));
    const QByteArray name = QFile::encodeName(file->Path());
    const auto allocated = [&name] {
        struct stat info { };
        return ::stat(name.constData(), &info) == 0 ? qint64(info.st_blocks) * 512 : -1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(allocated() >= kLength, DCTest::kWait);
    QCOMPARE(file->Size(), 0);
}

void TestDCResume::throughTinyproxy()
{
    Tinyproxy proxy;
    QVERIFY2(proxy.Start(u"quillon"_s, u"pass"_s), qPrintable(proxy.Error()));
    dc->setConnectionSettings(DCTest::LoopbackProxy(proxy.Port(), true, u"quillon"_s, u"pass"_s));
    dc->setLoopbackThroughProxy(true);
    const qsizetype cut = video.size() / 3;
    server->AddScript(Dropping(Head200(video.size()) + video.first(cut), Kind::Close));
    server->AddScript({ScriptedServer::Send(Head206(cut, video.size()) + video.sliced(cut)), ScriptedServer::Close()});

    QVERIFY(Download(DCTest::Url(*server, u"/video.flv"_s)));

    QCOMPARE(ReadAll(file->Path()), video);
    QVERIFY2(server->Requests().value(1).contains("\r\nRange: bytes=" + QByteArray::number(cut) + "-\r\n"),
             server->Requests().value(1).constData());
}

void TestDCResume::overHttps()
{
    // nginx speaks TLS and passes the exchange on to the scripted server, whose drop it passes on too.
    QTemporaryDir certificateFolder;
    TestCertificates certificates;
    QVERIFY2(certificates.Make(certificateFolder.path()), qPrintable(certificates.Error()));
    Nginx web;
    const bool started = web.Start(1, [&](const QList<quint16> &ports) {
        return u"    server {\n        listen 127.0.0.1:%1 ssl;\n        ssl_certificate %2;\n"
               u"        ssl_certificate_key %3;\n"
               u"        location / { proxy_pass http://%4; proxy_buffering off; }\n    }\n"_s
                   .arg(QString::number(ports.value(0)), certificates.CertificateFile(TestCertificates::Server::Good),
                        certificates.KeyFile(TestCertificates::Server::Good), server->HostAndPort());
    });
    QVERIFY2(started, qPrintable(web.Error()));
    dc->setExtraCaCertificates(certificates.Authority());
    const qsizetype cut = video.size() * 2 / 3;
    server->AddScript(Dropping(Head200(video.size()) + video.first(cut), Kind::Close));
    server->AddScript({ScriptedServer::Send(Head206(cut, video.size()) + video.sliced(cut)), ScriptedServer::Close()});

    QVERIFY(Download(u"https://127.0.0.1:%1/video.flv"_s.arg(web.Port())));

    QCOMPARE(recorder->events.last(), u"OK:"_s);
    QCOMPARE(ReadAll(file->Path()), video);
    QVERIFY2(server->Requests().value(1).contains("\r\nRange: bytes=" + QByteArray::number(cut) + "-\r\n"),
             server->Requests().value(1).constData());
}

QTEST_MAIN(TestDCResume)
#include "tst_dc_resume.moc"
