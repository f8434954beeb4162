#include "DC.h"
#include "DCTestSupport.h"
#include "RealPeers.h"
#include "Requests.h"

#include <QTest>

using Script = ScriptedServer::Script;
using S = ScriptedServer;
using namespace DCTest;

namespace {

// The server an https address names; the scripted proxy never connects there.
const QString kSecureServer = u"video.example:8443"_s;
const QString kSecureUrl = u"https://video.example:8443/v.flv"_s;

}  // namespace

// The way to a secure server, scripted: the tunnel request a proxy receives and every answer it may give,
// and the start of the handshake, which no scripted server can finish.
class TestDCTunnel : public QObject {
    Q_OBJECT

private slots:
    void init();
    void tunnelRequestThenHandshakeInside_data();
    void tunnelRequestThenHandshakeInside();
    void tunnelAnswers_data();
    void tunnelAnswers();
    void stopWhileTheTunnelIsAskedFor();
    void stopDuringTheHandshake();
    void serverClosesDuringTheHandshake();
    void refusedSecureConnection();

private:
    // What the transfers of a test are given; direct unless the test says otherwise.
    ConnectionSettings connection;
    void UseProxy(const ScriptedServer &proxy, const QString &proxyAuth);
};

void TestDCTunnel::init()
{
    connection = {};
}

void TestDCTunnel::UseProxy(const ScriptedServer &proxy, const QString &proxyAuth)
{
    connection = LoopbackProxy(proxy.Port(), proxyAuth == u"1", u"user"_s, u"pass"_s);
}

void TestDCTunnel::tunnelRequestThenHandshakeInside_data()
{
    QTest::addColumn<QString>("proxyAuth");
    QTest::addColumn<bool>("downloadMode");
    QTest::addColumn<QByteArray>("request");
    const QByteArray head = "CONNECT video.example:8443 HTTP/1.0\r\n"
                            "User-Agent: Opera/9.00 (Windows NT 5.1; ru)\r\n"
                            "Host: video.example:8443\r\n";
    QTest::newRow("download") << u"0"_s << true << head + "\r\n";
    QTest::newRow("download with login") << u"1"_s << true << head + "Proxy-Authorization: Basic dXNlcjpwYXNz\r\n\r\n";
    QTest::newRow("resolution with login")
        << u"1"_s << false << head + "Proxy-Authorization: Basic dXNlcjpwYXNz\r\n\r\n";
}

void TestDCTunnel::tunnelRequestThenHandshakeInside()
{
    QFETCH(QString, proxyAuth);
    QFETCH(bool, downloadMode);
    QFETCH(QByteArray, request);
    ScriptedServer proxy;
    QVERIFY(proxy.Listen());
    // The tunnel's header comes in pieces; the handshake that follows is never answered.
    proxy.AddScript({S::Send("HTTP/1.0 200 Conn"), S::Pause(20), S::Send("ection established\r\n"), S::Pause(20),
                     S::Send("Proxy-agent: scripted\r\n\r\n"), S::Hold(), S::Close()});
    UseProxy(proxy, proxyAuth);
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    DCRecorder recorder(dc);
    dc.setURLmode(downloadMode);
    dc.setURL(kSecureUrl);
    QTRY_VERIFY_WITH_TIMEOUT(proxy.Waiting() == 1, kWait);
    // After the proxy's 200 the client speaks TLS: a handshake record follows the tunnel request.
    QTRY_VERIFY_WITH_TIMEOUT(proxy.Requests().value(0).size() > request.size(), kWait);
    const QByteArray received = proxy.Requests().value(0);
    QCOMPARE(received.first(request.size()), request);
    QCOMPARE(received.at(request.size()), '\x16');
    QCOMPARE(recorder.events, Start(kSecureServer));
    proxy.Release();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"Error:"_s + TransferTexts::ServerClosedDuringHandshake(kSecureServer));
}

