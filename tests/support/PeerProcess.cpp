#include "PeerProcess.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <csignal>
#include <sys/prctl.h>
#include <utility>

namespace {

constexpr int kStartTries = 5;
constexpr int kWaitMs = 15000;

}  // namespace

quint16 FreeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

PeerProcess::PeerProcess(QString name) : name(std::move(name))
{
}

PeerProcess::~PeerProcess()
{
    Stop();
}

void PeerProcess::Stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

bool PeerProcess::StartOnFreePorts(int portCount, const Command &command)
{
    for (int attempt = 0; attempt < kStartTries; ++attempt) {
        ports.clear();
        for (int i = 0; i < portCount; ++i)
            ports.append(FreeLoopbackPort());
        const QStringList line = command(ports);
        if (line.isEmpty()) {
            error = QStringLiteral("cannot write the configuration of ") + name;
            return false;
        }
        if (Start(line) && WaitUntilListening(ports))
            return true;
    }
    return false;
}

bool PeerProcess::Start(const QStringList &command)
{
    Stop();
    output.clear();
    error.clear();
    process.setProcessChannelMode(forwardOutput ? QProcess::ForwardedChannels : QProcess::MergedChannels);
    process.setChildProcessModifier([] {
        // A launcher that waits for its own stop signals has them blocked, and the peer would inherit that.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    process.start(command.first(), command.mid(1));
    if (process.waitForStarted(kWaitMs))
        return true;
    error = QStringLiteral("%1 did not start: %2").arg(name, process.errorString());
    return false;
}

QRegularExpressionMatch PeerProcess::WaitForOutput(const QRegularExpression &pattern)
{
    QDeadlineTimer deadline(kWaitMs);
    for (;;) {
        output += process.readAll();
        const QRegularExpressionMatch match = pattern.match(QString::fromLocal8Bit(output));
        if (match.hasMatch() || deadline.hasExpired() || process.state() == QProcess::NotRunning) {
            if (!match.hasMatch())
                Fail(QStringLiteral("did not say which port it took"));
            return match;
        }
        process.waitForReadyRead(200);
    }
}

bool PeerProcess::WaitUntilListening(const QList<quint16> &ports)
{
    QDeadlineTimer deadline(kWaitMs);
    for (const quint16 port : ports) {
        for (;;) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            if (probe.waitForConnected(1000))
                break;
            // Also the pause before the next probe: a peer that gave up is noticed at once.
            const bool ended = process.waitForFinished(50) || process.state() == QProcess::NotRunning;
            if (ended || deadline.hasExpired()) {
                Fail((ended ? QStringLiteral("ended before it listened on port %1")
                            : QStringLiteral("is not listening on port %1 in time"))
                         .arg(port));
                Stop();
                return false;
            }
        }
    }
    return true;
}

void PeerProcess::Fail(const QString &what)
{
    if (!forwardOutput)
        output += process.readAll();
    error = name + QLatin1Char(' ') + what;
    if (!output.trimmed().isEmpty())
        error += QStringLiteral(": ") + QString::fromLocal8Bit(output).trimmed();
}
