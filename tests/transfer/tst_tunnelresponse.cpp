#include "ProxyTunnel.h"
#include "ResponseReader.h"

#include <QTest>

using Kind = TunnelAnswer::Kind;
Q_DECLARE_METATYPE(TunnelAnswer::Kind)

// The proxy's answer to CONNECT, judged as it arrives.
class TestTunnelResponse : public QObject {
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void headerSizeLeavesWhatFollows();
    void headerTooLarge();
};

void TestTunnelResponse::answers_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<bool>("authConfigured");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("statusLine");
    QTest::newRow("nothing yet") << QByteArray() << false << Kind::Incomplete << QByteArray();
    QTest::newRow("part of the status line") << QByteArray("HTTP/1.") << false << Kind::Incomplete << QByteArray();
    QTest::newRow("header not ended") << QByteArray("HTTP/1.0 200 Connection established\r\nVia: x\r\n") << false
                                      << Kind::Incomplete << QByteArray("HTTP/1.0 200 Connection established");
    QTest::newRow("open") << QByteArray("HTTP/1.0 200 Connection established\r\nProxy-agent: tinyproxy\r\n\r\n") << true
                          << Kind::Open << QByteArray("HTTP/1.0 200 Connection established");
    QTest::newRow("open, HTTP/1.1, no reason")
        << QByteArray("HTTP/1.1 200\r\n\r\n") << false << Kind::Open << QByteArray("HTTP/1.1 200");
    QTest::newRow("407 with login") << QByteArray("HTTP/1.0 407 Proxy Authentication Required\r\n\r\n") << true
                                    << Kind::LoginRefused << QByteArray("HTTP/1.0 407 Proxy Authentication Required");
    QTest::newRow("407 without login") << QByteArray("HTTP/1.0 407 Proxy Authentication Required\r\n\r\n") << false
                                       << Kind::WantsLogin << QByteArray("HTTP/1.0 407 Proxy Authentication Required");
    QTest::newRow("401 with login") << QByteArray("HTTP/1.0 401 Unauthorized\r\n\r\n") << true << Kind::LoginRefused
                                    << QByteArray("HTTP/1.0 401 Unauthorized");
    QTest::newRow("401 without login") << QByteArray("HTTP/1.0 401 Unauthorized\r\n\r\n") << false << Kind::Refused
                                       << QByteArray("HTTP/1.0 401 Unauthorized");
    QTest::newRow("403") << QByteArray("HTTP/1.0 403 Access violation\r\nContent-Length: 0\r\n\r\n") << true
                         << Kind::Refused << QByteArray("HTTP/1.0 403 Access violation");
    QTest::newRow("other 2xx is no tunnel") << QByteArray("HTTP/1.0 204 No Content\r\n\r\n") << false << Kind::Refused
                                            << QByteArray("HTTP/1.0 204 No Content");
    QTest::newRow("open, line feeds alone") << QByteArray("HTTP/1.0 200 Connection established\nVia: x\n\n") << false
                                            << Kind::Open << QByteArray("HTTP/1.0 200 Connection established");
    QTest::newRow("not http at once") << QByteArray("SSH-2.0") << false << Kind::NotHttp << QByteArray();
    QTest::newRow("bad status line") << QByteArray("HTTP/1.0 2x0 OK\r\n\r\n") << false << Kind::NotHttp
                                     << QByteArray("HTTP/1.0 2x0 OK");
    QTest::newRow("TLS bytes") << QByteArray("\x16\x03\x01\x00", 4) << false << Kind::NotHttp << QByteArray();
}

void TestTunnelResponse::answers()
{
    QFETCH(QByteArray, received);
    QFETCH(bool, authConfigured);
    QFETCH(Kind, kind);
    QFETCH(QByteArray, statusLine);
    const TunnelAnswer answer = ReadTunnelAnswer(received, authConfigured);
    QCOMPARE(answer.kind, kind);
    QCOMPARE(answer.statusLine, statusLine);
}

void TestTunnelResponse::headerSizeLeavesWhatFollows()
{
    const QByteArray header = "HTTP/1.0 200 Connection established\r\n\r\n";
    const TunnelAnswer answer = ReadTunnelAnswer(header + "\x16\x03\x03", false);
    QCOMPARE(answer.kind, Kind::Open);
    QCOMPARE(answer.headerSize, header.size());
    const QByteArray lineFeeds = "HTTP/1.0 200 Connection established\n\n";
    QCOMPARE(ReadTunnelAnswer(lineFeeds + "\x16\x03\x03", false).headerSize, lineFeeds.size());
}

void TestTunnelResponse::headerTooLarge()
{
    QByteArray received = "HTTP/1.0 200 OK\r\n";
    while (received.size() <= ResponseReader::kMaxHeaderBytes)
        received += "X-Filler: 0123456789012345678901234567890123456789\r\n";
    QCOMPARE(ReadTunnelAnswer(received, false).kind, Kind::TooLarge);
    QCOMPARE(ReadTunnelAnswer(received + "\r\n", false).kind, Kind::TooLarge);
    // Just under the limit still counts.
    QByteArray fits = "HTTP/1.0 200 OK\r\n";
    fits += QByteArray(ResponseReader::kMaxHeaderBytes - fits.size() - 4, 'x') + "\r\n\r\n";
    QCOMPARE(fits.size(), ResponseReader::kMaxHeaderBytes);
    // The filler has no colon, but the tunnel needs nothing from the header lines.
    QCOMPARE(ReadTunnelAnswer(fits, false).kind, Kind::Open);
}

QTEST_GUILESS_MAIN(TestTunnelResponse)
#include "tst_tunnelresponse.moc"
