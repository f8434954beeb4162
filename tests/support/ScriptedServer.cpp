#include "ScriptedServer.h"

#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

ScriptedServer::ScriptedServer(QObject *parent) : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &ScriptedServer::Accept);
}

ScriptedServer::~ScriptedServer()
{
    CloseAll();
}

bool ScriptedServer::Listen()
{
    return server.listen(QHostAddress::LocalHost, 0);
}

quint16 ScriptedServer::Port() const
{
    return server.serverPort();
}

QString ScriptedServer::HostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(Port());
}

void ScriptedServer::AddScript(const Script &script)
{
    scripts.append(script);
}

QList<QByteArray> ScriptedServer::Requests() const
{
    QList<QByteArray> requests;
    for (const Connection &connection : connections)
        requests.append(connection.received);
    return requests;
}

void ScriptedServer::Accept()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        const qsizetype index = connections.size();
        Connection connection;
        connection.socket = socket;
        if (index < scripts.size())
            connection.script = scripts[index];
        else
            connection.script = {Close()};
        connections.append(connection);
        connect(socket, &QTcpSocket::readyRead, this, [this, index] { Receive(index); });
        if (answerBeforeRequest) {
            connections[index].started = true;
            Continue(index);
        }
    }
}

bool ScriptedServer::RequestComplete(const QByteArray &received)
{
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QByteArray header = received.first(end).toLower();
    const qsizetype at = header.indexOf("\r\ncontent-length:");
    if (at < 0)
        return true;
    const qsizetype lineEnd = header.indexOf("\r\n", at + 2);
    const qsizetype length = header.mid(at + 17, lineEnd < 0 ? -1 : lineEnd - at - 17).trimmed().toLongLong();
    return received.size() >= end + 4 + length;
}

void ScriptedServer::Receive(qsizetype index)
{
    Connection &connection = connections[index];
    if (!connection.socket)
        return;
    connection.received += connection.socket->readAll();
    if (!connection.started && RequestComplete(connection.received)) {
        connection.started = true;
        Continue(index);
    }
}

void ScriptedServer::Continue(qsizetype index)
{
    while (connections[index].socket && connections[index].next < connections[index].script.size()) {
        Connection &connection = connections[index];
        const Step step = connection.script[connection.next++];
        switch (step.kind) {
        case Step::Kind::Send:
            connection.socket->write(step.bytes);
            connection.socket->flush();
            break;
        case Step::Kind::Pause:
            QTimer::singleShot(step.milliseconds, this, [this, index] { Continue(index); });
            return;
        case Step::Kind::Hold:
            connection.held = true;
            ++waiting;
            return;
        case Step::Kind::Close:
            connection.socket->disconnectFromHost();
            break;
        case Step::Kind::Reset: {
            connection.socket->flush();
            // A zero linger time turns the close into a reset.
            const linger immediate{1, 0};
            ::setsockopt(int(connection.socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &immediate,
                         sizeof immediate);
            connection.socket->abort();
            break;
        }
        }
    }
    if (connections[index].next >= connections[index].script.size())
        ++waiting;
}

void ScriptedServer::Release()
{
    for (qsizetype index = 0; index < connections.size(); ++index) {
        if (connections[index].held) {
            connections[index].held = false;
            --waiting;
            Continue(index);
        }
    }
}

void ScriptedServer::CloseAll()
{
    for (Connection &connection : connections) {
        if (connection.socket)
            connection.socket->disconnectFromHost();
    }
}
