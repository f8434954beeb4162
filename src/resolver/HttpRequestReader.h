#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

struct HttpRequest {
    QByteArray method;
    QByteArray target;  // as on the request line: "/xurl/", or "http://host/xurl/" when sent through a proxy
    QByteArray host;  // the Host header
    unsigned version = 11;  // 10 for HTTP/1.0, 11 for HTTP/1.1
    QByteArray body;
    bool keepAlive = false;  // the client wants the connection kept for another request
};

struct HttpLimits {
    qint64 bodyLimit = 64 * 1024;
    qint64 headerLimit = 16 * 1024;
    int headerTimeoutMilliseconds = 10000;  // for a whole request header, and an idle kept connection
    int clientTimeoutMilliseconds = 30000;  // for a whole request
    qint64 unsentLimit = 1024 * 1024;  // answers the client has not taken yet; past it we read no more requests
};

// The requests on one client connection, read from the bytes as they come in whatever pieces, with a real
// HTTP/1.x parser (Boost.Beast's). Holds at most the header limit of bytes it cannot parse yet, and the
// body limit of body: a request line, header, chunk line or trailer that never ends is refused at that bound.
class HttpRequestReader {
public:
    enum class State {
        NeedMore,
        Complete,  // TakeRequest() has it
        Rejected,  // RejectStatus() and RejectReason() say why; the rest of the stream cannot be trusted
    };

    explicit HttpRequestReader(const HttpLimits &limits);
    ~HttpRequestReader();

    void Feed(QByteArrayView bytes);
    // Parses what was fed; Complete stays until the request is taken.
    State Parse();
    // The complete request; the reader goes on with the bytes after it.
    HttpRequest TakeRequest();

    // True once per request whose header asked for "100-continue" before its body.
    bool TakeContinueWish();
    bool RequestBegun() const;
    bool HeaderDone() const;
    qsizetype BufferedBytes() const { return unparsed.size(); }

    int RejectStatus() const { return rejectStatus; }
    QString RejectReason() const { return rejectReason; }

private:
    State Reject(int status, const QString &reason);
    bool JudgeHeader();

    struct Parser;
    HttpLimits limits;
    std::unique_ptr<Parser> parser;
    QByteArray unparsed;
    bool headerJudged = false;
    bool continueWished = false;
    int rejectStatus = 0;
    QString rejectReason;
};
