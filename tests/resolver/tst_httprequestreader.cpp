#include "HttpRequestReader.h"

#include <QTest>

// The service's reading of requests, on bytes given whole and one at a time.
class TestHttpRequestReader : public QObject {
    Q_OBJECT

private slots:
    void readsRequests_data();
    void readsRequests();
};

namespace {

struct Outcome {
    QList<QByteArray> requests;  // "METHOD target body" of each complete request
    int rejectStatus = 0;
    qsizetype mostBuffered = 0;
};

Outcome Read(const QByteArray &stream, qsizetype piece)
{
    HttpLimits limits;
    limits.headerLimit = 1024;
    limits.bodyLimit = 2048;
    HttpRequestReader reader(limits);
    Outcome outcome;
    for (qsizetype at = 0; at < stream.size() && outcome.rejectStatus == 0; at += piece) {
        reader.Feed(QByteArrayView(stream).sliced(at, std::min(piece, stream.size() - at)));
        for (;;) {
            const HttpRequestReader::State state = reader.Parse();
            outcome.mostBuffered = std::max(outcome.mostBuffered, reader.BufferedBytes());
            if (state == HttpRequestReader::State::Complete) {
                const HttpRequest request = reader.TakeRequest();
                outcome.requests.append(request.method + ' ' + request.target + ' ' + request.body);
                continue;
            }
            if (state == HttpRequestReader::State::Rejected)
                outcome.rejectStatus = reader.RejectStatus();
            break;
        }
    }
    return outcome;
}

}  // namespace

void TestHttpRequestReader::readsRequests_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("requests");
    QTest::addColumn<int>("rejectStatus");

    const QByteArray post = "POST /xurl/ HTTP/1.1\r\nHost: h\r\n";
    QTest::newRow("pipelined, blank line between")
        << "GET / HTTP/1.1\r\nHost: h\r\n\r\n\r\n" + post + "Content-Length: 5\r\n\r\nurl=x"
        << QList<QByteArray>{"GET / ", "POST /xurl/ url=x"} << 0;
    QTest::newRow("chunked body") << post + "Transfer-Encoding: chunked\r\n\r\n3\r\nurl\r\n2\r\n=x\r\n0\r\n\r\n"
                                  << QList<QByteArray>{"POST /xurl/ url=x"} << 0;
    QTest::newRow("chunked, any case") << post + "Transfer-Encoding: Chunked\r\n\r\n5\r\nurl=x\r\n0\r\n\r\n"
                                       << QList<QByteArray>{"POST /xurl/ url=x"} << 0;
    // Another server in front of us could read these bodies differently: the second request is never read.
    const QByteArray smuggled = "GET /version.info HTTP/1.1\r\nHost: h\r\n\r\n";
    QTest::newRow("chunked, identity") << post + "Transfer-Encoding: chunked, identity\r\n\r\n" + smuggled
                                       << QList<QByteArray>{} << 400;
    QTest::newRow("gzip without length") << post + "Transfer-Encoding: gzip\r\n\r\n" + smuggled << QList<QByteArray>{}
                                         << 400;
    QTest::newRow("identity") << post + "Transfer-Encoding: identity\r\n\r\n" + smuggled << QList<QByteArray>{} << 400;
    QTest::newRow("chunked twice") << post + "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"
                                   << QList<QByteArray>{} << 400;
    QTest::newRow("length and chunked") << post + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"
                                        << QList<QByteArray>{} << 400;
    // Lines that never end are refused at the header limit, wherever they are.
    QTest::newRow("request line without end")
        << QByteArray("GET /") + QByteArray(5000, 'a') << QList<QByteArray>{} << 431;
    QTest::newRow("trailer without end") << post + "Transfer-Encoding: chunked\r\n\r\n0\r\nX: " + QByteArray(5000, 'a')
                                         << QList<QByteArray>{} << 413;
    QTest::newRow("chunk extension without end")
        << post + "Transfer-Encoding: chunked\r\n\r\n5;" + QByteArray(5000, 'a') << QList<QByteArray>{} << 413;
    QTest::newRow("body over the limit") << post + "Content-Length: 3000\r\n\r\n" << QList<QByteArray>{} << 413;
}

void TestHttpRequestReader::readsRequests()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, requests);
    QFETCH(int, rejectStatus);
    for (const qsizetype piece : {stream.size(), qsizetype(1), qsizetype(7)}) {
        const Outcome outcome = Read(stream, piece);
        QCOMPARE(outcome.requests, requests);
        QCOMPARE(outcome.rejectStatus, rejectStatus);
        // Never more than a header's worth of bytes it cannot parse yet, and the last piece.
        QVERIFY2(outcome.mostBuffered <= 1024 + piece, QByteArray::number(outcome.mostBuffered));
    }
}

QTEST_GUILESS_MAIN(TestHttpRequestReader)
#include "tst_httprequestreader.moc"
