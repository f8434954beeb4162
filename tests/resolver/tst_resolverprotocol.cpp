#include "ResolverService.h"
#include "ResolverTestSupport.h"
#include "Version.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace ResolverTestSupport;

// The service's side of HTTP: many clients at once, clients that leave, kept connections, bad requests.
class TestResolverProtocol : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void answersOthersWhileAFetchWaits();
    void survivesAClientThatLeaves();
    void answersVersionAndIndex();
    void keepsHttp11ConnectionsOpen();
    void saysContinueBeforeTheBody();
    void rejectsBadRequests_data();
    void rejectsBadRequests();

private:
    QByteArray Resolve(quint16 port, const QString &address);

    NginxServer nginx;
    std::unique_ptr<ResolverService> service;
};

QByteArray TestResolverProtocol::Resolve(quint16 port, const QString &address)
{
    return ExchangeRaw(port, ComposeResolutionRequest(EncodeAsProgram(address), "localhost:8397"));
}

void TestResolverProtocol::initTestCase()
{
    nginx.WritePage("pages/og.html", R"(<html><meta property="og:video" content="/media/og.mp4"></html>)");
    QString error;
    QVERIFY2(nginx.Start(&error), qPrintable(error));
    service = StartLocalService();
    QVERIFY(service->ServerPort() != 0);
}

void TestResolverProtocol::answersOthersWhileAFetchWaits()
{
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    QTcpSocket waiting;
    waiting.connectToHost(QHostAddress::LocalHost, service->ServerPort());
    QVERIFY(waiting.waitForConnected(5000));
    waiting.write(
        ComposeResolutionRequest(EncodeAsProgram(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort())),
                                 "localhost:8397"));
    QTRY_VERIFY(silent.hasPendingConnections());  // the slow fetch has begun
    QCOMPARE(ReadVideoLink(BodyOf(Resolve(service->ServerPort(), nginx.Address("pages/og.html")))),
             nginx.Address("media/og.mp4"));
    QCOMPARE(waiting.bytesAvailable(), 0);
    QCOMPARE(waiting.state(), QAbstractSocket::ConnectedState);
}

void TestResolverProtocol::survivesAClientThatLeaves()
{
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    {
        QTcpSocket leaving;
        leaving.connectToHost(QHostAddress::LocalHost, service->ServerPort());
        QVERIFY(leaving.waitForConnected(5000));
        leaving.write(
            ComposeResolutionRequest(EncodeAsProgram(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort())),
                                     "localhost:8397"));
        QTRY_VERIFY(silent.hasPendingConnections());
        leaving.abort();
    }
    // The fetch is dropped with its client: the page's server sees the connection close.
    QTcpSocket *fetch = silent.nextPendingConnection();
    QVERIFY(fetch);
    QTRY_COMPARE_WITH_TIMEOUT(fetch->state(), QAbstractSocket::UnconnectedState, 10000);
    QCOMPARE(BodyOf(ExchangeRaw(service->ServerPort(), "GET /version.info HTTP/1.0\r\n\r\n")), AppVersion().toUtf8());
}

void TestResolverProtocol::answersVersionAndIndex()
{
    ResolverOptions options;
    options.currentVersion = QStringLiteral("1.8");
    const auto ownService = StartLocalService(options);
    const QByteArray version =
        ExchangeRaw(ownService->ServerPort(),
                    "GET /version.info HTTP/1.0\r\nUser-Agent: Opera/9.00 (Windows NT 5.1; ru)\r\n"
                    "Host: localhost\r\nAccept: */*\r\nConnection: Close\r\n\r\n");
    QVERIFY(version.startsWith("HTTP/1.1 200 OK\r\n"));
    QVERIFY(version.contains("\r\nContent-Length: 3\r\n"));
    QCOMPARE(BodyOf(version), QByteArray("1.8"));
    const QByteArray proxied = ExchangeRaw(ownService->ServerPort(),
                                           "GET http://localhost:8397/version.info HTTP/1.0\r\nHost: localhost:8397\r\n"
                                           "Proxy-Connection: Close\r\n\r\n");
    QCOMPARE(BodyOf(proxied), QByteArray("1.8"));
    const QByteArray index = ExchangeRaw(ownService->ServerPort(), "GET / HTTP/1.0\r\n\r\n");
    QVERIFY(index.startsWith("HTTP/1.1 200 OK\r\n"));
    QVERIFY(BodyOf(index).contains("quillon-resolver 1.8"));
    const QByteArray head = ExchangeRaw(ownService->ServerPort(), "HEAD /version.info HTTP/1.0\r\n\r\n");
    QVERIFY(head.contains("\r\nContent-Length: 3\r\n"));
    QCOMPARE(BodyOf(head), QByteArray());
}

