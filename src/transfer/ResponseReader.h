#pragma once

#include "ChunkedBody.h"
#include "HttpHeader.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <optional>

class QIODevice;

// Where a body goes instead of memory (a file, written as it arrives).
class BodyOutput {
public:
    virtual ~BodyOutput() = default;
    virtual void Write(QByteArrayView bytes) = 0;
    // Reads at most max bytes from device straight into place; how many it took.
    virtual qint64 ReadFrom(QIODevice &device, qint64 max) = 0;
    // False while the output cannot take more without waiting; reading stops until it can.
    virtual bool HasRoom() const = 0;
};

// How an answer turned out, decided once the server has closed the connection.
struct Outcome {
    enum class Kind {
        Success,  // 200 (or an awaited 206) with its whole body
        Redirect,  // 301, 302, 303, 307, 308 with a Location
        RedirectWithoutLocation,
        ProxyRefused,  // the proxy turned down the login and password we sent
        ProxyWantsLogin,  // the proxy asks for a login and none is configured
        ProxyLoginWithoutProxy,  // a proxy's demand for a login on a connection that uses no proxy
        ServerError,  // any other status
        HeaderCut,  // the connection ended before the header did
        BodyCut,  // shorter than its declared length
        BodyTooLong,  // a partial body longer than the bytes asked for; bodyLimit holds their number
        ChunksCut,  // the connection ended before the last chunk
        Reset,  // a body without declared length, ended by the server's reset instead of its close
        NotHttp,
        Empty,
        HeaderTooLarge,
        BodyTooLarge,
        BadLength,  // a Content-Length that is not one plain number; headerValue holds it
        UnknownCoding,  // a Transfer-Encoding other than chunked; headerValue holds it
        BrokenChunks,  // the chunked framing does not hold
        HeadRefused,  // the head check turned the answer down
    };
    Kind kind = Kind::Empty;
    QByteArray statusLine;  // as received, for the error text
    QByteArray location;  // the raw Location value of a redirect
    QByteArray headerValue;  // the header value at fault
    qint64 receivedBytes = 0;
    qint64 bodyBytes = 0;
    qint64 declaredLength = -1;
    // Of a body too large: the limit it passed, or -1 when memory was the limit. Of a body too long: the bytes
    // asked for.
    qint64 bodyLimit = -1;
};

// Gathers one answer as it arrives in pieces of any size: the header apart until its empty line (interim
// 1xx answers before it are let go), then the body in a buffer of its own, reserved once the declared length
// is known, so that the body can be handed over as it is and no arrival ever walks the bytes received
// before. A chunked body is stored without its framing.
class ResponseReader {
public:
    // Common servers and clients cap the header too; a longer one is not a real answer. Interim answers
    // count into it.
    static constexpr qsizetype kMaxHeaderBytes = 64 * 1024;

    // What a body may take: what QByteArray can hold and the machine's memory, whichever is less.
    static qint64 DefaultMaxBodyBytes();

    // maxBodyBytes bounds every body; maxUndeclaredBytes, when not negative, bounds a body without a declared
    // length (ended by the close or by its last chunk) further.
    explicit ResponseReader(qint64 maxBodyBytes = DefaultMaxBodyBytes(), qint64 maxUndeclaredBytes = -1);

    // The body of a success goes to output (not owned) instead of memory; no limit but the declared length.
    void setBodyOutput(BodyOutput *output) { this->output = output; }
    // The request asked for the last bytes of the body, this many: a 206 is an answer like 200, and its body may
    // hold no more than that (BodyTooLong otherwise). Negative: only a 200 is a success.
    void setPartialExpected(qint64 bytes) { partialBytes = bytes; }
    // Asked once the header has ended, before any body byte is kept: false ends the reading as HeadRefused.
    void setHeadCheck(std::function<bool(const ResponseReader &)> check) { headCheck = std::move(check); }
    // The header as received, once it has ended; its status code (0 when it has none).
    QByteArrayView Header() const { return header; }
    int StatusCode() const;

    void Feed(QByteArrayView piece);
    // Takes all the device has ready (while a body output has room); once the header has ended the body is
    // read straight into place.
    void ReadFrom(QIODevice &device);

    // True once the answer cannot be read on (too large, or framed wrongly): reading stops there.
    bool Failed() const { return fault != Outcome::Kind::Empty; }
    bool HeaderEnded() const { return headerEnded; }
    // The answer is whole by its own framing: its declared length or its last chunk has arrived.
    bool Complete() const;
    qint64 ReceivedBytes() const { return receivedBytes; }
    qint64 BodyBytes() const { return output ? outputBytes : LData.size(); }
    // The memory the answer takes here, reserved room included.
    qint64 HeldBytes() const { return LData.capacity() + header.capacity(); }
    // Only from a complete header with one valid "Content-Length"; nothing before the header has ended.
    std::optional<qint64> DeclaredLength() const;
    // Share of the declared body received, 0 to 100; nothing while no positive length is declared.
    std::optional<int> Percent() const;

    struct ProxyContext {
        bool viaProxy = false;  // the request went to the proxy, which answers or passes the server's answer on
        bool authConfigured = false;  // the proxy is used and its login is sent
        bool tunnelled = false;  // the answer came from beyond the proxy, through the tunnel it opened
    };
    Outcome Classify(const ProxyContext &proxy) const;

    // Bytes still to come of a success's body that goes to the output, not chunked, with a declared length: the
    // rest that may be taken past the reader (BodyPoured). 0 for any other answer.
    qint64 BodyLeftToPour() const;
    // Bytes of the body that went to the output past the reader.
    void BodyPoured(qint64 bytes)
    {
        outputBytes += bytes;
        receivedBytes += bytes;
    }

    // The server reset the connection: a body that only its close could end may be cut.
    void ConnectionReset() { reset = true; }

    QByteArray TakeBody() { return std::move(LData); }

private:
    void FeedHeader(QByteArrayView &piece);
    bool IsInterim() const;
    // 200, or 206 when part of the body was asked for.
    bool IsSuccess(int code) const;
    void EndHeader();
    void AcceptBody(QByteArrayView bytes);
    void StoreBody(QByteArrayView bytes);
    qint64 RoomForBody(qint64 offered);
    bool Grow(qsizetype newSize);
    void Fail(Outcome::Kind kind, const QByteArray &value = {});
    void TooLarge(qint64 limit);
    void TooLong();

    qint64 maxBodyBytes;
    qint64 maxUndeclaredBytes;
    BodyOutput *output = nullptr;
    qint64 outputBytes = 0;
    qint64 partialBytes = -1;
    // The most the body of this answer may hold, once a 206 has said it is one; -1 for any other answer.
    qint64 partialLimit = -1;
    std::function<bool(const ResponseReader &)> headCheck;
    QByteArray header;  // status line and header lines up to and including the empty line
    qsizetype headerScan = 0;  // where the search for the header's end goes on
    qsizetype interimBytes = 0;  // header bytes of the interim answers let go
    QByteArray LData;  // the body alone
    qint64 ContentLength = -1;
    std::optional<ChunkedBody> chunks;
    qint64 receivedBytes = 0;
    bool headerEnded = false;
    bool reset = false;
    Outcome::Kind fault = Outcome::Kind::Empty;  // Empty: no fault
    QByteArray faultValue;
    qint64 limitPassed = -1;
};
