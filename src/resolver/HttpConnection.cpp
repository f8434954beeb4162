#include "HttpConnection.h"

#include "AnswerPages.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qsizetype kReadPiece = 64 * 1024;
constexpr size_t kSpliceLimit = 1024 * 1024;
constexpr int kProbeMilliseconds = 200;

// splice() has no MSG_NOSIGNAL: a client that is gone would end the whole process with SIGPIPE. The signal is
// held back for this call only, and taken if it came.
ssize_t SpliceWithoutSignal(int pipe, int socket)
{
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    const bool alreadyPending = sigismember(&pending, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    const ssize_t moved = ::splice(pipe, nullptr, socket, nullptr, kSpliceLimit, SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
    const int error = errno;
    if (moved < 0 && error == EPIPE && !alreadyPending) {
        const timespec now{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return moved;
}

}  // namespace

HttpConnection::HttpConnection(int descriptor, const HttpLimits &limits, RequestHandler handler, QObject *parent)
    : QObject(parent)
    , descriptor(descriptor)
    , peer(PeerOf(descriptor))
    , limits(limits)
    , handler(std::move(handler))
    , reader(limits)
    , readable(descriptor, QSocketNotifier::Read)
    , writable(descriptor, QSocketNotifier::Write)
{
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) | O_NONBLOCK);
    writable.setEnabled(false);
    connect(&readable, &QSocketNotifier::activated, this, &HttpConnection::OnReadable);
    connect(&writable, &QSocketNotifier::activated, this, &HttpConnection::OnWritable);
    headerTimer.setSingleShot(true);
    requestTimer.setSingleShot(true);
    connect(&headerTimer, &QTimer::timeout, this, &HttpConnection::OnRequestTimeout);
    connect(&requestTimer, &QTimer::timeout, this, &HttpConnection::OnRequestTimeout);
    probeTimer.setInterval(kProbeMilliseconds);
    connect(&probeTimer, &QTimer::timeout, this, &HttpConnection::CheckPeerGone);
    StartRequest();
}

HttpConnection::~HttpConnection()
{
    readable.setEnabled(false);
    writable.setEnabled(false);
    if (descriptor >= 0)
        ::close(descriptor);
}

QHostAddress HttpConnection::PeerOf(int descriptor)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(descriptor, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return QHostAddress();
    const QHostAddress peer(reinterpret_cast<const sockaddr *>(&address));
    bool isIPv4 = false;
    const quint32 ipv4 = peer.toIPv4Address(&isIPv4);
    return isIPv4 ? QHostAddress(ipv4) : peer;
}

void HttpConnection::StartRequest()
{
    awaitingAnswer = false;
    headerTimer.start(limits.headerTimeoutMilliseconds);
    requestTimer.start(limits.clientTimeoutMilliseconds);
    readable.setEnabled(!peerClosed);
}

bool HttpConnection::AnswersPileUp() const
{
    return unsent.size() > limits.unsentLimit;
}

void HttpConnection::OnReadable()
{
    if (aborted)
        return;
    // Bytes past a request we are still answering wait in the reader, up to a bound; beyond it they wait in
    // the kernel, which holds the client back. We still read up to there to notice a client that leaves.
    if (!closing && reader.BufferedBytes() >= limits.headerLimit) {
        readable.setEnabled(false);
        return;
    }
    char piece[kReadPiece];
    const ssize_t received = ::recv(descriptor, piece, sizeof piece, 0);
    if (received < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            Abort();
        return;
    }
    if (received == 0) {
        peerClosed = true;
        readable.setEnabled(false);
        if (closing)
            Abort();  // everything was sent and the client has closed too
        else if (!awaitingAnswer)
            ProcessRequests();
        else
            StartProbing();
        return;
    }
    if (closing)
        return;  // what a client sends after its last answer is read only so that closing loses no answer
    reader.Feed(QByteArrayView(piece, received));
    if (!awaitingAnswer)
        ProcessRequests();
}

void HttpConnection::ProcessRequests()
{
    if (awaitingAnswer || closing || aborted)
        return;
    if (AnswersPileUp()) {
        // Resumed when the client takes its answers; the request timers run meanwhile.
        readable.setEnabled(false);
        return;
    }
    const HttpRequestReader::State state = reader.Parse();
    if (reader.HeaderDone())
        headerTimer.stop();
    // curl and others wait for this before sending a body over 1 KiB.
    if (reader.TakeContinueWish() && state == HttpRequestReader::State::NeedMore)
        Send("HTTP/1.1 100 Continue\r\n\r\n");
    switch (state) {
    case HttpRequestReader::State::NeedMore:
        if (!peerClosed)
            readable.setEnabled(true);
        else if (reader.RequestBegun())
            RejectRequest(400, QStringLiteral("Запрос оборвался: клиент закрыл соединение, не дослав его."));
        else
            CloseAfterAnswer();
        return;
    case HttpRequestReader::State::Rejected:
        RejectRequest(reader.RejectStatus(), reader.RejectReason());
        return;
    case HttpRequestReader::State::Complete:
        break;
    }
    headerTimer.stop();
    requestTimer.stop();
    awaitingAnswer = true;
    const HttpRequest request = reader.TakeRequest();
    keepAlive = request.keepAlive && !peerClosed;
    answerHasNoBody = request.method == "HEAD";
    if (peerClosed)
        StartProbing();
    handler(this, request);
}

void HttpConnection::Answer(const HttpResponse &response)
{
    if (!awaitingAnswer || closing || aborted)
        return;
    QByteArray head = StatusLine(response.status) + "Server: quillon-resolver\r\n";
    if (!response.contentType.isEmpty())
        head += "Content-Type: " + response.contentType + "\r\n";
    if (!response.allow.isEmpty())
        head += "Allow: " + response.allow + "\r\n";
    if (response.retryAfterSeconds > 0)
        head += "Retry-After: " + QByteArray::number(response.retryAfterSeconds) + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += "\r\n";
    Send(answerHasNoBody ? head : head + response.body);
    if (!keepAlive || peerClosed) {
        CloseAfterAnswer();
        return;
    }
    StartRequest();
    // Later, not here: a client that sends many requests at once would otherwise have us recurse through
    // all of them.
    QMetaObject::invokeMethod(this, &HttpConnection::ProcessRequests, Qt::QueuedConnection);
}

QByteArray HttpConnection::StatusLine(int status) const
{
    // A client that closed its side has had its status line already; what went wrong is in the page.
    if (statusLineSent)
        return QByteArray();
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + ReasonPhrase(status) + "\r\n";
}

void HttpConnection::StartStream(int status, const QByteArray &contentType)
{
    if (!awaitingAnswer || closing || aborted || streaming)
        return;
    const QByteArray head = StatusLine(status) + "Server: quillon-resolver\r\nContent-Type: " + contentType
        + "\r\nConnection: close\r\n\r\n";
    streaming = true;
    keepAlive = false;
    // From here on only the body goes out; a client that closes its side is noticed when a piece fails.
    statusLineSent = true;
    probeTimer.stop();
    Send(head);
    if (answerHasNoBody)
        EndStream();
}

void HttpConnection::SendPiece(QByteArrayView piece)
{
    if (!streaming || closing || aborted)
        return;
    // Straight from the caller's buffer while nothing waits before it: a stream is mostly pieces like this.
    if (unsent.isEmpty()) {
        const qsizetype sent = SendNow(piece);
        if (sent < 0) {
            Abort();
            return;
        }
        piece = piece.sliced(sent);
    }
    if (!piece.isEmpty()) {
        unsent.append(piece);
        writable.setEnabled(true);
    }
}

HttpConnection::Splice HttpConnection::SpliceFrom(int pipe)
{
    if (!streaming || closing || aborted)
        return Splice::Failed;
    if (!unsent.isEmpty())
        return Splice::SocketFull;
    for (;;) {
        const ssize_t moved = SpliceWithoutSignal(pipe, descriptor);
        if (moved >= 0)
            return Splice(moved);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN) {
            Abort();
            return Splice::Failed;
        }
        // Either side may be what waits: the socket, if it takes nothing now.
        pollfd socket{descriptor, POLLOUT, 0};
        if (::poll(&socket, 1, 0) == 1 && (socket.revents & POLLOUT))
            return Splice::PipeEmpty;
        writable.setEnabled(true);
        return Splice::SocketFull;
    }
}

