#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// A loopback HTTP peer that plays a script per connection: it waits for the whole request (header and the
// body its Content-Length announces), records every byte it receives, then sends its pieces with pauses
// or holds between them, and ends by closing, resetting, or staying open.
class ScriptedServer : public QObject {
    Q_OBJECT

public:
    struct Step {
        enum class Kind { Send, Pause, Hold, Close, Reset };
        Kind kind = Kind::Send;
        QByteArray bytes;
        int milliseconds = 0;
    };
    using Script = QList<Step>;

    static Step Send(const QByteArray &bytes) { return {Step::Kind::Send, bytes, 0}; }
    static Step Pause(int milliseconds) { return {Step::Kind::Pause, {}, milliseconds}; }
    // Waits until the test calls Release: lets a test see one piece handled before the next is sent.
    static Step Hold() { return {Step::Kind::Hold, {}, 0}; }
    static Step Close() { return {Step::Kind::Close, {}, 0}; }
    // Ends the connection with a TCP reset instead of an orderly close.
    static Step Reset() { return {Step::Kind::Reset, {}, 0}; }

    explicit ScriptedServer(QObject *parent = nullptr);
    ~ScriptedServer() override;

    bool Listen();
    quint16 Port() const;
    // "127.0.0.1:port", as a server name in an address.
    QString HostAndPort() const;

    // Scripts are used by connections in the order they arrive; a connection beyond them is closed at once.
    void AddScript(const Script &script);
    // Sends the whole answer as soon as the connection is accepted, without waiting for a request.
    void SetAnswerBeforeRequest(bool enabled) { answerBeforeRequest = enabled; }
    void Release();
    // Closes every connection still open.
    void CloseAll();

    int Connections() const { return static_cast<int>(connections.size()); }
    // All bytes received on each connection, in connection order.
    QList<QByteArray> Requests() const;
    // Number of connections that reached their Hold step or the end of their script.
    int Waiting() const { return waiting; }

private:
    struct Connection {
        QTcpSocket *socket = nullptr;
        QByteArray received;
        Script script;
        qsizetype next = 0;
        bool started = false;
        bool held = false;
    };

    void Accept();
    void Receive(qsizetype index);
    void Continue(qsizetype index);
    static bool RequestComplete(const QByteArray &received);

    QTcpServer server;
    QList<Script> scripts;
    QList<Connection> connections;
    bool answerBeforeRequest = false;
    int waiting = 0;
};
