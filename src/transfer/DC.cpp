#include "DC.h"

#include "BodyFile.h"
#include "Requests.h"
#include "TransferTexts.h"
#include "Windows1251.h"
#include "WireText.h"

#include <QNetworkProxy>
#include <QSslSocket>

namespace {

constexpr qint64 kSocketBufferBytes = 1024 * 1024;

}  // namespace

DC::DC(QObject *parent) : QObject(parent), maxBodyBytes(ResponseReader::DefaultMaxBodyBytes())
{
    connectTimer.setSingleShot(true);
    silenceTimer.setSingleShot(true);
    connect(&connectTimer, &QTimer::timeout, this, &DC::ConnectTimedOut);
    connect(&silenceTimer, &QTimer::timeout, this, &DC::SilenceTimedOut);
    resumeTimer.setSingleShot(true);
    connect(&resumeTimer, &QTimer::timeout, this, &DC::ResumeNow);
    // While the body pours nothing else tells the window: 25 reports a second keep the bar moving smoothly.
    pourProgress.setInterval(40);
    connect(&pourProgress, &QTimer::timeout, this, &DC::ReportArrival);
}

DC::~DC()
{
    // The file may be gone already; letting it go ends its pour.
    bodyFile = nullptr;
    DetachSocket();
}

void DC::setURL(const QString &url)
{
    DetachSocket();
    const bool continuesChain = redirectPending;
    redirectPending = false;
    if (!continuesChain)
        redirectsInRow = 0;

    StoredURL = url;
    const UrlParts parts = SplitURL(url);
    addressKind = parts.kind;
    if (parts.kind == UrlParts::Kind::Absolute) {
        serverName = parts.serverName;
        pageName = parts.pageName;
        secure = parts.secure;
    }
    StartTransfer();
}

QString DC::URL() const
{
    return StoredURL;
}

void DC::setURLmode(bool downloadMode)
{
    URLmode = downloadMode;
}

QString DC::ServerName() const
{
    return serverName;
}

QString DC::PageName() const
{
    return pageName;
}

void DC::setPageAddressProvider(std::function<QString()> provider)
{
    pageAddressProvider = std::move(provider);
}

void DC::setConnectionSettings(const ConnectionSettings &settings)
{
    connectionSettingsProvider = [settings] { return settings; };
}

void DC::setConnectionSettingsProvider(std::function<ConnectionSettings()> provider)
{
    connectionSettingsProvider = std::move(provider);
}

void DC::setMaxBodyBytes(qint64 bytes)
{
    maxBodyBytes = bytes;
}

void DC::setMaxUndeclaredBodyBytes(qint64 bytes)
{
    maxUndeclaredBodyBytes = bytes;
}

qint64 DC::HeldBytes() const
{
    return reader ? reader->HeldBytes() : 0;
}

void DC::setTimeLimits(const TimeLimits &limits)
{
    timeLimits = limits;
}

void DC::setLoopbackThroughProxy(bool enabled)
{
    loopbackThroughProxy = enabled;
}

void DC::setExtraCaCertificates(const QList<QSslCertificate> &certificates)
{
    extraCaCertificates = certificates;
}

void DC::StartTransfer()
{
    const quint64 current = ++generation;
    StopFlag = false;
    resumeTimer.stop();
    download = FileDownload{};
    download.active = bodyFile && bodyFile->IsOpen();
    // Whatever an earlier answer of a redirect chain left there is not this body.
    if (download.active && bodyFile->Size() > 0)
        bodyFile->StartOver();
    reader.emplace(maxBodyBytes, maxUndeclaredBodyBytes);
    ConfigureReader();
    lengthReported = false;
    emit PercentOfLoad(0);
    if (current != generation)
        return;
    emit FLVsize(0);
    if (current != generation)
        return;

    switch (addressKind) {
    case UrlParts::Kind::Absolute:
    case UrlParts::Kind::BarePath:
        break;
    case UrlParts::Kind::Forbidden:
        return Fail(TransferTexts::ForbiddenCharacters());
    case UrlParts::Kind::Unsupported:
        return Fail(TransferTexts::UnsupportedAddress(StoredURL));
    case UrlParts::Kind::Invalid:
        return Fail(TransferTexts::InvalidAddress(StoredURL));
    }
    // A bare path goes to the server of the previous transfer, which may be none yet.
    const std::optional<HostPort> server = SplitHostPort(serverName, secure ? kHttpsPort : kHttpPort);
    if (!server)
        return Fail(TransferTexts::InvalidAddress(StoredURL));
    wireServerName = server->wireServerName;
    tunnelAuthority = TunnelAuthority(*server);
    peerName = server->host;
    targetHost = server->host;
    targetPort = server->port;

    connection = connectionSettingsProvider ? connectionSettingsProvider() : ConnectionSettings();
    if (!connection.Fault.isEmpty())
        return Fail(connection.Fault);
    // The resolution service beside the program is on loopback, where no proxy can follow.
    viaProxy = connection.UseProxy && (loopbackThroughProxy || !IsLoopbackHost(server->host));
    ConnectToServer();
}

