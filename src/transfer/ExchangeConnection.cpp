// The connection of an exchange: the socket, directly or to the proxy, the TLS handshake and the tunnel through the
// proxy for an https address, the time limits, the request, and the end of it all. The answer is
// ExchangeAnswer.cpp's.
#include "Exchange.h"

#include "ProxyTunnel.h"
#include "Requests.h"
#include "TransferTexts.h"

#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QSslSocket>

namespace {

constexpr qint64 kSocketBufferBytes = 1024 * 1024;
// While the body pours nothing else tells the window: 25 reports a second keep the bar moving smoothly.
constexpr std::chrono::milliseconds kPourReportInterval{40};

}  // namespace

Exchange::Exchange(const ExchangeRequest &request, const ExchangeLimits &limits, QObject *parent)
    : QObject(parent)
    , request(request)
    , limits(limits)
{
    connectTimer.setSingleShot(true);
    silenceTimer.setSingleShot(true);
    connect(&connectTimer, &QTimer::timeout, this, &Exchange::ConnectTimedOut);
    connect(&silenceTimer, &QTimer::timeout, this, &Exchange::SilenceTimedOut);
    pourProgress.setInterval(kPourReportInterval);
    connect(&pourProgress, &QTimer::timeout, this, &Exchange::ReportArrival);
}

Exchange::~Exchange()
{
    DetachSocket();
}

void Exchange::setFilePart(const FilePart &filePart)
{
    part = filePart;
    file = filePart.file;
}

void Exchange::Start(bool reportStart)
{
    reader.emplace(limits.maxBodyBytes, limits.maxUndeclaredBodyBytes);
    if (file) {
        connect(file, &BodyFile::Drained, this, &Exchange::FileDrained);
        OpenRange(std::max<qint64>(part.first, 0), part.last >= 0 ? part.last + 1 : -1);
        const qint64 end = part.last >= 0 ? part.last + 1 : part.total;
        reader->setPartialExpected(part.first >= 0 ? end - part.first : -1);
        reader->setHeadCheck([this](const ResponseReader &answer) {
            const bool accepted = JudgeHead(answer);
            if (accepted)
                emit BodyBegins();
            return accepted;
        });
    }
    // The socket is set going first: it reports nothing before the event loop runs, and everything said here
    // comes after it, so that a handler which dismisses the exchange finds nothing left to do.
    const bool connecting = request.fault.isEmpty() && OpenConnection();
    if (reportStart) {
        emit PercentOfLoad(0);
        emit FLVsize(0);
    }
    if (!request.fault.isEmpty())
        return Fail(request.fault);
    emit Msg(TransferTexts::Connecting(request.serverName));
    if (!connecting)
        Fail(TransferTexts::SecureConnectionsUnavailable());
}

void Exchange::Dismiss()
{
    DetachSocket();
    // Nothing more of it reaches anyone, whatever it is still in the middle of.
    disconnect(this, nullptr, nullptr, nullptr);
    LetRangeGo();
    deleteLater();
}

void Exchange::OpenRange(qint64 first, qint64 end)
{
    range = file->OpenRange(first, end);
    connect(range.get(), &FileRange::Poured, this, &Exchange::FilePoured);
    reader->setBodyOutput(range.get());
}

// The range goes before the exchange does: what it took stays the file's, and nothing of it is heard any more.
void Exchange::LetRangeGo()
{
    if (range)
        reached = range->Next();
    range.reset();
    if (file)
        disconnect(file, nullptr, this, nullptr);
    file = nullptr;
}

qint64 Exchange::PartReached() const
{
    return range ? range->Next() : reached;
}

qint64 Exchange::CutPartAt(qint64 want)
{
    return range ? range->CutAt(want) : PartReached();
}

