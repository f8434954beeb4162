#pragma once

#include "Nginx.h"
#include "TestCertificates.h"

#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QTemporaryDir>

// nginx (see Nginx) serving one folder over plain HTTP and over TLS with certificates of a test authority
// (TestCertificates). Stopped when the object goes.
//
// Besides the files, the sites answer with redirects:
//   Plain:  /to-secure/NAME  -> https://127.0.0.1:<Secure>/NAME
//   Secure: /to-plain/NAME   -> http://127.0.0.1:<Plain>/NAME
//           /to-path/NAME    -> /NAME (a bare path)
//           /loop            -> /loop (without end)
// and the secure site answers any request for /xurl/ with its method, path and body length.
class NginxTls {
public:
    enum class Site {
        Plain,  // HTTP
        Secure,  // TLS with the good certificate
        WrongName,  // TLS with a certificate for another host name
        Expired,  // TLS with a certificate that has expired
        NameOnly,  // TLS with a certificate for the name "localhost", not for the address 127.0.0.1
    };

    bool Start(const QString &documentRoot);
    void Stop() { nginx.Stop(); }
    quint16 Port(Site site) const;
    // "127.0.0.1:port", as a server name in an address.
    QString HostAndPort(Site site) const;
    QList<QSslCertificate> Authority() const { return certificates.Authority(); }
    QString Error() const { return error; }

private:
    QString Servers(const QString &root, const QList<quint16> &ports) const;

    QTemporaryDir certificateFolder;
    TestCertificates certificates;
    Nginx nginx;
    QString error;
};
