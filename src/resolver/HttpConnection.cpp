#include "HttpConnection.h"

#include "AnswerPages.h"

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <QTcpSocket>

namespace http = boost::beast::http;

struct HttpConnection::Parser {
    http::request_parser<http::string_body> parser;
};

namespace {

// What Qt may buffer from the socket while we are not reading; past it TCP itself holds the client back.
constexpr qint64 kSocketReadBuffer = 128 * 1024;

}  // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, const HttpLimits &limits, RequestHandler handler, QObject *parent)
    : QObject(parent)
    , socket(socket)
    , limits(limits)
    , handler(std::move(handler))
{
    socket->setParent(this);
    socket->setReadBufferSize(kSocketReadBuffer);
    clientTimer.setSingleShot(true);
    clientTimer.setInterval(limits.clientTimeoutMilliseconds);
    connect(&clientTimer, &QTimer::timeout, this, &HttpConnection::OnClientTimeout);
    connect(socket, &QTcpSocket::readyRead, this, &HttpConnection::ReadRequests);
    connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    StartRequest();
    // Bytes may have arrived before we were connected to readyRead.
    ReadRequests();
}

HttpConnection::~HttpConnection() = default;

void HttpConnection::StartRequest()
{
    parser = std::make_unique<Parser>();
    parser->parser.header_limit(std::uint32_t(limits.headerLimit));
    parser->parser.body_limit(std::uint64_t(limits.bodyLimit));
    parser->parser.eager(true);
    awaitingAnswer = false;
    continueSent = false;
    clientTimer.start();
}

void HttpConnection::ReadRequests()
{
    if (awaitingAnswer || closing)
        return;
    unparsed.append(socket->readAll());
    // Clients may send a line break after a body (the program does), and a server ignores empty lines
    // before a request line.
    while (!parser->parser.got_some() && (unparsed.startsWith('\r') || unparsed.startsWith('\n')))
        unparsed.remove(0, 1);
    if (unparsed.isEmpty())
        return;

    boost::system::error_code error;
    while (!parser->parser.is_done() && !unparsed.isEmpty()) {
        const std::size_t used =
            parser->parser.put(boost::asio::const_buffer(unparsed.constData(), std::size_t(unparsed.size())), error);
        unparsed.remove(0, qsizetype(used));
        if (error == http::error::need_more) {
            error = {};
            break;
        }
        if (error)
            break;
        if (used == 0)
            break;
    }
    if (error == http::error::body_limit) {
        RejectRequest(413, QStringLiteral("Запрос слишком велик: тело запроса больше %1 байт.").arg(limits.bodyLimit));
        return;
    }
    if (error == http::error::header_limit) {
        RejectRequest(431, QStringLiteral("Заголовок запроса слишком велик."));
        return;
    }
    if (error) {
        RejectRequest(400, QStringLiteral("Запрос не понят: %1.").arg(QString::fromStdString(error.message())));
        return;
    }
    if (!parser->parser.is_done()) {
        // curl and others wait for this before sending a body over 1 KiB.
        if (parser->parser.is_header_done() && !continueSent
            && boost::beast::iequals(parser->parser.get()[http::field::expect], "100-continue")) {
            continueSent = true;
            socket->write("HTTP/1.1 100 Continue\r\n\r\n");
        }
        return;
    }

    clientTimer.stop();
    awaitingAnswer = true;
    const auto &message = parser->parser.get();
    keepAlive = message.keep_alive();
    answerHasNoBody = message.method() == http::verb::head;
    HttpRequest request;
    request.method = QByteArray(message.method_string().data(), qsizetype(message.method_string().size()));
    request.target = QByteArray(message.target().data(), qsizetype(message.target().size()));
    request.version = message.version();
    request.body = QByteArray(message.body().data(), qsizetype(message.body().size()));
    handler(this, request);
}

void HttpConnection::Answer(const HttpResponse &response)
{
    if (closing || socket->state() != QAbstractSocket::ConnectedState)
        return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + ReasonPhrase(response.status) + "\r\n";
    head += "Server: quillon-resolver\r\n";
    if (!response.contentType.isEmpty())
        head += "Content-Type: " + response.contentType + "\r\n";
    if (!response.allow.isEmpty())
        head += "Allow: " + response.allow + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += "\r\n";
    socket->write(head);
    if (!answerHasNoBody)
        socket->write(response.body);
    if (!keepAlive) {
        CloseConnection();
        return;
    }
    StartRequest();
    // Later, not here: a client that sends many requests at once would otherwise have us recurse through
    // all of them.
    QMetaObject::invokeMethod(this, &HttpConnection::ReadRequests, Qt::QueuedConnection);
}

void HttpConnection::RejectRequest(int status, const QString &reason)
{
    // After a broken or oversized request the rest of the stream cannot be trusted to start a new request.
    keepAlive = false;
    awaitingAnswer = true;
    clientTimer.stop();
    Answer({status, "text/html; charset=utf-8", AnswerPages::ComposeFailurePage(reason), {}});
}

void HttpConnection::OnClientTimeout()
{
    if (closing) {
        // The client does not take its answer; it gets no more of our time.
        socket->abort();
        deleteLater();
        return;
    }
    const bool requestBegun = !unparsed.isEmpty() || parser->parser.got_some();
    if (requestBegun)
        RejectRequest(408,
                      QStringLiteral("Запрос не пришёл целиком за %1 с.").arg(limits.clientTimeoutMilliseconds / 1000));
    else
        CloseConnection();
}

void HttpConnection::CloseConnection()
{
    closing = true;
    clientTimer.start();
    // Sends what is still buffered, then closes; disconnected() then deletes us.
    socket->disconnectFromHost();
}

QByteArray HttpConnection::ReasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Payload Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}
