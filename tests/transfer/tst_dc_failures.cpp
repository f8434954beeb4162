#include "DC.h"
#include "DCTestSupport.h"
#include "RealPeers.h"
#include "StalledListener.h"

#include <QTest>

using Script = ScriptedServer::Script;
using S = ScriptedServer;
using namespace DCTest;

// Transfers that end in an error, are refused before they start, or are stopped or replaced.
class TestDCFailures : public QObject {
    Q_OBJECT

private slots:
    void answersThatEndInError_data();
    void answersThatEndInError();
    void proxyLogin_data();
    void proxyLogin();
    void refusedConnection_data();
    void refusedConnection();
    void connectTimeLimit_data();
    void connectTimeLimit();
    void silenceTimeLimit_data();
    void silenceTimeLimit();
    void oversizedAnswers_data();
    void oversizedAnswers();
    void unusableAddressesAndSettings_data();
    void unusableAddressesAndSettings();
    void withoutSettingsConnectsDirectly();
    void loopbackIsReachedDirectlyDespiteTheProxy_data();
    void loopbackIsReachedDirectlyDespiteTheProxy();
    void addressWithPortConnectsThere();
    void stopWhileIdle();
    void stopDuringTransferAndLateClose();
    void stopAndErrorsLetTheAnswerGo_data();
    void stopAndErrorsLetTheAnswerGo();
    void settingURLWhileOpenDropsTheOldTransfer();
    void urlModeAloneStartsNothing();
};

void TestDCFailures::answersThatEndInError_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<QString>("error");
    QTest::newRow("404") << Script{S::Send("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnope"), S::Close()}
                         << u"Ошибка сервера: HTTP/1.1 404 Not Found"_s;
    QTest::newRow("500 without reason") << Script{S::Send("HTTP/1.0 500\r\n\r\n"), S::Close()}
                                        << u"Ошибка сервера: HTTP/1.0 500"_s;
    QTest::newRow("304") << Script{S::Send("HTTP/1.1 304 Not Modified\r\nLocation: /x\r\n\r\n"), S::Close()}
                         << u"Ошибка сервера: HTTP/1.1 304 Not Modified"_s;
    QTest::newRow("redirect without location")
        << Script{S::Send("HTTP/1.1 302 Found\r\n\r\n"), S::Close()}
        << u"Ошибка сервера: перенаправление без нового адреса (HTTP/1.1 302 Found)"_s;
    QTest::newRow("empty answer") << Script{S::Close()} << u"Сервер закрыл соединение, ничего не ответив"_s;
    QTest::newRow("reset without answer") << Script{S::Reset()} << u"Сервер закрыл соединение, ничего не ответив"_s;
    QTest::newRow("not http") << Script{S::Send("<html>hello</html>\n"), S::Close()}
                              << u"Ответ сервера не распознан: это не ответ HTTP"_s;
    QTest::newRow("header cut") << Script{S::Send("HTTP/1.0 200 OK\r\nContent-Len"), S::Close()}
                                << u"Соединение прервано до конца заголовка ответа (получено 28 байт)"_s;
    QTest::newRow("body cut by close") << Script{S::Send("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n"),
                                                 S::Pause(20), S::Send("0123456789"), S::Close()}
                                       << u"Соединение прервано: получено 10 из 100 байт"_s;
    QTest::newRow("body cut by reset") << Script{S::Send("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n0123456789"),
                                                 S::Pause(20), S::Reset()}
                                       << u"Соединение прервано: получено 10 из 100 байт"_s;
    // Only the socket can tell this reset from the close that ends every answer without a length.
    QTest::newRow("body without length cut by reset")
        << Script{S::Send("HTTP/1.0 200 OK\r\n\r\n0123456789"), S::Pause(20), S::Reset()}
        << u"Соединение сброшено сервером: получено 10 байт, ответ может быть неполным"_s;
}

