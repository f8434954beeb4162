#include "DC.h"
#include "DCRecorder.h"
#include "DCTestSupport.h"
#include "Nginx.h"
#include "RangeServer.h"
#include "RealPeers.h"
#include "TestCertificates.h"
#include "TestFiles.h"
#include "TransferTexts.h"
#include "VideoDownload.h"
#include "VideoRig.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
Q_DECLARE_METATYPE(RangeServer::Drop)

namespace {

constexpr qint64 kMiB = qint64(1) << 20;
// Slow enough that a download grows to its most connections before it is over, fast enough for a short test.
constexpr qint64 kRate = 4 * kMiB;

}  // namespace

// A video fetched over several connections at once, from servers on this machine: the file whole and exact, whatever
// the server does to the connections.
class TestDCConnections : public QObject, private DCTest::VideoRig {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void byteExact_data();
    void byteExact();
    void partDropped_data();
    void partDropped();
    void serverWithoutParts();
    void serverThatLimitsConnections();
    void fileChangesOnTheThirdConnection();
    void throughProxyAndOverHttps_data();
    void throughProxyAndOverHttps();
    void stopWithSixteenOpen();

private:
    QString Url(const RangeServer &server) const { return u"http://"_s + server.HostAndPort() + u"/video.flv"_s; }

    QTemporaryDir folder;
    QByteArray video;
    QByteArray changed;
    // The most connections that brought the video at once.
    int most = 0;
    QTimer watch;
};

void TestDCConnections::initTestCase()
{
    QVERIFY(folder.isValid());
    video = DCTest::WriteTestVideo(folder.filePath(u"video.flv"_s), 40 * kMiB + 333, 20261208);
    changed = DCTest::WriteTestVideo(folder.filePath(u"changed.flv"_s), video.size(), 20261209);
    QVERIFY(!video.isEmpty() && !changed.isEmpty());
    watch.setInterval(5);
    connect(&watch, &QTimer::timeout, this, [this] { most = std::max(most, dc ? dc->Connections() : 0); });
}

void TestDCConnections::init()
{
    QString error;
    QVERIFY2(Open(folder.filePath(u"video.flv.part"_s), &error), qPrintable(error));
    patience = 60000;
    most = 0;
    watch.start();
}

void TestDCConnections::cleanup()
{
    watch.stop();
    Close();
}

void TestDCConnections::byteExact_data()
{
    QTest::addColumn<int>("maxConnections");
    QTest::newRow("1 connection: MaxConnections=1") << 1;
    QTest::newRow("2 connections") << 2;
    QTest::newRow("16 connections") << 16;
}

// Each connection is held to the same speed, so the download grows to its most connections.
void TestDCConnections::byteExact()
{
    QFETCH(int, maxConnections);
    RangeServer server;
    QVERIFY(server.Listen(video, changed, {kRate}));
    dc->setMaxConnections(maxConnections);

    QVERIFY(Download(Url(server)));

    QCOMPARE(recorder->events.last(), u"OK:"_s);
    QCOMPARE(ReadAll(file->Path()), video);
    QCOMPARE(most, maxConnections);
    QVERIFY(recorder->events.contains(u"Percent:100"_s));
    QCOMPARE(recorder->events.count(u"Msg:"_s + TransferTexts::Finished()), 1);
    if (maxConnections == 1)
        QCOMPARE(server.Accepted(), 1);
}

void TestDCConnections::partDropped_data()
{
    QTest::addColumn<RangeServer::Drop>("drop");
    QTest::newRow("close") << RangeServer::Drop::Close;
    QTest::newRow("reset") << RangeServer::Drop::Reset;
    QTest::newRow("silence") << RangeServer::Drop::Silence;
}

// The second connection's part drops half-way: it is taken up again from its own bytes on disk, by the download's
// tries, and nothing else is asked again.
void TestDCConnections::partDropped()
{
    QFETCH(RangeServer::Drop, drop);
    RangeServer::Rules rules{kRate};
    rules.dropPart = 1;
    rules.drop = drop;
    RangeServer server;
    QVERIFY(server.Listen(video.first(12 * kMiB), changed, rules));
    dc->setMaxConnections(2);

    QVERIFY(Download(Url(server)));

    QCOMPARE(recorder->events.last(), u"OK:"_s);
    QCOMPARE(ReadAll(file->Path()), video.first(12 * kMiB));
    const QList<QByteArray> requests = server.Requests();
    QCOMPARE(requests.size(), 3);
    // The part asked for first, and the rest of it from the middle on.
    const QRegularExpression range(u"Range: bytes=(\\d+)-(\\d+)\r\nIf-Range: \"v1\"\r\n"_s);
    const QRegularExpressionMatch part = range.match(QString::fromLatin1(requests[1]));
    const QRegularExpressionMatch rest = range.match(QString::fromLatin1(requests[2]));
    QVERIFY2(part.hasMatch() && rest.hasMatch(), requests[2].constData());
    const qint64 first = part.captured(1).toLongLong();
    const qint64 last = part.captured(2).toLongLong();
    // A reset drops what still waited in this end's buffers: the rest begins at the middle or a little before.
    const qint64 resumed = rest.captured(1).toLongLong();
    QVERIFY2(resumed > first && resumed <= first + (last - first + 1) / 2, qPrintable(QString::number(resumed)));
    QCOMPARE(rest.captured(2).toLongLong(), last);
    QVERIFY(std::any_of(recorder->events.begin(), recorder->events.end(),
                        [](const QString &event) { return event.endsWith(u"(попытка 1 из 5)"_s); }));
}

