#include "ResponseReader.h"

#include <QBuffer>
#include <QTest>

using Kind = Outcome::Kind;
Q_DECLARE_METATYPE(Outcome::Kind)

namespace {

const QByteArray kVideo = QByteArray("FLV\x01\x05\r\n\r\nbody with an empty line inside", 38);

// The pieces an answer arrives in: cut before each given offset.
QList<QByteArray> Cut(const QByteArray &answer, const QList<int> &cuts)
{
    QList<QByteArray> pieces;
    int from = 0;
    for (int cut : cuts) {
        pieces.append(answer.sliced(from, cut - from));
        from = cut;
    }
    pieces.append(answer.sliced(from));
    return pieces;
}

ResponseReader::ProxyContext Proxy(bool viaProxy, bool auth, bool tunnelled = false)
{
    ResponseReader::ProxyContext context;
    context.viaProxy = viaProxy;
    context.authConfigured = auth;
    context.tunnelled = tunnelled;
    return context;
}

}  // namespace

class TestResponseReader : public QObject {
    Q_OBJECT

private slots:
    void statusLine_data();
    void statusLine();
    void findHeader_data();
    void findHeader();
    void contentRange_data();
    void contentRange();
    void contentLength_data();
    void contentLength();
    void classification_data();
    void classification();
    void proxyAnswers_data();
    void proxyAnswers();
    void progress_data();
    void progress();
    void limits_data();
    void limits();
    void readsFromADevice();
    void bodyIsHandedOverWithoutCopy();
};

void TestResponseReader::statusLine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("1.0 ok") << QByteArray("HTTP/1.0 200 OK") << 200 << QByteArray("OK");
    QTest::newRow("1.1 other reason") << QByteArray("HTTP/1.1 200 Ok") << 200 << QByteArray("Ok");
    QTest::newRow("no reason") << QByteArray("HTTP/1.1 204") << 204 << QByteArray();
    QTest::newRow("blank reason") << QByteArray("HTTP/1.1 302 ") << 302 << QByteArray();
    QTest::newRow("long reason") << QByteArray("HTTP/1.0 404 Not Found") << 404 << QByteArray("Not Found");
    QTest::newRow("http 2") << QByteArray("HTTP/2 200 OK") << -1 << QByteArray();
    QTest::newRow("http 0.9") << QByteArray("HTTP/0.9 200 OK") << -1 << QByteArray();
    QTest::newRow("lower case") << QByteArray("http/1.1 200 OK") << -1 << QByteArray();
    QTest::newRow("two digits") << QByteArray("HTTP/1.1 20 OK") << -1 << QByteArray();
    QTest::newRow("four digits") << QByteArray("HTTP/1.1 2000 OK") << -1 << QByteArray();
    QTest::newRow("no blank") << QByteArray("HTTP/1.1200 OK") << -1 << QByteArray();
    QTest::newRow("html") << QByteArray("<html>") << -1 << QByteArray();
    QTest::newRow("empty") << QByteArray() << -1 << QByteArray();
}

void TestResponseReader::statusLine()
{
    QFETCH(QByteArray, line);
    QFETCH(int, code);
    QFETCH(QByteArray, reason);
    const std::optional<StatusLine> status = ParseStatusLine(line);
    QCOMPARE(status ? status->code : -1, code);
    if (status)
        QCOMPARE(status->reason, reason);
}