void TestDCFailures::answersThatEndInError()
{
    QFETCH(Script, script);
    QFETCH(QString, error);
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript(script);
    DC dc;
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/x"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.mid(recorder.events.size() - 2), QStringList({u"Msg:Завершено"_s, u"Error:"_s + error}));
    QCOMPARE(recorder.events.filter(u"OK:"_s), QStringList());
}

void TestDCFailures::proxyLogin_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("proxyAuth");
    QTest::addColumn<QString>("error");
    const QString refused = u"Ошибка авторизации на прокси-сервере"_s;
    const QString wanted = u"Прокси-сервер требует авторизации: включите её в настройках и укажите логин и пароль"_s;
    QTest::newRow("407 Unauthorized, login sent")
        << QByteArray("HTTP/1.0 407 Unauthorized\r\n\r\n") << u"1"_s << refused;
    QTest::newRow("407 other phrase, login sent")
        << QByteArray("HTTP/1.0 407 Proxy Authentication Required\r\n\r\n") << u"1"_s << refused;
    QTest::newRow("407, no login configured")
        << QByteArray("HTTP/1.0 407 Proxy Authentication Required\r\n\r\n") << u"0"_s << wanted;
    QTest::newRow("407 Unauthorized, no login configured")
        << QByteArray("HTTP/1.0 407 Unauthorized\r\n\r\n") << u"0"_s << wanted;
}

void TestDCFailures::proxyLogin()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, proxyAuth);
    QFETCH(QString, error);
    ScriptedServer proxy;
    QVERIFY(proxy.Listen());
    proxy.AddScript({S::Send(answer), S::Close()});
    DC dc;
    dc.setConnectionSettings(LoopbackProxy(proxy.Port(), proxyAuth == u"1", u"user"_s, u"wrong"_s));
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(u"http://video.example/v.flv"_s);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QStringList expected = Start(u"video.example"_s);
    expected << u"Server:Сервер: video.example"_s << u"Msg:Отправлен запрос..."_s << Receiving(answer.size())
             << u"Msg:Завершено"_s << u"Error:"_s + error;
    QCOMPARE(recorder.events, expected);
}

void TestDCFailures::refusedConnection_data()
{
    QTest::addColumn<bool>("proxy");
    QTest::newRow("server") << false;
    QTest::newRow("proxy") << true;
}

void TestDCFailures::refusedConnection()
{
    QFETCH(bool, proxy);
    const quint16 port = FreeLoopbackPort();
    QVERIFY(port != 0);
    DC dc;
    if (proxy)
        dc.setConnectionSettings(LoopbackProxy(port));
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    const QString server = proxy ? u"video.example"_s : QStringLiteral("127.0.0.1:%1").arg(port);
    dc.setURL(u"http://"_s + server + u"/v.flv"_s);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    // The error names whom the program could not reach.
    QStringList expected = Start(server);
    expected << u"Error:"_s + TransferTexts::ConnectionFailed(10061, QStringLiteral("127.0.0.1:%1").arg(port), proxy);
    QCOMPARE(recorder.events, expected);
}

namespace {

// Short enough for a test, long enough for any loopback server that does answer.
DC::TimeLimits ShortTimeLimits()
{
    return DC::TimeLimits{std::chrono::milliseconds(300), std::chrono::milliseconds(300)};
}

}  // namespace

void TestDCFailures::connectTimeLimit_data()
{
    QTest::addColumn<bool>("viaProxy");
    QTest::newRow("server") << false;
    QTest::newRow("proxy") << true;
}

void TestDCFailures::connectTimeLimit()
{
    QFETCH(bool, viaProxy);
    StalledListener stalled;
    QVERIFY(stalled.Ready());
    DC dc;
    dc.setTimeLimits(ShortTimeLimits());
    if (viaProxy)
        dc.setConnectionSettings(LoopbackProxy(stalled.Port()));
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    const QString server = viaProxy ? u"video.example"_s : QStringLiteral("127.0.0.1:%1").arg(stalled.Port());
    dc.setURL(u"http://"_s + server + u"/v.flv"_s);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QStringList expected = Start(server);
    expected << u"Error:"_s
            + (viaProxy ? TransferTexts::ProxyConnectTimedOut(u"127.0.0.1"_s, stalled.Port(), 1)
                        : TransferTexts::ConnectTimedOut(server, 1));
    QCOMPARE(recorder.events, expected);
}