// A server that answers a request for a part with the whole body serves the video over one connection.
void TestDCConnections::serverWithoutParts()
{
    RangeServer::Rules rules{kRate * 2};
    rules.ignoresRange = true;
    RangeServer server;
    QVERIFY(server.Listen(video.first(10 * kMiB), changed, rules));

    QVERIFY(Download(Url(server)));

    QCOMPARE(recorder->events.last(), u"OK:"_s);
    QCOMPARE(ReadAll(file->Path()), video.first(10 * kMiB));
    QCOMPARE(most, 1);
    QCOMPARE(server.Accepted(), 2);
}

// A server that resets every connection beyond the second: the count halves to what it allows, and the next video
// from it starts there.
void TestDCConnections::serverThatLimitsConnections()
{
    RangeServer::Rules rules{kRate};
    rules.mostAtOnce = 2;
    RangeServer server;
    QVERIFY(server.Listen(video.first(24 * kMiB), changed, rules));

    QVERIFY(Download(Url(server)));

    QCOMPARE(recorder->events.last(), u"OK:"_s);
    QCOMPARE(ReadAll(file->Path()), video.first(24 * kMiB));
    QCOMPARE(server.MostOpen(), 2);
    QVERIFY(server.Refused() >= 1);

    const int refused = server.Refused();
    recorder->events.clear();
    QVERIFY(Download(Url(server)));
    QCOMPARE(recorder->events.last(), u"OK:"_s);
    QCOMPARE(ReadAll(file->Path()), video.first(24 * kMiB));
    QCOMPARE(server.Refused(), refused);
}

// The third connection finds another file: the download starts over and saves that one.
void TestDCConnections::fileChangesOnTheThirdConnection()
{
    RangeServer::Rules rules{kRate};
    rules.changedFrom = 3;
    RangeServer server;
    QVERIFY(server.Listen(video.first(16 * kMiB), changed.first(16 * kMiB), rules));

    QVERIFY(Download(Url(server)));

    QCOMPARE(recorder->events.last(), u"OK:"_s);
    QVERIFY(recorder->events.contains(u"Msg:"_s + TransferTexts::StartingOver()));
    QCOMPARE(ReadAll(file->Path()), changed.first(16 * kMiB));
}

void TestDCConnections::throughProxyAndOverHttps_data()
{
    QTest::addColumn<bool>("secure");
    QTest::newRow("through tinyproxy") << false;
    QTest::newRow("over HTTPS") << true;
}

// nginx holds each connection to its speed (limit_rate) and serves parts itself.
void TestDCConnections::throughProxyAndOverHttps()
{
    QFETCH(bool, secure);
    QTemporaryDir certificateFolder;
    TestCertificates certificates;
    QVERIFY2(certificates.Make(certificateFolder.path()), qPrintable(certificates.Error()));
    Nginx web;
    const bool started = web.Start(1, [&](const QList<quint16> &ports) {
        QString server = u"    server {\n        listen 127.0.0.1:%1%2;\n        root %3;\n        limit_rate 4m;\n"_s
                             .arg(QString::number(ports.value(0)), secure ? u" ssl"_s : QString(), folder.path());
        if (secure)
            server += u"        ssl_certificate %1;\n        ssl_certificate_key %2;\n"_s
                          .arg(certificates.CertificateFile(TestCertificates::Server::Good),
                               certificates.KeyFile(TestCertificates::Server::Good));
        return server + u"    }\n"_s;
    });
    QVERIFY2(started, qPrintable(web.Error()));
    Tinyproxy proxy;
    if (secure) {
        dc->setExtraCaCertificates(certificates.Authority());
    } else {
        QVERIFY2(proxy.Start(u"quillon"_s, u"pass"_s), qPrintable(proxy.Error()));
        dc->setConnectionSettings(DCTest::LoopbackProxy(proxy.Port(), true, u"quillon"_s, u"pass"_s));
        dc->setLoopbackThroughProxy(true);
    }

    QVERIFY(Download(u"%1://127.0.0.1:%2/video.flv"_s.arg(secure ? u"https"_s : u"http"_s).arg(web.Port())));

    QCOMPARE(recorder->events.last(), u"OK:"_s);
    QCOMPARE(ReadAll(file->Path()), video);
    // Parts were fetched over further connections this way too. How far the count grows is measured, and a slow
    // machine (the sanitizers, a proxy of its own) may see no gain beyond two: that rule has its own tests.
    QVERIFY2(most >= 2, qPrintable(QString::number(most)));
}

// A stop ends every connection at once; the flow then deletes the partial file.
void TestDCConnections::stopWithSixteenOpen()
{
    RangeServer server;
    QVERIFY(server.Listen(video, changed, {kRate}));
    dc->setURLmode(true);
    dc->setURL(Url(server));
    QTRY_COMPARE_WITH_TIMEOUT(dc->Connections(), 16, 20000);
    QCOMPARE(server.Open(), 16);

    dc->Stopped();
    file->Remove();

    QCOMPARE(dc->Connections(), 0);
    QVERIFY(!QFile::exists(folder.filePath(u"video.flv.part"_s)));
    QTRY_COMPARE(server.Open(), 0);
    QVERIFY(!recorder->Ended());
}

QTEST_MAIN(TestDCConnections)
#include "tst_dc_connections.moc"