void TestResponseReader::findHeader_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("value");  // "<none>" when absent
    const QByteArray block = "HTTP/1.0 200 OK\r\nContent-length:500\r\nX-A:  spaced \t\r\n"
                             "Location: /x.flv\r\nX-Dup: 1\r\nX-Dup: 2\r\n\r\nLocation: /body\r\n";
    QTest::newRow("small l, no blank") << block << QByteArray("Content-Length") << QByteArray("500");
    QTest::newRow("blanks trimmed") << block << QByteArray("x-a") << QByteArray("spaced");
    QTest::newRow("first of two") << block << QByteArray("X-Dup") << QByteArray("1");
    QTest::newRow("location") << block << QByteArray("LOCATION") << QByteArray("/x.flv");
    QTest::newRow("absent") << block << QByteArray("Server") << QByteArray("<none>");
    QTest::newRow("not after the header") << QByteArray("HTTP/1.0 200 OK\r\n\r\nContent-Length: 5\r\n")
                                          << QByteArray("Content-Length") << QByteArray("<none>");
    QTest::newRow("status line is no header")
        << QByteArray("Location: x\r\n\r\n") << QByteArray("Location") << QByteArray("<none>");
    QTest::newRow("name must match whole") << QByteArray("HTTP/1.0 200 OK\r\nX-Content-Length: 5\r\n\r\n")
                                           << QByteArray("Content-Length") << QByteArray("<none>");
    QTest::newRow("empty value") << QByteArray("HTTP/1.0 302 Found\r\nLocation:\r\n\r\n") << QByteArray("Location")
                                 << QByteArray("");
}

void TestResponseReader::findHeader()
{
    QFETCH(QByteArray, block);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, value);
    const std::optional<QByteArrayView> found = FindHeader(block, name);
    QCOMPARE(found ? found->toByteArray() : QByteArray("<none>"), value);
}

void TestResponseReader::contentRange_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QList<qint64>>("range");  // first, last, total; empty when none
    QTest::newRow("rest of a file") << QByteArray("bytes 500-999/1000") << QList<qint64>{500, 999, 1000};
    QTest::newRow("beyond 4 GiB") << QByteArray("bytes 4294967296-8589934591/8589934592")
                                  << QList<qint64>{4294967296LL, 8589934591LL, 8589934592LL};
    QTest::newRow("unknown total") << QByteArray("bytes 500-999/*") << QList<qint64>{};
    QTest::newRow("last beyond total") << QByteArray("bytes 500-1000/1000") << QList<qint64>{};
    QTest::newRow("first after last") << QByteArray("bytes 600-500/1000") << QList<qint64>{};
    QTest::newRow("other unit") << QByteArray("items 1-2/3") << QList<qint64>{};
    QTest::newRow("unsatisfied") << QByteArray("bytes */1000") << QList<qint64>{};
}

void TestResponseReader::contentRange()
{
    QFETCH(QByteArray, value);
    QFETCH(QList<qint64>, range);
    const std::optional<ContentRange> parsed = ParseContentRange(value);
    const QList<qint64> found = parsed ? QList<qint64>{parsed->first, parsed->last, parsed->total} : QList<qint64>{};
    QCOMPARE(found, range);
}

void TestResponseReader::contentLength_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<qint64>("length");  // -1 when none
    QTest::newRow("plain") << QByteArray("500") << qint64(500);
    QTest::newRow("zero") << QByteArray("0") << qint64(0);
    QTest::newRow("over 2 GiB") << QByteArray("3000000000") << qint64(3000000000LL);
    QTest::newRow("digits then junk") << QByteArray("12abc") << qint64(-1);
    QTest::newRow("thousands separator") << QByteArray("1,029") << qint64(-1);
    QTest::newRow("hexadecimal") << QByteArray("0x405") << qint64(-1);
    QTest::newRow("decimal point") << QByteArray("5.0") << qint64(-1);
    QTest::newRow("blank inside") << QByteArray("10 24") << qint64(-1);
    QTest::newRow("no digits") << QByteArray("abc") << qint64(-1);
    QTest::newRow("negative") << QByteArray("-5") << qint64(-1);
    QTest::newRow("empty") << QByteArray() << qint64(-1);
    // No length beyond 2^63 - 1 is real: such a value is as wrong as any other that is no length.
    QTest::newRow("2^63 - 1") << QByteArray("9223372036854775807") << std::numeric_limits<qint64>::max();
    QTest::newRow("2^63 - 1, leading zeros")
        << QByteArray("0009223372036854775807") << std::numeric_limits<qint64>::max();
    QTest::newRow("2^63") << QByteArray("9223372036854775808") << qint64(-1);
    QTest::newRow("2^63 + 1") << QByteArray("9223372036854775809") << qint64(-1);
    QTest::newRow("2^64 - 1") << QByteArray("18446744073709551615") << qint64(-1);
    QTest::newRow("2^64") << QByteArray("18446744073709551616") << qint64(-1);
    QTest::newRow("2^64 + 1") << QByteArray("18446744073709551617") << qint64(-1);
    QTest::newRow("beyond 64 bits") << QByteArray("99999999999999999999999") << qint64(-1);
}

