#pragma once

#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <functional>

// A real peer of the tests and benchmarks (nginx, tinyproxy, Python's http.server, a program of ours) run in the
// foreground as a child process on 127.0.0.1 and stopped when the object goes. The one place that starts such a
// peer, waits until it listens and tells why it did not.
//
// The peer goes with the thread that started it, even one that crashed or was killed: no server is left behind.
class PeerProcess {
public:
    // What the peer is called in messages ("nginx").
    explicit PeerProcess(QString name);
    ~PeerProcess();

    // The peer's configuration for these free ports, written by the caller if it has one, and its command line
    // (the program, then its arguments); empty when the configuration could not be written.
    using Command = std::function<QStringList(const QList<quint16> &ports)>;
    // Starts the peer on portCount free ports and waits until each of them accepts a connection. A free port may
    // be taken by someone else between asking and binding: a few tries, each on new ports.
    bool StartOnFreePorts(int portCount, const Command &command);
    const QList<quint16> &Ports() const { return ports; }

    // For a peer that takes a port itself and says which: starts it, then reads its output until pattern
    // matches and gives the match (none if the peer ended or said nothing of the kind in time).
    bool Start(const QStringList &command);
    QRegularExpressionMatch WaitForOutput(const QRegularExpression &pattern);
    // True once each port accepts a connection; false if the peer ended or did not listen in time.
    bool WaitUntilListening(const QList<quint16> &ports);

    // The peer's output goes to this process's standard output and error as it comes, instead of being kept for
    // the messages: for a peer that runs long without anyone reading its output. Call before starting it.
    void ForwardOutput() { forwardOutput = true; }

    void Stop();
    qint64 ProcessId() const { return process.processId(); }
    // Why the peer did not start, with what it said.
    QString Error() const { return error; }

private:
    void Fail(const QString &what);

    QString name;
    QProcess process;
    QList<quint16> ports;
    QByteArray output;
    bool forwardOutput = false;
    QString error;
};

// A loopback port nobody listens on at the moment of asking.
quint16 FreeLoopbackPort();