bool Exchange::OpenConnection()
{
    const QString host = request.viaProxy ? request.connection.ProxyName.trimmed() : request.server.host;
    const quint16 port = request.viaProxy ? request.connection.ProxyPort : request.server.port;
    if (request.secure)
        WS = NewSecureSocket();
    else
        WS = new QTcpSocket(this);
    if (!WS)
        return false;
    // The proxy is ours to speak to; the socket must not route through a system one of its own.
    WS->setProxy(QNetworkProxy::NoProxy);
    // A bounded socket buffer bounds the work of one arrival, so a fast server cannot make the window
    // stall while a large piece is copied; the body still goes straight into its reserved buffer.
    WS->setReadBufferSize(kSocketBufferBytes);
    connect(WS, &QTcpSocket::readyRead, this, &Exchange::DataArrival);
    connect(WS, &QTcpSocket::disconnected, this, &Exchange::Close);
    connect(WS, &QTcpSocket::errorOccurred, this, &Exchange::Error);
    connect(WS, &QTcpSocket::connected, this, &Exchange::WatchConnection);
    connectTimer.start(limits.time.connect);
    if (request.secure) {
        StartSecureConnection(host, port);
        return true;
    }
    phase = Phase::Asking;
    connect(WS, &QTcpSocket::connected, this, &Exchange::SendRequest);
    WS->connectToHost(host, port);
    return true;
}

QSslSocket *Exchange::NewSecureSocket()
{
    if (!QSslSocket::supportsSsl())
        return nullptr;
    auto *socket = new QSslSocket(this);
    if (!limits.extraCaCertificates.isEmpty()) {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.addCaCertificates(limits.extraCaCertificates);
        socket->setSslConfiguration(configuration);
    }
    // Through a tunnel the socket is connected to the proxy: the certificate must still be the server's.
    socket->setPeerVerifyName(request.server.host);
    // Certificate problems are not looked at in a slot of sslErrors: left unignored, each of them ends the
    // handshake with SslHandshakeFailedError, and Error names them from the socket's list.
    connect(socket, &QSslSocket::encrypted, this, &Exchange::SendRequest);
    return socket;
}

void Exchange::StartSecureConnection(const QString &host, quint16 port)
{
    auto *socket = static_cast<QSslSocket *>(WS);
    if (request.viaProxy) {
        phase = Phase::Tunnel;
        connect(socket, &QSslSocket::connected, this, &Exchange::RequestTunnel);
        socket->connectToHost(host, port);
    } else {
        phase = Phase::Handshake;
        socket->connectToHostEncrypted(host, port, request.server.host);
    }
}

void Exchange::RequestTunnel()
{
    const ConnectionSettings &proxy = request.connection;
    WS->write(
        ComposeTunnelRequest(TunnelAuthority(request.server), proxy.ProxyAuth, proxy.ProxyLogin, proxy.ProxyPass));
}

void Exchange::TunnelArrival()
{
    // Peeked, not read: only the proxy's header is taken off the socket, anything after it is the
    // server's and belongs to the handshake.
    const qsizetype before = tunnelAnswer.size();
    const QByteArray available = WS->peek(WS->bytesAvailable());
    tunnelAnswer += available;
    const TunnelAnswer answer = ReadTunnelAnswer(tunnelAnswer, request.connection.ProxyAuth);
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
        return Fail(TransferTexts::TunnelRefused(request.serverName, answer.statusLine));
    case TunnelAnswer::Kind::NotHttp:
        return Fail(TransferTexts::TunnelAnswerNotHttp());
    case TunnelAnswer::Kind::TooLarge:
        return Fail(TransferTexts::TunnelAnswerTooLarge());
    }
}

void Exchange::EndBeforeAsking()
{
    // The proxy's refusal often comes together with its close.
    if (phase == Phase::Tunnel)
        TunnelArrival();
    if (!WS)
        return;
    if (phase == Phase::Tunnel)
        return Fail(TransferTexts::TunnelClosed(request.serverName));
    Fail(TransferTexts::ServerClosedDuringHandshake(request.serverName));
}

