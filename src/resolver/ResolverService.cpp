#include "ResolverService.h"

#include "AnswerPages.h"
#include "FormAddress.h"
#include "Resolution.h"

#include <QNetworkProxy>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

namespace {

constexpr QByteArrayView kHtml = "text/html; charset=utf-8";

// A parser thread's stack: gumbo frees its tree recursively, one frame per level of nesting, and a page
// parsed on the pool (up to 256 KiB) may nest some fifty thousand levels deep.
constexpr uint kParserStackSize = 64 * 1024 * 1024;

// Each connection may hold a second descriptor for its fetch; past this many, new clients wait in the
// listen queue instead of running the process out of descriptors (where accept() would fail in a busy loop).
constexpr int kMaxOpenConnections = 400;

HttpResponse HtmlResponse(int status, const QByteArray &page)
{
    return {status, kHtml.toByteArray(), page, {}};
}

}  // namespace

ResolverService::ResolverService(const ResolverOptions &options, QObject *parent)
    : ResolverService(options, options.RefusesInternalAddresses(), parent)
{
}

ResolverService::ResolverService(const ResolverOptions &options, bool refuseInternalAddresses, QObject *parent)
    : QObject(parent)
    , options(options)
{
    fetchLimits.pageLimit = options.pageLimit;
    fetchLimits.timeoutMilliseconds = options.fetchTimeoutSeconds * 1000;
    fetchLimits.refuseInternalAddresses = refuseInternalAddresses;
    httpLimits.clientTimeoutMilliseconds = options.clientTimeoutSeconds * 1000;
    // Pages are fetched straight from their servers: a proxy from the environment would connect by name
    // and undo the address check.
    for (QNetworkAccessManager &network : networks)
        network.setProxy(QNetworkProxy::NoProxy);
    parsers.setStackSize(kParserStackSize);
    parsers.setMaxThreadCount(std::max(QThread::idealThreadCount(), 1));
    connect(&server, &QTcpServer::newConnection, this, &ResolverService::OnNewConnection);
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

void ResolverService::OnNewConnection()
{
    while (openConnections < kMaxOpenConnections && server.hasPendingConnections()) {
        auto *connection = new HttpConnection(
            server.nextPendingConnection(), httpLimits,
            [this](HttpConnection *connection, const HttpRequest &request) { HandleRequest(connection, request); },
            this);
        ++openConnections;
        connect(connection, &QObject::destroyed, this, &ResolverService::OnConnectionClosed);
    }
    if (openConnections >= kMaxOpenConnections && !acceptingPaused) {
        acceptingPaused = true;
        server.pauseAccepting();
    }
}

void ResolverService::OnConnectionClosed()
{
    --openConnections;
    if (acceptingPaused && openConnections < kMaxOpenConnections) {
        acceptingPaused = false;
        server.resumeAccepting();
        OnNewConnection();
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
                                "POST"});
        return;
    }
    if (path == QLatin1String("/version.info") || path == QLatin1String("/")) {
        if (!isRead) {
            connection->Answer({405, kHtml.toByteArray(),
                                AnswerPages::ComposeFailurePage(QStringLiteral("Этот адрес принимает только GET.")),
                                "GET, HEAD"});
            return;
        }
        if (path == QLatin1String("/"))
            connection->Answer(HtmlResponse(200, AnswerPages::ComposeIndexPage(options.currentVersion)));
        else  // the program compares the whole body with its own version: nothing around the number
            connection->Answer({200, "text/plain; charset=utf-8", options.currentVersion.toUtf8(), {}});
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
    // A child of the connection: a client that goes away takes its fetch with it.
    QNetworkAccessManager *network = &networks[nextNetwork];
    nextNetwork = (nextNetwork + 1) % networks.size();
    auto *resolution = new Resolution(network, &parsers, options.parserProgram, fetchLimits, connection);
    connect(resolution, &Resolution::Answered, connection, [connection, resolution](const QByteArray &page) {
        connection->Answer(HtmlResponse(200, page));
        resolution->deleteLater();
    });
    resolution->Start(*address);
}
