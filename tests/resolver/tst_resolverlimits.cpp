#include "ResolverService.h"
#include "ResolverTestSupport.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

#include <sys/socket.h>

using namespace ResolverTestSupport;

// Hostile clients against the service in this process, each a real client on loopback; clients from
// different addresses (127.0.0.2, 127.0.0.3, ...) stand for different people.
class TestResolverLimits : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void stopsReadingForAClientThatTakesNoAnswers();
    void endsAHeaderThatNeverEnds();
    void sharesConnectionsByAddress();
    void sharesResolutionsByAddress();
    void stopsAbandonedParses();
    void limitsTheMemoryOfAParse();
    void answersWhileLookupsHang();
    void answersAClientThatClosedItsSide();
    void refusesTheMachinesOwnAddresses();

private:
    NginxServer nginx;
};

namespace {

// A client connected from the given loopback address, its request sent.
std::unique_ptr<QTcpSocket> Connect(const char *from, quint16 port, const QByteArray &request = {})
{
    auto client = std::make_unique<QTcpSocket>();
    client->bind(QHostAddress(QString::fromLatin1(from)));
    client->connectToHost(QHostAddress::LocalHost, port);
    if (!client->waitForConnected(5000))
        return nullptr;
    client->write(request);
    return client;
}

// Everything until the service closes (or 30 s); the service in this process works meanwhile.
QByteArray AnswerOf(QTcpSocket &client)
{
    QByteArray answer;
    for (int i = 0; i < 600 && client.state() == QAbstractSocket::ConnectedState; ++i) {
        QTest::qWait(50);
        answer += client.readAll();
    }
    return answer + client.readAll();
}

QByteArray Request(const QString &page)
{
    return ComposeResolutionRequest(EncodeAsProgram(page), "localhost:8397");
}

QByteArray NestedPage(int depth)
{
    return "<!DOCTYPE html><html><body>" + QByteArray("<div>").repeated(depth);
}

}  // namespace

void TestResolverLimits::initTestCase()
{
    nginx.WritePage("tiny.html", R"(<html><video src="/v.flv"></video></html>)");
    // Seconds of parsing each: the tree builder's time grows with the square of the depth.
    nginx.WritePage("nested.html", NestedPage(256 * 1024 / 5));
    // Parsed quickly (an <object> closes the search for open elements) but deep and big.
    nginx.WritePage("objects.html", "<html><body>" + QByteArray("<object>").repeated(256 * 1024));
    QString error;
    QVERIFY2(nginx.Start(&error), qPrintable(error));
}

void TestResolverLimits::stopsReadingForAClientThatTakesNoAnswers()
{
    ResolverOptions options;
    options.headerTimeoutSeconds = 5;
    const auto service = StartLocalService(options);
    const auto client = Connect("127.0.0.2", service->ServerPort());
    QVERIFY(client);
    client->setReadBufferSize(1);  // takes (almost) none of its answers
    const qint64 offered = 96 * 1024 * 1024;
    client->write(QByteArray("GET / HTTP/1.1\r\nHost: h\r\n\r\n").repeated(offered / 27));
    QTest::qWait(2000);
    // Past a megabyte of answers the service reads no more requests; what it took is what the kernels on both
    // sides buffer, a few megabytes.
    const qint64 taken = offered / 27 * 27 - client->bytesToWrite();
    QVERIFY2(taken < 24 * 1024 * 1024, QByteArray::number(taken));
    // And the client's time runs while it takes nothing: the service ends the connection.
    QTRY_COMPARE_WITH_TIMEOUT(client->state(), QAbstractSocket::UnconnectedState, 15000);
}

void TestResolverLimits::endsAHeaderThatNeverEnds()
{
    ResolverOptions options;
    options.headerTimeoutSeconds = 1;
    const auto service = StartLocalService(options);
    const auto client = Connect("127.0.0.2", service->ServerPort(), "GET / HTTP/1.1\r\n");
    QVERIFY(client);
    // A line now and then keeps no header alive past its time limit.
    QByteArray answer;
    for (int i = 0; i < 50 && client->state() == QAbstractSocket::ConnectedState; ++i) {
        client->write("X-Slow: 1\r\n");
        QTest::qWait(200);
        answer += client->readAll();
    }
    answer += AnswerOf(*client);
    QVERIFY2(answer.startsWith("HTTP/1.1 408 Request Timeout\r\n"), answer.constData());
    QVERIFY(QString::fromUtf8(answer).contains(QStringLiteral("Заголовок запроса не пришёл целиком за 1 с.")));
}

void TestResolverLimits::sharesConnectionsByAddress()
{
    ResolverOptions options;
    options.connectionsPerAddress = 3;
    const auto service = StartLocalService(options);
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 3; ++i)
        idle.push_back(Connect("127.0.0.2", service->ServerPort()));
    QTest::qWait(200);
    const auto fourth = Connect("127.0.0.2", service->ServerPort(), "GET /version.info HTTP/1.0\r\n\r\n");
    QVERIFY(fourth);
    QVERIFY(AnswerOf(*fourth).startsWith("HTTP/1.1 503 Service Unavailable\r\nRetry-After: 5\r\n"));
    const auto other = Connect("127.0.0.3", service->ServerPort(), "GET /version.info HTTP/1.0\r\n\r\n");
    QVERIFY(other);
    QCOMPARE(BodyOf(AnswerOf(*other)), QByteArray("1.7"));
}

