#include "Nginx.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

// nginx lives in /usr/sbin, which only root's search path holds.
QString NginxProgram()
{
    const QString found = QStandardPaths::findExecutable(QStringLiteral("nginx"));
    return found.isEmpty() ? QStringLiteral("/usr/sbin/nginx") : found;
}

}  // namespace

bool Nginx::ServeFolder(const QString &root, const QString &rate)
{
    const QString path = QDir(root).absolutePath();
    const QString limit = rate.isEmpty() ? QString() : QStringLiteral("        limit_rate %1;\n").arg(rate);
    return Start(1, [path, limit](const QList<quint16> &ports) {
        return QStringLiteral("    server {\n        listen 127.0.0.1:%1;\n        root %2;\n%3    }\n")
            .arg(ports.first())
            .arg(path, limit);
    });
}

bool Nginx::Start(int portCount, const Servers &servers)
{
    if (!folder.isValid()) {
        error = QStringLiteral("no temporary folder for nginx");
        return false;
    }
    const QString dir = folder.path();
    const bool started = peer.StartOnFreePorts(portCount, [&](const QList<quint16> &ports) {
        if (!WriteConfig(servers(ports)))
            return QStringList();
        // -e: the log nginx opens before it has read the configuration, by default one under /var/log.
        return QStringList{NginxProgram(),
                           QStringLiteral("-p"),
                           dir,
                           QStringLiteral("-c"),
                           dir + QStringLiteral("/nginx.conf"),
                           QStringLiteral("-e"),
                           dir + QStringLiteral("/error.log")};
    });
    if (started)
        return true;
    QFile log(dir + QStringLiteral("/error.log"));
    error = peer.Error();
    if (log.open(QIODevice::ReadOnly))
        error += QStringLiteral("\n") + QString::fromLocal8Bit(log.readAll());
    return false;
}

bool Nginx::WriteConfig(const QString &servers)
{
    const QString text =
        QStringLiteral("daemon off;\n"
                       "master_process off;\n"
                       "worker_processes 1;\n"
                       "pid %1/nginx.pid;\n"
                       "error_log %1/error.log warn;\n"
                       "events { worker_connections 1024; }\n"
                       "http {\n"
                       "    access_log off;\n"
                       "    sendfile on;\n"
                       "    tcp_nopush on;\n"
                       "    client_body_temp_path %1/body;\n"
                       "    proxy_temp_path %1/proxy;\n"
                       "    fastcgi_temp_path %1/fastcgi;\n"
                       "    uwsgi_temp_path %1/uwsgi;\n"
                       "    scgi_temp_path %1/scgi;\n"
                       "    types { text/html html; video/x-flv flv; video/mp4 mp4; video/webm webm; video/mp2t ts;\n"
                       "            application/vnd.apple.mpegurl m3u8; application/dash+xml mpd; }\n"
                       "    default_type application/octet-stream;\n")
            .arg(folder.path())
        + servers + QStringLiteral("}\n");
    QFile config(folder.path() + QStringLiteral("/nginx.conf"));
    return config.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && config.write(text.toUtf8()) == text.toUtf8().size();
}
