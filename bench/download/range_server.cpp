// A server of one file that serves parts of it and resets every connection beyond the most it allows at once, each
// connection held to a speed, for the download benchmark (the tests' RangeServer on a port of the caller's):
//   quillon_range_server FILE --port PORT --most N --rate BYTES_PER_SECOND
#include "RangeServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument("file", "the file served");
    parser.addOptions({{"port", "port on 127.0.0.1", "PORT"},
                       {"most", "connections open at once; any beyond are reset", "N", "0"},
                       {"rate", "bytes a second on each connection; 0 for no limit", "BYTES", "0"}});
    parser.process(application);
    QFile file(parser.positionalArguments().value(0));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
        return 1;
    }
    const QByteArray body = file.readAll();
    RangeServer::Rules rules;
    rules.bytesPerSecond = parser.value("rate").toLongLong();
    rules.mostAtOnce = parser.value("most").toInt();
    RangeServer server;
    if (!server.Listen(body, body, rules, quint16(parser.value("port").toUInt()))) {
        std::fprintf(stderr, "cannot listen on port %s\n", qPrintable(parser.value("port")));
        return 1;
    }
    return QCoreApplication::exec();
}
