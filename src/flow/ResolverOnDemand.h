#pragma once

#include "ServicePort.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <optional>

// The link-resolution service started by the program when it is needed: when the resolver the program asks is
// the service of its own on this machine (a loopback host on the service's port, as the built-in one is) and
// nothing answers there, quillon-resolver is started from beside the program's executable, or else from PATH.
// A service that already answers there (another copy of the program's, one started by systemd or by hand) is
// used as it is. The service started here goes when this object goes, and with the program however it ends.
class ResolverOnDemand : public QObject {
    Q_OBJECT

public:
    // The longest wait for a started service to listen; a service that is not there by then makes the
    // resolution fail as if none were started.
    static constexpr int kStartMilliseconds = 2000;

    // programFolder: the folder of the executable, where the service is looked for first. servicePort: the
    // port that marks the program's own service.
    explicit ResolverOnDemand(const QString &programFolder, quint16 servicePort = kDefaultServicePort,
                              QObject *parent = nullptr);
    ~ResolverOnDemand() override;

    // Calls ready once the resolver at resolverHost ("host" or "host:port") can be asked: at once when it is not
    // the program's own service; otherwise when something answers there, started here if need be, or when the
    // start failed or took too long. Never before this call returns when something is to be waited for.
    void Prepare(const QString &resolverHost, std::function<void()> ready);
    // Forgets the ready of the Prepare under way: the download was stopped.
    void Cancel();

    // The address to listen on when resolverHost names the program's own service; nothing otherwise.
    std::optional<QHostAddress> ServiceAddress(const QString &resolverHost) const;
    // The quillon-resolver to start; "" when there is none beside the program or in PATH.
    QString ServiceProgram() const;
    // The process id of the service started here while it runs; 0 otherwise.
    qint64 StartedProcessId() const;

signals:
    // A service is being started: the wait may be noticeable.
    void Starting();

private:
    void Probe_Connected();
    void Probe_Error();
    void StartService();
    void Service_Output();
    void Ready();

    QString programFolder;
    quint16 servicePort;
    QHostAddress listenAddress;
    std::function<void()> pending;
    QTcpSocket probe;
    QProcess service;
    QByteArray serviceOutput;
    QTimer startLimit;
};
