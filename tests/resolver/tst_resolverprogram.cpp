#include "ResolverTestSupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace ResolverTestSupport;

// The program itself, as users start it.
class TestResolverProgram : public QObject {
    Q_OBJECT

private slots:
    void showsHelp();
    void saysWhichEnginesItHas_data();
    void saysWhichEnginesItHas();
    void namesAnOldYtDlpThatIsNotUpdated();
    void refusesBadOptions_data();
    void refusesBadOptions();
    void saysWhenThePortIsTaken();
    void resolvesAsTheProgramAsks();
    void refusesInternalPagesWhenListeningEverywhere();
    void listensOnTheSocketSystemdHandsOver();

private:
    bool StartProgram(QProcess &process, const QStringList &arguments);

    QByteArray lastLine;  // the start-up line of the last program started
    QTemporaryDir engineFolder;
};

namespace {

// What Debian's yt-dlp says it is.
QByteArray SystemYtDlpVersion()
{
    QProcess process;
    process.start(QStandardPaths::findExecutable("yt-dlp"), {QStringLiteral("--version")});
    process.waitForFinished(60000);
    return process.readAllStandardOutput().trimmed();
}

}  // namespace

bool TestResolverProgram::StartProgram(QProcess &process, const QStringList &arguments)
{
    // Its own yt-dlp releases neither read nor checked: the tests keep to this machine.
    process.start(QStringLiteral(RESOLVER_PROGRAM),
                  arguments
                      + QStringList{QStringLiteral("--engine-check-hours"), QStringLiteral("0"),
                                    QStringLiteral("--engine-dir"), engineFolder.path()});
    if (!process.waitForStarted(10000))
        return false;
    // The program says it listens once it does.
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(10000))
            return false;
    }
    lastLine = process.readLine();
    return lastLine.startsWith("quillon-resolver: listening on");
}

void TestResolverProgram::showsHelp()
{
    QProcess process;
    process.start(QStringLiteral(RESOLVER_PROGRAM), {QStringLiteral("--help")});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    const QByteArray help = process.readAllStandardOutput();
    for (const char *option :
         {"--listen", "--port", "--current-version", "--page-limit", "--timeout", "--allow-private"})
        QVERIFY2(help.contains(option), option);
    QVERIFY(help.contains("default 8397"));
}

void TestResolverProgram::saysWhichEnginesItHas_data()
{
    QTest::addColumn<QString>("path");  // of the program's environment
    QTest::addColumn<QByteArray>("startLine");
    QTest::addColumn<QByteArray>("help");
    const QByteArray found = "; engines: builtin, yt-dlp; yt-dlp " + SystemYtDlpVersion() + " (system, "
        + QStandardPaths::findExecutable("yt-dlp").toLocal8Bit() + "), not updated (--engine-check-hours 0); ";
    QTest::newRow("yt-dlp and ffmpeg on PATH") << qEnvironmentVariable("PATH") << found << QByteArray("now yt-dlp ");
    QTest::newRow("neither") << QStringLiteral("/nonexistent")
                             << QByteArray("; engines: builtin; no yt-dlp: yt-dlp not found on PATH; no JavaScript "
                                           "runtime for yt-dlp (deno, node 20 or later, quickjs or bun on PATH): on "
                                           "sites that set it scripts to solve, such as YouTube, yt-dlp finds fewer "
                                           "videos or none; no ffmpeg: videos that are only streamed are not found\n")
                             << QByteArray("now none: the built-in engine works alone");
}

void TestResolverProgram::saysWhichEnginesItHas()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, startLine);
    QFETCH(QByteArray, help);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), path);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(RESOLVER_PROGRAM), {QStringLiteral("--help")});
    QVERIFY(process.waitForFinished(10000));
    QVERIFY(process.readAllStandardOutput().contains(help));
    QVERIFY(StartProgram(process, {QStringLiteral("--port"), QString::number(FindFreePort())}));
    QVERIFY2(lastLine.contains(startLine), lastLine.constData());
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
}

void TestResolverProgram::namesAnOldYtDlpThatIsNotUpdated()
{
    // Debian 12's yt-dlp is of 2023, and the program's own releases are not checked.
    QProcess process;
    QVERIFY(StartProgram(process, {QStringLiteral("--port"), QString::number(FindFreePort())}));
    QByteArray said;
    QVERIFY(QTest::qWaitFor(
        [&] {
            said += process.readAllStandardOutput();
            return said.contains("\n");
        },
        10000));
    QVERIFY2(said.contains(" days old and is not updated (--engine-check-hours 0)"), said.constData());
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
}