void TestResponseReader::contentLength()
{
    QFETCH(QByteArray, value);
    QFETCH(qint64, length);
    QCOMPARE(ParseContentLength(value).value_or(-1), length);
}

void TestResponseReader::classification_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QList<int>>("cuts");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("location");

    const QByteArray ok = "HTTP/1.0 200 OK\r\nContent-Length: 38\r\n\r\n" + kVideo;
    QTest::newRow("success whole") << ok << QList<int>{} << Kind::Success << kVideo << QByteArray();
    QTest::newRow("success cut inside the empty line")
        << ok << QList<int>{38, 39, 40} << Kind::Success << kVideo << QByteArray();
    QTest::newRow("success cut inside the length line")
        << ok << QList<int>{20, 30} << Kind::Success << kVideo << QByteArray();
    QTest::newRow("success, other reason phrase")
        << "HTTP/1.1 200 Ok\r\n\r\n" + kVideo << QList<int>{3} << Kind::Success << kVideo << QByteArray();
    QTest::newRow("success without length")
        << "HTTP/1.0 200 OK\r\nServer: x\r\n\r\n" + kVideo << QList<int>{} << Kind::Success << kVideo << QByteArray();
    QTest::newRow("empty body") << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n") << QList<int>{}
                                << Kind::Success << QByteArray() << QByteArray();
    QTest::newRow("more than declared is let go")
        << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcdef") << QList<int>{40, 41} << Kind::Success
        << QByteArray("abc") << QByteArray();
    QTest::newRow("body cut short") << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc") << QList<int>{}
                                    << Kind::BodyCut << QByteArray("abc") << QByteArray();
    QTest::newRow("header cut") << QByteArray("HTTP/1.0 200 OK\r\nContent-Le") << QList<int>{5} << Kind::HeaderCut
                                << QByteArray() << QByteArray();
    QTest::newRow("status line cut") << QByteArray("HTTP/1.") << QList<int>{} << Kind::HeaderCut << QByteArray()
                                     << QByteArray();
    QTest::newRow("302 with a path") << QByteArray("HTTP/1.0 302 Found\r\nLocation: /x.flv\r\n\r\n") << QList<int>{25}
                                     << Kind::Redirect << QByteArray() << QByteArray("/x.flv");
    QTest::newRow("301 lower-case name") << QByteArray("HTTP/1.1 301 Moved\r\nlocation:http://h/x\r\n\r\n")
                                         << QList<int>{} << Kind::Redirect << QByteArray() << QByteArray("http://h/x");
    QTest::newRow("303") << QByteArray("HTTP/1.1 303 See Other\r\nLocation: a\r\n\r\n") << QList<int>{}
                         << Kind::Redirect << QByteArray() << QByteArray("a");
    QTest::newRow("307") << QByteArray("HTTP/1.1 307 Temporary Redirect\r\nLocation: a\r\n\r\n") << QList<int>{}
                         << Kind::Redirect << QByteArray() << QByteArray("a");
    QTest::newRow("308") << QByteArray("HTTP/1.1 308 Permanent Redirect\r\nLocation: a\r\n\r\n") << QList<int>{}
                         << Kind::Redirect << QByteArray() << QByteArray("a");
    QTest::newRow("302 without location") << QByteArray("HTTP/1.1 302 Found\r\n\r\n") << QList<int>{}
                                          << Kind::RedirectWithoutLocation << QByteArray() << QByteArray();
    QTest::newRow("302 location only in the body")
        << QByteArray("HTTP/1.1 302 Found\r\n\r\nLocation: /x\r\n") << QList<int>{} << Kind::RedirectWithoutLocation
        << QByteArray() << QByteArray();
    QTest::newRow("302 cut in the header") << QByteArray("HTTP/1.1 302 Found\r\nLocation: /x") << QList<int>{}
                                           << Kind::HeaderCut << QByteArray() << QByteArray();
    QTest::newRow("304 is no redirect") << QByteArray("HTTP/1.1 304 Not Modified\r\nLocation: /x\r\n\r\n")
                                        << QList<int>{} << Kind::ServerError << QByteArray() << QByteArray();
    QTest::newRow("300 is no redirect") << QByteArray("HTTP/1.1 300 Multiple Choices\r\nLocation: /x\r\n\r\n")
                                        << QList<int>{} << Kind::ServerError << QByteArray() << QByteArray();
    QTest::newRow("305 is no redirect") << QByteArray("HTTP/1.1 305 Use Proxy\r\nLocation: /x\r\n\r\n") << QList<int>{}
                                        << Kind::ServerError << QByteArray() << QByteArray();
    QTest::newRow("404") << QByteArray("HTTP/1.1 404 Not Found\r\n\r\nnope") << QList<int>{} << Kind::ServerError
                         << QByteArray() << QByteArray();
    QTest::newRow("500 cut in the header")
        << QByteArray("HTTP/1.0 500 Oops\r\nX") << QList<int>{} << Kind::ServerError << QByteArray() << QByteArray();
    QTest::newRow("not http") << QByteArray("<html>hello</html>\r\n\r\n") << QList<int>{} << Kind::NotHttp
                              << QByteArray() << QByteArray();
    QTest::newRow("not http, no line end")
        << QByteArray("SSH-2.0-OpenSSH") << QList<int>{} << Kind::NotHttp << QByteArray() << QByteArray();
    QTest::newRow("empty") << QByteArray() << QList<int>{} << Kind::Empty << QByteArray() << QByteArray();

    // Header lines ended by a line feed alone, as some servers write them.
    QTest::newRow("line feeds alone") << "HTTP/1.0 200 OK\nContent-Length: 38\n\n" + kVideo << QList<int>{16, 35}
                                      << Kind::Success << kVideo << QByteArray();
    QTest::newRow("line ends mixed") << "HTTP/1.1 200 OK\r\nServer: x\nContent-Length: 38\r\n\n" + kVideo
                                     << QList<int>{} << Kind::Success << kVideo << QByteArray();
    QTest::newRow("redirect with line feeds alone")
        << QByteArray("HTTP/1.0 302 Found\nLocation: /x.flv\n\n") << QList<int>{} << Kind::Redirect << QByteArray()
        << QByteArray("/x.flv");
    QTest::newRow("line feeds alone, cut in the header")
        << QByteArray("HTTP/1.0 200 OK\nContent-Length: 38\n") << QList<int>{} << Kind::HeaderCut << QByteArray()
        << QByteArray();

    // The length must be one plain number: anything else could cut the file or take in bytes after it.
    const QByteArray body1029 = QByteArray(1029, 'v');
    QTest::newRow("length with a thousands separator")
        << "HTTP/1.0 200 OK\r\nContent-Length: 1,029\r\n\n" + body1029 << QList<int>{} << Kind::BadLength
        << QByteArray() << QByteArray();
    QTest::newRow("hexadecimal length") << "HTTP/1.0 200 OK\r\nContent-Length: 0x405\r\n\r\n" + body1029 << QList<int>{}
                                        << Kind::BadLength << QByteArray() << QByteArray();
    QTest::newRow("length with junk") << "HTTP/1.0 200 OK\r\nContent-Length: 1029 bytes\r\n\r\n" + body1029
                                      << QList<int>{} << Kind::BadLength << QByteArray() << QByteArray();
    QTest::newRow("empty length") << "HTTP/1.0 200 OK\r\nContent-Length:\r\n\r\n" + body1029 << QList<int>{}
                                  << Kind::BadLength << QByteArray() << QByteArray();
    QTest::newRow("two different lengths")
        << "HTTP/1.0 200 OK\r\nContent-Length: 1029\r\nContent-Length: 1\r\n\r\n" + body1029 << QList<int>{}
        << Kind::BadLength << QByteArray() << QByteArray();
    QTest::newRow("the same length twice")
        << "HTTP/1.0 200 OK\r\nContent-Length: 1029\r\ncontent-length: 1029\r\n\r\n" + body1029 << QList<int>{}
        << Kind::Success << body1029 << QByteArray();
    QTest::newRow("the same length listed twice") << "HTTP/1.0 200 OK\r\nContent-Length: 1029 , 1029\r\n\r\n" + body1029
                                                  << QList<int>{} << Kind::Success << body1029 << QByteArray();
    QTest::newRow("length of 2^63") << "HTTP/1.0 200 OK\r\nContent-Length: 9223372036854775808\r\n\r\n" + body1029
                                    << QList<int>{} << Kind::BadLength << QByteArray() << QByteArray();
    QTest::newRow("bad length of an error answer is no matter")
        << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 0x4\r\n\r\nnope") << QList<int>{} << Kind::ServerError
        << QByteArray() << QByteArray();

    // Interim answers come before the answer itself and are let go.
    QTest::newRow("100 Continue first") << "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 38\r\n\r\n"
            + kVideo << QList<int>{20, 25, 26, 40}
                                        << Kind::Success << kVideo << QByteArray();
    QTest::newRow("two interim answers")
        << "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\nX: y\n\nHTTP/1.1 200 OK\r\n\r\n" + kVideo
        << QList<int>{} << Kind::Success << kVideo << QByteArray();
    QTest::newRow("interim answer, then a redirect")
        << QByteArray("HTTP/1.1 103 Early Hints\r\nLink: </s.css>\r\n\r\nHTTP/1.1 302 Found\r\nLocation: /v\r\n\r\n")
        << QList<int>{} << Kind::Redirect << QByteArray() << QByteArray("/v");
    QTest::newRow("interim answer, then the close") << QByteArray("HTTP/1.1 100 Continue\r\n\r\n") << QList<int>{}
                                                    << Kind::HeaderCut << QByteArray() << QByteArray();
    QTest::newRow("101 is an answer, not a preface")
        << "HTTP/1.1 101 Switching Protocols\r\n\r\nHTTP/1.1 200 OK\r\n\r\n" + kVideo << QList<int>{}
        << Kind::ServerError << QByteArray() << QByteArray();

    // A chunked body, as HTTP/1.1 servers send it even to an HTTP/1.0 request.
    const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                               "5\r\nFLV\x01\x05\r\n21;name=value\r\n"
        + kVideo.sliced(5) + "\r\n0\r\n\r\n";
    const QByteArray videoFrom5 = QByteArray("FLV\x01\x05") + kVideo.sliced(5);
    QTest::newRow("chunked") << chunked << QList<int>{49, 50, 55, 57, 60, 100} << Kind::Success << videoFrom5
                             << QByteArray();
    QTest::newRow("chunked, upper-case hex, line feeds alone, trailer")
        << QByteArray("HTTP/1.1 200 OK\nTransfer-Encoding: Chunked\n\n3\nabc\nA\n0123456789\n0\nX-Sum: 1\n\n")
        << QList<int>{} << Kind::Success << QByteArray("abc0123456789") << QByteArray();
    QTest::newRow("chunked beats a length")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n")
        << QList<int>{} << Kind::Success << QByteArray("abc") << QByteArray();
    QTest::newRow("bytes after the last chunk are let go")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\nextra") << QList<int>{}
        << Kind::Success << QByteArray("abc") << QByteArray();
    QTest::newRow("chunked, cut before the last chunk")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n4\r\nde") << QList<int>{}
        << Kind::ChunksCut << QByteArray("abcde") << QByteArray();
    QTest::newRow("chunked, cut in the trailer")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n") << QList<int>{}
        << Kind::ChunksCut << QByteArray("abc") << QByteArray();
    QTest::newRow("chunk size not hexadecimal")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\nxyz\r\n") << QList<int>{}
        << Kind::BrokenChunks << QByteArray() << QByteArray();
    QTest::newRow("chunk longer than its size")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabcd\r\n0\r\n\r\n") << QList<int>{}
        << Kind::BrokenChunks << QByteArray() << QByteArray();
    // Some proxies name the coding once more; the body is chunked once all the same.
    QTest::newRow("chunked named twice") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, Chunked\r\n"
                                                       "\r\n3\r\nabc\r\n0\r\n\r\n")
                                         << QList<int>{} << Kind::Success << QByteArray("abc") << QByteArray();
    QTest::newRow("chunked on two lines") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n"
                                                        "Transfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n")
                                          << QList<int>{} << Kind::Success << QByteArray("abc") << QByteArray();
    QTest::newRow("other transfer coding")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n")
        << QList<int>{} << Kind::UnknownCoding << QByteArray() << QByteArray();
    QTest::newRow("identity coding is none") << "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\n\r\n" + kVideo
                                             << QList<int>{} << Kind::Success << kVideo << QByteArray();
}

