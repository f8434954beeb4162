#include "DC.h"
#include "DCTestSupport.h"

#include <QTest>

using Script = ScriptedServer::Script;
using S = ScriptedServer;
using namespace DCTest;

// What DC puts on the wire, and the events of transfers that succeed or are redirected.
class TestDC : public QObject {
    Q_OBJECT

private slots:
    void requestBytes_data();
    void requestBytes();
    void pageAddressIsTakenWhenTheTransferStarts();
    void successSequence();
    void answerWholeByItsFramingNeedsNoClose_data();
    void answerWholeByItsFramingNeedsNoClose();
    void resolutionHasNoServerLine();
    void redirectChainOfEveryForm();
    void twentyRedirectsInRowAreFollowed();
    void theTwentyFirstRedirectIsRefused();
    void aNewTransferStartsANewChain();
    void stopEndsTheChain();
    void barePathKeepsThePreviousPage();
    void redirectToAnotherSchemeEndsWithAClearError();
};

void TestDC::requestBytes_data()
{
    QTest::addColumn<bool>("downloadMode");
    QTest::addColumn<bool>("viaProxy");
    QTest::addColumn<bool>("auth");
    QTest::addColumn<QString>("path");  // after http://127.0.0.1:port
    QTest::addColumn<QByteArray>("expected");  // %1 stands for 127.0.0.1:port

    QTest::newRow("A") << true << false << false << "/a/b.flv?c=1"
                       << QByteArray("GET /a/b.flv?c=1 HTTP/1.0\r\n"
                                     "User-Agent: Opera/9.00 (Windows NT 5.1; ru)\r\n"
                                     "Host: %1\r\n"
                                     "Accept: */*\r\n"
                                     "Connection: Close\r\n"
                                     "\r\n");
    QTest::newRow("A, login configured is not sent directly")
        << true << false << true << "/x"
        << QByteArray("GET /x HTTP/1.0\r\n"
                      "User-Agent: Opera/9.00 (Windows NT 5.1; ru)\r\n"
                      "Host: %1\r\n"
                      "Accept: */*\r\n"
                      "Connection: Close\r\n"
                      "\r\n");
    QTest::newRow("A, blanks and Cyrillic are percent-encoded")
        << true << false << false << "/мой файл.flv#frag"
        << QByteArray("GET /%EC%EE%E9%20%F4%E0%E9%EB.flv HTTP/1.0\r\n"
                      "User-Agent: Opera/9.00 (Windows NT 5.1; ru)\r\n"
                      "Host: %1\r\n"
                      "Accept: */*\r\n"
                      "Connection: Close\r\n"
                      "\r\n");
    QTest::newRow("B") << true << true << false << "/v.flv?id=7"
                       << QByteArray("GET http://%1/v.flv?id=7 HTTP/1.0\r\n"
                                     "User-Agent: Opera/9.00 (Windows NT 5.1; ru)\r\n"
                                     "Host: %1\r\n"
                                     "Accept: */*\r\n"
                                     "Proxy-Connection: Close\r\n"
                                     "\r\n");
    QTest::newRow("B with login") << true << true << true << "/v.flv"
                                  << QByteArray("GET http://%1/v.flv HTTP/1.0\r\n"
                                                "User-Agent: Opera/9.00 (Windows NT 5.1; ru)\r\n"
                                                "Host: %1\r\n"
                                                "Accept: */*\r\n"
                                                "Proxy-Connection: Close\r\n"
                                                "Proxy-Authorization: Basic 3ufl8Drx5erw5fI=\r\n"
                                                "\r\n");
    QTest::newRow("C") << false << false << true << "/any/path"
                       << QByteArray("POST /xurl/ HTTP/1.0\r\n"
                                     "Content-Type: application/x-www-form-urlencoded; charset=UTF-8\r\n"
                                     "User-Agent: Opera/9.00 (Windows NT 5.1; ru)\r\n"
                                     "Host: %1\r\n"
                                     "Accept: */*\r\n"
                                     "Content-Length: 24\r\n"
                                     "Content-Transfer-Encoding: binary\r\n"
                                     "Connection: Close\r\n"
                                     "\r\n"
                                     "url=http%3A%2F%2Fv%2Fw+x\r\n");
    QTest::newRow("resolution through the proxy")
        << false << true << true << "/"
        << QByteArray("POST http://%1/xurl/ HTTP/1.0\r\n"
                      "Content-Type: application/x-www-form-urlencoded; charset=UTF-8\r\n"
                      "User-Agent: Opera/9.00 (Windows NT 5.1; ru)\r\n"
                      "Host: %1\r\n"
                      "Accept: */*\r\n"
                      "Content-Length: 24\r\n"
                      "Content-Transfer-Encoding: binary\r\n"
                      "Proxy-Connection: Close\r\n"
                      "Proxy-Authorization: Basic 3ufl8Drx5erw5fI=\r\n"
                      "\r\n"
                      "url=http%3A%2F%2Fv%2Fw+x\r\n");
}