void DC::OpenConnection(const QString &host, quint16 port)
{
    const quint64 current = generation;
    // Raised before connecting so that it always comes before whatever the socket reports.
    emit Msg(TransferTexts::Connecting(serverName));
    if (current != generation)
        return;
    if (secure)
        WS = NewSecureSocket(peerName);
    else
        WS = new QTcpSocket(this);
    if (!WS)
        return;
    // The proxy is ours to speak to; the socket must not route through a system one of its own.
    WS->setProxy(QNetworkProxy::NoProxy);
    // A bounded socket buffer bounds the work of one arrival, so a fast server cannot make the window
    // stall while a large piece is copied; the body still goes straight into its reserved buffer.
    WS->setReadBufferSize(kSocketBufferBytes);
    connect(WS, &QTcpSocket::readyRead, this, &DC::DataArrival);
    connect(WS, &QTcpSocket::disconnected, this, &DC::Close);
    connect(WS, &QTcpSocket::errorOccurred, this, &DC::Error);
    connect(WS, &QTcpSocket::connected, this, &DC::WatchConnection);
    connectTimer.start(timeLimits.connect);
    if (secure)
        return StartSecureConnection(host, port);
    phase = Phase::Exchange;
    connect(WS, &QTcpSocket::connected, this, &DC::Connect);
    WS->connectToHost(host, port);
}

void DC::WatchConnection()
{
    if (!WS)
        return;
    closeWatch.Watch(WS->socketDescriptor());
    connectTimer.stop();
    silenceTimer.start(timeLimits.silence);
}

void DC::ConnectTimedOut()
{
    if (!WS)
        return;
    const int seconds = TransferTexts::Seconds(timeLimits.connect);
    if (viaProxy)
        Fail(TransferTexts::ProxyConnectTimedOut(connection.ProxyName.trimmed(), connection.ProxyPort, seconds));
    else
        Fail(TransferTexts::ConnectTimedOut(serverName, seconds));
}

void DC::SilenceTimedOut()
{
    if (!WS || !reader)
        return;
    Fail(SilenceText());
}

QString DC::SilenceText() const
{
    return TransferTexts::SilenceTimedOut(serverName, TransferTexts::Seconds(timeLimits.silence),
                                          reader->ReceivedBytes());
}

void DC::Connect()
{
    const quint64 current = generation;
    phase = Phase::Exchange;
    // A secure connection gets here once its handshake is done: the server has been heard from.
    silenceTimer.start(timeLimits.silence);
    RequestInput input;
    input.downloadMode = URLmode;
    // Inside a tunnel the request goes to the server itself, as on a direct connection.
    input.viaProxy = viaProxy && !secure;
    input.serverName = wireServerName;
    if (URLmode) {
        emit ServerLine(TransferTexts::ServerLine(serverName));
        if (current != generation)
            return;
        input.target = EncodeRequestTarget(pageName);
        if (input.target.isEmpty())
            input.target = "/";
    } else if (pageAddressProvider) {
        input.pageAddress = pageAddressProvider();
        if (current != generation)
            return;
    }
    input.rangeStart = download.rangeStart;
    // A weak validator cannot vouch for single bytes: If-Range takes only a strong one.
    input.ifRange = download.etag.startsWith("W/") ? download.lastModified : download.etag;
    if (input.ifRange.isEmpty())
        input.ifRange = download.lastModified;
    input.proxyAuth = input.viaProxy && connection.ProxyAuth;
    input.proxyLogin = connection.ProxyLogin;
    input.proxyPass = connection.ProxyPass;
    const QByteArray request = ComposeRequest(input);

    emit Msg(TransferTexts::RequestSent());
    if (current != generation || !WS)
        return;
    WS->write(request);
}

void DC::DataArrival()
{
    if (!WS || !reader)
        return;
    silenceTimer.start(timeLimits.silence);
    if (phase == Phase::Tunnel)
        return TunnelArrival();
    const quint64 current = generation;
    reader->ReadFrom(*WS);
    if (reader->Failed()) {
        if (download.startOver)
            return StartOverNow();
        if (!download.fault.isEmpty())
            return FailFinally(download.fault);
        return FailOn(reader->Classify(ProxyContextNow()));
    }

    ReportArrival();
    if (current != generation || !reader)
        return;
    // A server that answers in HTTP/1.1 may keep the connection open after the answer, our request
    // notwithstanding: an answer whole by its own framing needs no close.
    if (reader->Complete())
        return EndOfAnswer();
    PourRest();
}

