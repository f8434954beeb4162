#include "ResolverOnDemand.h"

#include <QFileInfo>
#include <QNetworkProxy>
#include <QStandardPaths>
#include <QUrl>

#include <csignal>
#include <sys/prctl.h>

namespace {

const QString kServiceName = QStringLiteral("quillon-resolver");
// What the service says once it listens.
constexpr QByteArrayView kListening = "listening on";
// Enough of the service's output to find that line in; the rest is dropped as it comes.
constexpr qsizetype kOutputKept = 4096;

QUrl HostUrl(const QString &host)
{
    return QUrl(QStringLiteral("http://") + host, QUrl::StrictMode);
}

}  // namespace

ResolverOnDemand::ResolverOnDemand(const QString &programFolder, quint16 servicePort, QObject *parent)
    : QObject(parent)
    , programFolder(programFolder)
    , servicePort(servicePort)
{
    probe.setProxy(QNetworkProxy::NoProxy);
    connect(&probe, &QTcpSocket::connected, this, &ResolverOnDemand::Probe_Connected);
    connect(&probe, &QTcpSocket::errorOccurred, this, &ResolverOnDemand::Probe_Error);

    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.setChildProcessModifier([] {
        // The program's blocked signals would be the service's too, and it is to go with the program even when
        // the program is killed.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    connect(&service, &QProcess::readyReadStandardOutput, this, &ResolverOnDemand::Service_Output);
    connect(&service, &QProcess::finished, this, &ResolverOnDemand::Ready);
    connect(&service, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            Ready();
    });

    startLimit.setSingleShot(true);
    connect(&startLimit, &QTimer::timeout, this, &ResolverOnDemand::Ready);
}

ResolverOnDemand::~ResolverOnDemand()
{
    Cancel();
    service.disconnect(this);
    if (service.state() == QProcess::NotRunning)
        return;
    service.terminate();
    if (!service.waitForFinished(1000)) {
        service.kill();
        service.waitForFinished(1000);
    }
}

std::optional<QHostAddress> ResolverOnDemand::ServiceAddress(const QString &resolverHost) const
{
    const QUrl url = HostUrl(resolverHost);
    if (!url.isValid() || url.port(80) != servicePort)
        return std::nullopt;
    const QString host = url.host();
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        return QHostAddress(QHostAddress::LocalHost);
    const QHostAddress address(host);
    if (address.isNull() || !address.isLoopback())
        return std::nullopt;
    return address;
}

QString ResolverOnDemand::ServiceProgram() const
{
    const QFileInfo beside(programFolder + QLatin1Char('/') + kServiceName);
    if (beside.isFile() && beside.isExecutable())
        return beside.filePath();
    return QStandardPaths::findExecutable(kServiceName);
}

qint64 ResolverOnDemand::StartedProcessId() const
{
    return service.state() == QProcess::Running ? service.processId() : 0;
}

void ResolverOnDemand::Prepare(const QString &resolverHost, std::function<void()> ready)
{
    Cancel();
    pending = std::move(ready);
    const std::optional<QHostAddress> address = ServiceAddress(resolverHost);
    if (!address)
        return Ready();
    listenAddress = *address;
    // Asked the way the transfer control will ask: by the name, on each of its addresses.
    const QUrl url = HostUrl(resolverHost);
    probe.connectToHost(url.host(), quint16(url.port(80)));
}

void ResolverOnDemand::Cancel()
{
    pending = nullptr;
    startLimit.stop();
    probe.abort();
}

void ResolverOnDemand::Probe_Connected()
{
    probe.abort();
    Ready();
}

void ResolverOnDemand::Probe_Error()
{
    probe.abort();
    // A service started earlier that has not listened yet is waited for, not started twice.
    if (service.state() != QProcess::NotRunning) {
        startLimit.start(kStartMilliseconds);
        return;
    }
    StartService();
}

void ResolverOnDemand::StartService()
{
    const QString program = ServiceProgram();
    if (program.isEmpty())
        return Ready();
    emit Starting();
    serviceOutput.clear();
    startLimit.start(kStartMilliseconds);
    service.start(program,
                  {QStringLiteral("--listen"), listenAddress.toString(), QStringLiteral("--port"),
                   QString::number(servicePort)});
}

void ResolverOnDemand::Service_Output()
{
    const QByteArray output = service.readAllStandardOutput();
    if (!pending)
        return;
    serviceOutput = (serviceOutput + output).right(kOutputKept);
    if (serviceOutput.contains(kListening))
        Ready();
}

void ResolverOnDemand::Ready()
{
    startLimit.stop();
    if (const std::function<void()> ready = std::exchange(pending, nullptr))
        ready();
}
