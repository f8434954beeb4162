#pragma once

#include <QByteArray>
#include <QString>

// Everything one request depends on, gathered when the connection is made.
struct RequestInput {
    bool downloadMode = true;  // GET of pageName; otherwise the form submission to the resolution service
    bool viaProxy = false;
    QByteArray serverName;  // wire form of the host (SplitHostPort)
    QByteArray target;  // encoded path (EncodeRequestTarget); unused by the resolution request
    QString pageAddress;  // the page the user asks to resolve; only the resolution request uses it
    // Asks for the body from this byte on ("Range: bytes=N-"), when not negative, up to and including rangeEnd
    // where that is not negative ("Range: bytes=N-M"); the validator of the first answer goes with it (If-Range),
    // so a changed file comes whole.
    qint64 rangeStart = -1;
    qint64 rangeEnd = -1;
    QByteArray ifRange;
    bool proxyAuth = false;  // send the proxy's Basic authorisation with every proxied request
    QString proxyLogin;
    QString proxyPass;
};

// The whole request text, header and (for a resolution) body with its closing CRLF, sent in one piece.
QByteArray ComposeRequest(const RequestInput &input);

// The request that asks the proxy for a tunnel to authority ("host:port"), through which the TLS
// connection and then a direct request go. It carries the proxy's Basic authorisation when proxyAuth.
QByteArray ComposeTunnelRequest(const QByteArray &authority, bool proxyAuth, const QString &proxyLogin,
                                const QString &proxyPass);

// "url=" and the page address, in its ASCII form (ToAsciiAddress), form-encoded.
QByteArray ResolutionBody(const QString &pageAddress);

// "Proxy-Authorization: Basic ..." with its CRLF.
QByteArray ProxyAuthorizationLine(const QString &login, const QString &pass);
