#pragma once

#include "Version.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <variant>

struct ResolverOptions {
    QHostAddress listenAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 8397;
    QString currentVersion = AppVersion();
    qint64 pageLimit = 4 * 1024 * 1024;
    int fetchTimeoutSeconds = 20;
    int clientTimeoutSeconds = 30;
    bool allowPrivate = false;
    // Not an option: the program that parses big pages in a child process (the service's own executable,
    // run with --parse-page). Empty: every page is parsed on a thread.
    QString parserProgram;

    // Listening on loopback serves one user, whose own network pages may well be; listening anywhere else
    // serves strangers, who must not reach the machine's own network through us.
    bool RefusesInternalAddresses() const { return !allowPrivate && !listenAddress.isLoopback(); }
};

namespace ResolverOptionsParser {

struct ShowHelp {
    QString text;
};

struct BadOption {
    QString message;
};

using Outcome = std::variant<ResolverOptions, ShowHelp, BadOption>;

// arguments include the program name first, as QCoreApplication::arguments() gives them.
Outcome ParseOptions(const QStringList &arguments);

}  // namespace ResolverOptionsParser
