#include "FetchProxy.h"

#include "ProxyConnection.h"

#include <QTcpSocket>

FetchProxy::FetchProxy(const Settings &settings, QObject *parent) : QObject(parent), settings(settings)
{
    connect(&server, &QTcpServer::newConnection, this, [this] { OnNewConnection(&server); });
    connect(&sealedServer, &QTcpServer::newConnection, this, [this] { OnNewConnection(&sealedServer); });
}

bool FetchProxy::Listen(QString *error)
{
    if (server.listen(QHostAddress::LocalHost, 0))
        return true;
    if (error)
        *error = server.errorString();
    return false;
}

bool FetchProxy::AcceptAlsoOn(qintptr listener, QString *error)
{
    if (sealedServer.setSocketDescriptor(listener))
        return true;
    if (error)
        *error = sealedServer.errorString();
    return false;
}

QString FetchProxy::Address(const QString &user, quint16 port) const
{
    return QStringLiteral("http://%1:%2@127.0.0.1:%3")
        .arg(user, QString::fromLatin1(settings.password))
        .arg(port != 0 ? port : server.serverPort());
}

void FetchProxy::OnNewConnection(QTcpServer *from)
{
    while (QTcpSocket *client = from->nextPendingConnection()) {
        if (openConnections >= settings.maxConnections) {
            client->write("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            client->disconnectFromHost();
            connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            continue;
        }
        new ProxyConnection(client, this);
    }
}
