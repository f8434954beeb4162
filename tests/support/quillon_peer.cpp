// The tests' real peers (PeerProcess, Nginx) for the benchmarks' shell scripts:
//   quillon_peer nginx FOLDER [RATE]        serves FOLDER over HTTP with nginx, each connection held to RATE
//                                           (nginx's limit_rate, as "16m") when given
//   quillon_peer run PROGRAM [ARGUMENT...]  runs PROGRAM, with "{port}" in its arguments standing for the port
// on a free port of 127.0.0.1. Once the peer accepts connections, "PORT PID" (the peer's own process) is the one
// line of standard output, which is then closed; what the peer says goes to standard error. The peer is stopped
// on SIGTERM, SIGINT or SIGHUP, and when the process that started the launcher ends.
#include "Nginx.h"
#include "PeerProcess.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr char kUsage[] = "usage: quillon_peer nginx FOLDER [RATE]\n"
                          "       quillon_peer run PROGRAM [ARGUMENT...]   (\"{port}\" in the arguments: the port)\n";

// The line goes to standard output as the launcher found it. From then on standard output is standard error,
// which the peer inherits: a reader that took the line and left does not cut the peer's own writes short.
int KeepAnnouncementChannel()
{
    const int channel = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    return channel;
}

// Announces the peer, then waits for a stop signal; the caller's peer stops when it goes.
int ServeUntilStopped(const sigset_t &stopSignals, int channel, quint16 port, qint64 processId)
{
    const QByteArray line = QByteArray::number(port) + ' ' + QByteArray::number(processId) + '\n';
    [[maybe_unused]] const ssize_t written = ::write(channel, line.constData(), size_t(line.size()));
    ::close(channel);
    int received = 0;
    ::sigwait(&stopSignals, &received);
    return 0;
}

int Fail(const QString &error)
{
    std::fprintf(stderr, "quillon_peer: %s\n", qPrintable(error));
    return 1;
}

}  // namespace

int main(int argc, char *argv[])
{
    // Blocked before any thread exists, so that only sigwait takes them; the peer gets them unblocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int stop : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stopSignals, stop);
    ::pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);

    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    const int channel = KeepAnnouncementChannel();

    if ((arguments.size() == 2 || arguments.size() == 3) && arguments[0] == QLatin1String("nginx")) {
        Nginx nginx;
        nginx.ForwardOutput();
        if (!nginx.ServeFolder(arguments[1], arguments.value(2)))
            return Fail(nginx.Error());
        return ServeUntilStopped(stopSignals, channel, nginx.Port(), nginx.ProcessId());
    }
    if (arguments.size() >= 2 && arguments[0] == QLatin1String("run")) {
        PeerProcess peer(arguments[1]);
        peer.ForwardOutput();
        const bool started = peer.StartOnFreePorts(1, [&arguments](const QList<quint16> &ports) {
            QStringList command = arguments.mid(1);
            command.replaceInStrings(QStringLiteral("{port}"), QString::number(ports.first()));
            return command;
        });
        if (!started)
            return Fail(peer.Error());
        return ServeUntilStopped(stopSignals, channel, peer.Ports().first(), peer.ProcessId());
    }
    std::fputs(kUsage, stderr);
    return 2;
}
