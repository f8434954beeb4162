#pragma once

#include "ServicePort.h"
#include "Version.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <variant>

// The ways of finding a page's video: our own parse of the page, and yt-dlp.
enum class Engine {
    Builtin,
    YtDlp,
};

struct ResolverOptions {
    QHostAddress listenAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 port = kDefaultServicePort;
    QString currentVersion = AppVersion();
    qint64 pageLimit = 4 * 1024 * 1024;
    int fetchTimeoutSeconds = 20;
    int clientTimeoutSeconds = 30;
    int headerTimeoutSeconds = 10;
    int parsers = 2;
    qint64 parseMemoryMiB = 512;
    int connectionsPerAddress = 32;
    int resolutionsPerAddress = 8;
    bool allowPrivate = false;
    QList<Engine> engines{Engine::Builtin, Engine::YtDlp};
    QString ytDlpPath;  // --yt-dlp; empty: "yt-dlp" on PATH
    int maxHeight = 1080;
    int workers = 4;
    QByteArray secret;  // --secret; empty: a key drawn at start, good for this instance only
    // yt-dlp's own releases, kept up to date by the service (EngineKeeper); --yt-dlp turns that off.
    QString engineFolder;  // --engine-dir; empty: EngineFolder::DefaultFolder()
    int engineCheckHours = 24;  // 0: never
    QUrl engineSource = QUrl(QStringLiteral("https://github.com/yt-dlp/yt-dlp/releases/latest/download/"));
    QString engineKey;  // --engine-key; empty: the release key shipped with Quillon (ShippedEngineKey)
    bool updateEngine = false;  // --update-engine: one check, then the program ends
    // Not options: the program that parses pages in its child processes (the service's own executable, run
    // with --parse-pages), name servers to ask instead of the system's ("address:port,...", for tests), and
    // the ffmpeg that remuxes streams.
    QString parserProgram;
    QString nameServers;
    QString ffmpegProgram;  // empty: "ffmpeg" on PATH

    // Listening on loopback serves one user, whose own network pages may well be; listening anywhere else
    // serves strangers, who must not reach the machine's own network through us.
    bool RefusesInternalAddresses() const { return !allowPrivate && !listenAddress.isLoopback(); }
    // Whether the service keeps yt-dlp up to date of itself.
    bool UpdatesEngine() const { return ytDlpPath.isEmpty() && engineCheckHours > 0; }
};

namespace ResolverOptionsParser {

struct ShowHelp {
    QString text;
};

struct BadOption {
    QString message;
};

using Outcome = std::variant<ResolverOptions, ShowHelp, BadOption>;

// yt-dlp's release signing key as Quillon installs it (beside the program in a build folder), or empty.
QString ShippedEngineKey();

// arguments include the program name first, as QCoreApplication::arguments() gives them.
Outcome ParseOptions(const QStringList &arguments);

}  // namespace ResolverOptionsParser
