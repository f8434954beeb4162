#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

// A certificate authority of the test's own and server certificates signed by it, made with the openssl
// tool in a folder the caller owns. Good and Expired are for the loopback server (the name "localhost"
// and the address 127.0.0.1), WrongName for another name, NameOnly for the name "localhost" alone.
class TestCertificates {
public:
    enum class Server { Good, WrongName, Expired, NameOnly };

    bool Make(const QString &folder);

    // The authority's certificate, to trust in the client under test.
    QList<QSslCertificate> Authority() const;
    QString CertificateFile(Server server) const;
    QString KeyFile(Server server) const;
    QString Error() const { return error; }

private:
    bool WriteConfig();
    bool RunOpenssl(const QStringList &arguments);
    bool Issue(const QString &name, const QString &extensions, const QStringList &validity);
    static QString BaseName(Server server);

    QString folder;
    QString config;
    QString error;
};
