#include "RawGet.h"

#include <sys/mman.h>

namespace {

// Only whole 2 MiB pages inside the buffer can be backed by huge pages; the kernel fills them as they
// are first touched.
void AdviseHugePages(char *data, qsizetype size)
{
    constexpr quintptr kHugePage = 2 * 1024 * 1024;
    const quintptr begin = (quintptr(data) + kHugePage - 1) & ~(kHugePage - 1);
    const quintptr end = (quintptr(data) + quintptr(size)) & ~(kHugePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

RawGet::RawGet(const Options &options, QObject *parent) : QObject(parent), options(options)
{
    socket.setReadBufferSize(options.ReadBufferSize);
    connect(&socket, &QTcpSocket::connected, this, &RawGet::SendRequest);
    connect(&socket, &QTcpSocket::readyRead, this, &RawGet::TakeArrival);
    connect(&socket, &QTcpSocket::disconnected, this, &RawGet::FinishAnswer);
    connect(&socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // The server's close comes as this error first; disconnected follows and ends the answer.
        if (error == QAbstractSocket::RemoteHostClosedError || done)
            return;
        done = true;
        emit Failed(socket.errorString());
    });
}

void RawGet::Start(const QUrl &url)
{
    address = url;
    received.clear();
    bodyStart = -1;
    declaredLength = -1;
    arrivalCount = 0;
    passedBytes = 0;
    done = false;
    socket.connectToHost(url.host(), quint16(url.port(80)));
}

void RawGet::SendRequest()
{
    const QByteArray path = address.path(QUrl::FullyEncoded).toLatin1();
    const QByteArray host = address.authority(QUrl::FullyEncoded).toLatin1();
    socket.write("GET " + path + " HTTP/1.0\r\nHost: " + host + "\r\nConnection: Close\r\n\r\n");
}

void RawGet::TakeArrival()
{
    ++arrivalCount;
    if (!KeepsBody() && bodyStart >= 0) {
        for (;;) {
            const qint64 got = socket.read(scratch.data(), scratch.size());
            if (got <= 0 || !PassOn(scratch.constData(), got))
                return;
        }
    }
    if (options.Mode == Reading::ReadIntoBody && declaredLength >= 0) {
        const qint64 available = socket.bytesAvailable();
        const qsizetype old = received.size();
        // Within the reserved capacity: resize neither moves nor fills the buffer.
        received.resize(old + available);
        const qint64 got = socket.read(received.data() + old, available);
        received.resize(old + std::max<qint64>(got, 0));
        return;
    }
    received.append(socket.readAll());
    if (bodyStart < 0)
        FindHeaderEnd();
}

void RawGet::FindHeaderEnd()
{
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    bodyStart = end + 4;
    for (const QByteArray &line : received.left(end).split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.toLower().startsWith("content-length:"))
            declaredLength = trimmed.mid(15).trimmed().toLongLong();
    }
    if (!KeepsBody()) {
        scratch.resize(1024 * 1024);
        if (options.Mode == Reading::StreamToFile) {
            stream.setFileName(options.StreamPath + QStringLiteral(".part"));
            if (!stream.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
                done = true;
                socket.abort();
                emit Failed(stream.errorString());
                return;
            }
        }
        PassOn(received.constData() + bodyStart, received.size() - bodyStart);
        received.truncate(bodyStart);
        return;
    }
    if (declaredLength < 0)
        return;
    received.reserve(bodyStart + declaredLength);
    if (options.HugePages)
        AdviseHugePages(received.data(), received.capacity());
}

void RawGet::FinishAnswer()
{
    if (done)
        return;
    if (socket.bytesAvailable() > 0)
        TakeArrival();
    done = true;
    if (bodyStart < 0) {
        emit Failed(QStringLiteral("the answer ended inside its header"));
        return;
    }
    if (options.Mode == Reading::StreamToFile) {
        stream.close();
        if (!stream.rename(options.StreamPath)) {
            emit Failed(stream.errorString());
            return;
        }
    }
    // Erasing from the front only moves the start of the array in Qt 6: no copy of the body.
    received.remove(0, bodyStart);
    emit Finished(received);
}

bool RawGet::PassOn(const char *data, qint64 size)
{
    passedBytes += size;
    if (options.Mode != Reading::StreamToFile || size == 0 || stream.write(data, size) == size)
        return true;
    done = true;
    socket.abort();
    emit Failed(stream.errorString());
    return false;
}