void TestResponseReader::classification()
{
    QFETCH(QByteArray, answer);
    QFETCH(QList<int>, cuts);
    QFETCH(Kind, kind);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, location);

    // The same answer whole, in the chosen pieces, and one byte at a time must read the same.
    QList<QList<QByteArray>> splits{{answer}, Cut(answer, cuts), {}};
    for (char c : answer)
        splits.last().append(QByteArray(1, c));
    for (const QList<QByteArray> &pieces : splits) {
        ResponseReader reader(1 << 20);
        for (const QByteArray &piece : pieces)
            reader.Feed(piece);
        const Outcome outcome = reader.Classify(Proxy(false, false));
        QCOMPARE(outcome.kind, kind);
        QCOMPARE(outcome.location, location);
        if (!reader.Failed())
            QCOMPARE(outcome.receivedBytes, answer.size());
        if (kind == Kind::Success || kind == Kind::BodyCut || kind == Kind::ChunksCut)
            QCOMPARE(reader.TakeBody(), body);
    }
}

void TestResponseReader::proxyAnswers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("viaProxy");
    QTest::addColumn<bool>("auth");
    QTest::addColumn<bool>("tunnelled");
    QTest::addColumn<Kind>("kind");
    const QByteArray required = "HTTP/1.0 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic\r\n\r\n";
    const QByteArray unauthorized = "HTTP/1.0 407 Unauthorized\r\n\r\n";
    // What tinyproxy 1.11 answers to a wrong password.
    const QByteArray tinyproxyWrong = "HTTP/1.0 401 Unauthorized\r\nServer: tinyproxy/1.11.1\r\n"
                                      "WWW-Authenticate: Basic realm=\"Tinyproxy\"\r\n\r\n";
    const QByteArray challengeWrong = "HTTP/1.0 401 Unauthorized\r\nVia: 1.0 p\r\nProxy-Authenticate: Basic\r\n\r\n";
    const QByteArray serverWrong = "HTTP/1.0 401 Unauthorized\r\nVia: 1.0 proxy (tinyproxy/1.11.1)\r\n"
                                   "WWW-Authenticate: Basic realm=\"s\"\r\n\r\n";
    QTest::newRow("407 with login configured") << unauthorized << true << true << false << Kind::ProxyRefused;
    QTest::newRow("407 other phrase, login configured") << required << true << true << false << Kind::ProxyRefused;
    QTest::newRow("407 without login") << required << true << false << false << Kind::ProxyWantsLogin;
    // No proxy was asked: the settings cannot be where the answer is to be mended.
    QTest::newRow("407 direct") << unauthorized << false << false << false << Kind::ProxyLoginWithoutProxy;
    // The proxy has opened the tunnel, the login configured or not: the 407 is from beyond it.
    QTest::newRow("407 through the tunnel") << required << false << false << true << Kind::ServerError;
    QTest::newRow("proxy's 401 for a wrong password") << tinyproxyWrong << true << true << false << Kind::ProxyRefused;
    QTest::newRow("401 with the proxy's challenge") << challengeWrong << true << true << false << Kind::ProxyRefused;
    QTest::newRow("proxy's 401 without login configured")
        << tinyproxyWrong << true << false << false << Kind::ServerError;
    QTest::newRow("web server's 401 through the proxy") << serverWrong << true << true << false << Kind::ServerError;
    QTest::newRow("401 direct") << tinyproxyWrong << false << false << false << Kind::ServerError;
}

