#include "InstanceChannel.h"

#include <QDataStream>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtEndian>
#include <QTimer>

#include <memory>

namespace {

// A request is a path or an address; anything longer is not one of ours.
constexpr quint32 kMostRequestBytes = 64 * 1024;
// The window that runs may be busy for a moment (a dialog opening); one that has not answered by then is stuck.
constexpr int kAnswerMilliseconds = 5000;
constexpr int kConnectMilliseconds = 1000;
// What the window answers once it has the request.
constexpr char kTaken = 'k';

// The request as it travels: its length, then its bytes.
QByteArray Framed(const QByteArray &bytes)
{
    QByteArray framed(4, Qt::Uninitialized);
    qToBigEndian(quint32(bytes.size()), framed.data());
    return framed + bytes;
}

}  // namespace

InstanceChannel::InstanceChannel(const QString &socketPath, QObject *parent) : QObject(parent), socketPath(socketPath)
{
    // Only this user reaches the window; the runtime folder is the user's alone as well.
    server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server, &QLocalServer::newConnection, this, &InstanceChannel::Server_NewConnection);
}

QString InstanceChannel::SessionSocketPath()
{
    // A user logged in on two displays has a window on each: a file opened on one belongs to that one.
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    display.replace(unsafe, QStringLiteral("_"));
    const QString name = display.isEmpty() ? QStringLiteral("quillon") : QStringLiteral("quillon-") + display;
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QLatin1Char('/') + name;
}

bool InstanceChannel::HandOver(const LaunchRequest &request)
{
    const bool asks = request.What != LaunchRequest::Kind::None;
    if (asks && Deliver(request))
        return true;
    if (Listen())
        return false;
    // Two starts at once (a file manager opening two files): the other one listens now.
    return asks && Deliver(request);
}

bool InstanceChannel::Deliver(const LaunchRequest &request)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(kConnectMilliseconds))
        return false;
    socket.write(Framed(RequestBytes(request)));
    if (!socket.waitForBytesWritten(kAnswerMilliseconds))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(kAnswerMilliseconds))
            return false;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kTaken;
}

bool InstanceChannel::Listen()
{
    if (server.listen(socketPath))
        return true;
    if (server.serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // The socket is there: a window listens on it, or one that ended without closing it left it behind.
    QLocalSocket probe;
    probe.connectToServer(socketPath);
    if (probe.waitForConnected(kConnectMilliseconds))
        return false;
    QLocalServer::removeServer(socketPath);
    return server.listen(socketPath);
}

void InstanceChannel::Server_NewConnection()
{
    while (QLocalSocket *socket = server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A start that connects and says nothing (or too little) is not waited for long.
        QTimer::singleShot(kAnswerMilliseconds, socket, &QLocalSocket::abort);
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, received] {
            received->append(socket->readAll());
            if (received->size() < 4)
                return;
            const quint32 length = qFromBigEndian<quint32>(received->constData());
            if (length > kMostRequestBytes) {
                socket->abort();
                return;
            }
            if (quint32(received->size()) - 4 < length)
                return;
            const LaunchRequest request = RequestOfBytes(received->mid(4, length));
            if (request.What == LaunchRequest::Kind::None) {
                socket->abort();
                return;
            }
            disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
            socket->putChar(kTaken);
            socket->disconnectFromServer();
            // Taken from the event loop: the window may ask the user something, which must not run inside the
            // socket's own signal.
            QMetaObject::invokeMethod(
                this, [this, request] { emit Received(request); }, Qt::QueuedConnection);
        });
    }
}
