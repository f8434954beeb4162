#pragma once

#include "ResponseReader.h"

#include <QAbstractSocket>
#include <QString>

// The user-facing texts of the transfer control, in one place so the window and the tests see the same.
namespace TransferTexts {

QString Connecting(const QString &serverName);
QString RequestSent();
QString Receiving(qint64 receivedBytes);
QString Finished();
QString StoppedByUser();
QString ServerLine(const QString &serverName);

QString ConnectionError(int number);
// Nothing for a success or a redirect.
QString OutcomeError(const Outcome &outcome);
QString TooManyRedirects(int limit);

QString UnsupportedAddress(const QString &url);
QString InvalidAddress(const QString &url);
QString ForbiddenCharacters();
QString InvalidUseProxy(const QString &value);
QString MissingProxyName();
QString InvalidProxyPort(const QString &value);

}  // namespace TransferTexts

// The error number users know from the original Windows program for a socket failure.
int WinsockErrorNumber(QAbstractSocket::SocketError error);
