#include "ResolverService.h"

#include "AddressPolicy.h"
#include "AnswerPages.h"
#include "FormAddress.h"
#include "MediaStream.h"
#include "MediaToken.h"
#include "Resolution.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QStandardPaths>
#include <QUrl>

#include <sys/socket.h>
#include <unistd.h>

namespace {

using AnswerPages::BusyResponse;
using AnswerPages::HtmlResponse;
using AnswerPages::kBusyRetrySeconds;

// 405: the address takes only the allowed methods.
HttpResponse WrongMethod(const QString &reason, const QByteArray &allowed)
{
    HttpResponse response = HtmlResponse(405, AnswerPages::ComposeFailurePage(reason));
    response.allow = allowed;
    return response;
}

ParserPool::Settings ParserSettings(const ResolverOptions &options)
{
    ParserPool::Settings settings;
    settings.program = options.parserProgram;
    settings.processes = options.parsers;
    settings.memoryLimit = options.parseMemoryMiB * 1024 * 1024;
    settings.queueLimit = 4 * options.parsers;
    // An address allowed as many resolutions as everyone together stands for many clients (a reverse proxy).
    settings.shareByClient = options.resolutionsPerAddress < ResolverService::kMaxResolutions;
    return settings;
}

WorkerSlots::Settings WorkerSettings(const ResolverOptions &options)
{
    WorkerSlots::Settings settings;
    settings.places = options.workers;
    settings.queueLimit = 4 * options.workers;
    settings.shareByClient = options.resolutionsPerAddress < ResolverService::kMaxResolutions;
    return settings;
}

QString FindFfmpeg(const QString &given)
{
    if (given.isEmpty())
        return QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    return QFileInfo(given).isExecutable() ? given : QString();
}

}  // namespace

ResolverService::ResolverService(const ResolverOptions &options, QObject *parent)
    : ResolverService(options, options.RefusesInternalAddresses() ? &AddressPolicy::MayConnectTo : AddressJudge(),
                      parent)
{
}

ResolverService::ResolverService(const ResolverOptions &options, const AddressJudge &mayConnect, QObject *parent)
    : QObject(parent)
    , options(options)
    , parsers(ParserSettings(options))
    , workers(WorkerSettings(options))
    , ffmpeg(FindFfmpeg(options.ffmpegProgram))
{
    context.limits.pageLimit = options.pageLimit;
    context.limits.timeoutMilliseconds = options.fetchTimeoutSeconds * 1000;
    context.limits.mayConnect = mayConnect;
    context.limits.nameServers = options.nameServers;
    httpLimits.clientTimeoutMilliseconds = options.clientTimeoutSeconds * 1000;
    httpLimits.headerTimeoutMilliseconds = options.headerTimeoutSeconds * 1000;
    // Pages are fetched straight from their servers: a proxy from the environment would connect by name
    // and undo the address check.
    for (QNetworkAccessManager &network : networks)
        network.setProxy(QNetworkProxy::NoProxy);
    connect(&server, &ConnectionListener::Accepted, this, &ResolverService::OnAccepted);
    context.parsers = &parsers;
    context.workers = &workers;
    context.engines = options.engines;
    context.maxHeight = options.maxHeight;
    context.tokenKey = options.secret.isEmpty() ? MediaToken::DrawKey() : options.secret;
    context.canRemux = !ffmpeg.isEmpty();
    if (mayConnect) {
        FetchProxy::Settings settings;
        settings.password = MediaToken::DrawKey().toHex();
        settings.mayConnect = mayConnect;
        settings.nameServers = options.nameServers;
        settings.timeoutMilliseconds = context.limits.timeoutMilliseconds;
        settings.maxConnections = 16 * options.workers;
        proxy = std::make_unique<FetchProxy>(settings);
        sealedNetwork = SealedNetwork::Make(&sealProblem);
        context.canRemux = context.canRemux && sealedNetwork;
    }
    if (options.engines.contains(Engine::YtDlp)) {
        engineKeeper = std::make_unique<EngineKeeper>(options);
        connect(engineKeeper.get(), &EngineKeeper::BridgeChanged, this,
                [this](YtDlpBridge *bridge) { context.ytDlp = bridge; });
    }
}

