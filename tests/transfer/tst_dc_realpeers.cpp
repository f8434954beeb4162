#include "DC.h"
#include "DCRecorder.h"
#include "DCTestSupport.h"
#include "RealPeers.h"
#include "ScriptedServer.h"
#include "TransferTexts.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWait = 60000;
const QString kLogin = u"quillon"_s;
const QString kPassword = u"s3cret"_s;

}  // namespace

// Real peers: Python's http.server (an HTTP/1.0 server) and tinyproxy with Basic authorisation. The servers on
// loopback stand in for remote ones, so the control is told to reach them through the proxy all the same.
class TestDCRealPeers : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void directDownloadFromPython();
    void missingFileFromPython();
    void downloadThroughTinyproxy_data();
    void downloadThroughTinyproxy();
    void resolutionThroughTinyproxy();

private:
    // What the transfers of a test are given; direct unless the test says otherwise.
    ConnectionSettings connection;
    void UseTinyproxy(const QString &proxyAuth, const QString &password);
    QString VideoUrl() const;

    QTemporaryDir folder;
    QByteArray video;
    PythonHttpServer web;
    Tinyproxy proxy;
};

void TestDCRealPeers::initTestCase()
{
    QVERIFY(folder.isValid());
    video = DCTest::WriteTestVideo(folder.filePath(u"video.flv"_s), 3 * 1024 * 1024 + 17, 20070101);
    QVERIFY(!video.isEmpty());
    QVERIFY2(web.Start(folder.path()), qPrintable(web.Error()));
    QVERIFY2(proxy.Start(kLogin, kPassword), qPrintable(proxy.Error()));
}

void TestDCRealPeers::init()
{
    connection = {};
}

QString TestDCRealPeers::VideoUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/video.flv").arg(web.Port());
}

void TestDCRealPeers::UseTinyproxy(const QString &proxyAuth, const QString &password)
{
    connection = DCTest::LoopbackProxy(proxy.Port(), proxyAuth == u"1", kLogin, password);
}

void TestDCRealPeers::directDownloadFromPython()
{
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    dc.setLoopbackThroughProxy(true);
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(VideoUrl());
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), QStringLiteral("OK:<%1 bytes>").arg(video.size()));
    QVERIFY(recorder.body == video);
    // The buffer handed over is the one reserved for the declared length: never grown, never copied.
    QCOMPARE(recorder.body.capacity(), video.size());
    QVERIFY(recorder.events.contains(u"Size:"_s + QString::number(video.size())));
    const QStringList percents = recorder.events.filter(u"Percent:"_s);
    QCOMPARE(percents.last(), u"Percent:100"_s);
    QCOMPARE(recorder.events.at(recorder.events.size() - 2), u"Msg:Завершено"_s);
}

void TestDCRealPeers::missingFileFromPython()
{
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    dc.setLoopbackThroughProxy(true);
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(QStringLiteral("http://127.0.0.1:%1/no-such.flv").arg(web.Port()));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"Error:Ошибка сервера: HTTP/1.0 404 File not found"_s);
}

void TestDCRealPeers::downloadThroughTinyproxy_data()
{
    QTest::addColumn<QString>("proxyAuth");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("outcome");  // "video" or the error text
    QTest::newRow("right password") << u"1"_s << kPassword << u"video"_s;
    QTest::newRow("wrong password") << u"1"_s << u"wrong"_s << u"Error:Ошибка авторизации на прокси-сервере"_s;
    QTest::newRow("no login configured")
        << u"0"_s << kPassword
        << u"Error:Прокси-сервер требует авторизации: включите её в настройках и укажите логин и пароль"_s;
}

void TestDCRealPeers::downloadThroughTinyproxy()
{
    QFETCH(QString, proxyAuth);
    QFETCH(QString, password);
    QFETCH(QString, outcome);
    UseTinyproxy(proxyAuth, password);
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    dc.setLoopbackThroughProxy(true);
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(VideoUrl());
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    // The status texts name the video's server, not the proxy.
    QCOMPARE(recorder.events.at(2),
             u"Msg:"_s + TransferTexts::Connecting(QStringLiteral("127.0.0.1:%1").arg(web.Port())));
    if (outcome == u"video") {
        QCOMPARE(recorder.events.last(), QStringLiteral("OK:<%1 bytes>").arg(video.size()));
        QVERIFY(recorder.body == video);
    } else {
        QCOMPARE(recorder.events.last(), outcome);
    }
}

void TestDCRealPeers::resolutionThroughTinyproxy()
{
    ScriptedServer resolver;
    QVERIFY(resolver.Listen());
    resolver.AddScript(
        {ScriptedServer::Send("HTTP/1.0 200 OK\r\n\r\n<a href=\"http://v/1.flv\">"), ScriptedServer::Close()});
    UseTinyproxy(u"1"_s, kPassword);
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    dc.setLoopbackThroughProxy(true);
    DCRecorder recorder(dc);
    dc.setPageAddress(u"http://видео.рф/watch?v=1"_s);
    dc.setURLmode(false);
    dc.setURL(u"http://"_s + resolver.HostAndPort() + u"/"_s);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"OK:<a href=\"http://v/1.flv\">"_s);
    // What the service receives is the form submission, whichever way it came.
    const QByteArray received = resolver.Requests().value(0);
    QVERIFY2(received.startsWith("POST /xurl/ HTTP/1.0\r\n"), received.constData());
    QVERIFY(received.contains("\r\nContent-Length: 64\r\n"));
    QVERIFY(received.contains("\r\n\r\nurl=http%3A%2F%2Fxn%2D%2Db1aedk6a%2Exn%2D%2Dp1ai%2Fwatch%3Fv%3D1"));
}

QTEST_GUILESS_MAIN(TestDCRealPeers)
#include "tst_dc_realpeers.moc"
