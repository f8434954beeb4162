#pragma once

#include "HttpRequestReader.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <functional>
#include <utility>

struct HttpResponse {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QByteArray allow;  // for 405: the methods the address takes
    int retryAfterSeconds = 0;  // for 503
};

// One client connection on its own descriptor: reads requests (HttpRequestReader), hands each whole request
// to the service, and writes the answer whenever the service has it; the answer may come much later, after a
// page was fetched. One request at a time per connection; the next is read after the answer, and only while
// the client takes its answers. A client that closes its side after a whole request is still answered (Qt's
// sockets would close both sides at once, which is why this one works on the descriptor itself); since a
// client that left altogether closes the same way, such a client is sent the answer's status line at once:
// a client that is gone answers that with a reset, and its resolution is dropped.
// HTTP/1.0 requests, and any that ask for it, have the connection closed after the answer, which is how the
// program learns that the answer is complete. Deletes itself when the connection ends.
class HttpConnection : public QObject {
    Q_OBJECT

public:
    using RequestHandler = std::function<void(HttpConnection *connection, const HttpRequest &request)>;

    // Takes over the connected descriptor.
    HttpConnection(int descriptor, const HttpLimits &limits, RequestHandler handler, QObject *parent = nullptr);
    ~HttpConnection() override;

    void Answer(const HttpResponse &response);
    QHostAddress PeerAddress() const { return peer; }
    // The address and port the client reached us at.
    QString LocalAuthority() const;

    // An answer whose length is not known in advance: the header now, without Content-Length (the close
    // ends the body, as HTTP/1.0 clients expect), then the body in pieces. Drained() says when the client has
    // taken what was sent, so that the next piece can come.
    void StartStream(int status, const QByteArray &contentType);
    void SendPiece(QByteArrayView piece);
    // Moves what a pipe holds into the socket without copying it through us, once nothing else waits to be
    // sent: a positive value is the bytes moved. SocketFull: Drained() comes when there is room again.
    enum class Splice : qint64 {
        PipeEnded = 0,
        PipeEmpty = -1,
        SocketFull = -2,
        Failed = -3,  // the connection is gone
    };
    Splice SpliceFrom(int pipe);
    qsizetype UnsentBytes() const { return unsent.size(); }
    // The whole body was sent: the connection closes after it.
    void EndStream();
    // The body broke off: the connection is reset, so that the client cannot take what it got for all.
    void AbortStream();

    static QByteArray ReasonPhrase(int status);
    // The peer of a connected descriptor; an IPv4 client of an IPv6 socket as its IPv4 address.
    static QHostAddress PeerOf(int descriptor);
    // The address and port a descriptor is bound to, as the system gives them; a null address when it cannot.
    static std::pair<QHostAddress, quint16> LocalOf(int descriptor);

signals:
    void Drained();

private:
    void OnReadable();
    void OnWritable();
    void Flush();
    // What the socket takes of bytes now, or -1 when the connection failed.
    qsizetype SendNow(QByteArrayView bytes);
    QByteArray StatusLine(int status) const;
    void ProcessRequests();
    void StartRequest();
    void RejectRequest(int status, const QString &reason);
    void OnRequestTimeout();
    void Send(const QByteArray &bytes);
    void CloseAfterAnswer();
    void Abort();
    void StartProbing();
    void CheckPeerGone();
    bool AnswersPileUp() const;

    int descriptor;
    QHostAddress peer;
    HttpLimits limits;
    RequestHandler handler;
    HttpRequestReader reader;
    QSocketNotifier readable;
    QSocketNotifier writable;
    QByteArray unsent;
    QTimer headerTimer;
    QTimer requestTimer;
    QTimer probeTimer;
    bool awaitingAnswer = false;
    bool keepAlive = false;
    bool answerHasNoBody = false;
    bool peerClosed = false;  // the client sent all it will send; it may still read
    bool closing = false;  // answered for the last time: sending what is left, then closing
    bool aborted = false;
    bool statusLineSent = false;  // "200 OK", sent early to a client that closed its side
    bool streaming = false;
};
