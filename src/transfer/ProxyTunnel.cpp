#include "ProxyTunnel.h"

#include "HttpHeader.h"
#include "ResponseReader.h"

TunnelAnswer ReadTunnelAnswer(QByteArrayView received, bool authConfigured)
{
    TunnelAnswer answer;
    const qsizetype lineEnd = received.indexOf("\r\n");
    if (lineEnd >= 0) {
        answer.statusLine = received.first(lineEnd).toByteArray();
        if (!ParseStatusLine(answer.statusLine)) {
            answer.kind = TunnelAnswer::Kind::NotHttp;
            return answer;
        }
    } else if (!QByteArrayView("HTTP/").startsWith(received.first(std::min<qsizetype>(received.size(), 5)))) {
        // No need to wait for the end of a line that can never be a status line.
        answer.kind = TunnelAnswer::Kind::NotHttp;
        return answer;
    }
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0 || end + 4 > ResponseReader::kMaxHeaderBytes) {
        answer.kind = (end >= 0 || received.size() > ResponseReader::kMaxHeaderBytes) ? TunnelAnswer::Kind::TooLarge
                                                                                      : TunnelAnswer::Kind::Incomplete;
        return answer;
    }
    answer.headerSize = end + 4;
    const int code = ParseStatusLine(answer.statusLine)->code;
    if (code == 200)
        answer.kind = TunnelAnswer::Kind::Open;
    else if (code == 407)
        answer.kind = authConfigured ? TunnelAnswer::Kind::LoginRefused : TunnelAnswer::Kind::WantsLogin;
    // Nothing but the proxy itself can answer before the tunnel stands; some proxies (tinyproxy among
    // them) turn down a wrong password with a 401 of their own.
    else if (code == 401 && authConfigured)
        answer.kind = TunnelAnswer::Kind::LoginRefused;
    else
        answer.kind = TunnelAnswer::Kind::Refused;
    return answer;
}
