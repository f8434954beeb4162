#include "FetchProxy.h"

#include "ProxyConnection.h"

#include <QTcpSocket>

FetchProxy::FetchProxy(const Settings &settings, QObject *parent) : QObject(parent), settings(settings)
{
    connect(&server, &QTcpServer::newConnection, this, &FetchProxy::OnNewConnection);
}

bool FetchProxy::Listen(QString *error)
{
    if (server.listen(QHostAddress::LocalHost, 0))
        return true;
    if (error)
        *error = server.errorString();
    return false;
}

QString FetchProxy::Address(const QString &user) const
{
    return QStringLiteral("http://%1:%2@127.0.0.1:%3")
        .arg(user, QString::fromLatin1(settings.password))
        .arg(server.serverPort());
}

void FetchProxy::OnNewConnection()
{
    while (QTcpSocket *client = server.nextPendingConnection()) {
        if (openConnections >= settings.maxConnections) {
            client->write("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            client->disconnectFromHost();
            connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            continue;
        }
        new ProxyConnection(client, this);
    }
}