void DC::ReportArrival()
{
    if (!reader)
        return;
    const quint64 current = generation;
    const qint64 poured = bodyFile ? bodyFile->PouredSoFar() : 0;
    emit Msg(TransferTexts::Receiving(std::max<qint64>(download.rangeStart, 0) + reader->ReceivedBytes() + poured));
    if (current != generation)
        return;
    ReportProgress();
}

void DC::Close()
{
    if (!WS || !reader)
        return;
    if (phase != Phase::Exchange)
        return EndBeforeExchange();
    // Whatever arrived together with the close is part of the answer.
    reader->ReadFrom(*WS);
    if (download.active && WS->bytesAvailable() > 0 && !reader->Failed()) {
        // The rest waits for room in the file; the close is taken up once it has gone there.
        download.closePending = true;
        return;
    }
    if (closeWatch.WasReset())
        reader->ConnectionReset();
    EndOfAnswer();
}

void DC::EndOfAnswer()
{
    DetachSocket();
    if (StopFlag)
        return;

    Outcome outcome = reader->Classify(ProxyContextNow());
    if (download.active)
        outcome = MeasureFile(outcome);
    if (download.resumable && outcome.kind == Outcome::Kind::BodyCut && ScheduleResume())
        return;
    const quint64 current = generation;
    emit Msg(TransferTexts::Finished());
    if (current != generation)
        return;

    // Whatever the outcome, the control keeps nothing of the answer: a success's body goes to its client.
    const QByteArray LData = outcome.kind == Outcome::Kind::Success ? reader->TakeBody() : QByteArray();
    reader.reset();
    switch (outcome.kind) {
    case Outcome::Kind::Redirect:
        return FollowRedirect(outcome);
    case Outcome::Kind::Success:
        if (download.active)
            return FinishFile();
        EndRedirectChain();
        emit DownOK(LData);
        return;
    default:
        return FailOn(outcome);
    }
}

void DC::Error(QAbstractSocket::SocketError error)
{
    // The server closing its side is how every answer ends, not a failure.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return Close();
    if (!WS)
        return;
    if (const std::optional<QString> text = SecureErrorText(error))
        return Fail(*text);
    const QString peer =
        viaProxy ? connection.ProxyName.trimmed() + u':' + QString::number(connection.ProxyPort) : serverName;
    Fail(TransferTexts::ConnectionFailed(WinsockErrorNumber(error), peer, viaProxy));
}

void DC::FollowRedirect(const Outcome &outcome)
{
    if (redirectsInRow >= kMaxRedirectsInRow)
        return Fail(TransferTexts::TooManyRedirects(kMaxRedirectsInRow));
    const QString address = ResolveLocation(Windows1251::Decode(outcome.location), pageName, secure);
    // A path keeps the server of this transfer; setting it as the URL then fetches this very path.
    pageName = address;
    ++redirectsInRow;
    redirectPending = true;
    emit Redirected(ToWireBytes(address));
}

void DC::Stopped()
{
    ++generation;
    StopFlag = true;
    resumeTimer.stop();
    download = FileDownload{};
    DetachSocket();
    // A stopped answer is of no use to anyone: its memory goes at once, not at the next transfer.
    reader.reset();
    EndRedirectChain();
    emit Msg(TransferTexts::StoppedByUser());
    emit PercentOfLoad(0);
    emit FLVsize(0);
}

void DC::Fail(const QString &text)
{
    if (download.resumable && ScheduleResume())
        return;
    FailFinally(text);
}

// An answer longer than the part of the body asked for is wrong however often it is asked for again.
void DC::FailOn(const Outcome &outcome)
{
    const QString text = TransferTexts::OutcomeError(outcome);
    if (outcome.kind == Outcome::Kind::BodyTooLong)
        return FailFinally(text);
    Fail(text);
}

void DC::FailFinally(const QString &text)
{
    resumeTimer.stop();
    download.resumable = false;
    download.finishing = false;
    DetachSocket();
    reader.reset();
    EndRedirectChain();
    emit DownError(text);
}

void DC::DetachSocket()
{
    pourProgress.stop();
    if (bodyFile)
        bodyFile->StopPouring();
    connectTimer.stop();
    silenceTimer.stop();
    download.closePending = false;
    if (!WS)
        return;
    QTcpSocket *socket = WS;
    WS = nullptr;
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    closeWatch.Release();
    socket->deleteLater();
}

void DC::EndRedirectChain()
{
    redirectsInRow = 0;
    redirectPending = false;
}

ResponseReader::ProxyContext DC::ProxyContextNow() const
{
    // An answer that came through a tunnel is the server's own: the proxy had its say before it.
    ResponseReader::ProxyContext context;
    context.viaProxy = viaProxy && !secure;
    context.authConfigured = context.viaProxy && connection.ProxyAuth;
    context.tunnelled = viaProxy && secure;
    return context;
}
