#pragma once

#include "ResponseReader.h"

#include <QAbstractSocket>
#include <QList>
#include <QSslError>
#include <QString>

#include <chrono>

// The user-facing texts of the transfer control, in one place so the window and the tests see the same.
namespace TransferTexts {

QString Connecting(const QString &serverName);
QString RequestSent();
QString Receiving(qint64 receivedBytes);
QString Finished();
QString StoppedByUser();
QString ServerLine(const QString &serverName);

QString ConnectionError(int number);
// A size as the user reads it: "16 МБ", "64 КБ", or bytes when it is neither.
QString SizeText(qint64 bytes);
// A size as a person reads it at a glance: "812 байт", "64 КБ", "512 МБ", "3,4 ГБ" (one decimal below 10 МБ
// and for ГБ).
QString ReadableSize(qint64 bytes);
// The connection dropped and the download goes on from the bytes on disk.
QString ResumingFrom(qint64 bytes, int attempt, int attempts);
// The server's answer to the request for the rest does not fit what was received: the download starts over.
QString StartingOver();
// Writing the video to disk.
QString NoRoomForVideo(qint64 needed, qint64 available);
QString VideoFileError(const QString &path, const QString &reason);
// The time limits of a transfer, in whole seconds (a part of a second counts as one).
int Seconds(std::chrono::milliseconds limit);
QString ConnectTimedOut(const QString &serverName, int seconds);
QString ProxyConnectTimedOut(const QString &proxyName, quint16 proxyPort, int seconds);
QString SilenceTimedOut(const QString &serverName, int seconds, qint64 receivedBytes);
// ConnectionError followed by what the number means for the user, naming whom the program tried to reach:
// peer is the server's "host[:port]", or the proxy's when proxy is true.
QString ConnectionFailed(int number, const QString &peer, bool proxy);
// Nothing for a success or a redirect.
QString OutcomeError(const Outcome &outcome);
QString TooManyRedirects(int limit);

QString UnsupportedAddress(const QString &url);
QString InvalidAddress(const QString &url);
QString ForbiddenCharacters();

QString ProxyLoginRefused();
QString ProxyWantsLogin();

// Secure connections: the server's certificate did not pass (every reason named), the TLS handshake
// failed for another reason, or no TLS library is at hand.
QString CertificateRejected(const QString &serverName, const QList<QSslError> &errors);
QString HandshakeFailed(const QString &serverName, const QString &reason);
QString ServerClosedDuringHandshake(const QString &serverName);
QString SecureConnectionError(const QString &serverName, const QString &reason);
QString SecureConnectionsUnavailable();
// The tunnel through the proxy to a secure server.
QString TunnelRefused(const QString &serverName, const QByteArray &statusLine);
QString TunnelClosed(const QString &serverName);
QString TunnelAnswerNotHttp();
QString TunnelAnswerTooLarge();

}  // namespace TransferTexts

// The number Quillon shows for a socket failure: the Winsock numbering (10061 refused, 10060 timed out, ...),
// which users quote when they ask for help.
int WinsockErrorNumber(QAbstractSocket::SocketError error);
