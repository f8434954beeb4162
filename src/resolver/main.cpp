#include "Resolution.h"
#include "ResolverOptions.h"
#include "ResolverService.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstring>

namespace {

// The child the service starts for a big page: page on standard input, answer page on standard output.
int ParsePage(const char *address, const char *contentType)
{
    QFile input;
    QFile output;
    if (!input.open(stdin, QIODevice::ReadOnly) || !output.open(stdout, QIODevice::WriteOnly))
        return 1;
    const QByteArray page = input.readAll();
    const QByteArray answer = Resolution::ComposeAnswerForPage(page, contentType, QUrl::fromEncoded(address));
    return output.write(answer) == answer.size() && output.flush() ? 0 : 1;
}

}  // namespace

int main(int argc, char *argv[])
{
    if (argc == 4 && std::strcmp(argv[1], "--parse-page") == 0)
        return ParsePage(argv[2], argv[3]);
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
    options.parserProgram = QCoreApplication::applicationFilePath();
    ResolverService service(options);
    QString error;
    if (!service.Listen(&error)) {
        std::fprintf(stderr, "quillon-resolver: cannot listen on %s port %u: %s\n",
                     qPrintable(options.listenAddress.toString()), unsigned(options.port), qPrintable(error));
        return 1;
    }
    std::fprintf(stdout, "quillon-resolver: listening on %s port %u%s\n", qPrintable(options.listenAddress.toString()),
                 unsigned(service.ServerPort()),
                 options.RefusesInternalAddresses() ? ", refusing pages on internal addresses" : "");
    std::fflush(stdout);
    return application.exec();
}