void TestResponseReader::proxyAnswers()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, viaProxy);
    QFETCH(bool, auth);
    QFETCH(bool, tunnelled);
    QFETCH(Kind, kind);
    ResponseReader reader(1 << 20);
    reader.Feed(answer);
    QCOMPARE(reader.Classify(Proxy(viaProxy, auth, tunnelled)).kind, kind);
}

void TestResponseReader::progress_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<int>("bodySize");
    QTest::addColumn<qint64>("declared");  // -1 when none
    QTest::newRow("declared") << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n") << 1000 << qint64(1000);
    QTest::newRow("small l still counts")
        << QByteArray("HTTP/1.0 200 OK\r\ncontent-length:  1000 \r\n\r\n") << 1000 << qint64(1000);
    QTest::newRow("none") << QByteArray("HTTP/1.0 200 OK\r\n\r\n") << 1000 << qint64(-1);
    QTest::newRow("zero") << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n") << 0 << qint64(0);
}

void TestResponseReader::progress()
{
    QFETCH(QByteArray, header);
    QFETCH(int, bodySize);
    QFETCH(qint64, declared);
    ResponseReader reader(1 << 20);
    reader.Feed(header.first(header.size() - 1));
    // Nothing is known until the header has ended, even with its length line complete.
    QVERIFY(!reader.DeclaredLength());
    QVERIFY(!reader.Percent());
    reader.Feed(header.last(1));
    QCOMPARE(reader.DeclaredLength().value_or(-1), declared);
    int last = -1;
    for (int sent = 0; sent < bodySize; sent += 100) {
        reader.Feed(QByteArray(100, 'x'));
        const std::optional<int> percent = reader.Percent();
        QCOMPARE(percent.has_value(), declared > 0);
        if (percent) {
            QCOMPARE(*percent, (sent + 100) * 100 / bodySize);  // the header is not counted
            QVERIFY(*percent >= last);
            last = *percent;
        }
    }
    if (declared > 0)
        QCOMPARE(last, 100);
    QCOMPARE(reader.ReceivedBytes(), header.size() + bodySize);
}

