#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Real HTTP peers for the tests, started on free loopback ports and stopped when the object goes.

// Python's http.server, an HTTP/1.0 server, serving one folder.
class PythonHttpServer {
public:
    ~PythonHttpServer();
    bool Start(const QString &folder);
    quint16 Port() const { return port; }
    QString Error() const { return error; }

private:
    QProcess process;
    quint16 port = 0;
    QString error;
};

// tinyproxy in the foreground with Basic authorisation, its configuration in a temporary folder.
class Tinyproxy {
public:
    ~Tinyproxy();
    bool Start(const QString &login, const QString &password);
    quint16 Port() const { return port; }
    QString Error() const { return error; }

private:
    bool StartOnce(const QString &login, const QString &password);

    QTemporaryDir folder;
    QProcess process;
    quint16 port = 0;
    QString error;
};

// A loopback port nobody listens on at the moment of asking.
quint16 FreeLoopbackPort();
