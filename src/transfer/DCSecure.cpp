// The steps of DC that only an https address takes: the TLS socket, the tunnel through the proxy and
// the handshake. Once the handshake is done the exchange is the same as over plain HTTP.
#include "DC.h"

#include "ProxyTunnel.h"
#include "Requests.h"
#include "TransferTexts.h"

#include <QSslConfiguration>
#include <QSslSocket>

QSslSocket *DC::NewSecureSocket(const QString &host)
{
    if (!QSslSocket::supportsSsl()) {
        Fail(TransferTexts::SecureConnectionsUnavailable());
        return nullptr;
    }
    auto *socket = new QSslSocket(this);
    if (!extraCaCertificates.isEmpty()) {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.addCaCertificates(extraCaCertificates);
        socket->setSslConfiguration(configuration);
    }
    // Through a tunnel the socket is connected to the proxy: the certificate must still be the server's.
    socket->setPeerVerifyName(host);
    // Certificate problems are not looked at in a slot of sslErrors: left unignored, each of them ends the
    // handshake with SslHandshakeFailedError, and Error names them from the socket's list.
    connect(socket, &QSslSocket::encrypted, this, &DC::Connect);
    return socket;
}

void DC::StartSecureConnection(const QString &host, quint16 port)
{
    auto *socket = static_cast<QSslSocket *>(WS);
    if (viaProxy) {
        phase = Phase::Tunnel;
        tunnelAnswer.clear();
        connect(socket, &QSslSocket::connected, this, &DC::RequestTunnel);
        socket->connectToHost(host, port);
    } else {
        phase = Phase::Handshake;
        socket->connectToHostEncrypted(host, port, peerName);
    }
}

void DC::RequestTunnel()
{
    if (!WS)
        return;
    WS->write(ComposeTunnelRequest(tunnelAuthority, connection.ProxyAuth, connection.ProxyLogin, connection.ProxyPass));
}

void DC::TunnelArrival()
{
    // Peeked, not read: only the proxy's header is taken off the socket, anything after it is the
    // server's and belongs to the handshake.
    const qsizetype before = tunnelAnswer.size();
    const QByteArray available = WS->peek(WS->bytesAvailable());
    tunnelAnswer += available;
    const TunnelAnswer answer = ReadTunnelAnswer(tunnelAnswer, connection.ProxyAuth);
    const QString server = serverName;
    switch (answer.kind) {
    case TunnelAnswer::Kind::Incomplete:
        WS->skip(available.size());
        return;
    case TunnelAnswer::Kind::Open:
        WS->skip(answer.headerSize - before);
        tunnelAnswer.clear();
        phase = Phase::Handshake;
        static_cast<QSslSocket *>(WS)->startClientEncryption();
        return;
    case TunnelAnswer::Kind::LoginRefused:
        return Fail(TransferTexts::ProxyLoginRefused());
    case TunnelAnswer::Kind::WantsLogin:
        return Fail(TransferTexts::ProxyWantsLogin());
    case TunnelAnswer::Kind::Refused:
        return Fail(TransferTexts::TunnelRefused(server, answer.statusLine));
    case TunnelAnswer::Kind::NotHttp:
        return Fail(TransferTexts::TunnelAnswerNotHttp());
    case TunnelAnswer::Kind::TooLarge:
        return Fail(TransferTexts::TunnelAnswerTooLarge());
    }
}

void DC::EndBeforeExchange()
{
    // The proxy's refusal often comes together with its close.
    if (phase == Phase::Tunnel)
        TunnelArrival();
    if (!WS)
        return;
    if (phase == Phase::Tunnel)
        return Fail(TransferTexts::TunnelClosed(serverName));
    Fail(TransferTexts::ServerClosedDuringHandshake(serverName));
}

std::optional<QString> DC::SecureErrorText(QAbstractSocket::SocketError error) const
{
    if (!secure)
        return std::nullopt;
    const auto *socket = static_cast<const QSslSocket *>(WS);
    const QString server = serverName;
    switch (error) {
    case QAbstractSocket::SslHandshakeFailedError:
        if (!socket->sslHandshakeErrors().isEmpty())
            return TransferTexts::CertificateRejected(server, socket->sslHandshakeErrors());
        return TransferTexts::HandshakeFailed(server, socket->errorString());
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        if (phase == Phase::Handshake)
            return TransferTexts::HandshakeFailed(server, socket->errorString());
        return TransferTexts::SecureConnectionError(server, socket->errorString());
    default:
        return std::nullopt;
    }
}