void TestResolverLimits::sharesResolutionsByAddress()
{
    QTcpServer silent;  // a page server that accepts and never answers
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    ResolverOptions options;
    options.resolutionsPerAddress = 1;
    const auto service = StartLocalService(options);
    const QString slowPage = QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort());
    const auto first = Connect("127.0.0.2", service->ServerPort(), Request(slowPage));
    QTRY_VERIFY(silent.hasPendingConnections());
    const auto second = Connect("127.0.0.2", service->ServerPort(), Request(nginx.Address("tiny.html")));
    const QByteArray busy = AnswerOf(*second);
    QVERIFY2(busy.startsWith("HTTP/1.1 503 Service Unavailable\r\n"), busy.constData());
    QVERIFY(QString::fromUtf8(busy).contains(QStringLiteral("Служба сейчас занята")));
    const auto other = Connect("127.0.0.3", service->ServerPort(), Request(nginx.Address("tiny.html")));
    QCOMPARE(ReadVideoLink(BodyOf(AnswerOf(*other))), nginx.Address("v.flv"));
}

void TestResolverLimits::stopsAbandonedParses()
{
    ResolverOptions options;
    options.fetchTimeoutSeconds = 2;
    const auto service = StartLocalService(options);
    // One client fills what it may of the parsers with pages that would take many seconds each.
    std::vector<std::unique_ptr<QTcpSocket>> hostile;
    for (int i = 0; i < 3; ++i)
        hostile.push_back(Connect("127.0.0.2", service->ServerPort(), Request(nginx.Address("nested.html"))));
    // Someone else's page still finds a parser.
    QTest::qWait(500);
    const auto other = Connect("127.0.0.3", service->ServerPort(), Request(nginx.Address("tiny.html")));
    QCOMPARE(ReadVideoLink(BodyOf(AnswerOf(*other))), nginx.Address("v.flv"));
    for (const auto &client : hostile) {
        const QByteArray answer = AnswerOf(*client);
        QVERIFY2(QString::fromUtf8(answer).contains(QStringLiteral("Страница не разобрана за 2 с.")),
                 answer.constData());
    }
    // The parses given up on were stopped: the same client's next page is parsed at once, not after them.
    const auto again = Connect("127.0.0.2", service->ServerPort(), Request(nginx.Address("tiny.html")));
    QCOMPARE(ReadVideoLink(BodyOf(AnswerOf(*again))), nginx.Address("v.flv"));
}

void TestResolverLimits::limitsTheMemoryOfAParse()
{
    ResolverOptions options;
    options.parseMemoryMiB = 16;
    const auto service = StartLocalService(options);
    const auto client = Connect("127.0.0.2", service->ServerPort(), Request(nginx.Address("objects.html")));
    const QByteArray answer = AnswerOf(*client);
    QVERIFY2(QString::fromUtf8(answer).contains(
                 QStringLiteral("Страница слишком сложна: для её разбора нужно больше 16 МиБ памяти.")),
             answer.constData());
    // The page within the default limit: a quarter of a million levels of nesting, parsed and freed without a crash.
    const auto unlimited = StartLocalService();
    const auto deep = Connect("127.0.0.2", unlimited->ServerPort(), Request(nginx.Address("objects.html")));
    QVERIFY(QString::fromUtf8(AnswerOf(*deep)).contains(QStringLiteral("На странице нет ссылок на видео.")));
}

void TestResolverLimits::answersWhileLookupsHang()
{
    QUdpSocket nameServer;  // receives every query and answers none
    QVERIFY(nameServer.bind(QHostAddress::LocalHost, 0));
    ResolverOptions options;
    options.nameServers = QStringLiteral("127.0.0.1:%1").arg(nameServer.localPort());
    const auto service = StartLocalService(options);
    std::vector<std::unique_ptr<QTcpSocket>> hanging;
    for (int i = 0; i < 8; ++i)
        hanging.push_back(
            Connect("127.0.0.2", service->ServerPort(), Request(QStringLiteral("http://never%1.example/").arg(i))));
    QTRY_VERIFY(nameServer.pendingDatagramSize() > 0);
    const auto other = Connect("127.0.0.3", service->ServerPort(), Request(nginx.Address("tiny.html")));
    QCOMPARE(ReadVideoLink(BodyOf(AnswerOf(*other))), nginx.Address("v.flv"));
    // The clients leave: their lookups end with them, and the name server hears no more.
    hanging.clear();
    QTest::qWait(500);
    while (nameServer.hasPendingDatagrams())
        nameServer.receiveDatagram();
    QTest::qWait(3000);
    QVERIFY(!nameServer.hasPendingDatagrams());
}

void TestResolverLimits::answersAClientThatClosedItsSide()
{
    const auto service = StartLocalService();
    const auto client = Connect("127.0.0.2", service->ServerPort(), Request(nginx.Address("tiny.html")));
    QVERIFY(client->waitForBytesWritten(5000));
    ::shutdown(int(client->socketDescriptor()), SHUT_WR);
    QCOMPARE(ReadVideoLink(BodyOf(AnswerOf(*client))), nginx.Address("v.flv"));
}

void TestResolverLimits::refusesTheMachinesOwnAddresses()
{
    QHostAddress own;
    for (const QHostAddress &address : QNetworkInterface::allAddresses())
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            own = address;
    if (own.isNull())
        QSKIP("this machine has no address but loopback");
    QTcpServer page(this);  // listens on all addresses, as a careless service of this machine would
    QVERIFY(page.listen(QHostAddress::AnyIPv4, 0));
    const auto shared = StartLocalService({}, true);
    const auto client = Connect("127.0.0.2", shared->ServerPort(),
                                Request(QStringLiteral("http://%1:%2/").arg(own.toString()).arg(page.serverPort())));
    const QByteArray answer = AnswerOf(*client);
    QVERIFY2(QString::fromUtf8(answer).contains(QStringLiteral("ведёт во внутреннюю сеть")), answer.constData());
    QVERIFY(!page.hasPendingConnections());
}

QTEST_GUILESS_MAIN(TestResolverLimits)
#include "tst_resolverlimits.moc"
