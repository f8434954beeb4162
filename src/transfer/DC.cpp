#include "DC.h"

#include "TransferTexts.h"
#include "Windows1251.h"
#include "WireText.h"

#include <QScopedValueRollback>

DC::DC(QObject *parent) : QObject(parent)
{
}

DC::~DC()
{
    DropTransfer();
}

void DC::setURL(const QString &url)
{
    DropTransfer();
    redirectsInRow = chainBeingReported;
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

void DC::setPageAddress(const QString &address)
{
    pageAddress = address;
}

QString DC::ServerName() const
{
    return serverName;
}

QString DC::PageName() const
{
    return pageName;
}

void DC::setConnectionSettings(const ConnectionSettings &settings)
{
    connectionSettingsProvider = [settings] { return settings; };
}

void DC::setConnectionSettingsProvider(std::function<ConnectionSettings()> provider)
{
    connectionSettingsProvider = std::move(provider);
}

void DC::setVideo(VideoDownload *given)
{
    if (video)
        disconnect(video, nullptr, this, nullptr);
    video = given;
    if (!video)
        return;
    connect(video, &VideoDownload::Msg, this, &DC::Msg);
    connect(video, &VideoDownload::ServerLine, this, &DC::ServerLine);
    connect(video, &VideoDownload::FLVsize, this, &DC::FLVsize);
    connect(video, &VideoDownload::PercentOfLoad, this, &DC::PercentOfLoad);
    connect(video, &VideoDownload::Done, this, &DC::VideoDone);
    connect(video, &VideoDownload::Redirected, this, &DC::FollowRedirect);
    connect(video, &VideoDownload::Failed, this, &DC::VideoFailed);
}

void DC::setResumePolicy(const ResumePolicy &policy)
{
    resumePolicy = policy;
}

void DC::setMaxBodyBytes(qint64 bytes)
{
    limits.maxBodyBytes = bytes;
}

void DC::setMaxUndeclaredBodyBytes(qint64 bytes)
{
    limits.maxUndeclaredBodyBytes = bytes;
}

qint64 DC::HeldBytes() const
{
    if (exchange)
        return exchange->HeldBytes();
    return video ? video->HeldBytes() : 0;
}

void DC::setTimeLimits(const TimeLimits &timeLimits)
{
    limits.time = timeLimits;
}

void DC::setLoopbackThroughProxy(bool enabled)
{
    loopbackThroughProxy = enabled;
}

void DC::setExtraCaCertificates(const QList<QSslCertificate> &certificates)
{
    limits.extraCaCertificates = certificates;
}

// What the transfer asks and of whom; an address or settings that cannot be used make a request that fails at once.
ExchangeRequest DC::RequestNow() const
{
    ExchangeRequest request;
    request.serverName = serverName;
    request.pageName = pageName;
    request.secure = secure;
    request.downloadMode = URLmode;
    request.pageAddress = pageAddress;
    switch (addressKind) {
    case UrlParts::Kind::Absolute:
    case UrlParts::Kind::BarePath:
        break;
    case UrlParts::Kind::Forbidden:
        request.fault = TransferTexts::ForbiddenCharacters();
        return request;
    case UrlParts::Kind::Unsupported:
        request.fault = TransferTexts::UnsupportedAddress(StoredURL);
        return request;
    case UrlParts::Kind::Invalid:
        request.fault = TransferTexts::InvalidAddress(StoredURL);
        return request;
    }
    // A bare path goes to the server of the previous transfer, which may be none yet.
    const std::optional<HostPort> server = SplitHostPort(serverName, secure ? kHttpsPort : kHttpPort);
    if (!server) {
        request.fault = TransferTexts::InvalidAddress(StoredURL);
        return request;
    }
    request.server = *server;
    request.connection = connectionSettingsProvider ? connectionSettingsProvider() : ConnectionSettings();
    request.fault = request.connection.Fault;
    // The resolution service beside the program is on loopback, where no proxy can follow.
    request.viaProxy = request.connection.UseProxy && (loopbackThroughProxy || !IsLoopbackHost(server->host));
    return request;
}

void DC::StartTransfer()
{
    const ExchangeRequest request = RequestNow();
    if (video && video->File().IsOpen()) {
        video->setMaxConnections(maxConnections);
        return video->Fetch(request, limits, resumePolicy);
    }
    exchange.reset(new Exchange(request, limits, this));
    connect(exchange.get(), &Exchange::Msg, this, &DC::Msg);
    connect(exchange.get(), &Exchange::ServerLine, this, &DC::ServerLine);
    connect(exchange.get(), &Exchange::FLVsize, this, &DC::FLVsize);
    connect(exchange.get(), &Exchange::PercentOfLoad, this, &DC::PercentOfLoad);
    connect(exchange.get(), &Exchange::Ended, this, &DC::ExchangeEnded);
    exchange->Start(true);
}

int DC::Connections() const
{
    if (exchange)
        return 1;
    return video ? video->Connections() : 0;
}

void DC::DropTransfer()
{
    exchange.reset();
    if (video)
        video->Stop();
}

void DC::ExchangeEnded(const ExchangeEnd &end)
{
    // The exchange has said its last; it goes, and the transfer ends with the one report that follows.
    exchange.reset();
    switch (end.kind) {
    case ExchangeEnd::Kind::Failed:
        emit DownError(end.text);
        return;
    case ExchangeEnd::Kind::Broken:
        emit DownError(TransferTexts::OutcomeError(end.outcome));
        return;
    case ExchangeEnd::Kind::Answered:
        break;
    }
    switch (end.outcome.kind) {
    case Outcome::Kind::Redirect:
        return FollowRedirect(end.outcome.location);
    case Outcome::Kind::Success:
        emit DownOK(end.body);
        return;
    default:
        emit DownError(TransferTexts::OutcomeError(end.outcome));
        return;
    }
}

void DC::FollowRedirect(const QByteArray &location)
{
    if (redirectsInRow >= kMaxRedirectsInRow)
        return VideoFailed(TransferTexts::TooManyRedirects(kMaxRedirectsInRow));
    const QString address = ResolveLocation(Windows1251::Decode(location), pageName, secure);
    // A path keeps the server of this transfer; setting it as the URL then fetches this very path.
    pageName = address;
    const QScopedValueRollback<int> chain(chainBeingReported, redirectsInRow + 1);
    emit Redirected(ToWireBytes(address));
}

void DC::VideoDone()
{
    emit DownOK(QByteArray());
}

void DC::VideoFailed(const QString &text)
{
    emit DownError(text);
}

void DC::Stopped()
{
    DropTransfer();
    // A URL set from here on starts a chain of its own, even while a redirect is being reported.
    chainBeingReported = 0;
    emit Msg(TransferTexts::StoppedByUser());
    emit PercentOfLoad(0);
    emit FLVsize(0);
}
