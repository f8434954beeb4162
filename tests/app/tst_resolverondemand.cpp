#include "PeerProcess.h"
#include "ResolverOnDemand.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>

namespace {

// The answer to "GET /" on the port, "" when nothing answers within the wait.
QByteArray AskRoot(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write("GET / HTTP/1.0\r\n\r\n");
    QByteArray answer;
    while (socket.waitForReadyRead(10000))
        answer += socket.readAll();
    return answer + socket.readAll();
}

bool ProcessExists(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

}  // namespace

// The program's own link-resolution service, started for real from the places the program looks in.
class TestResolverOnDemand : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsOnlyWhereNothingAnswers_data();
    void startsOnlyWhereNothingAnswers();

private:
    std::unique_ptr<QTemporaryDir> root;
    QByteArray savedPath;
};

void TestResolverOnDemand::init()
{
    root = std::make_unique<QTemporaryDir>();
    QVERIFY(root->isValid());
    QVERIFY(QDir(root->path()).mkpath(QStringLiteral("program")));
    QVERIFY(QDir(root->path()).mkpath(QStringLiteral("bin")));
    savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(root->filePath(QStringLiteral("bin"))));
}

void TestResolverOnDemand::cleanup()
{
    qputenv("PATH", savedPath);
}

void TestResolverOnDemand::startsOnlyWhereNothingAnswers_data()
{
    QTest::addColumn<QString>("installedIn");  // program, bin (in PATH) or "" for nowhere
    QTest::addColumn<bool>("answering");  // something listens on the service's port already
    QTest::addColumn<QString>("host");  // PORT is the service's port, OTHER another one
    QTest::addColumn<bool>("atOnce");
    QTest::addColumn<bool>("started");

    QTest::newRow("beside the program") << "program" << false << "127.0.0.1:PORT" << false << true;
    QTest::newRow("by the name localhost") << "program" << false << "localhost:PORT" << false << true;
    QTest::newRow("from PATH") << "bin" << false << "127.0.0.1:PORT" << false << true;
    QTest::newRow("nowhere to be found") << "" << false << "127.0.0.1:PORT" << false << false;
    QTest::newRow("a service that answers is used") << "program" << true << "127.0.0.1:PORT" << false << false;
    QTest::newRow("another port is another service") << "program" << false << "127.0.0.1:OTHER" << true << false;
    QTest::newRow("a host beyond loopback") << "program" << false << "192.0.2.1:PORT" << true << false;
    QTest::newRow("a name beyond loopback") << "program" << false << "resolver.example:PORT" << true << false;
    QTest::newRow("no port is port 80") << "program" << false << "127.0.0.1" << true << false;
}

void TestResolverOnDemand::startsOnlyWhereNothingAnswers()
{
    QFETCH(QString, installedIn);
    QFETCH(bool, answering);
    QFETCH(QString, host);
    QFETCH(bool, atOnce);
    QFETCH(bool, started);

    if (!installedIn.isEmpty())
        QVERIFY(QFile::link(QStringLiteral(RESOLVER_PROGRAM), root->filePath(installedIn + "/quillon-resolver")));
    QTcpServer running;
    QVERIFY(running.listen(QHostAddress::LocalHost, 0));
    const quint16 port = answering ? running.serverPort() : FreeLoopbackPort();
    if (!answering)
        running.close();

    int readyCalls = 0;
    qint64 pid = 0;
    {
        ResolverOnDemand service(root->filePath(QStringLiteral("program")), port);
        host.replace(QStringLiteral("PORT"), QString::number(port));
        host.replace(QStringLiteral("OTHER"), QString::number(FreeLoopbackPort()));
        service.Prepare(host, [&readyCalls] { ++readyCalls; });
        QCOMPARE(readyCalls, atOnce ? 1 : 0);
        QTRY_COMPARE_WITH_TIMEOUT(readyCalls, 1, 10000);
        pid = service.StartedProcessId();
        QCOMPARE(pid != 0, started);
        if (started)
            QVERIFY(AskRoot(port).contains("quillon-resolver"));
    }
    QCOMPARE(readyCalls, 1);
    if (started) {
        QVERIFY(!ProcessExists(pid));
        QVERIFY(AskRoot(port).isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestResolverOnDemand)
#include "tst_resolverondemand.moc"
