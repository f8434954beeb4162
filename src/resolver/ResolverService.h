#pragma once

#include "HttpConnection.h"
#include "PageFetch.h"
#include "ResolverOptions.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QTcpServer>
#include <QThreadPool>

#include <array>

// The service: listens, reads requests and answers POST /xurl/ (the program's resolution request, also in the
// absolute form a proxy is sent), GET /version.info (the program's update check) and GET /.
class ResolverService : public QObject {
    Q_OBJECT

public:
    // refuseInternalAddresses normally follows the options (ResolverOptions::RefusesInternalAddresses); a test
    // can force it to see a shared service refuse a page without listening beyond loopback.
    explicit ResolverService(const ResolverOptions &options, QObject *parent = nullptr);
    ResolverService(const ResolverOptions &options, bool refuseInternalAddresses, QObject *parent = nullptr);

    // False with a message when the address cannot be listened on.
    bool Listen(QString *error);
    quint16 ServerPort() const;

    // The path a request line names, whether in origin form ("/xurl/") or absolute form ("http://h/xurl/").
    static QString PathOfTarget(const QByteArray &target);

private:
    void OnNewConnection();
    void HandleRequest(HttpConnection *connection, const HttpRequest &request);
    void ResolveAddress(HttpConnection *connection, const HttpRequest &request);

    void OnConnectionClosed();

    ResolverOptions options;
    int openConnections = 0;
    bool acceptingPaused = false;
    FetchLimits fetchLimits;
    HttpLimits httpLimits;
    QTcpServer server;
    // Qt opens at most six connections to one server per manager; many users of one video site would queue
    // behind each other, so fetches take turns over several managers.
    std::array<QNetworkAccessManager, 8> networks;
    std::size_t nextNetwork = 0;
    QThreadPool parsers;
};