void TestResponseReader::limits_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<qint64>("maxBody");
    QTest::addColumn<qint64>("maxUndeclared");  // -1: as maxBody
    QTest::addColumn<Kind>("kind");
    const QByteArray longLine = "X-Long: " + QByteArray(70000, 'a') + "\r\n";
    QTest::newRow("header above 64 KiB") << "HTTP/1.0 200 OK\r\n" + longLine + "\r\nbody" << qint64(1 << 20)
                                         << qint64(-1) << Kind::HeaderTooLarge;
    QTest::newRow("header without end") << "HTTP/1.0 200 OK\r\n" + QByteArray(70000, 'a') << qint64(1 << 20)
                                        << qint64(-1) << Kind::HeaderTooLarge;
    QTest::newRow("header just under 64 KiB") << "HTTP/1.0 200 OK\r\nX: " + QByteArray(65536 - 24, 'a') + "\r\n\r\nbody"
                                              << qint64(1 << 20) << qint64(-1) << Kind::Success;
    QTest::newRow("declared above the limit") << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 1001\r\n\r\n")
                                              << qint64(1000) << qint64(-1) << Kind::BodyTooLarge;
    QTest::newRow("declared beyond memory")
        << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 4611686018427387904\r\n\r\n")
        << ResponseReader::DefaultMaxBodyBytes() << qint64(-1) << Kind::BodyTooLarge;
    QTest::newRow("undeclared grows past the limit")
        << "HTTP/1.0 200 OK\r\n\r\n" + QByteArray(1001, 'b') << qint64(1000) << qint64(-1) << Kind::BodyTooLarge;
    QTest::newRow("undeclared up to the limit")
        << "HTTP/1.0 200 OK\r\n\r\n" + QByteArray(1000, 'b') << qint64(1000) << qint64(-1) << Kind::Success;
    // A body without a length grows in memory as it comes: it may be held to less than a declared one.
    QTest::newRow("undeclared past its own limit")
        << "HTTP/1.0 200 OK\r\n\r\n" + QByteArray(1001, 'b') << qint64(1 << 20) << qint64(1000) << Kind::BodyTooLarge;
    QTest::newRow("chunked past the undeclared limit")
        << "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3e9\r\n" + QByteArray(1001, 'b') + "\r\n0\r\n\r\n"
        << qint64(1 << 20) << qint64(1000) << Kind::BodyTooLarge;
    QTest::newRow("declared beyond the undeclared limit")
        << "HTTP/1.0 200 OK\r\nContent-Length: 2000\r\n\r\n" + QByteArray(2000, 'b') << qint64(1 << 20) << qint64(1000)
        << Kind::Success;
}