void HttpConnection::EndStream()
{
    if (streaming && !closing && !aborted)
        CloseAfterAnswer();
}

void HttpConnection::AbortStream()
{
    if (aborted)
        return;
    // Closing with a zero linger time sends a reset instead of the orderly end of the body.
    const linger reset{1, 0};
    ::setsockopt(descriptor, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    Abort();
}

std::pair<QHostAddress, quint16> HttpConnection::LocalOf(int descriptor)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(descriptor, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return {};
    const quint16 port = address.ss_family == AF_INET6
        ? ntohs(reinterpret_cast<const sockaddr_in6 *>(&address)->sin6_port)
        : ntohs(reinterpret_cast<const sockaddr_in *>(&address)->sin_port);
    return {QHostAddress(reinterpret_cast<const sockaddr *>(&address)), port};
}

QString HttpConnection::LocalAuthority() const
{
    const auto [local, port] = LocalOf(descriptor);
    if (local.isNull())
        return QString();
    bool isIPv4 = false;
    const quint32 ipv4 = local.toIPv4Address(&isIPv4);
    const QString host =
        isIPv4 ? QHostAddress(ipv4).toString() : QLatin1Char('[') + local.toString() + QLatin1Char(']');
    return host + QLatin1Char(':') + QString::number(port);
}

void HttpConnection::RejectRequest(int status, const QString &reason)
{
    // After a broken or oversized request the rest of the stream cannot be trusted to start a new request.
    awaitingAnswer = true;
    keepAlive = false;
    answerHasNoBody = false;
    headerTimer.stop();
    requestTimer.stop();
    Answer({status, "text/html; charset=utf-8", AnswerPages::ComposeFailurePage(reason), {}, 0});
}

void HttpConnection::OnRequestTimeout()
{
    if (closing || AnswersPileUp()) {
        // The client does not take its answers; it gets no more of our time.
        Abort();
        return;
    }
    if (awaitingAnswer)
        return;
    if (!reader.RequestBegun()) {
        CloseAfterAnswer();
        return;
    }
    const bool headerLate = !reader.HeaderDone() && !headerTimer.isActive();
    RejectRequest(408,
                  headerLate ? QStringLiteral("Заголовок запроса не пришёл целиком за %1 с.")
                                   .arg(limits.headerTimeoutMilliseconds / 1000.0)
                             : QStringLiteral("Запрос не пришёл целиком за %1 с.")
                                   .arg(limits.clientTimeoutMilliseconds / 1000.0));
}

void HttpConnection::StartProbing()
{
    if (statusLineSent || closing || aborted)
        return;
    statusLineSent = true;
    Send("HTTP/1.1 200 OK\r\n");
    probeTimer.start();
}

void HttpConnection::CheckPeerGone()
{
    int error = 0;
    socklen_t length = sizeof error;
    tcp_info info{};
    socklen_t infoLength = sizeof info;
    const bool reset = (::getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error != 0)
        || (::getsockopt(descriptor, IPPROTO_TCP, TCP_INFO, &info, &infoLength) == 0 && info.tcpi_state == TCP_CLOSE);
    if (reset)
        Abort();
}

void HttpConnection::Send(const QByteArray &bytes)
{
    unsent += bytes;
    Flush();
}

qsizetype HttpConnection::SendNow(QByteArrayView bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t written = ::send(descriptor, bytes.data() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (written >= 0)
            sent += written;
        else if (errno == EAGAIN || errno == EWOULDBLOCK)
            break;
        else if (errno != EINTR)
            return -1;
    }
    return sent;
}

void HttpConnection::OnWritable()
{
    Flush();
    if (streaming && !closing && !aborted)
        emit Drained();
}

void HttpConnection::Flush()
{
    if (aborted)
        return;
    const bool piledUp = AnswersPileUp();
    const qsizetype sent = SendNow(unsent);
    if (sent < 0) {
        Abort();
        return;
    }
    unsent.remove(0, sent);
    writable.setEnabled(!unsent.isEmpty());
    if (unsent.isEmpty() && closing) {
        // Our side is done; the client reads the rest and closes, or the closing timer ends it.
        ::shutdown(descriptor, SHUT_WR);
        if (peerClosed)
            Abort();
        else
            readable.setEnabled(true);
        return;
    }
    if (piledUp && !AnswersPileUp())
        QMetaObject::invokeMethod(this, &HttpConnection::ProcessRequests, Qt::QueuedConnection);
}

void HttpConnection::CloseAfterAnswer()
{
    closing = true;
    probeTimer.stop();
    headerTimer.stop();
    requestTimer.start(limits.clientTimeoutMilliseconds);
    OnWritable();
}

void HttpConnection::Abort()
{
    if (aborted)
        return;
    aborted = true;
    readable.setEnabled(false);
    writable.setEnabled(false);
    headerTimer.stop();
    requestTimer.stop();
    probeTimer.stop();
    ::close(descriptor);
    descriptor = -1;
    deleteLater();
}

QByteArray HttpConnection::ReasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Payload Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}
