#include "NginxTls.h"

#include <QDir>

namespace {

constexpr int kSites = 5;

QString Tls(const TestCertificates &certificates, TestCertificates::Server server)
{
    return QStringLiteral("        ssl_certificate %1;\n        ssl_certificate_key %2;\n")
        .arg(certificates.CertificateFile(server), certificates.KeyFile(server));
}

}  // namespace

bool NginxTls::Start(const QString &documentRoot)
{
    if (!certificateFolder.isValid() || !certificates.Make(certificateFolder.path())) {
        error = certificateFolder.isValid() ? certificates.Error() : QStringLiteral("no folder for the certificates");
        return false;
    }
    const QString root = QDir(documentRoot).absolutePath();
    if (nginx.Start(kSites, [&](const QList<quint16> &ports) { return Servers(root, ports); }))
        return true;
    error = nginx.Error();
    return false;
}

quint16 NginxTls::Port(Site site) const
{
    return nginx.Port(static_cast<int>(site));
}

QString NginxTls::HostAndPort(Site site) const
{
    return QStringLiteral("127.0.0.1:%1").arg(Port(site));
}

QString NginxTls::Servers(const QString &root, const QList<quint16> &ports) const
{
    using Server = TestCertificates::Server;
    const auto port = [&ports](Site site) { return QString::number(ports.value(static_cast<int>(site))); };
    QString text = QStringLiteral("    root %1;\n").arg(root);
    text += QStringLiteral("    server {\n        listen 127.0.0.1:%1;\n"
                           "        rewrite ^/to-secure/(.*)$ https://127.0.0.1:%2/$1 redirect;\n    }\n")
                .arg(port(Site::Plain), port(Site::Secure));
    text += QStringLiteral("    server {\n        listen 127.0.0.1:%1 ssl;\n").arg(port(Site::Secure))
        + Tls(certificates, Server::Good)
        + QStringLiteral("        absolute_redirect off;\n"
                         "        rewrite ^/to-plain/(.*)$ http://127.0.0.1:%1/$1 redirect;\n"
                         "        rewrite ^/to-path/(.*)$ /$1 redirect;\n"
                         "        rewrite ^/loop$ /loop redirect;\n"
                         "        location = /xurl/ { return 200 \"$request_method $request_uri $content_length\"; }\n"
                         "    }\n")
              .arg(port(Site::Plain));
    const std::pair<Site, Server> others[] = {{Site::WrongName, Server::WrongName},
                                              {Site::Expired, Server::Expired},
                                              {Site::NameOnly, Server::NameOnly}};
    for (const auto &[site, server] : others)
        text += QStringLiteral("    server {\n        listen 127.0.0.1:%1 ssl;\n").arg(port(site))
            + Tls(certificates, server) + QStringLiteral("    }\n");
    return text;
}
