#include "NginxTls.h"

#include "RealPeers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QThread>

namespace {

constexpr int kSites = 5;

QString Tls(const TestCertificates &certificates, TestCertificates::Server server)
{
    return QStringLiteral("        ssl_certificate %1;\n        ssl_certificate_key %2;\n")
        .arg(certificates.CertificateFile(server), certificates.KeyFile(server));
}

}  // namespace

NginxTls::~NginxTls()
{
    Stop();
}

void NginxTls::Stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

bool NginxTls::Start(const QString &documentRoot)
{
    if (!folder.isValid()) {
        error = QStringLiteral("no temporary folder for nginx");
        return false;
    }
    const QString certificateFolder = folder.filePath(QStringLiteral("certificates"));
    if (!QDir().mkpath(certificateFolder) || !certificates.Make(certificateFolder)) {
        error = certificates.Error();
        return false;
    }
    // A free port may be taken by someone else between asking and binding: try a few times.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (StartOnce(documentRoot))
            return true;
    }
    return false;
}

quint16 NginxTls::Port(Site site) const
{
    return ports.value(static_cast<int>(site));
}

QString NginxTls::HostAndPort(Site site) const
{
    return QStringLiteral("127.0.0.1:%1").arg(Port(site));
}

bool NginxTls::StartOnce(const QString &documentRoot)
{
    Stop();
    ports.clear();
    for (int i = 0; i < kSites; ++i)
        ports.append(FreeLoopbackPort());
    if (!WriteConfig(documentRoot))
        return false;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("nginx"),
                  {QStringLiteral("-p"), folder.path(), QStringLiteral("-c"),
                   folder.filePath(QStringLiteral("nginx.conf"))});
    if (!process.waitForStarted(15000)) {
        error = QStringLiteral("nginx did not start: ") + process.errorString();
        return false;
    }
    QDeadlineTimer deadline(15000);
    for (const quint16 port : std::as_const(ports)) {
        bool listening = false;
        while (!listening && !deadline.hasExpired() && process.state() != QProcess::NotRunning) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            listening = probe.waitForConnected(1000);
            if (!listening)
                QThread::msleep(50);
        }
        if (!listening) {
            QFile log(folder.filePath(QStringLiteral("error.log")));
            log.open(QIODevice::ReadOnly);
            error =
                QStringLiteral("nginx is not listening: ") + QString::fromLocal8Bit(process.readAll() + log.readAll());
            Stop();
            return false;
        }
    }
    return true;
}

bool NginxTls::WriteConfig(const QString &documentRoot)
{
    const QString dir = folder.path();
    const QString root = QDir(documentRoot).absolutePath();
    const QString plain = QString::number(Port(Site::Plain));
    const QString secure = QString::number(Port(Site::Secure));
    using Server = TestCertificates::Server;
    // One process in the foreground: nothing to clean up but the process itself, and the files in the
    // folder stay readable whoever starts it.
    QString text = QStringLiteral("daemon off;\n"
                                  "master_process off;\n"
                                  "worker_processes 1;\n"
                                  "pid %1/nginx.pid;\n"
                                  "error_log %1/error.log warn;\n"
                                  "events { worker_connections 64; }\n"
                                  "http {\n"
                                  "    access_log off;\n"
                                  "    default_type application/octet-stream;\n"
                                  "    client_body_temp_path %1/body;\n"
                                  "    proxy_temp_path %1/proxy;\n"
                                  "    fastcgi_temp_path %1/fastcgi;\n"
                                  "    uwsgi_temp_path %1/uwsgi;\n"
                                  "    scgi_temp_path %1/scgi;\n"
                                  "    root %2;\n")
                       .arg(dir, root);
    text += QStringLiteral("    server {\n        listen 127.0.0.1:%1;\n"
                           "        rewrite ^/to-secure/(.*)$ https://127.0.0.1:%2/$1 redirect;\n    }\n")
                .arg(plain, secure);
    text += QStringLiteral("    server {\n        listen 127.0.0.1:%1 ssl;\n").arg(secure)
        + Tls(certificates, Server::Good)
        + QStringLiteral("        absolute_redirect off;\n"
                         "        rewrite ^/to-plain/(.*)$ http://127.0.0.1:%1/$1 redirect;\n"
                         "        rewrite ^/to-path/(.*)$ /$1 redirect;\n"
                         "        rewrite ^/loop$ /loop redirect;\n"
                         "        location = /xurl/ { return 200 \"$request_method $request_uri $content_length\"; }\n"
                         "    }\n")
              .arg(plain);
    text += QStringLiteral("    server {\n        listen 127.0.0.1:%1 ssl;\n").arg(Port(Site::WrongName))
        + Tls(certificates, Server::WrongName) + QStringLiteral("    }\n");
    text += QStringLiteral("    server {\n        listen 127.0.0.1:%1 ssl;\n").arg(Port(Site::Expired))
        + Tls(certificates, Server::Expired) + QStringLiteral("    }\n");
    text += QStringLiteral("    server {\n        listen 127.0.0.1:%1 ssl;\n").arg(Port(Site::NameOnly))
        + Tls(certificates, Server::NameOnly) + QStringLiteral("    }\n");
    text += QStringLiteral("}\n");

    QFile config(folder.filePath(QStringLiteral("nginx.conf")));
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate) || config.write(text.toUtf8()) < 0) {
        error = QStringLiteral("cannot write the nginx configuration");
        return false;
    }
    return true;
}
