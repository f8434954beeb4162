#pragma once

#include "FetchProxy.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

class NameLookup;

// One client of the FetchProxy: its request header, the lookup and check of the host it names, the
// connection to the judged address, and then the bytes both ways until either side closes. One request per
// connection: a plain request is sent on with "Connection: close". Deletes itself at the end.
class ProxyConnection : public QObject {
    Q_OBJECT

public:
    ProxyConnection(QTcpSocket *client, FetchProxy *proxy);
    ~ProxyConnection() override;

private:
    void OnClientReadable();
    bool ReadHead();
    bool ReadUser(const QByteArray &authorization);
    void OnLookedUp(const QList<QHostAddress> &found);
    void ConnectNext();
    void OnUpstreamConnected();
    void Relay(QTcpSocket *from, QTcpSocket *to);
    void Refuse(const QByteArray &statusLine);
    void End();

    QPointer<FetchProxy> proxy;
    FetchProxy::Settings settings;
    QTcpSocket *client;  // a child of ours
    QTcpSocket upstream;
    QTimer quiet;
    NameLookup *lookup = nullptr;
    QByteArray head;
    QByteArray forward;  // what goes to the server before anything else: the rewritten request, or nothing
    bool tunnel = false;
    QByteArray user;
    QString host;
    quint16 port = 0;
    QList<QHostAddress> addresses;
    bool relaying = false;
    bool ended = false;
};
