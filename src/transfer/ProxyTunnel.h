#pragma once

#include <QByteArray>
#include <QByteArrayView>

// How a proxy answered the request for a tunnel (ComposeTunnelRequest), judged from the bytes it has
// sent so far. Only the header counts: once it has ended, whatever follows belongs to the tunnel.
struct TunnelAnswer {
    enum class Kind {
        Incomplete,  // the header has not ended yet
        Open,  // 200: the tunnel stands
        LoginRefused,  // the proxy turned down the login and password we sent
        WantsLogin,  // 407 while no login is configured
        Refused,  // any other status; statusLine names it
        NotHttp,
        TooLarge,  // no end of the header within ResponseReader::kMaxHeaderBytes
    };
    Kind kind = Kind::Incomplete;
    QByteArray statusLine;
    qsizetype headerSize = 0;  // the header's bytes, its empty line included; 0 while Incomplete
};

TunnelAnswer ReadTunnelAnswer(QByteArrayView received, bool authConfigured);
