#include "RangeServer.h"

#include <QRegularExpression>
#include <QTcpSocket>

#include <sys/socket.h>

namespace {

constexpr int kPaceMs = 10;
// What each connection is given at most per turn when it may go as fast as it likes.
constexpr qint64 kFastTurnBytes = qint64(1) << 20;

void Reset(QTcpSocket *socket)
{
    // A zero linger time turns the close into a reset.
    const linger immediate{1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &immediate, sizeof immediate);
    socket->abort();
}

}  // namespace

RangeServer::RangeServer(QObject *parent) : QObject(parent)
{
    pace.setInterval(kPaceMs);
    connect(&pace, &QTimer::timeout, this, &RangeServer::SendSome);
    connect(&server, &QTcpServer::newConnection, this, &RangeServer::Accept);
}

RangeServer::~RangeServer()
{
    for (const Connection &connection : connections)
        connection.socket->abort();
}

bool RangeServer::Listen(const QByteArray &body, const QByteArray &changed, const Rules &given, quint16 port)
{
    first = body;
    second = changed;
    rules = given;
    pace.start();
    return server.listen(QHostAddress::LocalHost, port);
}

QString RangeServer::HostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
}

void RangeServer::Accept()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        ++accepted;
        if (rules.mostAtOnce > 0 && connections.size() >= rules.mostAtOnce) {
            // Reset once its request has come, as a server that counts the connections of an address does: a reset
            // within the client's connect would be taken for a connection not yet made, and tried again at once.
            ++refused;
            connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                Reset(socket);
                socket->deleteLater();
            });
            continue;
        }
        Connection connection;
        connection.socket = socket;
        connections.append(connection);
        mostOpen = std::max(mostOpen, int(connections.size()));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            for (Connection &connection : connections) {
                if (connection.socket == socket)
                    return Receive(connection);
            }
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Forget(socket); });
    }
}

void RangeServer::Forget(QTcpSocket *socket)
{
    connections.removeIf([socket](const Connection &connection) { return connection.socket == socket; });
    socket->deleteLater();
}

void RangeServer::Receive(Connection &connection)
{
    connection.received += connection.socket->readAll();
    const qsizetype end = connection.received.indexOf("\r\n\r\n");
    if (connection.answered || end < 0)
        return;
    connection.answered = true;
    requests.append(connection.received.first(end + 4));
    connection.pending = Answer(connection, connection.received.first(end + 4));
}

QByteArray RangeServer::Answer(Connection &connection, const QByteArray &request)
{
    const bool changed = rules.changedFrom > 0 && accepted >= rules.changedFrom;
    const QByteArray &body = changed ? second : first;
    const QByteArray etag = changed ? "\"v2\"" : "\"v1\"";
    static const QRegularExpression rangeLine(QStringLiteral("\r\nRange: bytes=(\\d+)-(\\d*)\r\n"));
    static const QRegularExpression ifRangeLine(QStringLiteral("\r\nIf-Range: ([^\r]*)\r\n"));
    const QRegularExpressionMatch range = rangeLine.match(QString::fromLatin1(request));
    const QRegularExpressionMatch ifRange = ifRangeLine.match(QString::fromLatin1(request));
    const bool sameFile = !ifRange.hasMatch() || ifRange.captured(1).toLatin1() == etag;
    if (!range.hasMatch() || rules.ignoresRange || !sameFile) {
        return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nETag: " + etag
            + "\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\n" + body;
    }
    const qint64 from = range.captured(1).toLongLong();
    const qint64 to = range.captured(2).isEmpty() ? body.size() - 1
                                                  : std::min<qint64>(range.captured(2).toLongLong(), body.size() - 1);
    const QByteArray head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + QByteArray::number(from) + '-'
        + QByteArray::number(to) + '/' + QByteArray::number(body.size()) + "\r\nContent-Length: "
        + QByteArray::number(to - from + 1) + "\r\nETag: " + etag + "\r\nConnection: close\r\n\r\n";
    if (++parts == rules.dropPart && rules.drop != Drop::None)
        connection.dropAfter = head.size() + (to - from + 1) / 2;
    return head + body.sliced(from, to - from + 1);
}

void RangeServer::SendSome()
{
    const qint64 turn = rules.bytesPerSecond > 0 ? rules.bytesPerSecond * kPaceMs / 1000 : kFastTurnBytes;
    for (qsizetype i = connections.size(); i-- > 0;) {
        Connection &connection = connections[i];
        const qsizetype left = connection.pending.size() - connection.sent;
        if (left == 0 || connection.silent || connection.socket->bytesToWrite() > turn)
            continue;
        qsizetype take = std::min<qsizetype>(turn, left);
        if (connection.dropAfter >= 0)
            take = std::min(take, connection.dropAfter);
        connection.socket->write(connection.pending.sliced(connection.sent, take));
        connection.sent += take;
        if (connection.dropAfter >= 0 && (connection.dropAfter -= take) == 0) {
            DropNow(connection);
            continue;
        }
        if (connection.sent == connection.pending.size())
            connection.socket->disconnectFromHost();
    }
}

void RangeServer::DropNow(Connection &connection)
{
    connection.dropAfter = -1;
    switch (rules.drop) {
    case Drop::Silence:
        connection.silent = true;
        return;
    case Drop::Reset:
        connection.socket->flush();
        return Reset(connection.socket);
    default:
        connection.sent = connection.pending.size();
        connection.socket->disconnectFromHost();
        return;
    }
}
