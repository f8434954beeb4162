#include "EngineKeeper.h"
#include "HttpConnection.h"
#include "ParserPool.h"
#include "ResolverOptions.h"
#include "ResolverService.h"

#include <QCoreApplication>
#include <QHostAddress>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace {

// The listening socket systemd hands over when it started the service for a connection (socket activation):
// the first descriptor after standard error, announced in LISTEN_PID and LISTEN_FDS.
std::optional<int> HandedOverSocket()
{
    constexpr int kFirstHandedOver = 3;
    const bool forUs = qEnvironmentVariableIntValue("LISTEN_PID") == int(::getpid());
    const bool handed = forUs && qEnvironmentVariableIntValue("LISTEN_FDS") >= 1;
    // The parser processes are not to take them for theirs.
    qunsetenv("LISTEN_PID");
    qunsetenv("LISTEN_FDS");
    qunsetenv("LISTEN_FDNAMES");
    if (!handed)
        return std::nullopt;
    return kFirstHandedOver;
}

// The address and port the socket listens on; whether pages on internal addresses are refused follows them.
void TakeSocketAddress(int descriptor, ResolverOptions &options)
{
    const auto [host, port] = HttpConnection::LocalOf(descriptor);
    if (host.isNull())
        return;
    options.listenAddress = host;
    options.port = port;
}

// --update-engine: one check, its line, and the exit code of its outcome.
int UpdateEngineOnce(const ResolverOptions &options)
{
    EngineKeeper keeper(options);
    int code = 2;
    QObject::connect(&keeper, &EngineKeeper::CheckFinished, [&code](const EngineUpdate::Outcome &outcome) {
        std::fprintf(stdout, "%s\n", qPrintable(outcome.line));
        switch (outcome.kind) {
        case EngineUpdate::Outcome::Kind::Installed:
        case EngineUpdate::Outcome::Kind::Current:
            code = 0;
            break;
        case EngineUpdate::Outcome::Kind::Refused:
            code = 1;
            break;
        case EngineUpdate::Outcome::Kind::Unreachable:
            code = 2;
            break;
        }
        QCoreApplication::quit();
    });
    keeper.CheckNow();
    QCoreApplication::exec();
    return code;
}

}  // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--parse-pages") == 0)
        return ParserPool::RunParserProcess(std::strtoll(argv[2], nullptr, 10));
    QCoreApplication application(argc, argv);
    const auto outcome = ResolverOptionsParser::ParseOptions(QCoreApplication::arguments());
    if (const auto *help = std::get_if<ResolverOptionsParser::ShowHelp>(&outcome)) {
        std::fputs(qPrintable(help->text), stdout);
        return 0;
    }
    if (const auto *bad = std::get_if<ResolverOptionsParser::BadOption>(&outcome)) {
        std::fprintf(stderr, "quillon-resolver: %s\nTry 'quillon-resolver --help'.\n", qPrintable(bad->message));
        return 2;
    }
    ResolverOptions options = std::get<ResolverOptions>(outcome);
    if (options.updateEngine)
        return UpdateEngineOnce(options);
    options.parserProgram = QCoreApplication::applicationFilePath();
    const std::optional<int> handedOver = HandedOverSocket();
    if (handedOver)
        TakeSocketAddress(*handedOver, options);
    ResolverService service(options);
    QString error;
    if (!(handedOver ? service.ListenOn(*handedOver, &error) : service.Listen(&error))) {
        std::fprintf(stderr, "quillon-resolver: cannot listen on %s port %u: %s\n",
                     qPrintable(options.listenAddress.toString()), unsigned(options.port), qPrintable(error));
        return 1;
    }
    std::fprintf(stdout, "quillon-resolver: listening on %s port %u%s; %s\n",
                 qPrintable(options.listenAddress.toString()), unsigned(service.ServerPort()),
                 options.RefusesInternalAddresses() ? ", refusing pages on internal addresses" : "",
                 qPrintable(service.DescribeEngines()));
    std::fflush(stdout);
    if (EngineKeeper *engines = service.Engines())
        QObject::connect(engines, &EngineKeeper::Said, [](const QString &line) {
            std::fprintf(stdout, "quillon-resolver: %s\n", qPrintable(line));
            std::fflush(stdout);
        });
    return application.exec();
}
