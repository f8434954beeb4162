#pragma once

#include "EngineKeeper.h"
#include "FetchProxy.h"
#include "HttpConnection.h"
#include "PageFetch.h"
#include "ParserPool.h"
#include "Resolution.h"
#include "ResolverOptions.h"
#include "SealedNetwork.h"
#include "WorkerSlots.h"
#include "YtDlpBridge.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QObject>
#include <QTcpServer>

#include <array>
#include <functional>
#include <memory>

// Hands each accepted connection over as its bare descriptor (HttpConnection works on that itself).
class ConnectionListener : public QTcpServer {
    Q_OBJECT

signals:
    void Accepted(int descriptor);

protected:
    void incomingConnection(qintptr descriptor) override { emit Accepted(int(descriptor)); }
};

// The service: listens, reads requests and answers POST /xurl/ (the program's resolution request, also in the
// absolute form a proxy is sent), GET /media/<token> (a streamed video remuxed into one file, MediaStream),
// GET /version.info (the program's update check), GET /engines (which engines find videos) and GET /.
// Everything one client can make it hold is bounded, and each address gets a share: of the connections, of
// the resolutions under way, of the parser processes (ParserPool) and of the yt-dlp and ffmpeg processes
// (WorkerSlots). A client over its share, or any when everything is taken, is told at once that the service
// is busy. When the service refuses internal addresses, yt-dlp and ffmpeg fetch through a FetchProxy that
// judges their addresses by the same rule as the service's own fetches.
class ResolverService : public QObject {
    Q_OBJECT

public:
    // Which addresses the service's fetches, and yt-dlp's and ffmpeg's through its proxy, may connect to; empty:
    // any, and no proxy. It follows the options (AddressPolicy::MayConnectTo when
    // ResolverOptions::RefusesInternalAddresses); a test can give another, to see a shared service refuse
    // without listening beyond loopback.
    using AddressJudge = std::function<bool(const QHostAddress &)>;

    explicit ResolverService(const ResolverOptions &options, QObject *parent = nullptr);
    ResolverService(const ResolverOptions &options, const AddressJudge &mayConnect, QObject *parent = nullptr);
    ~ResolverService() override;

    // False with a message when the address cannot be listened on. Starts yt-dlp's bridge too.
    bool Listen(QString *error);
    // Listens on a socket that listens already, handed over by whoever started the service (systemd).
    bool ListenOn(qintptr descriptor, QString *error);
    quint16 ServerPort() const;

    // The engines as the start-up line names them, with what is missing.
    QString DescribeEngines() const;
    // Nothing when yt-dlp is not used.
    YtDlpBridge *YtDlp() const { return engineKeeper ? engineKeeper->Bridge() : nullptr; }
    EngineKeeper *Engines() const { return engineKeeper.get(); }

    // GET /engines: the engines, their versions and origins, what is in use; paths only on loopback.
    QByteArray ComposeEnginesAnswer() const;

    // The path a request line names, whether in origin form ("/xurl/") or absolute form ("http://h/xurl/").
    static QString PathOfTarget(const QByteArray &target);

    // Resolutions under way at once, from all clients together.
    static constexpr int kMaxResolutions = 64;
    // Connections at once: each may hold a second descriptor for its fetch; past this many, new clients wait
    // in the listen queue instead of running the process out of descriptors.
    static constexpr int kMaxOpenConnections = 400;

private:
    // The fetch proxy and yt-dlp's bridge, however the service came to listen.
    bool StartHelpers(QString *error);
    void OnAccepted(int descriptor);
    void OnConnectionClosed(const QHostAddress &peer);
    void HandleRequest(HttpConnection *connection, const HttpRequest &request);
    void ResolveAddress(HttpConnection *connection, const HttpRequest &request);
    void ServeMedia(HttpConnection *connection, const HttpRequest &request, const QString &path);
    static QString MediaBaseFor(const HttpConnection *connection, const HttpRequest &request);

    ResolverOptions options;
    int openConnections = 0;
    QHash<QHostAddress, int> connectionsOf;
    int resolutionsUnderWay = 0;
    QHash<QHostAddress, int> resolutionsOf;
    bool acceptingPaused = false;
    HttpLimits httpLimits;
    ConnectionListener server;
    // Qt opens at most six connections to one server per manager; many users of one video site would queue
    // behind each other, so fetches take turns over several managers.
    std::array<QNetworkAccessManager, 8> networks;
    std::size_t nextNetwork = 0;
    ParserPool parsers;
    WorkerSlots workers;
    std::unique_ptr<FetchProxy> proxy;
    // Where ffmpeg runs when it fetches through the proxy; without it such a service remuxes no streams.
    std::unique_ptr<SealedNetwork> sealedNetwork;
    QString sealProblem;
    std::unique_ptr<EngineKeeper> engineKeeper;  // when yt-dlp is among the engines
    bool helpersStarted = false;
    QString ffmpeg;
    ResolutionContext context;
    int streamsStarted = 0;
};
