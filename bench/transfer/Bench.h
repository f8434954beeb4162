#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

struct BenchOptions {
    QUrl Url;  // the body on the loopback server
    QString Source;  // the served file itself, to check every saved copy byte for byte
    QString TargetDir;  // where curl and the save flow write, on the disk being compared
    int Runs = 5;
    QString Subject = QStringLiteral("dc");  // the client compared with curl; a reference can stand in for it
    QStringList References;  // bare-socket clients timed beside DC, to tell DC's costs from Qt's
    QString WritePiece = QStringLiteral("1048576");  // bytes per write() when a child saves the body
};

// Times curl and DC against the same server and disk, run after run, and prints the medians and ratios.
int RunBench(const BenchOptions &options);