void TestDC::requestBytes()
{
    QFETCH(bool, downloadMode);
    QFETCH(bool, viaProxy);
    QFETCH(bool, auth);
    QFETCH(QString, path);
    QFETCH(QByteArray, expected);

    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript({S::Send(kOkAnswer), S::Close()});
    // One Windows-1251 byte per letter of the login in the Base64 form.
    ConnectionSettings settings = LoopbackProxy(server.Port(), auth, u"Юзер"_s, u"секрет"_s);
    settings.UseProxy = viaProxy;

    DC dc;
    dc.setConnectionSettings(settings);
    dc.setLoopbackThroughProxy(true);
    DCRecorder recorder(dc);
    dc.setPageAddress(u"http://v/w x"_s);
    dc.setURLmode(downloadMode);
    // Through the proxy the address names the scripted server too, so the proxy's "Host" is checkable.
    dc.setURL(Url(server, path));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"OK:ok"_s);
    QCOMPARE(server.Connections(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(server.Requests().value(0),
                              QString::fromLatin1(expected).arg(server.HostAndPort()).toLatin1(), kWait);
}

void TestDC::pageAddressIsTakenWhenTheTransferStarts()
{
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript({S::Send(kOkAnswer), S::Close()});
    DC dc;
    DCRecorder recorder(dc);
    dc.setPageAddress(u"first"_s);
    dc.setURLmode(false);
    dc.setURL(Url(server, u"/"_s));
    dc.setPageAddress(u"second"_s);  // the connection is made later, from the event loop: too late for this one
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(server.Requests().value(0).endsWith("\r\n\r\nurl=first\r\n"), kWait);
}

void TestDC::successSequence()
{
    ScriptedServer server;
    QVERIFY(server.Listen());
    const QByteArray header = "HTTP/1.1 200 OK\r\nContent-Type: video/x-flv\r\nContent-Length: 10\r\n\r\n";
    server.AddScript({S::Send(header), S::Hold(), S::Send("FLV\r\n"), S::Hold(), S::Send("\r\n\r\nx"), S::Close()});
    DC dc;
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/v.flv"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.events.contains(u"Size:10"_s), kWait);
    server.Release();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.events.contains(u"Percent:50"_s), kWait);
    server.Release();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);

    const QString host = server.HostAndPort();
    QStringList expected = Start(host);
    expected << u"Server:Сервер: "_s + host << u"Msg:Отправлен запрос..."_s;
    expected << Receiving(header.size()) << u"Size:10"_s << u"Percent:0"_s;
    expected << Receiving(header.size() + 5) << u"Percent:50"_s;
    expected << Receiving(header.size() + 10) << u"Percent:100"_s;
    expected << u"Msg:Завершено"_s << u"OK:FLV\r\n\r\n\r\nx"_s;
    QCOMPARE(recorder.events, expected);
    QCOMPARE(recorder.body, QByteArray("FLV\r\n\r\n\r\nx"));
    QCOMPARE(dc.ServerName(), host);
    QCOMPARE(dc.PageName(), u"/v.flv"_s);
    QCOMPARE(dc.URL(), Url(server, u"/v.flv"_s));
}

