#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;

// A loopback server of one video that serves parts of it (Range, If-Range) as a real download host does, by rules a
// test sets: so fast and no faster on each connection, no more connections at once than it allows, one connection
// that drops half-way through its part, a file that changes under the download, or no parts at all.
class RangeServer : public QObject {
    Q_OBJECT

public:
    // How the Nth part's connection drops half-way through its part.
    enum class Drop { None, Close, Reset, Silence };
    struct Rules {
        // Bytes a second on each connection; 0: as fast as the connection takes them.
        qint64 bytesPerSecond = 0;
        // Answers a request for a part with the whole body (200), as a server that serves no parts does.
        bool ignoresRange = false;
        // A connection beyond this many open at once is reset on its request, before its first byte (0: any number).
        int mostAtOnce = 0;
        // The part answered on this connection (counted from 1 among those answered with 206) drops.
        int dropPart = 0;
        Drop drop = Drop::None;
        // From this connection on (counted from 1 among all) the file is another: other bytes, validator "v2".
        int changedFrom = 0;
    };

    explicit RangeServer(QObject *parent = nullptr);
    ~RangeServer() override;

    // The first file's bytes, and the second's once it has changed (of the same length).
    bool Listen(const QByteArray &body, const QByteArray &changed, const Rules &rules, quint16 port = 0);
    QString HostAndPort() const;

    int Accepted() const { return accepted; }
    int Open() const { return int(connections.size()); }
    // The most connections that were open at once, those reset at once left out.
    int MostOpen() const { return mostOpen; }
    int Refused() const { return refused; }
    // Every request's header, in the order they came.
    QList<QByteArray> Requests() const { return requests; }

private:
    struct Connection {
        QTcpSocket *socket = nullptr;
        QByteArray received;
        bool answered = false;
        // The answer, and how much of it has gone.
        QByteArray pending;
        qsizetype sent = 0;
        // The byte after which it drops, or -1.
        qsizetype dropAfter = -1;
        bool silent = false;
    };

    void Accept();
    void Receive(Connection &connection);
    QByteArray Answer(Connection &connection, const QByteArray &request);
    void SendSome();
    void DropNow(Connection &connection);
    void Forget(QTcpSocket *socket);

    QTcpServer server;
    QTimer pace;
    QByteArray first;
    QByteArray second;
    Rules rules;
    QList<Connection> connections;
    QList<QByteArray> requests;
    int accepted = 0;
    int parts = 0;
    int mostOpen = 0;
    int refused = 0;
};
