#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class QTcpSocket;

struct HttpRequest {
    QByteArray method;
    QByteArray target;  // as on the request line: "/xurl/", or "http://host/xurl/" when sent through a proxy
    unsigned version = 11;  // 10 for HTTP/1.0, 11 for HTTP/1.1
    QByteArray body;
};

struct HttpResponse {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QByteArray allow;  // for 405: the methods the address takes
};

struct HttpLimits {
    qint64 bodyLimit = 64 * 1024;
    qint64 headerLimit = 16 * 1024;
    int clientTimeoutMilliseconds = 30000;
};

// One client connection: reads requests with a real HTTP/1.x parser (Boost.Beast's), hands each whole
// request to the service, and writes the answer whenever the service has it; the answer may come much later,
// after a page was fetched. One request at a time per connection; the next is read after the answer.
// HTTP/1.0 requests, and any that ask for it, have the connection closed after the answer, which is how the
// program learns that the answer is complete. Deletes itself when the connection ends.
class HttpConnection : public QObject {
    Q_OBJECT

public:
    using RequestHandler = std::function<void(HttpConnection *connection, const HttpRequest &request)>;

    HttpConnection(QTcpSocket *socket, const HttpLimits &limits, RequestHandler handler, QObject *parent = nullptr);
    ~HttpConnection() override;

    void Answer(const HttpResponse &response);

    static QByteArray ReasonPhrase(int status);

private:
    void ReadRequests();
    void StartRequest();
    void RejectRequest(int status, const QString &reason);
    void OnClientTimeout();
    void CloseConnection();

    struct Parser;
    QTcpSocket *socket;
    HttpLimits limits;
    RequestHandler handler;
    std::unique_ptr<Parser> parser;
    QByteArray unparsed;
    QTimer clientTimer;
    bool awaitingAnswer = false;
    bool keepAlive = false;
    bool answerHasNoBody = false;
    bool continueSent = false;
    bool closing = false;
};
