#include "RealPeers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

void Stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

// The peer is ready once it accepts a connection.
bool WaitUntilListening(quint16 port, QProcess &process)
{
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired() && process.state() != QProcess::NotRunning) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(1000))
            return true;
        QThread::msleep(50);
    }
    return false;
}

}  // namespace

quint16 FreeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

PythonHttpServer::~PythonHttpServer()
{
    Stop(process);
}

bool PythonHttpServer::Start(const QString &folder)
{
    process.setProcessChannelMode(QProcess::MergedChannels);
    // Port 0: the server takes a free port and tells which on its first line.
    process.start(QStringLiteral("python3"),
                  {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"), QStringLiteral("0"),
                   QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--directory"), folder});
    if (!process.waitForStarted(15000)) {
        error = QStringLiteral("python3 did not start: ") + process.errorString();
        return false;
    }
    const QRegularExpression portLine(QStringLiteral("port (\\d+)"));
    QByteArray output;
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        const QRegularExpressionMatch match = portLine.match(QString::fromUtf8(output));
        if (match.hasMatch()) {
            port = static_cast<quint16>(match.captured(1).toUInt());
            return WaitUntilListening(port, process);
        }
        if (!process.waitForReadyRead(1000) && process.state() == QProcess::NotRunning)
            break;
        output += process.readAll();
    }
    error = QStringLiteral("python3 http.server gave no port: ") + QString::fromUtf8(output);
    return false;
}

Tinyproxy::~Tinyproxy()
{
    Stop(process);
}

bool Tinyproxy::Start(const QString &login, const QString &password, const QList<quint16> &connectPorts)
{
    // The free port may be taken by someone else between asking and binding: try a few.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (StartOnce(login, password, connectPorts))
            return true;
    }
    return false;
}

bool Tinyproxy::StartOnce(const QString &login, const QString &password, const QList<quint16> &connectPorts)
{
    Stop(process);
    port = FreeLoopbackPort();
    const QString configPath = folder.filePath(QStringLiteral("tinyproxy.conf"));
    QFile config(configPath);
    if (!folder.isValid() || !config.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = QStringLiteral("cannot write the tinyproxy configuration");
        return false;
    }
    // tinyproxy 1.11 rejects a password with "!" as a syntax error: tests use plain ones.
    QString text = QStringLiteral("Port %1\n"
                                  "Listen 127.0.0.1\n"
                                  "Timeout 60\n"
                                  "MaxClients 20\n"
                                  "LogLevel Error\n"
                                  "Allow 127.0.0.1\n"
                                  "BasicAuth %2 %3\n")
                       .arg(port)
                       .arg(login, password);
    for (const quint16 connectPort : connectPorts)
        text += QStringLiteral("ConnectPort %1\n").arg(connectPort);
    config.write(text.toUtf8());
    config.close();
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("tinyproxy"), {QStringLiteral("-d"), QStringLiteral("-c"), configPath});
    if (!process.waitForStarted(15000)) {
        error = QStringLiteral("tinyproxy did not start: ") + process.errorString();
        return false;
    }
    if (WaitUntilListening(port, process))
        return true;
    error = QStringLiteral("tinyproxy is not listening: ") + QString::fromUtf8(process.readAll());
    return false;
}