void TestResolverProtocol::keepsHttp11ConnectionsOpen()
{
    const QByteArray pipelined = "GET /version.info HTTP/1.1\r\nHost: h\r\n\r\n"
                                 "POST /xurl/ HTTP/1.1\r\nHost: h\r\nContent-Length: "
        + QByteArray::number(4 + EncodeAsProgram(nginx.Address("pages/og.html")).size())
        + "\r\n\r\nurl=" + EncodeAsProgram(nginx.Address("pages/og.html"))
        + "GET /version.info HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n";
    const QByteArray answers = ExchangeRaw(service->ServerPort(), pipelined);
    QCOMPARE(answers.count("HTTP/1.1 200 OK\r\n"), 3);
    QCOMPARE(answers.count("Connection: keep-alive\r\n"), 2);
    QVERIFY(answers.endsWith("Connection: close\r\n\r\n" + AppVersion().toUtf8()));
    QCOMPARE(ReadVideoLink(answers), nginx.Address("media/og.mp4"));
}

void TestResolverProtocol::saysContinueBeforeTheBody()
{
    const QByteArray body = "url=" + EncodeAsUtf8Form(nginx.Address("pages/og.html"));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, service->ServerPort());
    QVERIFY(client.waitForConnected(5000));
    client.write("POST /xurl/ HTTP/1.1\r\nHost: h\r\nExpect: 100-continue\r\nConnection: close\r\nContent-Length: "
                 + QByteArray::number(body.size()) + "\r\n\r\n");
    QTRY_VERIFY(client.bytesAvailable() >= 25);
    QCOMPARE(client.readAll(), QByteArray("HTTP/1.1 100 Continue\r\n\r\n"));
    client.write(body);
    QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(ReadVideoLink(client.readAll()), nginx.Address("media/og.mp4"));
}

void TestResolverProtocol::rejectsBadRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("statusLine");
    // The body is refused from its declared length, before any of it is read.
    QTest::newRow("body over 64 KiB") << QByteArray("POST /xurl/ HTTP/1.0\r\nContent-Length: 65537\r\n\r\n")
                                      << QByteArray("HTTP/1.1 413 Payload Too Large\r\n");
    QTest::newRow("chunked body over 64 KiB") << "POST /xurl/ HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n10001\r\n"
            + QByteArray(65537, 'a')
            + "\r\n0\r\n\r\n" << QByteArray("HTTP/1.1 413 Payload Too Large\r\n");
    QTest::newRow("header too large") << "GET / HTTP/1.0\r\nX: " + QByteArray(20000, 'a') + "\r\n\r\n"
                                      << QByteArray("HTTP/1.1 431 Request Header Fields Too Large\r\n");
    QTest::newRow("not http") << QByteArray("HELLO THERE\r\n\r\n") << QByteArray("HTTP/1.1 400 Bad Request\r\n");
    // Read otherwise by a server in front of us, the body would be a second request: it is never answered.
    QTest::newRow("transfer coding other than chunked")
        << QByteArray("POST /xurl/ HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked, identity\r\n\r\n"
                      "GET /version.info HTTP/1.1\r\nHost: h\r\n\r\n")
        << QByteArray("HTTP/1.1 400 Bad Request\r\n");
    QTest::newRow("trailer that never ends")
        << "POST /xurl/ HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n\r\n0\r\nX: " + QByteArray(40000, 'a')
        << QByteArray("HTTP/1.1 413 Payload Too Large\r\n");
    QTest::newRow("unknown address") << QByteArray("GET /admin HTTP/1.0\r\n\r\n")
                                     << QByteArray("HTTP/1.1 404 Not Found\r\n");
    QTest::newRow("resolution by GET") << QByteArray("GET /xurl/ HTTP/1.0\r\n\r\n")
                                       << QByteArray("HTTP/1.1 405 Method Not Allowed\r\n");
    QTest::newRow("version by POST") << QByteArray("POST /version.info HTTP/1.0\r\nContent-Length: 0\r\n\r\n")
                                     << QByteArray("HTTP/1.1 405 Method Not Allowed\r\n");
}

void TestResolverProtocol::rejectsBadRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, statusLine);
    const QByteArray answer = ExchangeRaw(service->ServerPort(), request);
    QVERIFY2(answer.startsWith(statusLine), answer.left(200).constData());
    QVERIFY(answer.contains("Connection: close\r\n"));
    QCOMPARE(answer.count("HTTP/1.1 "), 1);
}

QTEST_GUILESS_MAIN(TestResolverProtocol)
#include "tst_resolverprotocol.moc"
