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
    : QObject(parent), options_(options)
{
    fetchLimits_.pageLimit = options.pageLimit;
    fetchLimits_.timeoutMilliseconds = options.fetchTimeoutSeconds * 1000;
    fetchLimits_.refuseInternalAddresses = refuseInternalAddresses;
    httpLimits_.clientTimeoutMilliseconds = options.clientTimeoutSeconds * 1000;
    // Pages are fetched straight from their servers: a proxy from the environment would connect by name
    // and undo the address check.
    for (QNetworkAccessManager &network : networks_)
        network.setProxy(QNetworkProxy::NoProxy);
    parsers_.setStackSize(kParserStackSize);
    parsers_.setMaxThreadCount(std::max(QThread::idealThreadCount(), 1));
    connect(&server_, &QTcpServer::newConnection, this, &ResolverService::OnNewConnection);
}

bool ResolverService::Listen(QString *error)
{
    if (server_.listen(options_.listenAddress, options_.port))
        return true;
    if (error)
        *error = server_.errorString();
    return false;
}

quint16 ResolverService::ServerPort() const
{
    return server_.serverPort();
}

QString ResolverService::PathOfTarget(const QByteArray &target)
{
    if (target.startsWith('/'))
        return QString::fromLatin1(target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?')));
    return QUrl::fromEncoded(target).path(QUrl::FullyEncoded);
}

void ResolverService::OnNewConnection()
{
    while (openConnections_ < kMaxOpenConnections && server_.hasPendingConnections()) {
        auto *connection = new HttpConnection(server_.nextPendingConnection(), httpLimits_,
                                              [this](HttpConnection *connection, const HttpRequest &request) {
                                                  HandleRequest(connection, request);
                                              },
                                              this);
        ++openConnections_;
        connect(connection, &QObject::destroyed, this, &ResolverService::OnConnectionClosed);
    }
    if (openConnections_ >= kMaxOpenConnections && !acceptingPaused_) {
        acceptingPaused_ = true;
        server_.pauseAccepting();
    }
}

void ResolverService::OnConnectionClosed()
{
    --openConnections_;
    if (acceptingPaused_ && openConnections_ < kMaxOpenConnections) {
        acceptingPaused_ = false;
        server_.resumeAccepting();
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
            connection->Answer(HtmlResponse(200, AnswerPages::ComposeIndexPage(options_.currentVersion)));
        else  // the program compares the whole body with its own version: nothing around the number
            connection->Answer({200, "text/plain; charset=utf-8", options_.currentVersion.toUtf8(), {}});
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
        connection->Answer(HtmlResponse(200, AnswerPages::ComposeFailurePage(
                                                 QStringLiteral("В запросе нет адреса страницы (поле url)."))));
        return;
    }
    // A child of the connection: a client that goes away takes its fetch with it.
    QNetworkAccessManager *network = &networks_[nextNetwork_];
    nextNetwork_ = (nextNetwork_ + 1) % networks_.size();
    auto *resolution = new Resolution(network, &parsers_, options_.parserProgram, fetchLimits_, connection);
    connect(resolution, &Resolution::Answered, connection, [connection, resolution](const QByteArray &page) {
        connection->Answer(HtmlResponse(200, page));
        resolution->deleteLater();
    });
    resolution->Start(*address);
}