void TestDC::answerWholeByItsFramingNeedsNoClose_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("result");
    QTest::newRow("chunked") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                           "4\r\nFLV1\r\n3\r\nabc\r\n0\r\n\r\n")
                             << u"OK:FLV1abc"_s;
    QTest::newRow("declared length") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\nFLV1abc")
                                     << u"OK:FLV1abc"_s;
    QTest::newRow("redirect") << QByteArray("HTTP/1.1 302 Found\r\nLocation: /v\r\nContent-Length: 0\r\n\r\n")
                              << u"OK:redirect /v"_s;
}

void TestDC::answerWholeByItsFramingNeedsNoClose()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, result);
    ScriptedServer server;
    QVERIFY(server.Listen());
    // An HTTP/1.1 server that keeps the connection open for the next request.
    server.AddScript({S::Send(answer), S::Hold(), S::Close()});
    DC dc;
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/v.flv"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.events.contains(result), kWait);
    QCOMPARE(recorder.events.mid(recorder.events.size() - 2), QStringList({u"Msg:Завершено"_s, result}));
    server.Release();
}

void TestDC::resolutionHasNoServerLine()
{
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript({S::Send("HTTP/1.0 200 OK\r\n\r\n<a href=\"http://x/v.flv\">"), S::Close()});
    DC dc;
    DCRecorder recorder(dc);
    dc.setURLmode(false);
    dc.setURL(Url(server, u"/"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QStringList expected = Start(server.HostAndPort());
    expected << u"Msg:Отправлен запрос..."_s << Receiving(44) << u"Msg:Завершено"_s
             << u"OK:<a href=\"http://x/v.flv\">"_s;
    QCOMPARE(recorder.events, expected);
}

void TestDC::redirectChainOfEveryForm()
{
    ScriptedServer server;
    QVERIFY(server.Listen());
    const QString host = server.HostAndPort();
    server.AddScript({S::Send("HTTP/1.0 302 Found\r\nLocation: /dir/a\r\n\r\n"), S::Close()});
    server.AddScript({S::Send("HTTP/1.1 301 Moved\r\nlocation:b.flv?x=1\r\n\r\n"), S::Close()});
    server.AddScript({S::Send("HTTP/1.1 307 Temporary\r\nLocation: //" + host.toLatin1() + "/c\r\n\r\n"), S::Close()});
    server.AddScript(
        {S::Send("HTTP/1.1 308 Permanent\r\nLocation: HTTP://" + host.toLatin1() + "/d\r\n\r\n"), S::Close()});
    server.AddScript({S::Send("HTTP/1.1 303 See Other\r\nLocation: /e\r\n\r\n"), S::Close()});
    server.AddScript({S::Send("HTTP/1.0 200 OK\r\n\r\ndone"), S::Close()});
    DC dc;
    DCRecorder recorder(dc, true);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/start"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"OK:done"_s);
    QCOMPARE(recorder.events.filter(u"OK:redirect"_s),
             QStringList({u"OK:redirect /dir/a"_s, u"OK:redirect /dir/b.flv?x=1"_s,
                          u"OK:redirect http://"_s + host + u"/c"_s, u"OK:redirect HTTP://"_s + host + u"/d"_s,
                          u"OK:redirect /e"_s}));
    QCOMPARE(recorder.events.count(u"Msg:Завершено"_s), 6);
    QTRY_COMPARE_WITH_TIMEOUT(server.Requests().size(), 6, kWait);
    QStringList lines;
    for (const QByteArray &request : server.Requests())
        lines << QString::fromLatin1(request.first(request.indexOf("\r\n")));
    QCOMPARE(lines,
             QStringList({u"GET /start HTTP/1.0"_s, u"GET /dir/a HTTP/1.0"_s, u"GET /dir/b.flv?x=1 HTTP/1.0"_s,
                          u"GET /c HTTP/1.0"_s, u"GET /d HTTP/1.0"_s, u"GET /e HTTP/1.0"_s}));
}

void TestDC::twentyRedirectsInRowAreFollowed()
{
    ScriptedServer server;
    QVERIFY(server.Listen());
    AddRedirects(server, DC::kMaxRedirectsInRow);
    server.AddScript({S::Send(kOkAnswer), S::Close()});
    DC dc;
    DCRecorder recorder(dc, true);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"OK:ok"_s);
    QCOMPARE(recorder.events.filter(u"OK:redirect"_s).size(), 20);
}

void TestDC::theTwentyFirstRedirectIsRefused()
{
    ScriptedServer server;
    QVERIFY(server.Listen());
    AddRedirects(server, DC::kMaxRedirectsInRow + 1);
    DC dc;
    DCRecorder recorder(dc, true);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.filter(u"OK:redirect"_s).size(), 20);
    QCOMPARE(recorder.events.mid(recorder.events.size() - 2),
             QStringList({u"Msg:Завершено"_s, u"Error:Слишком много перенаправлений (более 20)"_s}));
    QCOMPARE(server.Connections(), 21);
}

