#include "LoopbackNginx.h"

#include "RealPeers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpSocket>
#include <QThread>

LoopbackNginx::~LoopbackNginx()
{
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
    }
}

bool LoopbackNginx::Start(const QString &folder)
{
    port = FreeLoopbackPort();
    const QString config = folder + QStringLiteral("/nginx.conf");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("cannot write ") + config;
        return false;
    }
    const QByteArray f = folder.toUtf8();
    // One process, sendfile, no log: the server should be the fastest part of the road.
    file.write("daemon off; master_process off; worker_processes 1; error_log stderr; pid " + f
               + "/nginx.pid;\n"
                 "events { worker_connections 64; }\n"
                 "http { access_log off; sendfile on; client_body_temp_path "
               + f + "/body; proxy_temp_path " + f + "/proxy; fastcgi_temp_path " + f + "/fcgi; uwsgi_temp_path " + f
               + "/uwsgi; scgi_temp_path " + f + "/scgi;\n  types { video/x-flv flv; }\n  server { listen 127.0.0.1:"
               + QByteArray::number(port) + "; root " + f + "; } }\n");
    file.close();
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("nginx"), {QStringLiteral("-c"), config, QStringLiteral("-p"), folder});
    if (!process.waitForStarted(10000)) {
        error = QStringLiteral("nginx did not start: ") + process.errorString();
        return false;
    }
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (probe.waitForConnected(500))
            return true;
        QThread::msleep(50);
    }
    error = QStringLiteral("nginx is not listening");
    return false;
}
