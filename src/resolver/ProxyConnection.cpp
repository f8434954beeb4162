#include "ProxyConnection.h"

#include "NameLookup.h"

namespace {

constexpr qsizetype kHeadLimit = 16 * 1024;
constexpr qint64 kSocketBuffer = 256 * 1024;
// Past this much unsent to one side, nothing more is read from the other: a slow reader holds back a fast
// writer instead of filling our memory.
constexpr qint64 kPendingLimit = 1024 * 1024;

bool IsHopHeader(const QByteArray &name)
{
    const QByteArray lower = name.trimmed().toLower();
    return lower == "proxy-authorization" || lower == "proxy-connection" || lower == "connection"
        || lower == "keep-alive";
}

}  // namespace

ProxyConnection::ProxyConnection(QTcpSocket *client, FetchProxy *proxy)
    : QObject(proxy)
    , proxy(proxy)
    , settings(proxy->settings)
    , client(client)
{
    ++proxy->openConnections;
    client->setParent(this);
    client->setReadBufferSize(kSocketBuffer);
    upstream.setReadBufferSize(kSocketBuffer);
    quiet.setSingleShot(true);
    connect(&quiet, &QTimer::timeout, this, &ProxyConnection::End);
    quiet.start(settings.timeoutMilliseconds);
    connect(client, &QTcpSocket::readyRead, this, &ProxyConnection::OnClientReadable);
    connect(client, &QTcpSocket::bytesWritten, this, [this] { Relay(&upstream, this->client); });
    connect(client, &QTcpSocket::disconnected, this, &ProxyConnection::End);
    connect(&upstream, &QTcpSocket::connected, this, &ProxyConnection::OnUpstreamConnected);
    connect(&upstream, &QTcpSocket::readyRead, this, [this] { Relay(&upstream, this->client); });
    connect(&upstream, &QTcpSocket::bytesWritten, this, [this] { Relay(this->client, &upstream); });
    connect(&upstream, &QTcpSocket::disconnected, this, [this] { Relay(&upstream, this->client); });
    connect(&upstream, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (!relaying)  // the next judged address, if any; not from inside the socket's own signal
            QMetaObject::invokeMethod(this, &ProxyConnection::ConnectNext, Qt::QueuedConnection);
        else if (error != QAbstractSocket::RemoteHostClosedError)
            End();
    });
    OnClientReadable();
}

ProxyConnection::~ProxyConnection()
{
    if (proxy)
        --proxy->openConnections;
}

void ProxyConnection::OnClientReadable()
{
    if (ended)
        return;
    if (relaying) {
        Relay(client, &upstream);
        return;
    }
    if (lookup || upstream.state() != QAbstractSocket::UnconnectedState || !ReadHead())
        return;
    lookup = new NameLookup(settings.nameServers, this);
    connect(lookup, &NameLookup::Finished, this, &ProxyConnection::OnLookedUp);
    lookup->Start(host);
}

bool ProxyConnection::ReadHead()
{
    head += client->read(kHeadLimit + 4 - head.size());
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        if (head.size() > kHeadLimit)
            Refuse("HTTP/1.1 431 Request Header Fields Too Large");
        return false;
    }
    const QByteArray rest = head.mid(end + 4);
    const QList<QByteArray> lines = head.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    bool authorised = false;
    QByteArray headers;
    for (const QByteArray &line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = line.left(colon);
        if (name.trimmed().toLower() == "proxy-authorization")
            authorised = ReadUser(line.mid(colon + 1).trimmed());
        if (colon > 0 && !IsHopHeader(name))
            headers += line.trimmed() + "\r\n";
    }
    if (!authorised) {
        Refuse("HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"quillon\"");
        return false;
    }
    if (requestLine.size() != 3) {
        Refuse("HTTP/1.1 400 Bad Request");
        return false;
    }
    tunnel = requestLine[0] == "CONNECT";
    const QUrl target = QUrl::fromEncoded((tunnel ? "//" : "") + requestLine[1], QUrl::StrictMode);
    host = target.host();
    port = quint16(target.port(tunnel ? -1 : 80));
    if (host.isEmpty() || target.port(tunnel ? -1 : 80) <= 0
        || (!tunnel && target.scheme().toLower() != QLatin1String("http"))) {
        Refuse("HTTP/1.1 400 Bad Request");
        return false;
    }
    if (tunnel) {
        forward = rest;
    } else {
        QByteArray path = target.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
        if (!path.startsWith('/'))
            path.prepend('/');
        forward = requestLine[0] + ' ' + path + " HTTP/1.1\r\n" + headers + "Connection: close\r\n\r\n" + rest;
    }
    return true;
}

bool ProxyConnection::ReadUser(const QByteArray &authorization)
{
    if (!authorization.startsWith("Basic "))
        return false;
    const QByteArray credentials = QByteArray::fromBase64(authorization.mid(6));
    const qsizetype colon = credentials.indexOf(':');
    if (colon < 0 || credentials.mid(colon + 1) != settings.password)
        return false;
    user = credentials.left(std::min<qsizetype>(colon, 64));
    return true;
}

void ProxyConnection::OnLookedUp(const QList<QHostAddress> &found)
{
    lookup->deleteLater();
    lookup = nullptr;
    for (const QHostAddress &address : found)
        if (settings.mayConnect(address))
            addresses.append(address);
    if (found.isEmpty()) {
        Refuse("HTTP/1.1 502 Host Not Found");
    } else if (addresses.isEmpty()) {
        if (proxy) {
            ++proxy->refusals;
            ++proxy->refusalsByUser[user];
        }
        Refuse("HTTP/1.1 403 " + FetchProxy::kRefusalReason.toByteArray());
    } else {
        ConnectNext();
    }
}

void ProxyConnection::ConnectNext()
{
    if (ended)
        return;
    upstream.abort();
    if (addresses.isEmpty()) {
        Refuse("HTTP/1.1 502 Bad Gateway");
        return;
    }
    // The connection goes to the address that was judged, never to the name again.
    upstream.connectToHost(addresses.takeFirst(), port);
}

void ProxyConnection::OnUpstreamConnected()
{
    relaying = true;
    if (tunnel)
        client->write("HTTP/1.1 200 Connection established\r\n\r\n");
    upstream.write(forward);
    forward.clear();
    Relay(client, &upstream);
}

void ProxyConnection::Relay(QTcpSocket *from, QTcpSocket *to)
{
    if (ended || !relaying)
        return;
    bool moved = false;
    while (from->bytesAvailable() > 0 && to->bytesToWrite() < kPendingLimit) {
        to->write(from->read(kSocketBuffer));
        moved = true;
    }
    if (moved)
        quiet.start(settings.timeoutMilliseconds);
    // The server has said everything: the client gets the rest, then the close.
    if (from == &upstream && upstream.state() == QAbstractSocket::UnconnectedState && upstream.bytesAvailable() == 0)
        client->disconnectFromHost();
}

void ProxyConnection::Refuse(const QByteArray &statusLine)
{
    client->write(statusLine + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    client->disconnectFromHost();
}

void ProxyConnection::End()
{
    if (ended)
        return;
    ended = true;
    quiet.stop();
    upstream.disconnect(this);
    client->disconnect(this);
    upstream.abort();
    client->abort();
    deleteLater();
}
