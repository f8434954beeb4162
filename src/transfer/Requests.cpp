#include "Requests.h"

#include "Base64.h"
#include "UrlHelpers.h"

namespace {

const QByteArray kCrlf = QByteArrayLiteral("\r\n");
const QByteArray kUserAgent = QByteArrayLiteral("User-Agent: Opera/9.00 (Windows NT 5.1; ru)\r\n");
const QByteArray kAccept = QByteArrayLiteral("Accept: */*\r\n");
const QByteArray kResolutionPath = QByteArrayLiteral("/xurl/");

QByteArray ComposeGet(const RequestInput &input)
{
    QByteArray request;
    request += "GET ";
    if (input.viaProxy)
        request += "http://" + input.serverName;
    request += input.target + " HTTP/1.0" + kCrlf;
    request += kUserAgent;
    request += "Host: " + input.serverName + kCrlf;
    request += kAccept;
    if (input.rangeStart >= 0) {
        request += "Range: bytes=" + QByteArray::number(input.rangeStart) + '-';
        if (input.rangeEnd >= 0)
            request += QByteArray::number(input.rangeEnd);
        request += kCrlf;
        if (!input.ifRange.isEmpty())
            request += "If-Range: " + input.ifRange + kCrlf;
    }
    if (input.viaProxy) {
        request += "Proxy-Connection: Close" + kCrlf;
        if (input.proxyAuth)
            request += ProxyAuthorizationLine(input.proxyLogin, input.proxyPass);
    } else {
        request += "Connection: Close" + kCrlf;
    }
    request += kCrlf;
    return request;
}

// The resolution service wants the same form submission whichever way it is reached; through a proxy
// only the target becomes absolute and the connection line is the proxy's.
QByteArray ComposePost(const RequestInput &input)
{
    const QByteArray body = ResolutionBody(input.pageAddress);
    QByteArray request;
    request += "POST ";
    if (input.viaProxy)
        request += "http://" + input.serverName;
    request += kResolutionPath + " HTTP/1.0" + kCrlf;
    request += "Content-Type: application/x-www-form-urlencoded; charset=UTF-8" + kCrlf;
    request += kUserAgent;
    request += "Host: " + input.serverName + kCrlf;
    request += kAccept;
    // The length counts the body alone; the CRLF sent after it is not part of the form.
    request += "Content-Length: " + QByteArray::number(body.size()) + kCrlf;
    request += "Content-Transfer-Encoding: binary" + kCrlf;
    if (input.viaProxy) {
        request += "Proxy-Connection: Close" + kCrlf;
        if (input.proxyAuth)
            request += ProxyAuthorizationLine(input.proxyLogin, input.proxyPass);
    } else {
        request += "Connection: Close" + kCrlf;
    }
    request += kCrlf;
    request += body + kCrlf;
    return request;
}

}  // namespace

QByteArray ResolutionBody(const QString &pageAddress)
{
    // In its ASCII form the address has one reading only: the service cannot mistake Windows-1251 codes for
    // UTF-8 or the other way round.
    return "url=" + URLEncode(ToAsciiAddress(pageAddress)).toLatin1();
}

QByteArray ProxyAuthorizationLine(const QString &login, const QString &pass)
{
    return "Proxy-Authorization: Basic " + Base64Encode(login + u':' + pass).toLatin1() + kCrlf;
}

QByteArray ComposeRequest(const RequestInput &input)
{
    return input.downloadMode ? ComposeGet(input) : ComposePost(input);
}

QByteArray ComposeTunnelRequest(const QByteArray &authority, bool proxyAuth, const QString &proxyLogin,
                                const QString &proxyPass)
{
    // No "Proxy-Connection: Close": the tunnel has to stay open for the exchange that follows; the server
    // inside it is asked to close, which ends the tunnel too.
    QByteArray request = "CONNECT " + authority + " HTTP/1.0" + kCrlf;
    request += kUserAgent;
    request += "Host: " + authority + kCrlf;
    if (proxyAuth)
        request += ProxyAuthorizationLine(proxyLogin, proxyPass);
    request += kCrlf;
    return request;
}