void TestDC::aNewTransferStartsANewChain()
{
    // Fifteen redirects, a success, then fifteen more: each chain is counted on its own.
    ScriptedServer server;
    QVERIFY(server.Listen());
    AddRedirects(server, 15);
    server.AddScript({S::Send(kOkAnswer), S::Close()});
    AddRedirects(server, 15);
    server.AddScript({S::Send(kOkAnswer), S::Close()});
    DC dc;
    DCRecorder recorder(dc, true);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    recorder.events.clear();
    dc.setURL(Url(server, u"/again"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"OK:ok"_s);
    QCOMPARE(recorder.events.filter(u"OK:redirect"_s).size(), 15);
}

void TestDC::stopEndsTheChain()
{
    // Twenty redirects followed; the client then stops and sets the twentieth address itself: that is a
    // new chain, so the redirect it meets next is followed, not refused.
    ScriptedServer server;
    QVERIFY(server.Listen());
    AddRedirects(server, DC::kMaxRedirectsInRow + 1);
    server.AddScript({S::Send(kOkAnswer), S::Close()});
    DC dc;
    DCRecorder recorder(dc);
    int redirects = 0;
    connect(&dc, &DC::Redirected, &dc, [&dc, &redirects](const QByteArray &address) {
        if (++redirects == DC::kMaxRedirectsInRow)
            dc.Stopped();
        dc.setURLmode(true);
        dc.setURL(Windows1251::Decode(address));
    });
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"OK:ok"_s);
    QCOMPARE(redirects, DC::kMaxRedirectsInRow + 1);
    QVERIFY(recorder.events.filter(u"Error:"_s).isEmpty());
}

void TestDC::barePathKeepsThePreviousPage()
{
    // A bare path set by the client reuses the previous server and page: only a redirect puts a new
    // path in place before the address is set.
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript({S::Send(kOkAnswer), S::Close()});
    server.AddScript({S::Send(kOkAnswer), S::Close()});
    DC dc;
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/x"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    recorder.events.clear();
    dc.setURL(u"/video.flv"_s);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"OK:ok"_s);
    QCOMPARE(dc.URL(), u"/video.flv"_s);
    QCOMPARE(dc.ServerName(), server.HostAndPort());
    QCOMPARE(dc.PageName(), u"/x"_s);
    QTRY_COMPARE_WITH_TIMEOUT(server.Requests().size(), 2, kWait);
    QVERIFY(server.Requests().at(1).startsWith("GET /x HTTP/1.0\r\n"));
}

void TestDC::redirectToAnotherSchemeEndsWithAClearError()
{
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript(
        {S::Send("HTTP/1.1 301 Moved Permanently\r\nLocation: ftp://files.example/v\r\n\r\n"), S::Close()});
    DC dc;
    DCRecorder recorder(dc, true);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/v"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.mid(recorder.events.size() - 5),
             QStringList({u"Msg:Завершено"_s, u"OK:redirect ftp://files.example/v"_s, u"Percent:0"_s, u"Size:0"_s,
                          u"Error:"_s + TransferTexts::UnsupportedAddress(u"ftp://files.example/v"_s)}));
    QCOMPARE(server.Connections(), 1);
}

QTEST_GUILESS_MAIN(TestDC)
#include "tst_dc.moc"
