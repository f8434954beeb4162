#include "ResolverOptions.h"

#include "EngineChoice.h"
#include "EngineFolder.h"
#include "Version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <functional>

namespace ResolverOptionsParser {

namespace {

const QString kHelpText =
    QStringLiteral("Usage: quillon-resolver [options]\n"
                   "Finds the direct video address on a web page for Quillon (POST /xurl/ with the form field url=),\n"
                   "and answers Quillon's update check (GET /version.info).\n"
                   "\n"
                   "Options:\n"
                   "  --listen ADDRESS         address to listen on (default 127.0.0.1). On any address other than\n"
                   "                           loopback, pages on loopback, private, link-local, multicast and\n"
                   "                           reserved addresses are refused, unless --allow-private is given\n"
                   "  --port PORT              port to listen on, 1-65535 (default %4)\n"
                   "  --current-version TEXT   what GET /version.info answers (default %1)\n"
                   "  --page-limit BYTES       largest page fetched, 1024-1073741824 (default 4194304)\n"
                   "  --timeout SECONDS        time limit for one page: fetching it, redirects included, and\n"
                   "                           parsing it, 1-600 (default 20)\n"
                   "  --client-timeout SECONDS time a client has to send its whole request, 1-3600 (default 30)\n"
                   "  --header-timeout SECONDS time a client has to send a request header (and an idle kept\n"
                   "                           connection stays open), 1-3600 (default 10)\n"
                   "  --parsers N              pages parsed at once, each in a process of its own, 1-64\n"
                   "                           (default 2)\n"
                   "  --parse-memory MIB       memory one page's parse may take, and one stream's ffmpeg beyond\n"
                   "                           what it needs to start, 16-65536 (default 512)\n"
                   "  --connections-per-address N\n"
                   "                           connections one client address may hold, 1-400 (default 32)\n"
                   "  --resolutions-per-address N\n"
                   "                           resolutions one client address may have under way, 1-64\n"
                   "                           (default 8)\n"
                   "  --allow-private          fetch pages on internal addresses even when listening on others\n"
                   "  --engines LIST           how the video is looked for, in this order, comma-separated:\n"
                   "                           builtin (the service's own reading of the page) and yt-dlp\n"
                   "                           (default builtin,yt-dlp); a page that one of yt-dlp's site\n"
                   "                           extractors claims goes to yt-dlp first\n"
                   "  --yt-dlp PATH            the yt-dlp program, a Python one, and no updates of it (default:\n"
                   "                           the newer of yt-dlp on PATH and the release the service keeps;\n"
                   "                           %2)\n"
                   "  --engine-dir DIR         where the service keeps the yt-dlp releases it downloads (default\n"
                   "                           $XDG_DATA_HOME/quillon/engines)\n"
                   "  --engine-check-hours N   how often yt-dlp's releases are checked for a newer one, and at\n"
                   "                           start; 0: never (default 24)\n"
                   "  --engine-source URL      the folder of yt-dlp's release (default yt-dlp's latest:\n"
                   "                           https://github.com/yt-dlp/yt-dlp/releases/latest/download/)\n"
                   "  --engine-key FILE        the key the release's SHA2-256SUMS must be signed with (default\n"
                   "                           yt-dlp's release key, installed with Quillon)\n"
                   "  --update-engine          check for a newer yt-dlp now, say what was done in one line, and\n"
                   "                           end: 0 the engine in use is the newest that could be verified,\n"
                   "                           1 a release was refused, 2 the source could not be reached\n"
                   "  --max-height N           tallest picture of the first link among yt-dlp's formats,\n"
                   "                           144-4320 (default 1080); taller ones are offered after it\n"
                   "  --workers N              yt-dlp and ffmpeg processes at once, 1-64 (default 4)\n"
                   "  --secret TEXT            key that signs the service's /media/ links, so that any instance\n"
                   "                           given the same key serves them (default: drawn at start)\n"
                   "  --help                   show this text\n"
                   "\n"
                   "Videos that are only streamed (HLS, DASH) are remuxed into one file by ffmpeg (%3).\n");

QString DescribeFound(const QString &name, const QString &path, const QString &without)
{
    return path.isEmpty() ? QStringLiteral("not found: %1").arg(without)
                          : QStringLiteral("%1 found at %2").arg(name, path);
}

std::optional<QList<Engine>> ReadEngines(const QString &text)
{
    QList<Engine> engines;
    for (const QString &name : text.split(QLatin1Char(','))) {
        const QString trimmed = name.trimmed().toLower();
        const std::optional<Engine> engine = trimmed == QLatin1String("builtin") ? std::optional(Engine::Builtin)
            : trimmed == QLatin1String("yt-dlp")                                 ? std::optional(Engine::YtDlp)
                                                                                 : std::nullopt;
        if (!engine || engines.contains(*engine))
            return std::nullopt;
        engines.append(*engine);
    }
    return engines;
}

std::optional<qint64> ReadNumber(const QString &text, qint64 lowest, qint64 highest)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

struct EngineOptions {
    const QCommandLineOption &folder;
    const QCommandLineOption &source;
    const QCommandLineOption &key;
    const QCommandLineOption &update;
};

std::optional<BadOption> ReadEngineOptions(const QCommandLineParser &parser, const EngineOptions &names,
                                           ResolverOptions &options)
{
    if (parser.isSet(names.folder)) {
        options.engineFolder = parser.value(names.folder);
        if (options.engineFolder.isEmpty())
            return BadOption{QStringLiteral("--engine-dir wants a folder.")};
    }
    if (parser.isSet(names.source)) {
        QUrl source(parser.value(names.source), QUrl::StrictMode);
        if (!source.isValid() || source.host().isEmpty()
            || (source.scheme() != QLatin1String("https") && source.scheme() != QLatin1String("http")))
            return BadOption{QStringLiteral("--engine-source wants the http:// or https:// address of a folder, not "
                                            "'%1'.")
                                 .arg(parser.value(names.source))};
        if (!source.path().endsWith(QLatin1Char('/')))
            source.setPath(source.path() + QLatin1Char('/'));
        options.engineSource = source;
    }
    if (parser.isSet(names.key)) {
        options.engineKey = parser.value(names.key);
        if (!QFileInfo(options.engineKey).isFile() || !QFileInfo(options.engineKey).isReadable())
            return BadOption{QStringLiteral("--engine-key: %1 is no file that can be read.").arg(options.engineKey)};
    }
    options.updateEngine = parser.isSet(names.update);
    if (options.updateEngine && !options.ytDlpPath.isEmpty())
        return BadOption{QStringLiteral("--update-engine updates the yt-dlp the service keeps; --yt-dlp names "
                                        "another.")};
    return std::nullopt;
}

}  // namespace

QString ShippedEngineKey()
{
    const QString name = QStringLiteral("yt-dlp-release-signing.asc");
    const QDir programFolder(QCoreApplication::applicationDirPath());
    for (const QString &path :
         {programFolder.filePath(name), programFolder.filePath(QStringLiteral("../share/quillon/") + name)})
        if (QFileInfo(path).isFile())
            return QDir::cleanPath(path);
    return QString();
}

Outcome ParseOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption listen(QStringLiteral("listen"), QString(), QStringLiteral("address"));
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("port"));
    const QCommandLineOption version(QStringLiteral("current-version"), QString(), QStringLiteral("text"));
    const QCommandLineOption pageLimit(QStringLiteral("page-limit"), QString(), QStringLiteral("bytes"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QString(), QStringLiteral("seconds"));
    const QCommandLineOption clientTimeout(QStringLiteral("client-timeout"), QString(), QStringLiteral("seconds"));
    const QCommandLineOption headerTimeout(QStringLiteral("header-timeout"), QString(), QStringLiteral("seconds"));
    const QCommandLineOption parsers(QStringLiteral("parsers"), QString(), QStringLiteral("n"));
    const QCommandLineOption parseMemory(QStringLiteral("parse-memory"), QString(), QStringLiteral("mib"));
    const QCommandLineOption connectionsPerAddress(QStringLiteral("connections-per-address"), QString(),
                                                   QStringLiteral("n"));
    const QCommandLineOption resolutionsPerAddress(QStringLiteral("resolutions-per-address"), QString(),
                                                   QStringLiteral("n"));
    const QCommandLineOption allowPrivate(QStringLiteral("allow-private"));
    const QCommandLineOption engines(QStringLiteral("engines"), QString(), QStringLiteral("list"));
    const QCommandLineOption ytDlp(QStringLiteral("yt-dlp"), QString(), QStringLiteral("path"));
    const QCommandLineOption maxHeight(QStringLiteral("max-height"), QString(), QStringLiteral("n"));
    const QCommandLineOption workers(QStringLiteral("workers"), QString(), QStringLiteral("n"));
    const QCommandLineOption secret(QStringLiteral("secret"), QString(), QStringLiteral("text"));
    const QCommandLineOption engineDir(QStringLiteral("engine-dir"), QString(), QStringLiteral("dir"));
    const QCommandLineOption engineHours(QStringLiteral("engine-check-hours"), QString(), QStringLiteral("n"));
    const QCommandLineOption engineSource(QStringLiteral("engine-source"), QString(), QStringLiteral("url"));
    const QCommandLineOption engineKey(QStringLiteral("engine-key"), QString(), QStringLiteral("file"));
    const QCommandLineOption updateEngine(QStringLiteral("update-engine"));
    const QCommandLineOption help(QStringLiteral("help"));
    parser.addOptions({listen,
                       port,
                       version,
                       pageLimit,
                       timeout,
                       clientTimeout,
                       headerTimeout,
                       parsers,
                       parseMemory,
                       connectionsPerAddress,
                       resolutionsPerAddress,
                       allowPrivate,
                       engines,
                       ytDlp,
                       maxHeight,
                       workers,
                       secret,
                       engineDir,
                       engineHours,
                       engineSource,
                       engineKey,
                       updateEngine,
                       help});

    if (!parser.parse(arguments))
        return BadOption{parser.errorText()};
    if (parser.isSet(help)) {
        QStringList problems;
        const QList<EngineCandidate> candidates =
            EngineChoice::FindCandidates(parser.value(ytDlp),
                                         parser.isSet(engineDir) ? parser.value(engineDir)
                                                                 : EngineFolder::DefaultFolder(),
                                         &problems);
        return ShowHelp{kHelpText.arg(AppVersion(),
                                      candidates.isEmpty()
                                          ? QStringLiteral("now none: the built-in engine works alone")
                                          : QStringLiteral("now ") + EngineChoice::Describe(candidates.first(), true),
                                      DescribeFound(QStringLiteral("ffmpeg"),
                                                    QStandardPaths::findExecutable(QStringLiteral("ffmpeg")),
                                                    QStringLiteral("such videos are not found")),
                                      QString::number(kDefaultServicePort))};
    }
    if (!parser.positionalArguments().isEmpty())
        return BadOption{QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first())};

    ResolverOptions options;
    if (parser.isSet(listen)) {
        const QString text = parser.value(listen);
        options.listenAddress =
            text == QLatin1String("localhost") ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(text);
        if (options.listenAddress.isNull())
            return BadOption{
                QStringLiteral("--listen wants an IP address such as 127.0.0.1 or ::, not '%1'.").arg(text)};
    }
    if (parser.isSet(port)) {
        const auto value = ReadNumber(parser.value(port), 1, 65535);
        if (!value)
            return BadOption{
                QStringLiteral("--port wants a number from 1 to 65535, not '%1'.").arg(parser.value(port))};
        options.port = quint16(*value);
    }
    if (parser.isSet(version)) {
        options.currentVersion = parser.value(version);
        if (options.currentVersion.isEmpty())
            return BadOption{QStringLiteral("--current-version wants a non-empty text.")};
    }
    if (parser.isSet(pageLimit)) {
        const auto value = ReadNumber(parser.value(pageLimit), 1024, qint64(1) << 30);
        if (!value)
            return BadOption{QStringLiteral("--page-limit wants a number of bytes from 1024 to 1073741824, not '%1'.")
                                 .arg(parser.value(pageLimit))};
        options.pageLimit = *value;
    }
    if (parser.isSet(timeout)) {
        const auto value = ReadNumber(parser.value(timeout), 1, 600);
        if (!value)
            return BadOption{QStringLiteral("--timeout wants a number of seconds from 1 to 600, not '%1'.")
                                 .arg(parser.value(timeout))};
        options.fetchTimeoutSeconds = int(*value);
    }
    if (parser.isSet(clientTimeout)) {
        const auto value = ReadNumber(parser.value(clientTimeout), 1, 3600);
        if (!value)
            return BadOption{QStringLiteral("--client-timeout wants a number of seconds from 1 to 3600, not '%1'.")
                                 .arg(parser.value(clientTimeout))};
        options.clientTimeoutSeconds = int(*value);
    }
    const struct {
        const QCommandLineOption &option;
        qint64 lowest;
        qint64 highest;
        const char *unit;
        std::function<void(qint64)> store;
    } counts[]{
        {headerTimeout, 1, 3600, "a number of seconds", [&](qint64 v) { options.headerTimeoutSeconds = int(v); }},
        {parsers, 1, 64, "a number", [&](qint64 v) { options.parsers = int(v); }},
        {parseMemory, 16, 65536, "a number of MiB", [&](qint64 v) { options.parseMemoryMiB = v; }},
        {connectionsPerAddress, 1, 400, "a number", [&](qint64 v) { options.connectionsPerAddress = int(v); }},
        {resolutionsPerAddress, 1, 64, "a number", [&](qint64 v) { options.resolutionsPerAddress = int(v); }},
        {maxHeight, 144, 4320, "a number", [&](qint64 v) { options.maxHeight = int(v); }},
        {workers, 1, 64, "a number", [&](qint64 v) { options.workers = int(v); }},
        {engineHours, 0, 8760, "a number of hours", [&](qint64 v) { options.engineCheckHours = int(v); }},
    };
    for (const auto &count : counts) {
        if (!parser.isSet(count.option))
            continue;
        const auto value = ReadNumber(parser.value(count.option), count.lowest, count.highest);
        if (!value)
            return BadOption{QStringLiteral("--%1 wants %2 from %3 to %4, not '%5'.")
                                 .arg(count.option.names().constFirst(), QLatin1String(count.unit))
                                 .arg(count.lowest)
                                 .arg(count.highest)
                                 .arg(parser.value(count.option))};
        count.store(*value);
    }
    options.allowPrivate = parser.isSet(allowPrivate);
    if (parser.isSet(engines)) {
        const std::optional<QList<Engine>> list = ReadEngines(parser.value(engines));
        if (!list)
            return BadOption{QStringLiteral("--engines wants builtin and yt-dlp, each once, separated by commas, "
                                            "not '%1'.")
                                 .arg(parser.value(engines))};
        options.engines = *list;
    }
    if (parser.isSet(ytDlp)) {
        options.ytDlpPath = parser.value(ytDlp);
        const auto launch = YtDlpProgram::Inspect(options.ytDlpPath);
        if (const QString *problem = std::get_if<QString>(&launch))
            return BadOption{QStringLiteral("--yt-dlp: %1.").arg(*problem)};
    }
    if (const auto bad = ReadEngineOptions(parser, {engineDir, engineSource, engineKey, updateEngine}, options))
        return *bad;
    if (parser.isSet(secret)) {
        options.secret = parser.value(secret).toUtf8();
        if (options.secret.isEmpty())
            return BadOption{QStringLiteral("--secret wants a non-empty text.")};
    }
    return options;
}

}  // namespace ResolverOptionsParser
