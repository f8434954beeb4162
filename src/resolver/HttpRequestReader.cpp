#include "HttpRequestReader.h"

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

namespace http = boost::beast::http;

struct HttpRequestReader::Parser {
    http::request_parser<http::string_body> parser;
};

namespace {

// The one transfer coding a request may name. A server in front of us that reads "chunked, identity" or
// "gzip" another way than we do would see one request where we see two.
bool IsOnlyChunked(const http::request_parser<http::string_body>::value_type &message)
{
    const auto codings = message.equal_range(http::field::transfer_encoding);
    if (std::distance(codings.first, codings.second) != 1)
        return false;
    return boost::beast::iequals(codings.first->value(), "chunked");
}

}  // namespace

HttpRequestReader::HttpRequestReader(const HttpLimits &limits) : limits(limits)
{
    TakeRequest();
}

HttpRequestReader::~HttpRequestReader() = default;

void HttpRequestReader::Feed(QByteArrayView bytes)
{
    unparsed.append(bytes);
}

bool HttpRequestReader::RequestBegun() const
{
    return !unparsed.isEmpty() || parser->parser.got_some();
}

bool HttpRequestReader::HeaderDone() const
{
    return parser->parser.is_header_done();
}

bool HttpRequestReader::TakeContinueWish()
{
    const bool wished = continueWished;
    continueWished = false;
    return wished;
}

HttpRequestReader::State HttpRequestReader::Reject(int status, const QString &reason)
{
    rejectStatus = status;
    rejectReason = reason;
    return State::Rejected;
}

bool HttpRequestReader::JudgeHeader()
{
    headerJudged = true;
    const auto &message = parser->parser.get();
    if (message.count(http::field::transfer_encoding) > 0 && !IsOnlyChunked(message))
        return false;
    continueWished = boost::beast::iequals(message[http::field::expect], "100-continue");
    // The header is judged: the body may now be parsed in one go.
    parser->parser.eager(true);
    return true;
}

HttpRequestReader::State HttpRequestReader::Parse()
{
    if (rejectStatus != 0)
        return State::Rejected;
    if (parser->parser.is_done())
        return State::Complete;
    // Clients may send a line break after a body (the program does), and a server ignores empty lines
    // before a request line.
    if (!parser->parser.got_some()) {
        qsizetype blank = 0;
        while (blank < unparsed.size() && (unparsed[blank] == '\r' || unparsed[blank] == '\n'))
            ++blank;
        unparsed.remove(0, blank);
    }
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
        if (parser->parser.is_header_done() && !headerJudged && !JudgeHeader())
            return Reject(400, QStringLiteral("Запрос не понят: из кодировок передачи принимается только chunked."));
        if (used == 0)
            break;
    }
    if (error == http::error::body_limit)
        return Reject(413, QStringLiteral("Запрос слишком велик: тело запроса больше %1 байт.").arg(limits.bodyLimit));
    if (error == http::error::header_limit)
        return Reject(431, QStringLiteral("Заголовок запроса слишком велик."));
    if (error)
        return Reject(400, QStringLiteral("Запрос не понят: %1.").arg(QString::fromStdString(error.message())));
    if (parser->parser.is_done())
        return State::Complete;
    // What the parser cannot take yet is a line that has not ended: a request line or header field, or in
    // a chunked body a chunk line or trailer field. None of them is longer than a header may be.
    if (unparsed.size() > limits.headerLimit) {
        if (!parser->parser.is_header_done())
            return Reject(431, QStringLiteral("Заголовок запроса слишком велик."));
        return Reject(
            413, QStringLiteral("Запрос слишком велик: строка тела запроса длиннее %1 байт.").arg(limits.headerLimit));
    }
    return State::NeedMore;
}

HttpRequest HttpRequestReader::TakeRequest()
{
    HttpRequest request;
    if (parser && parser->parser.is_done()) {
        const auto &message = parser->parser.get();
        request.method = QByteArray(message.method_string().data(), qsizetype(message.method_string().size()));
        request.target = QByteArray(message.target().data(), qsizetype(message.target().size()));
        const auto host = message[http::field::host];
        request.host = QByteArray(host.data(), qsizetype(host.size())).trimmed();
        request.version = message.version();
        request.body = QByteArray(message.body().data(), qsizetype(message.body().size()));
        request.keepAlive = message.keep_alive();
    }
    parser = std::make_unique<Parser>();
    parser->parser.header_limit(std::uint32_t(limits.headerLimit));
    parser->parser.body_limit(std::uint64_t(limits.bodyLimit));
    // Stops after the header, so that its transfer coding is judged before any body is read by it.
    parser->parser.eager(false);
    headerJudged = false;
    continueWished = false;
    return request;
}
