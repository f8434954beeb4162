#include "ResolverService.h"

#include "AnswerPages.h"
#include "FormAddress.h"
#include "Resolution.h"

#include <QNetworkProxy>
#include <QUrl>

#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr QByteArrayView kHtml = "text/html; charset=utf-8";
constexpr int kBusyRetrySeconds = 5;

HttpResponse HtmlResponse(int status, const QByteArray &page)
{
    return {status, kHtml.toByteArray(), page, {}, 0};
}

HttpResponse BusyResponse()
{
    return {503,
            kHtml.toByteArray(),
            AnswerPages::ComposeFailurePage(
                QStringLiteral("Служба сейчас занята: повторите запрос через несколько секунд.")),
            {},
            kBusyRetrySeconds};
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

}  // namespace

ResolverService::ResolverService(const ResolverOptions &options, QObject *parent)
    : ResolverService(options, options.RefusesInternalAddresses(), parent)
{
}

ResolverService::ResolverService(const ResolverOptions &options, bool refuseInternalAddresses, QObject *parent)
    : QObject(parent)
    , options(options)
    , parsers(ParserSettings(options))
{
    fetchLimits.pageLimit = options.pageLimit;
    fetchLimits.timeoutMilliseconds = options.fetchTimeoutSeconds * 1000;
    fetchLimits.refuseInternalAddresses = refuseInternalAddresses;
    fetchLimits.nameServers = options.nameServers;
    httpLimits.clientTimeoutMilliseconds = options.clientTimeoutSeconds * 1000;
    httpLimits.headerTimeoutMilliseconds = options.headerTimeoutSeconds * 1000;
    // Pages are fetched straight from their servers: a proxy from the environment would connect by name
    // and undo the address check.
    for (QNetworkAccessManager &network : networks)
        network.setProxy(QNetworkProxy::NoProxy);
    connect(&server, &ConnectionListener::Accepted, this, &ResolverService::OnAccepted);
}

ResolverService::~ResolverService()
{
    // The connections, and the resolutions they hold, count themselves out of our tallies as they go.
    qDeleteAll(findChildren<HttpConnection *>(Qt::FindDirectChildrenOnly));
}

bool ResolverService::Listen(QString *error)
{
    if (server.listen(options.listenAddress, options.port))
        return true;
    if (error)
        *error = server.errorString();
    return false;
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
            connection->Answer({405, kHtml.toByteArray(),
                                AnswerPages::ComposeFailurePage(QStringLiteral("Адрес /xurl/ принимает только POST.")),
                                "POST", 0});
        return;
    }
    if (path == QLatin1String("/version.info") || path == QLatin1String("/")) {
        if (!isRead) {
            connection->Answer({405, kHtml.toByteArray(),
                                AnswerPages::ComposeFailurePage(QStringLiteral("Этот адрес принимает только GET.")),
                                "GET, HEAD", 0});
            return;
        }
        if (path == QLatin1String("/"))
            connection->Answer(HtmlResponse(200, AnswerPages::ComposeIndexPage(options.currentVersion)));
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
    auto *resolution = new Resolution(network, &parsers, client, fetchLimits, connection);
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