void TestDCFailures::silenceTimeLimit_data()
{
    QTest::addColumn<QByteArray>("sent");  // before the server falls silent
    QTest::newRow("before the answer") << QByteArray();
    QTest::newRow("inside the body") << QByteArray("HTTP/1.0 200 OK\r\n\r\n0123456789");
}

void TestDCFailures::silenceTimeLimit()
{
    QFETCH(QByteArray, sent);
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript({S::Send(sent), S::Hold(), S::Close()});
    DC dc;
    dc.setTimeLimits(ShortTimeLimits());
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/v.flv"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(),
             u"Error:"_s + TransferTexts::SilenceTimedOut(server.HostAndPort(), 1, sent.size()));
    QVERIFY(!recorder.events.contains(u"Msg:Завершено"_s));
    server.Release();
}

void TestDCFailures::oversizedAnswers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<qint64>("maxBody");
    QTest::addColumn<QString>("error");
    QTest::newRow("header above 64 KiB") << "HTTP/1.0 200 OK\r\nX-Filler: " + QByteArray(70000, 'f') + "\r\n\r\nbody"
                                         << qint64(1 << 20)
                                         << u"Заголовок ответа сервера слишком велик (более 64 КБ)"_s;
    QTest::newRow("declared length beyond memory")
        << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 500000000000000\r\n\r\nbody") << qint64(-1)
        << u"Ответ сервера слишком велик: он не поместится в памяти"_s;
    QTest::newRow("declared length beyond the limit")
        << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 5242880\r\n\r\nbody") << qint64(1 << 20)
        << u"Ответ сервера слишком велик (5 МБ, допустимо не более 1 МБ)"_s;
    QTest::newRow("undeclared body grows beyond the limit")
        << "HTTP/1.0 200 OK\r\n\r\n" + QByteArray(3000, 'b') << qint64(2000)
        << u"Ответ сервера без указанной длины слишком велик (более 2000 байт)"_s;
}

void TestDCFailures::oversizedAnswers()
{
    QFETCH(QByteArray, answer);
    QFETCH(qint64, maxBody);
    QFETCH(QString, error);
    ScriptedServer server;
    QVERIFY(server.Listen());
    // The connection stays open: the control must give up by itself, not wait for the close.
    server.AddScript({S::Send(answer), S::Hold(), S::Close()});
    DC dc;
    if (maxBody >= 0)
        dc.setMaxBodyBytes(maxBody);
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/big"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"Error:"_s + error);
    QVERIFY(!recorder.events.contains(u"Msg:Завершено"_s));
    server.Release();
}

void TestDCFailures::unusableAddressesAndSettings_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("fault");  // of the connection settings
    QTest::addColumn<QString>("error");
    const QString good = u"http://video.example/v.flv"_s;
    QTest::newRow("ftp") << u"ftp://host/v.flv"_s << QString()
                         << TransferTexts::UnsupportedAddress(u"ftp://host/v.flv"_s);
    QTest::newRow("ftps") << u"ftps://host/v.flv"_s << QString()
                          << TransferTexts::UnsupportedAddress(u"ftps://host/v.flv"_s);
    QTest::newRow("https bad port") << u"https://host:99999/v"_s << QString()
                                    << u"Неверный адрес: https://host:99999/v"_s;
    QTest::newRow("no scheme") << u"www.host.ru/v"_s << QString() << u"Неверный адрес: www.host.ru/v"_s;
    QTest::newRow("bad port") << u"http://host:0/v"_s << QString() << u"Неверный адрес: http://host:0/v"_s;
    QTest::newRow("bare path with no server yet") << u"/v.flv"_s << QString() << u"Неверный адрес: /v.flv"_s;
    QTest::newRow("line break in the address")
        << u"http://host/v\r\nX-Evil: 1"_s << QString() << TransferTexts::ForbiddenCharacters();
    QTest::newRow("nul in the address") << u"http://host/v"_s + QChar(0) << QString()
                                        << TransferTexts::ForbiddenCharacters();
    QTest::newRow("settings that cannot be used") << good << u"Настройки не годятся"_s << u"Настройки не годятся"_s;
}