QString ResolverService::DescribeEngines() const
{
    QStringList names;
    for (const Engine engine : options.engines) {
        if (engine == Engine::Builtin)
            names.append(QStringLiteral("builtin"));
        else if (engineKeeper && engineKeeper->HasEngine())
            names.append(QStringLiteral("yt-dlp"));
    }
    if (names.isEmpty())
        names.append(QStringLiteral("builtin"));
    QString text = QStringLiteral("engines: ") + names.join(QStringLiteral(", "));
    if (engineKeeper)
        text += QStringLiteral("; ") + engineKeeper->Describe(true);
    if (ffmpeg.isEmpty())
        text += QStringLiteral("; no ffmpeg: videos that are only streamed are not found");
    else if (!context.canRemux)
        text += QStringLiteral("; videos that are only streamed are not found: ffmpeg cannot be shut off from the "
                               "internal network here (%1)")
                    .arg(sealProblem);
    return text;
}

QByteArray ResolverService::ComposeEnginesAnswer() const
{
    // A service for others tells them versions, never where its files are.
    const bool withPaths = options.listenAddress.isLoopback();
    QJsonArray engines;
    if (options.engines.contains(Engine::Builtin) || !engineKeeper || !engineKeeper->HasEngine())
        engines.append(QJsonObject{{"name", "builtin"}, {"version", AppVersion()}, {"origin", "quillon-resolver"}});
    if (engineKeeper) {
        for (const QJsonValue &engine : engineKeeper->EnginesJson(withPaths))
            engines.append(engine);
    }
    QJsonObject answer{{"engines", engines}};
    if (engineKeeper) {
        const JsRuntime &runtime = engineKeeper->Runtime();
        answer.insert(QStringLiteral("javascript"),
                      runtime.name.isEmpty()
                          ? QJsonValue()
                          : QJsonValue((runtime.name + QLatin1Char(' ') + runtime.version).trimmed()));
    }
    return QJsonDocument(answer).toJson(QJsonDocument::Compact);
}

ResolverService::~ResolverService()
{
    // The connections, and the resolutions they hold, count themselves out of our tallies as they go.
    qDeleteAll(findChildren<HttpConnection *>(Qt::FindDirectChildrenOnly));
}

bool ResolverService::Listen(QString *error)
{
    if (!server.listen(options.listenAddress, options.port)) {
        if (error)
            *error = server.errorString();
        return false;
    }
    return StartHelpers(error);
}

bool ResolverService::ListenOn(qintptr descriptor, QString *error)
{
    if (!server.setSocketDescriptor(descriptor)) {
        if (error)
            *error = server.errorString();
        return false;
    }
    return StartHelpers(error);
}

bool ResolverService::StartHelpers(QString *error)
{
    if ((proxy && !proxy->Listen(error))
        || (sealedNetwork && !proxy->AcceptAlsoOn(sealedNetwork->TakeListener(), error)))
        return false;
    if (engineKeeper && !helpersStarted) {
        YtDlpBridge::Settings settings;
        settings.proxy = proxy ? proxy->Address(QStringLiteral("yt-dlp")) : QString();
        settings.timeoutSeconds = options.fetchTimeoutSeconds;
        settings.memoryLimit = options.parseMemoryMiB * 1024 * 1024;
        // A release's trial runs as a page's yt-dlp does: shut off where ffmpeg is, held to a page's memory.
        ChildProcess::Confinement trial;
        trial.network = sealedNetwork.get();
        trial.memoryLimit = settings.memoryLimit;
        engineKeeper->Start(settings, trial);
    }
    helpersStarted = true;
    return true;
}

quint16 ResolverService::ServerPort() const
{
    return server.serverPort();
}