void TestResolverProgram::refusesBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("unknown") << QStringList{"--verbose"} << QByteArray("Unknown option 'verbose'.");
    QTest::newRow("bad port") << QStringList{"--port", "99999"} << QByteArray("--port wants a number from 1 to 65535");
    QTest::newRow("bad address") << QStringList{"--listen", "anywhere"} << QByteArray("--listen wants an IP address");
}

void TestResolverProgram::refusesBadOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    QProcess process;
    process.start(QStringLiteral(RESOLVER_PROGRAM), arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 2);
    const QByteArray error = process.readAllStandardError();
    QVERIFY2(error.contains(message), error.constData());
    QVERIFY(error.contains("Try 'quillon-resolver --help'."));
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
}

void TestResolverProgram::saysWhenThePortIsTaken()
{
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost, 0));
    QProcess process;
    process.start(QStringLiteral(RESOLVER_PROGRAM), {QStringLiteral("--port"), QString::number(taken.serverPort())});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardError().contains("cannot listen on 127.0.0.1 port"));
}

void TestResolverProgram::resolvesAsTheProgramAsks()
{
    NginxServer nginx;
    nginx.WritePage("watch.html", "<html><meta property=\"og:video\" content=\"/v.flv\"></html>");
    QString error;
    QVERIFY2(nginx.Start(&error), qPrintable(error));
    const quint16 port = FindFreePort();
    QProcess process;
    QVERIFY(StartProgram(process, {QStringLiteral("--port"), QString::number(port)}));
    const QByteArray answer = ExchangeRaw(port,
                                          ComposeResolutionRequest(EncodeAsProgram(nginx.Address("watch.html")),
                                                                   "localhost:" + QByteArray::number(port)));
    QCOMPARE(ReadVideoLink(BodyOf(answer)), nginx.Address("v.flv"));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
}

void TestResolverProgram::refusesInternalPagesWhenListeningEverywhere()
{
    QTcpServer page;  // must never see a connection
    QVERIFY(page.listen(QHostAddress::LocalHost, 0));
    const quint16 port = FindFreePort();
    QProcess process;
    QVERIFY(StartProgram(process,
                         {QStringLiteral("--listen"), QStringLiteral("0.0.0.0"), QStringLiteral("--port"),
                          QString::number(port)}));
    const QByteArray answer =
        ExchangeRaw(port,
                    ComposeResolutionRequest(EncodeAsProgram(
                                                 QStringLiteral("http://127.0.0.1:%1/").arg(page.serverPort())),
                                             "localhost"));
    QVERIFY2(QString::fromUtf8(BodyOf(answer)).contains(QStringLiteral("ведёт во внутреннюю сеть")),
             answer.constData());
    QVERIFY(!page.waitForNewConnection(0));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
}

// Socket activation as systemd does it: the listening socket as descriptor 3, LISTEN_PID and LISTEN_FDS naming
// the process. The socket's address wins over the options.
void TestResolverProgram::listensOnTheSocketSystemdHandsOver()
{
    const int listening = ::socket(AF_INET, SOCK_STREAM, 0);
    QVERIFY(listening >= 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    QCOMPARE(::bind(listening, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    QCOMPARE(::listen(listening, 16), 0);
    QCOMPARE(::getsockname(listening, reinterpret_cast<sockaddr *>(&address), &length), 0);
    const quint16 port = ntohs(address.sin_port);

    QProcess process;
    process.setChildProcessModifier([listening] { ::dup2(listening, 3); });
    process.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("LISTEN_PID=$$ LISTEN_FDS=1 exec \"$0\" \"$@\""),
                   QStringLiteral(RESOLVER_PROGRAM), QStringLiteral("--port"), QString::number(FindFreePort())});
    ::close(listening);
    QVERIFY(process.waitForReadyRead(10000));
    const QByteArray said = process.readLine().trimmed();
    QVERIFY2(said.startsWith("quillon-resolver: listening on 127.0.0.1 port " + QByteArray::number(port) + ";"),
             said.constData());
    // Its second engine starts as well (or the line says why it cannot).
    QVERIFY2(said.contains("yt-dlp"), said.constData());
    QVERIFY(ExchangeRaw(port, "GET / HTTP/1.0\r\n\r\n").contains("quillon-resolver"));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestResolverProgram)
#include "tst_resolverprogram.moc"