void TestDCFailures::unusableAddressesAndSettings()
{
    QFETCH(QString, url);
    QFETCH(QString, fault);
    QFETCH(QString, error);
    ConnectionSettings settings = LoopbackProxy(8080);
    settings.Fault = fault;
    DC dc;
    dc.setConnectionSettings(settings);
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(url);
    // Refused at once, before setURL returns.
    QCOMPARE(recorder.events, QStringList({u"Percent:0"_s, u"Size:0"_s, u"Error:"_s + error}));
    QCOMPARE(dc.URL(), url);
}

void TestDCFailures::withoutSettingsConnectsDirectly()
{
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript({S::Send(kOkAnswer), S::Close()});
    // No settings given: the servers are reached directly.
    DC dc;
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/v"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"OK:ok"_s);
    QVERIFY(server.Requests().value(0).startsWith("GET /v HTTP/1.0\r\n"));
}

void TestDCFailures::loopbackIsReachedDirectlyDespiteTheProxy_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("downloadMode");
    QTest::newRow("127.0.0.1, download") << u"127.0.0.1"_s << true;
    QTest::newRow("localhost, resolution") << u"localhost"_s << false;
}

void TestDCFailures::loopbackIsReachedDirectlyDespiteTheProxy()
{
    QFETCH(QString, host);
    QFETCH(bool, downloadMode);
    ScriptedServer proxy;
    QVERIFY(proxy.Listen());
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript({S::Send(kOkAnswer), S::Close()});
    DC dc;
    dc.setConnectionSettings(LoopbackProxy(proxy.Port(), true, u"user"_s, u"pass"_s));
    DCRecorder recorder(dc);
    dc.setURLmode(downloadMode);
    const QString serverName = host + u':' + QString::number(server.Port());
    dc.setURL(u"http://"_s + serverName + u"/v"_s);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"OK:ok"_s);
    QCOMPARE(proxy.Connections(), 0);
    // The direct forms: the path alone, "Connection: Close", and the proxy's login kept to the proxy.
    const QByteArray request = server.Requests().value(0);
    QVERIFY2(request.startsWith(downloadMode ? "GET /v HTTP/1.0\r\n" : "POST /xurl/ HTTP/1.0\r\n"),
             request.constData());
    QVERIFY(request.contains("\r\nHost: " + serverName.toLatin1() + "\r\n"));
    QVERIFY(request.contains("\r\nConnection: Close\r\n"));
    QVERIFY(!request.contains("Proxy-"));
}

void TestDCFailures::addressWithPortConnectsThere()
{
    // The port is the address's own; "Host" and ServerName keep "host:port".
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript({S::Send(kOkAnswer), S::Close()});
    DC dc;
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(QStringLiteral("http://localhost:%1").arg(server.Port()));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(), u"OK:ok"_s);
    QCOMPARE(dc.ServerName(), QStringLiteral("localhost:%1").arg(server.Port()));
    QCOMPARE(dc.PageName(), u"/"_s);
    QTRY_VERIFY_WITH_TIMEOUT(server.Requests().value(0).startsWith(
                                 QStringLiteral("GET / HTTP/1.0\r\nUser-Agent: Opera/9.00 (Windows NT 5.1; ru)\r\n"
                                                "Host: localhost:%1\r\n")
                                     .arg(server.Port())
                                     .toLatin1()),
                             kWait);
}

