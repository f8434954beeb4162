#pragma once

#include "Nginx.h"
#include "ResolverService.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// What the resolver's network tests share: a real nginx serving pages from a temporary folder, requests
// written byte for byte as the program writes them, and the program's way of reading the answer.
namespace ResolverTestSupport {

// The service in this process on a free port of 127.0.0.1; refuseInternal forces the shared service's address
// check, which the options give only when listening beyond loopback.
std::unique_ptr<ResolverService> StartLocalService(ResolverOptions options = {}, bool refuseInternal = false);
// The same with an address rule of the test's own (a service that takes one loopback address for internal).
std::unique_ptr<ResolverService> StartLocalService(ResolverOptions options,
                                                   const ResolverService::AddressJudge &mayConnect);

// A port on 127.0.0.1 that nothing listens on (it was free a moment ago).
quint16 FindFreePort();

// nginx (see Nginx) serving pages written into a temporary folder.
class NginxServer {
public:
    NginxServer();
    ~NginxServer();

    // Writes a file under the served folder (folders are made as needed).
    void WritePage(const QString &path, const QByteArray &content);
    // Where a served path lies on disk, and where nginx keeps its own files (logs).
    QString FilePath(const QString &path) const;
    QString OwnFilePath(const QString &name) const { return folder.filePath(name); }
    // More configuration inside http { } (upstreams, servers); call before Start.
    void AddHttpConfig(const QString &config) { extraConfig += config; }
    // Also serves the same pages over TLS with this certificate; call before Start.
    void EnableTls(const QString &certificateFile, const QString &keyFile);
    // After Start.
    quint16 TlsPort() const { return tlsPort; }
    // Starts nginx and waits until it accepts connections; false with nginx's complaint in *error.
    bool Start(QString *error);
    quint16 Port() const { return port; }
    QString Address(const QString &path) const;

private:
    QTemporaryDir folder;
    Nginx nginx;
    quint16 port = 0;
    quint16 tlsPort = 0;
    QString tlsCertificate;
    QString tlsKey;
    QString extraConfig;
};

// A self-signed certificate for the name "localhost" (and no address), made with openssl in folder.
bool MakeLocalhostCertificate(const QString &folder, QString *certificateFile, QString *keyFile);

// The program's form encoding of the page address: letters and digits as they are, a blank as "+",
// everything else as %XX of its Windows-1251 code.
QByteArray EncodeAsProgram(const QString &address);
// The same with UTF-8 codes, as a browser's form would send it.
QByteArray EncodeAsUtf8Form(const QString &address);

// The program's resolution request, byte for byte; through a proxy the request line names the service in
// absolute form and the connection header is the proxy's.
QByteArray ComposeResolutionRequest(const QByteArray &encodedAddress, const QByteArray &serviceHost,
                                    bool throughProxy = false);

// Sends bytes to 127.0.0.1:port and returns everything the server sent until it closed (the event loop runs
// meanwhile, so a service in this process keeps working). Empty after 30 s without a close.
QByteArray ExchangeRaw(quint16 port, const QByteArray &request);

// The same on a socket of its own, telling a reset from an orderly close (Qt reports both alike). With a
// pause, a slow client: a small receive buffer, and that pause after each piece it takes.
struct RawExchange {
    QByteArray answer;
    bool reset = false;
};
RawExchange ExchangeTellingReset(quint16 port, const QByteArray &request, int pauseMilliseconds = 0);

// The answer's body (after the first empty line).
QByteArray BodyOf(const QByteArray &answer);

// What the program takes from a resolution answer: nothing without the marker, else the first
// href="http link up to the next quote, with character references decoded.
QString ReadVideoLink(const QByteArray &answer);

}  // namespace ResolverTestSupport