void TestDCTunnel::tunnelAnswers_data()
{
    QTest::addColumn<QString>("proxyAuth");
    QTest::addColumn<Script>("script");
    QTest::addColumn<QString>("error");
    QTest::newRow("403") << u"1"_s << Script{S::Send("HTTP/1.0 403 Access violation\r\n\r\n<html>"), S::Close()}
                         << TransferTexts::TunnelRefused(kSecureServer, "HTTP/1.0 403 Access violation");
    QTest::newRow("502 left open") << u"0"_s << Script{S::Send("HTTP/1.1 502 Bad Gateway\r\nVia: p\r\n\r\n"), S::Hold()}
                                   << TransferTexts::TunnelRefused(kSecureServer, "HTTP/1.1 502 Bad Gateway");
    QTest::newRow("407 with login") << u"1"_s
                                    << Script{S::Send("HTTP/1.0 407 Proxy Authentication Required\r\n"), S::Pause(20),
                                              S::Send("Proxy-Authenticate: Basic realm=\"p\"\r\n\r\n"), S::Close()}
                                    << TransferTexts::ProxyLoginRefused();
    QTest::newRow("407 without login") << u"0"_s
                                       << Script{S::Send("HTTP/1.0 407 Proxy Authentication Required\r\n\r\n"),
                                                 S::Close()}
                                       << TransferTexts::ProxyWantsLogin();
    QTest::newRow("401 with login") << u"1"_s << Script{S::Send("HTTP/1.0 401 Unauthorized\r\n\r\n"), S::Close()}
                                    << TransferTexts::ProxyLoginRefused();
    QTest::newRow("not http") << u"0"_s << Script{S::Send("SSH-2.0-OpenSSH\r\n"), S::Hold()}
                              << TransferTexts::TunnelAnswerNotHttp();
    QTest::newRow("closed without answer")
        << u"0"_s << Script{S::Close()} << TransferTexts::TunnelClosed(kSecureServer);
    QTest::newRow("reset without answer") << u"0"_s << Script{S::Reset()} << TransferTexts::TunnelClosed(kSecureServer);
    QTest::newRow("closed inside the header")
        << u"0"_s << Script{S::Send("HTTP/1.0 200 OK\r\n"), S::Close()} << TransferTexts::TunnelClosed(kSecureServer);
}

void TestDCTunnel::tunnelAnswers()
{
    QFETCH(QString, proxyAuth);
    QFETCH(Script, script);
    QFETCH(QString, error);
    ScriptedServer proxy;
    QVERIFY(proxy.Listen());
    proxy.AddScript(script);
    UseProxy(proxy, proxyAuth);
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(kSecureUrl);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    // The proxy's refusal is no answer of the server: no "Завершено" before the error.
    QCOMPARE(recorder.events, Start(kSecureServer) << u"Error:"_s + error);
    proxy.Release();
}

void TestDCTunnel::stopWhileTheTunnelIsAskedFor()
{
    ScriptedServer proxy;
    QVERIFY(proxy.Listen());
    proxy.AddScript({S::Hold(), S::Send("HTTP/1.0 200 Connection established\r\n\r\n"), S::Close()});
    UseProxy(proxy, u"0"_s);
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(kSecureUrl);
    QTRY_VERIFY_WITH_TIMEOUT(proxy.Waiting() == 1, kWait);
    dc.Stopped();
    QCOMPARE(recorder.events,
             Start(kSecureServer) << u"Msg:"_s + TransferTexts::StoppedByUser() << u"Percent:0"_s << u"Size:0"_s);
    // The proxy's late answer and close (sent within Release) reach nobody; the next transfer reports
    // only its own.
    proxy.Release();
    ScriptedServer next;
    QVERIFY(next.Listen());
    next.AddScript({S::Send(kOkAnswer), S::Close()});
    connection = {};
    recorder.events.clear();
    dc.setURL(Url(next, u"/next"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"OK:ok"_s);
    QCOMPARE(recorder.events.filter(u"Error:"_s), QStringList());
}

void TestDCTunnel::stopDuringTheHandshake()
{
    // The client's hello never ends in an empty line: the scripted server only listens.
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript({S::Send(kOkAnswer), S::Close()});
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(u"https://"_s + server.HostAndPort() + u"/v.flv"_s);
    QTRY_VERIFY_WITH_TIMEOUT(!server.Requests().value(0).isEmpty(), kWait);
    QCOMPARE(server.Requests().value(0).at(0), '\x16');
    dc.Stopped();
    const QStringList stopped = Start(server.HostAndPort())
        << u"Msg:"_s + TransferTexts::StoppedByUser() << u"Percent:0"_s << u"Size:0"_s;
    QCOMPARE(recorder.events, stopped);
    // The server's close after the stop is reported to nobody; the next transfer reports only its own.
    server.CloseAll();
    ScriptedServer next;
    QVERIFY(next.Listen());
    next.AddScript({S::Send(kOkAnswer), S::Close()});
    recorder.events.clear();
    dc.setURL(Url(next, u"/next"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"OK:ok"_s);
    QCOMPARE(recorder.events.filter(u"Error:"_s), QStringList());
}

void TestDCTunnel::serverClosesDuringTheHandshake()
{
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.SetAnswerBeforeRequest(true);
    server.AddScript({S::Close()});
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(u"https://"_s + server.HostAndPort() + u"/v.flv"_s);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"Error:"_s + TransferTexts::ServerClosedDuringHandshake(server.HostAndPort()));
}

void TestDCTunnel::refusedSecureConnection()
{
    const QString server = u"127.0.0.1:"_s + QString::number(FreeLoopbackPort());
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(u"https://"_s + server + u"/v.flv"_s);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events, Start(server) << u"Error:"_s + TransferTexts::ConnectionFailed(10061, server, false));
}

QTEST_GUILESS_MAIN(TestDCTunnel)
#include "tst_dc_tunnel.moc"
