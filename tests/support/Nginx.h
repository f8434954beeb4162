#pragma once

#include "PeerProcess.h"

#include <QString>
#include <QTemporaryDir>

#include <functional>

// nginx in the foreground, one process, on free ports of 127.0.0.1, with its configuration, pid, log and
// temporary files in a folder of its own; stopped when the object goes. One process: nothing to clean up but
// the process itself, and the files it serves stay readable whoever starts it. Like a real download host it
// serves from the page cache with sendfile, and it logs no access, so that it is the fastest part of any road.
class Nginx {
public:
    // The lines inside "http { }" for the given ports: the servers, each with its own "listen 127.0.0.1:PORT",
    // and whatever they need beyond the types of pages and videos every configuration has.
    using Servers = std::function<QString(const QList<quint16> &ports)>;

    // Serves the folder over HTTP on one port; with a rate, each connection held to it (limit_rate, as "16m").
    bool ServeFolder(const QString &root, const QString &rate = QString());
    bool Start(int portCount, const Servers &servers);
    void Stop() { peer.Stop(); }

    quint16 Port(int index = 0) const { return peer.Ports().value(index); }
    qint64 ProcessId() const { return peer.ProcessId(); }
    // nginx's own folder, which a caller may also serve pages from.
    QString Folder() const { return folder.path(); }
    // Why it did not start, with its error log.
    QString Error() const { return error; }
    // For the launcher: see PeerProcess.
    void ForwardOutput() { peer.ForwardOutput(); }

private:
    bool WriteConfig(const QString &servers);

    QTemporaryDir folder;
    PeerProcess peer{QStringLiteral("nginx")};
    QString error;
};