std::optional<QString> Exchange::SecureErrorText(QAbstractSocket::SocketError error) const
{
    if (!request.secure)
        return std::nullopt;
    const auto *socket = static_cast<const QSslSocket *>(WS);
    const QString &server = request.serverName;
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

void Exchange::WatchConnection()
{
    closeWatch.Watch(WS->socketDescriptor());
    connectTimer.stop();
    silenceTimer.start(limits.time.silence);
}

void Exchange::ConnectTimedOut()
{
    const int seconds = TransferTexts::Seconds(limits.time.connect);
    const ConnectionSettings &proxy = request.connection;
    if (request.viaProxy)
        Fail(TransferTexts::ProxyConnectTimedOut(proxy.ProxyName.trimmed(), proxy.ProxyPort, seconds));
    else
        Fail(TransferTexts::ConnectTimedOut(request.serverName, seconds));
}

void Exchange::SilenceTimedOut()
{
    Fail(SilenceText());
}

QString Exchange::SilenceText() const
{
    return TransferTexts::SilenceTimedOut(request.serverName, TransferTexts::Seconds(limits.time.silence),
                                          reader->ReceivedBytes());
}

void Exchange::SendRequest()
{
    phase = Phase::Asking;
    // A secure connection gets here once its handshake is done: the server has been heard from.
    silenceTimer.start(limits.time.silence);
    RequestInput input;
    input.downloadMode = request.downloadMode;
    // Inside a tunnel the request goes to the server itself, as on a direct connection.
    input.viaProxy = request.viaProxy && !request.secure;
    input.serverName = request.server.wireServerName;
    if (request.downloadMode) {
        input.target = EncodeRequestTarget(request.pageName);
        if (input.target.isEmpty())
            input.target = "/";
    } else {
        input.pageAddress = request.pageAddress;
    }
    input.rangeStart = part.first;
    input.rangeEnd = part.first >= 0 ? part.last : -1;
    // A weak validator cannot vouch for single bytes: If-Range takes only a strong one.
    input.ifRange = part.etag.startsWith("W/") ? part.lastModified : part.etag;
    if (input.ifRange.isEmpty())
        input.ifRange = part.lastModified;
    input.proxyAuth = input.viaProxy && request.connection.ProxyAuth;
    input.proxyLogin = request.connection.ProxyLogin;
    input.proxyPass = request.connection.ProxyPass;
    // Written before the reports: the socket sends it from the event loop, after anything they lead to.
    WS->write(ComposeRequest(input));
    if (request.downloadMode)
        emit ServerLine(TransferTexts::ServerLine(request.serverName));
    emit Msg(TransferTexts::RequestSent());
}

void Exchange::Error(QAbstractSocket::SocketError error)
{
    // The server closing its side is how every answer ends, not a failure.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return Close();
    if (const std::optional<QString> text = SecureErrorText(error))
        return Fail(*text);
    const ConnectionSettings &proxy = request.connection;
    const QString peer =
        request.viaProxy ? proxy.ProxyName.trimmed() + u':' + QString::number(proxy.ProxyPort) : request.serverName;
    Fail(TransferTexts::ConnectionFailed(WinsockErrorNumber(error), peer, request.viaProxy));
}

void Exchange::DetachSocket()
{
    pourProgress.stop();
    if (range)
        range->StopPouring();
    connectTimer.stop();
    silenceTimer.stop();
    if (!WS)
        return;
    QTcpSocket *socket = WS;
    WS = nullptr;
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    closeWatch.Release();
    socket->deleteLater();
}

void Exchange::Finish(const ExchangeEnd &end)
{
    DetachSocket();
    LetRangeGo();
    ExchangeEnd ended = end;
    ended.status = reader ? reader->StatusCode() : 0;
    ended.received = reader ? reader->ReceivedBytes() : 0;
    ended.reached = reached;
    emit Ended(ended);
}

void Exchange::Fail(const QString &text)
{
    ExchangeEnd end;
    end.kind = ExchangeEnd::Kind::Failed;
    end.text = text;
    Finish(end);
}
