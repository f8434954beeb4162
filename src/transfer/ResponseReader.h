#pragma once

#include "HttpHeader.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

class QIODevice;

// How an answer turned out, decided once the server has closed the connection.
struct Outcome {
    enum class Kind {
        Success,  // 200 with its whole body
        Redirect,  // 301, 302, 303, 307, 308 with a Location
        RedirectWithoutLocation,
        ProxyRefused,  // the proxy turned down the login and password we sent
        ProxyWantsLogin,  // the proxy asks for a login and none is configured
        ServerError,  // any other status
        HeaderCut,  // the connection ended before the header did
        BodyCut,  // shorter than its declared length
        NotHttp,
        Empty,
        HeaderTooLarge,
        BodyTooLarge,
    };
    Kind kind = Kind::Empty;
    QByteArray statusLine;  // as received, for the error text
    QByteArray location;  // the raw Location value of a redirect
    qint64 receivedBytes = 0;
    qint64 bodyBytes = 0;
    qint64 declaredLength = -1;
};

// Gathers one answer as it arrives in pieces of any size: the header apart until its empty line, then
// the body in a buffer of its own, reserved once the declared length is known, so that the body can be
// handed over as it is and no arrival ever walks the bytes received before.
class ResponseReader {
public:
    // Common servers and clients cap the header too; a longer one is not a real answer.
    static constexpr qsizetype kMaxHeaderBytes = 64 * 1024;

    // What a body may take: what QByteArray can hold and the machine's memory, whichever is less.
    static qint64 DefaultMaxBodyBytes();

    explicit ResponseReader(qint64 maxBodyBytes = DefaultMaxBodyBytes());

    void Feed(QByteArrayView piece);
    // Takes all the device has ready; once the header has ended the body is read straight into place.
    void ReadFrom(QIODevice &device);

    // True once the answer cannot be held (header or body too large): reading stops there.
    bool Failed() const { return fault != Outcome::Kind::Empty; }
    bool HeaderEnded() const { return headerEnded; }
    qint64 ReceivedBytes() const { return receivedBytes; }
    qint64 BodyBytes() const { return LData.size(); }
    // Only from a complete header line "Content-Length"; nothing before the header has ended.
    std::optional<qint64> DeclaredLength() const;
    // Share of the declared body received, 0 to 100; nothing while no positive length is declared.
    std::optional<int> Percent() const;

    struct ProxyContext {
        bool viaProxy = false;
        bool authConfigured = false;  // the proxy is used and its login is sent
    };
    Outcome Classify(const ProxyContext &proxy) const;

    QByteArray TakeBody() { return std::move(LData); }

private:
    void EndHeader(qsizetype headerSize);
    void AcceptBody(QByteArrayView bytes);
    qint64 RoomForBody(qint64 offered);
    bool Grow(qsizetype newSize);

    qint64 maxBodyBytes;
    QByteArray header;  // status line and header lines up to and including the empty line
    QByteArray LData;  // the body alone
    qint64 ContentLength = -1;
    qint64 receivedBytes = 0;
    bool headerEnded = false;
    Outcome::Kind fault = Outcome::Kind::Empty;  // Empty: no fault
};