void TestResponseReader::limits()
{
    QFETCH(QByteArray, answer);
    QFETCH(qint64, maxBody);
    QFETCH(qint64, maxUndeclared);
    QFETCH(Kind, kind);
    ResponseReader reader(maxBody, maxUndeclared);
    for (qsizetype at = 0; at < answer.size(); at += 4096)
        reader.Feed(QByteArrayView(answer).sliced(at, std::min<qsizetype>(4096, answer.size() - at)));
    QCOMPARE(reader.Failed(), kind == Kind::HeaderTooLarge || kind == Kind::BodyTooLarge);
    QCOMPARE(reader.Classify(Proxy(false, false)).kind, kind);
    QVERIFY(reader.BodyBytes() <= maxBody);
    if (maxUndeclared >= 0 && !reader.DeclaredLength())
        QVERIFY(reader.BodyBytes() <= maxUndeclared);
}

void TestResponseReader::readsFromADevice()
{
    QByteArray answer = "HTTP/1.0 200 OK\r\nContent-Length: 300000\r\n\r\n";
    QByteArray body(300000, Qt::Uninitialized);
    for (int i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 7);
    answer += body + "trailing bytes beyond the length";
    QBuffer device(&answer);
    QVERIFY(device.open(QIODevice::ReadOnly));
    ResponseReader reader(1 << 20);
    reader.ReadFrom(device);
    QCOMPARE(device.bytesAvailable(), 0);
    QCOMPARE(reader.ReceivedBytes(), answer.size());
    QCOMPARE(reader.Classify(Proxy(false, false)).kind, Kind::Success);
    QCOMPARE(reader.TakeBody(), body);
}

void TestResponseReader::bodyIsHandedOverWithoutCopy()
{
    ResponseReader reader(1 << 20);
    reader.Feed("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n");
    reader.Feed(QByteArray(100000, 'v'));
    QCOMPARE(reader.Classify(Proxy(false, false)).kind, Kind::Success);
    const QByteArray body = reader.TakeBody();
    QCOMPARE(body.size(), 100000);
    // Reserved once to the declared size: the buffer was never reallocated and is handed over as is.
    QCOMPARE(body.capacity(), 100000);
    QCOMPARE(reader.BodyBytes(), 0);
}

QTEST_GUILESS_MAIN(TestResponseReader)
#include "tst_responsereader.moc"
