#include "ResolverTestSupport.h"

#include "AddressPolicy.h"
#include "Windows1251.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ResolverTestSupport {

std::unique_ptr<ResolverService> StartLocalService(ResolverOptions options, bool refuseInternal)
{
    return StartLocalService(options, refuseInternal ? &AddressPolicy::MayConnectTo : ResolverService::AddressJudge());
}

std::unique_ptr<ResolverService> StartLocalService(ResolverOptions options,
                                                   const ResolverService::AddressJudge &mayConnect)
{
    options.listenAddress = QHostAddress(QHostAddress::LocalHost);
    options.port = 0;
    if (options.parserProgram.isEmpty())
        options.parserProgram = QStringLiteral(RESOLVER_PROGRAM);
    // Tests keep to this machine: yt-dlp's own releases are never checked, nor a folder of the user's read.
    if (options.engineSource == ResolverOptions().engineSource)
        options.engineCheckHours = 0;
    if (options.engineFolder.isEmpty())
        options.engineFolder = QDir::temp().filePath(QStringLiteral("quillon-tests-without-engines"));
    auto service = std::make_unique<ResolverService>(options, mayConnect);
    QString error;
    if (!service->Listen(&error))
        qWarning("service does not listen: %s", qPrintable(error));
    return service;
}

quint16 FindFreePort()
{
    return FreeLoopbackPort();
}

NginxServer::NginxServer() = default;

NginxServer::~NginxServer() = default;

void NginxServer::WritePage(const QString &path, const QByteArray &content)
{
    const QString file = folder.filePath(QStringLiteral("www/") + path);
    QDir().mkpath(QFileInfo(file).path());
    QFile out(file);
    if (out.open(QIODevice::WriteOnly))
        out.write(content);
}

QString NginxServer::FilePath(const QString &path) const
{
    return folder.filePath(QStringLiteral("www/") + path);
}

void NginxServer::EnableTls(const QString &certificateFile, const QString &keyFile)
{
    tlsCertificate = certificateFile;
    tlsKey = keyFile;
}

bool NginxServer::Start(QString *error)
{
    const QString root = folder.path();
    QDir().mkpath(root + QStringLiteral("/www"));
    const bool tls = !tlsCertificate.isEmpty();
    const bool started = nginx.Start(tls ? 2 : 1, [&](const QList<quint16> &ports) {
        QString servers = QStringLiteral(R"(  server {
    listen 127.0.0.1:%2;
    root %1/www;
    location = /moved { return 302 /pages/og.html; }
    location = /moved-twice { return 301 http://127.0.0.1:%2/moved; }
    location = /loop { return 302 /loop; }
    location /cp1251/ { types { } default_type "text/html; charset=windows-1251"; }
  }
)")
                              .arg(root)
                              .arg(ports.first());
        if (tls)
            servers += QStringLiteral("  server { listen 127.0.0.1:%1 ssl; root %2/www; ssl_certificate %3; "
                                      "ssl_certificate_key %4; }\n")
                           .arg(QString::number(ports.last()), root, tlsCertificate, tlsKey);
        return servers + extraConfig;
    });
    if (!started) {
        *error = nginx.Error();
        return false;
    }
    port = nginx.Port(0);
    tlsPort = tls ? nginx.Port(1) : 0;
    return true;
}

bool MakeLocalhostCertificate(const QString &folder, QString *certificateFile, QString *keyFile)
{
    *certificateFile = folder + QStringLiteral("/localhost.crt");
    *keyFile = folder + QStringLiteral("/localhost.key");
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=localhost", "-addext",
                   "subjectAltName=DNS:localhost", "-keyout", *keyFile, "-out", *certificateFile});
    return openssl.waitForFinished(60000) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0;
}

QString NginxServer::Address(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(port).arg(path);
}