QString ResolverService::PathOfTarget(const QByteArray &target)
{
    if (target.startsWith('/'))
        return QString::fromLatin1(target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?')));
    return QUrl::fromEncoded(target).path(QUrl::FullyEncoded);
}

void ResolverService::OnAccepted(int descriptor)
{
    const QHostAddress peer = HttpConnection::PeerOf(descriptor);
    if (openConnections >= kMaxOpenConnections || connectionsOf.value(peer) >= options.connectionsPerAddress) {
        // Said once, without reading the request: this client already holds its share.
        static const QByteArray busy = "HTTP/1.1 503 Service Unavailable\r\nRetry-After: "
            + QByteArray::number(kBusyRetrySeconds) + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        (void)::send(descriptor, busy.constData(), size_t(busy.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::close(descriptor);
        return;
    }
    auto *connection = new HttpConnection(
        descriptor, httpLimits,
        [this](HttpConnection *connection, const HttpRequest &request) { HandleRequest(connection, request); }, this);
    ++openConnections;
    ++connectionsOf[peer];
    connect(connection, &QObject::destroyed, this, [this, peer] { OnConnectionClosed(peer); });
    if (openConnections >= kMaxOpenConnections && !acceptingPaused) {
        acceptingPaused = true;
        server.pauseAccepting();
    }
}

void ResolverService::OnConnectionClosed(const QHostAddress &peer)
{
    --openConnections;
    if (--connectionsOf[peer] <= 0)
        connectionsOf.remove(peer);
    if (acceptingPaused && openConnections < kMaxOpenConnections) {
        acceptingPaused = false;
        server.resumeAccepting();
    }
}

void ResolverService::HandleRequest(HttpConnection *connection, const HttpRequest &request)
{
    const QString path = PathOfTarget(request.target);
    const bool isRead = request.method == "GET" || request.method == "HEAD";
    if (path == QLatin1String("/xurl/") || path == QLatin1String("/xurl")) {
        if (request.method == "POST")
            ResolveAddress(connection, request);
        else
            connection->Answer(WrongMethod(QStringLiteral("Адрес /xurl/ принимает только POST."), "POST"));
        return;
    }
    if (path.startsWith(QLatin1String("/media/"))) {
        if (isRead)
            ServeMedia(connection, request, path);
        else
            connection->Answer(WrongMethod(QStringLiteral("Этот адрес принимает только GET."), "GET, HEAD"));
        return;
    }
    if (path == QLatin1String("/version.info") || path == QLatin1String("/") || path == QLatin1String("/engines")) {
        if (!isRead) {
            connection->Answer(WrongMethod(QStringLiteral("Этот адрес принимает только GET."), "GET, HEAD"));
            return;
        }
        if (path == QLatin1String("/"))
            connection->Answer(HtmlResponse(200, AnswerPages::ComposeIndexPage(options.currentVersion)));
        else if (path == QLatin1String("/engines"))
            connection->Answer({200, "application/json", ComposeEnginesAnswer(), {}, 0});
        else  // the program compares the whole body with its own version: nothing around the number
            connection->Answer({200, "text/plain; charset=utf-8", options.currentVersion.toUtf8(), {}, 0});
        return;
    }
    connection->Answer(HtmlResponse(404, AnswerPages::ComposeFailurePage(QStringLiteral("Здесь ничего нет."))));
}

void ResolverService::ResolveAddress(HttpConnection *connection, const HttpRequest &request)
{
    const std::optional<QString> address = FormAddress::ExtractAddress(request.body);
    if (!address || address->isEmpty()) {
        // Answered with 200 like every failed resolution, so that the program says "video not found"
        // instead of waiting for a success that never comes.
        connection->Answer(
            HtmlResponse(200,
                         AnswerPages::ComposeFailurePage(QStringLiteral("В запросе нет адреса страницы (поле url)."))));
        return;
    }
    const QHostAddress client = connection->PeerAddress();
    if (resolutionsUnderWay >= kMaxResolutions || resolutionsOf.value(client) >= options.resolutionsPerAddress) {
        connection->Answer(BusyResponse());
        return;
    }
    // A child of the connection: a client that goes away takes its fetch and its parse with it.
    QNetworkAccessManager *network = &networks[nextNetwork];
    nextNetwork = (nextNetwork + 1) % networks.size();
    auto *resolution = new Resolution(&context, network, client, MediaBaseFor(connection, request), connection);
    ++resolutionsUnderWay;
    ++resolutionsOf[client];
    connect(resolution, &QObject::destroyed, this, [this, client] {
        --resolutionsUnderWay;
        if (--resolutionsOf[client] <= 0)
            resolutionsOf.remove(client);
    });
    connect(resolution, &Resolution::Answered, connection, [connection, resolution](const QByteArray &page) {
        connection->Answer(HtmlResponse(200, page));
        resolution->deleteLater();
    });
    connect(resolution, &Resolution::Busy, connection, [connection, resolution] {
        connection->Answer(BusyResponse());
        resolution->deleteLater();
    });
    resolution->Start(*address);
}

QString ResolverService::MediaBaseFor(const HttpConnection *connection, const HttpRequest &request)
{
    // The client names the service as it reached it (behind a load balancer, that one's name); the /media/
    // link has to reach it the same way.
    QByteArray authority = request.host;
    if (!request.target.startsWith('/'))
        authority = QUrl::fromEncoded(request.target).authority(QUrl::FullyEncoded).toLatin1();
    const QUrl base = QUrl::fromEncoded("http://" + authority, QUrl::StrictMode);
    if (!authority.isEmpty() && base.isValid() && !base.host().isEmpty() && base.userInfo().isEmpty()
        && base.path().isEmpty())
        return QStringLiteral("http://") + QString::fromLatin1(base.authority(QUrl::FullyEncoded).toLatin1());
    return QStringLiteral("http://") + connection->LocalAuthority();
}

void ResolverService::ServeMedia(HttpConnection *connection, const HttpRequest &request, const QString &path)
{
    const MediaToken::Reading reading =
        MediaToken::ReadToken(path.mid(7).toLatin1(), context.tokenKey, QDateTime::currentDateTimeUtc());
    if (reading.problem != MediaToken::Problem::None) {
        const bool expired = reading.problem == MediaToken::Problem::Expired;
        connection->Answer(HtmlResponse(expired ? 410 : 404,
                                        AnswerPages::ComposeFailurePage(
                                            expired ? QStringLiteral("Ссылка на видео устарела: найдите видео заново.")
                                                    : QStringLiteral("Такой ссылки на видео служба не давала."))));
        return;
    }
    if (!context.canRemux) {
        connection->Answer(
            HtmlResponse(503, AnswerPages::ComposeFailurePage(QStringLiteral("ffmpeg на сервере не установлен."))));
        return;
    }
    if (request.method == "HEAD") {
        connection->StartStream(200,
                                RemuxCommand::ContentTypeOf(reading.plan.flvFits ? RemuxCommand::Container::Flv
                                                                                 : RemuxCommand::Container::Matroska));
        return;
    }
    MediaStream::Settings settings;
    settings.ffmpeg = ffmpeg;
    settings.timeoutSeconds = options.fetchTimeoutSeconds;
    settings.memoryLimit = options.parseMemoryMiB * 1024 * 1024;
    // Each stream fetches under a name of its own, so that it can tell its own refusals.
    const QByteArray user = "stream-" + QByteArray::number(++streamsStarted);
    FetchProxy *fetchProxy = proxy.get();
    if (fetchProxy) {
        settings.network = sealedNetwork.get();
        settings.proxy = fetchProxy->Address(QString::fromLatin1(user), sealedNetwork->ListenerPort());
        settings.proxyRefused = [fetchProxy, user] { return fetchProxy->RefusalsOf(user) > 0; };
    }
    auto *stream = new MediaStream(connection, reading.plan, &workers, settings);
    if (fetchProxy)
        connect(stream, &QObject::destroyed, fetchProxy, [fetchProxy, user] { fetchProxy->Forget(user); });
    if (!stream->Start()) {
        delete stream;
        connection->Answer(BusyResponse());
    }
}
