#include "RealPeers.h"

#include <QFile>

bool PythonHttpServer::Start(const QString &folder)
{
    // Port 0: the server takes a free port and tells which on its first line.
    const QStringList command = {QStringLiteral("python3"),     QStringLiteral("-u"),          QStringLiteral("-m"),
                                 QStringLiteral("http.server"), QStringLiteral("0"),           QStringLiteral("--bind"),
                                 QStringLiteral("127.0.0.1"),   QStringLiteral("--directory"), folder};
    if (!peer.Start(command))
        return false;
    const QRegularExpressionMatch match = peer.WaitForOutput(QRegularExpression(QStringLiteral("port (\\d+)")));
    if (!match.hasMatch())
        return false;
    port = static_cast<quint16>(match.captured(1).toUInt());
    return peer.WaitUntilListening({port});
}

bool Tinyproxy::Start(const QString &login, const QString &password, const QList<quint16> &connectPorts)
{
    const QString configPath = folder.filePath(QStringLiteral("tinyproxy.conf"));
    return peer.StartOnFreePorts(1, [&](const QList<quint16> &ports) {
        if (!WriteConfig(ports.first(), login, password, connectPorts))
            return QStringList();
        return QStringList{QStringLiteral("tinyproxy"), QStringLiteral("-d"), QStringLiteral("-c"), configPath};
    });
}

bool Tinyproxy::WriteConfig(quint16 port, const QString &login, const QString &password,
                            const QList<quint16> &connectPorts)
{
    QFile config(folder.filePath(QStringLiteral("tinyproxy.conf")));
    if (!folder.isValid() || !config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    // tinyproxy 1.11 rejects a password with "!" as a syntax error: tests use plain ones.
    QString text = QStringLiteral("Port %1\n"
                                  "Listen 127.0.0.1\n"
                                  "Timeout 60\n"
                                  "MaxClients 20\n"
                                  "LogLevel Error\n"
                                  "Allow 127.0.0.1\n"
                                  "BasicAuth %2 %3\n")
                       .arg(port)
                       .arg(login, password);
    for (const quint16 connectPort : connectPorts)
        text += QStringLiteral("ConnectPort %1\n").arg(connectPort);
    return config.write(text.toUtf8()) >= 0;
}
