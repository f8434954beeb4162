#include "TestCertificates.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

// The openssl tool reads only this file, not the system's configuration, so the certificates come out the
// same on every machine. EC keys: made in a blink, where RSA keys would slow every test start.
const char kConfig[] = R"(
[ req ]
distinguished_name = subject
prompt = no

[ subject ]
CN = Quillon Test Authority

[ authority ]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash

[ ca ]
default_ca = issuer

[ issuer ]
dir = .
database = $dir/index.txt
new_certs_dir = $dir/issued
serial = $dir/serial
certificate = $dir/authority.crt
private_key = $dir/authority.key
default_md = sha256
policy = any_subject
unique_subject = no
copy_extensions = none

[ any_subject ]
commonName = supplied

[ loopback ]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost, IP:127.0.0.1
authorityKeyIdentifier = keyid

[ name_only ]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost
authorityKeyIdentifier = keyid

[ other_name ]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:wrong.example
authorityKeyIdentifier = keyid
)";

const QStringList kNewKey = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                             QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};

}  // namespace

bool TestCertificates::Make(const QString &where)
{
    folder = where;
    config = QDir(folder).filePath(QStringLiteral("openssl.cnf"));
    if (!WriteConfig())
        return false;
    if (!RunOpenssl(QStringList{QStringLiteral("req"), QStringLiteral("-config"), config, QStringLiteral("-x509"),
                                QStringLiteral("-extensions"), QStringLiteral("authority"), QStringLiteral("-days"),
                                QStringLiteral("3650"), QStringLiteral("-keyout"), QStringLiteral("authority.key"),
                                QStringLiteral("-out"), QStringLiteral("authority.crt")}
                    + kNewKey))
        return false;
    // Valid from now on for a month; the expired one ended years ago, which -days cannot say.
    const QStringList month = {QStringLiteral("-days"), QStringLiteral("30")};
    const QStringList past = {QStringLiteral("-startdate"), QStringLiteral("20200101000000Z"),
                              QStringLiteral("-enddate"), QStringLiteral("20200201000000Z")};
    return Issue(BaseName(Server::Good), QStringLiteral("loopback"), month)
        && Issue(BaseName(Server::WrongName), QStringLiteral("other_name"), month)
        && Issue(BaseName(Server::Expired), QStringLiteral("loopback"), past)
        && Issue(BaseName(Server::NameOnly), QStringLiteral("name_only"), month);
}

QList<QSslCertificate> TestCertificates::Authority() const
{
    return QSslCertificate::fromPath(QDir(folder).filePath(QStringLiteral("authority.crt")));
}

QString TestCertificates::CertificateFile(Server server) const
{
    return QDir(folder).filePath(BaseName(server) + QStringLiteral(".crt"));
}

QString TestCertificates::KeyFile(Server server) const
{
    return QDir(folder).filePath(BaseName(server) + QStringLiteral(".key"));
}

QString TestCertificates::BaseName(Server server)
{
    switch (server) {
    case Server::Good:
        return QStringLiteral("good");
    case Server::WrongName:
        return QStringLiteral("wrong-name");
    case Server::Expired:
        return QStringLiteral("expired");
    case Server::NameOnly:
        return QStringLiteral("name-only");
    }
    return {};
}

bool TestCertificates::WriteConfig()
{
    QDir dir(folder);
    QFile file(config);
    QFile index(dir.filePath(QStringLiteral("index.txt")));
    QFile serial(dir.filePath(QStringLiteral("serial")));
    if (!dir.mkpath(QStringLiteral("issued")) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || !index.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || !serial.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = QStringLiteral("cannot write the openssl files in ") + folder;
        return false;
    }
    file.write(kConfig);
    serial.write("1000\n");
    return true;
}

bool TestCertificates::Issue(const QString &name, const QString &extensions, const QStringList &validity)
{
    const QString request = name + QStringLiteral(".csr");
    return RunOpenssl(QStringList{QStringLiteral("req"), QStringLiteral("-config"), config, QStringLiteral("-new"),
                                  QStringLiteral("-subj"), QStringLiteral("/CN=") + name, QStringLiteral("-keyout"),
                                  name + QStringLiteral(".key"), QStringLiteral("-out"), request}
                      + kNewKey)
        && RunOpenssl(QStringList{QStringLiteral("ca"), QStringLiteral("-config"), config, QStringLiteral("-batch"),
                                  QStringLiteral("-notext"), QStringLiteral("-extensions"), extensions,
                                  QStringLiteral("-in"), request, QStringLiteral("-out"), name + QStringLiteral(".crt")}
                      + validity);
}

bool TestCertificates::RunOpenssl(const QStringList &arguments)
{
    QProcess openssl;
    openssl.setWorkingDirectory(folder);
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(60000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0) {
        error = QStringLiteral("openssl %1 failed: %2 %3")
                    .arg(arguments.join(u' '), openssl.errorString(), QString::fromLocal8Bit(openssl.readAll()));
        return false;
    }
    return true;
}
