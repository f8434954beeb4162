#pragma once

#include "PeerProcess.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>

// Real HTTP peers for the tests, started on free loopback ports and stopped when the object goes (see
// PeerProcess; nginx is Nginx).

// Python's http.server, an HTTP/1.0 server, serving one folder.
class PythonHttpServer {
public:
    bool Start(const QString &folder);
    quint16 Port() const { return port; }
    QString Error() const { return peer.Error(); }

private:
    PeerProcess peer{QStringLiteral("python3 http.server")};
    quint16 port = 0;
};

// tinyproxy in the foreground with Basic authorisation, its configuration in a temporary folder. With
// connectPorts, a CONNECT tunnel may go to those ports only; without, tinyproxy allows it to any port.
class Tinyproxy {
public:
    bool Start(const QString &login, const QString &password, const QList<quint16> &connectPorts = {});
    quint16 Port() const { return peer.Ports().value(0); }
    QString Error() const { return peer.Error(); }

private:
    bool WriteConfig(quint16 port, const QString &login, const QString &password, const QList<quint16> &connectPorts);

    QTemporaryDir folder;
    PeerProcess peer{QStringLiteral("tinyproxy")};
};