void TestDCFailures::stopWhileIdle()
{
    DC dc;
    DCRecorder recorder(dc);
    dc.Stopped();
    QCOMPARE(recorder.events, QStringList({u"Msg:Загрузка остановлена"_s, u"Percent:0"_s, u"Size:0"_s}));
}

void TestDCFailures::stopDuringTransferAndLateClose()
{
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript(
        {S::Send("HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\nhalf"), S::Hold(), S::Send("rest"), S::Close()});
    server.AddScript({S::Send(kOkAnswer), S::Close()});
    DC dc;
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/v"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.events.contains(u"Percent:50"_s), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(server.Waiting(), 1, kWait);
    recorder.events.clear();
    dc.Stopped();
    QCOMPARE(recorder.events, QStringList({u"Msg:Загрузка остановлена"_s, u"Percent:0"_s, u"Size:0"_s}));
    // The server finishes its answer and closes after the stop: none of it may be reported.
    server.Release();
    recorder.events.clear();
    dc.setURL(Url(server, u"/next"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.first(), u"Percent:0"_s);
    QCOMPARE(recorder.events.filter(u"OK:"_s), QStringList({u"OK:ok"_s}));
    QCOMPARE(recorder.events.count(u"Msg:Завершено"_s), 1);
    QCOMPARE(recorder.events.filter(u"Error:"_s), QStringList());
}

void TestDCFailures::stopAndErrorsLetTheAnswerGo_data()
{
    QTest::addColumn<bool>("stop");  // otherwise the server falls silent past the time limit
    QTest::addColumn<bool>("declared");
    QTest::newRow("stop, declared length") << true << true;
    QTest::newRow("stop, no length") << true << false;
    QTest::newRow("error, declared length") << false << true;
    QTest::newRow("error, no length") << false << false;
}

void TestDCFailures::stopAndErrorsLetTheAnswerGo()
{
    QFETCH(bool, stop);
    QFETCH(bool, declared);
    const QByteArray part(512 * 1024, 'v');
    const QByteArray header =
        declared ? "HTTP/1.0 200 OK\r\nContent-Length: 4194304\r\n\r\n" : "HTTP/1.0 200 OK\r\n\r\n";
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript({S::Send(header + part), S::Hold(), S::Close()});
    DC dc;
    dc.setTimeLimits(DC::TimeLimits{std::chrono::milliseconds(30000),
                                    stop ? std::chrono::milliseconds(60000) : std::chrono::milliseconds(300)});
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/v.flv"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.events.contains(Receiving(header.size() + part.size())), kWait);
    QVERIFY(dc.HeldBytes() >= part.size());
    if (stop)
        dc.Stopped();
    else
        QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(dc.HeldBytes(), 0);
    server.Release();
}

void TestDCFailures::settingURLWhileOpenDropsTheOldTransfer()
{
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript(
        {S::Send("HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\nold"), S::Hold(), S::Send("tail"), S::Close()});
    server.AddScript({S::Send(kOkAnswer), S::Close()});
    DC dc;
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(Url(server, u"/first"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.events.contains(u"Size:8"_s), kWait);
    recorder.events.clear();
    dc.setURL(Url(server, u"/second"_s));
    server.Release();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QStringList expected = Start(server.HostAndPort());
    expected << u"Server:Сервер: "_s + server.HostAndPort() << u"Msg:Отправлен запрос..."_s
             << Receiving(kOkAnswer.size()) << u"Size:2"_s << u"Percent:100"_s << u"Msg:Завершено"_s << u"OK:ok"_s;
    QCOMPARE(recorder.events, expected);
}

void TestDCFailures::urlModeAloneStartsNothing()
{
    ScriptedServer server;
    QVERIFY(server.Listen());
    DC dc;
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURLmode(false);
    QCOMPARE(recorder.events, QStringList());
    QCOMPARE(server.Connections(), 0);
    QCOMPARE(dc.URL(), QString());
}

QTEST_GUILESS_MAIN(TestDCFailures)
#include "tst_dc_failures.moc"
