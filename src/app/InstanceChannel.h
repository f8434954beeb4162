#pragma once

#include "LaunchRequest.h"

#include <QLocalServer>
#include <QObject>
#include <QString>

// How a start with an argument hands it to the window that runs already, instead of opening a second one: a local
// socket in the user's runtime folder, one per display, which the first window listens on. A plain start opens a
// window of its own, as it always has, and hands nothing over.
class InstanceChannel : public QObject {
    Q_OBJECT

public:
    explicit InstanceChannel(const QString &socketPath, QObject *parent = nullptr);

    // The socket of this user's session on this display.
    static QString SessionSocketPath();

    // True when the window that runs already took the request: this start is to end. Otherwise (and always for a
    // plain start) this start's window takes the requests of later starts, unless another window takes them
    // already.
    bool HandOver(const LaunchRequest &request);
    bool Listening() const { return server.isListening(); }

signals:
    // A later start's request, for this window.
    void Received(const LaunchRequest &request);

private:
    bool Deliver(const LaunchRequest &request);
    bool Listen();
    void Server_NewConnection();

    QString socketPath;
    QLocalServer server;
};