namespace {

bool IsPlain(char16_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

QByteArray EncodeAsProgram(const QString &address)
{
    QByteArray encoded;
    for (const QChar c : address) {
        if (IsPlain(c.unicode()))
            encoded += char(c.unicode());
        else if (c == QLatin1Char(' '))
            encoded += '+';
        else
            encoded +=
                '%' + QByteArray::number(Windows1251::CodeOf(c).value_or('?'), 16).toUpper().rightJustified(2, '0');
    }
    return encoded;
}

QByteArray EncodeAsUtf8Form(const QString &address)
{
    QByteArray encoded;
    for (const char byte : address.toUtf8()) {
        if (IsPlain(uchar(byte)))
            encoded += byte;
        else if (byte == ' ')
            encoded += '+';
        else
            encoded += '%' + QByteArray::number(uchar(byte), 16).toUpper().rightJustified(2, '0');
    }
    return encoded;
}

QByteArray ComposeResolutionRequest(const QByteArray &encodedAddress, const QByteArray &serviceHost, bool throughProxy)
{
    const QByteArray body = "url=" + encodedAddress;
    QByteArray request =
        throughProxy ? "POST http://" + serviceHost + "/xurl/ HTTP/1.0\r\n" : QByteArray("POST /xurl/ HTTP/1.0\r\n");
    request += "Content-Type: application/x-www-form-urlencoded; charset=UTF-8\r\n";
    request += "User-Agent: Opera/9.00 (Windows NT 5.1; ru)\r\n";
    request += "Host: " + serviceHost + "\r\n";
    request += "Accept: */*\r\n";
    request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    request += "Content-Transfer-Encoding: binary\r\n";
    request += throughProxy ? "Proxy-Connection: Close\r\n" : "Connection: Close\r\n";
    request += "\r\n" + body + "\r\n";
    return request;
}

QByteArray ExchangeRaw(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    QByteArray answer;
    QEventLoop loop;
    bool closed = false;
    QObject::connect(&socket, &QTcpSocket::connected, [&] { socket.write(request); });
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { answer += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, [&] {
        closed = true;
        loop.quit();
    });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, [&] {
        if (socket.state() != QAbstractSocket::ConnectedState)
            loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    socket.connectToHost(QHostAddress::LocalHost, port);
    loop.exec();
    answer += socket.readAll();
    return closed || socket.state() == QAbstractSocket::UnconnectedState ? answer : QByteArray();
}

RawExchange ExchangeTellingReset(quint16 port, const QByteArray &request, int pauseMilliseconds)
{
    RawExchange exchange;
    const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (pauseMilliseconds > 0) {
        const int small = 4096;
        ::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(descriptor, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::send(descriptor, request.constData(), size_t(request.size()), MSG_NOSIGNAL) != request.size()) {
        ::close(descriptor);
        return exchange;
    }
    ::fcntl(descriptor, F_SETFL, O_NONBLOCK);
    QEventLoop loop;
    QSocketNotifier readable(descriptor, QSocketNotifier::Read);
    QObject::connect(&readable, &QSocketNotifier::activated, &loop, [&] {
        char piece[65536];
        const ssize_t received = ::recv(descriptor, piece, pauseMilliseconds > 0 ? 8192 : sizeof piece, 0);
        if (received > 0) {
            exchange.answer.append(piece, received);
            if (pauseMilliseconds > 0) {
                readable.setEnabled(false);
                QTimer::singleShot(pauseMilliseconds, &readable, [&] { readable.setEnabled(true); });
            }
        } else if (received == 0 || (errno != EAGAIN && errno != EINTR)) {
            exchange.reset = received < 0 && errno == ECONNRESET;
            loop.quit();
        }
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    ::close(descriptor);
    return exchange;
}

QByteArray BodyOf(const QByteArray &answer)
{
    const qsizetype end = answer.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : answer.mid(end + 4);
}

QString ReadVideoLink(const QByteArray &answer)
{
    if (!answer.contains(QStringLiteral("Нажмите, чтобы").toUtf8()))
        return QString();
    const qsizetype start = answer.indexOf("href=\"http");
    if (start < 0)
        return QString();
    const qsizetype end = answer.indexOf('"', start + 6);
    const QByteArray link = answer.mid(start + 6, end < 0 ? -1 : end - start - 6);
    QString decoded = QString::fromUtf8(link);
    static const QRegularExpression numeric(QStringLiteral("&#(\\d+);"));
    for (auto match = numeric.match(decoded); match.hasMatch(); match = numeric.match(decoded))
        decoded.replace(match.capturedStart(), match.capturedLength(), QChar(match.captured(1).toInt()));
    return decoded.replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
}

}  // namespace ResolverTestSupport
