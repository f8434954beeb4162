#include "HttpConnection.h"

#include "AnswerPages.h"

#include <boost/beast/http/parser.hpp>
#include <boost/beast/core/string.hpp>
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

HttpConnection::HttpConnection(QTcpSocket *socket, const HttpLimits &limits, RequestHandler handler,
                               QObject *parent)
    : QObject(parent), socket_(socket), limits_(limits), handler_(std::move(handler))
{
    socket_->setParent(this);
    socket_->setReadBufferSize(kSocketReadBuffer);
    clientTimer_.setSingleShot(true);
    clientTimer_.setInterval(limits_.clientTimeoutMilliseconds);
    connect(&clientTimer_, &QTimer::timeout, this, &HttpConnection::OnClientTimeout);
    connect(socket_, &QTcpSocket::readyRead, this, &HttpConnection::ReadRequests);
    connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    StartRequest();
    // Bytes may have arrived before we were connected to readyRead.
    ReadRequests();
}

HttpConnection::~HttpConnection() = default;

void HttpConnection::StartRequest()
{
    parser_ = std::make_unique<Parser>();
    parser_->parser.header_limit(std::uint32_t(limits_.headerLimit));
    parser_->parser.body_limit(std::uint64_t(limits_.bodyLimit));
    parser_->parser.eager(true);
    awaitingAnswer_ = false;
    continueSent_ = false;
    clientTimer_.start();
}

void HttpConnection::ReadRequests()
{
    if (awaitingAnswer_ || closing_)
        return;
    unparsed_.append(socket_->readAll());
    // Clients may send a line break after a body (the program does), and a server ignores empty lines
    // before a request line.
    while (!parser_->parser.got_some() && (unparsed_.startsWith('\r') || unparsed_.startsWith('\n')))
        unparsed_.remove(0, 1);
    if (unparsed_.isEmpty())
        return;

    boost::system::error_code error;
    while (!parser_->parser.is_done() && !unparsed_.isEmpty()) {
        const std::size_t used = parser_->parser.put(boost::asio::const_buffer(unparsed_.constData(),
                                                                                std::size_t(unparsed_.size())),
                                                     error);
        unparsed_.remove(0, qsizetype(used));
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
        RejectRequest(413, QStringLiteral("Запрос слишком велик: тело запроса больше %1 байт.").arg(limits_.bodyLimit));
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
    if (!parser_->parser.is_done()) {
        // curl and others wait for this before sending a body over 1 KiB.
        if (parser_->parser.is_header_done() && !continueSent_
            && boost::beast::iequals(parser_->parser.get()[http::field::expect], "100-continue")) {
            continueSent_ = true;
            socket_->write("HTTP/1.1 100 Continue\r\n\r\n");
        }
        return;
    }

    clientTimer_.stop();
    awaitingAnswer_ = true;
    const auto &message = parser_->parser.get();
    keepAlive_ = message.keep_alive();
    answerHasNoBody_ = message.method() == http::verb::head;
    HttpRequest request;
    request.method = QByteArray(message.method_string().data(), qsizetype(message.method_string().size()));
    request.target = QByteArray(message.target().data(), qsizetype(message.target().size()));
    request.version = message.version();
    request.body = QByteArray(message.body().data(), qsizetype(message.body().size()));
    handler_(this, request);
}

void HttpConnection::Answer(const HttpResponse &response)
{
    if (closing_ || socket_->state() != QAbstractSocket::ConnectedState)
        return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + ReasonPhrase(response.status)
        + "\r\n";
    head += "Server: quillon-resolver\r\n";
    if (!response.contentType.isEmpty())
        head += "Content-Type: " + response.contentType + "\r\n";
    if (!response.allow.isEmpty())
        head += "Allow: " + response.allow + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += keepAlive_ ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += "\r\n";
    socket_->write(head);
    if (!answerHasNoBody_)
        socket_->write(response.body);
    if (!keepAlive_) {
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
    keepAlive_ = false;
    awaitingAnswer_ = true;
    clientTimer_.stop();
    Answer({status, "text/html; charset=utf-8", AnswerPages::ComposeFailurePage(reason), {}});
}

void HttpConnection::OnClientTimeout()
{
    if (closing_) {
        // The client does not take its answer; it gets no more of our time.
        socket_->abort();
        deleteLater();
        return;
    }
    const bool requestBegun = !unparsed_.isEmpty() || parser_->parser.got_some();
    if (requestBegun)
        RejectRequest(408, QStringLiteral("Запрос не пришёл целиком за %1 с.").arg(limits_.clientTimeoutMilliseconds / 1000));
    else
        CloseConnection();
}

void HttpConnection::CloseConnection()
{
    closing_ = true;
    clientTimer_.start();
    // Sends what is still buffered, then closes; disconnected() then deletes us.
    socket_->disconnectFromHost();
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
