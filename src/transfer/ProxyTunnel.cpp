#include "ProxyTunnel.h"

#include "HttpHeader.h"
#include "ResponseReader.h"

TunnelAnswer ReadTunnelAnswer(QByteArrayView received, bool authConfigured)
{
    TunnelAnswer answer;
    if (const std::optional<QByteArrayView> line = FirstLine(received)) {
        answer.statusLine = line->toByteArray();
        if (!ParseStatusLine(answer.statusLine)) {
            answer.kind = TunnelAnswer::Kind::NotHttp;
            return answer;
        }
    } else if (!QByteArrayView("HTTP/").startsWith(received.first(std::min<qsizetype>(received.size(), 5)))) {
        // No need to wait for the end of a line that can never be a status line.
        answer.kind = TunnelAnswer::Kind::NotHttp;
        return answer;
    }
    qsizetype lineStart = 0;
    const std::optional<qsizetype> end = FindHeaderEnd(received, lineStart);
    if (!end || *end > ResponseReader::kMaxHeaderBytes) {
        answer.kind = (end || received.size() > ResponseReader::kMaxHeaderBytes) ? TunnelAnswer::Kind::TooLarge
                                                                                 : TunnelAnswer::Kind::Incomplete;
        return answer;
    }
    answer.headerSize = *end;
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
