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

RawGet::RawGet(const Options &options, QObject *parent) : QObject(parent), Settings(options)
{
    Socket.setReadBufferSize(options.ReadBufferSize);
    connect(&Socket, &QTcpSocket::connected, this, &RawGet::SendRequest);
    connect(&Socket, &QTcpSocket::readyRead, this, &RawGet::TakeArrival);
    connect(&Socket, &QTcpSocket::disconnected, this, &RawGet::FinishAnswer);
    connect(&Socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // The server's close comes as this error first; disconnected follows and ends the answer.
        if (error == QAbstractSocket::RemoteHostClosedError || Done)
            return;
        Done = true;
        emit Failed(Socket.errorString());
    });
}

void RawGet::Start(const QUrl &url)
{
    Url = url;
    Data.clear();
    BodyStart = -1;
    DeclaredLength = -1;
    ArrivalCount = 0;
    PassedBytes = 0;
    Done = false;
    Socket.connectToHost(url.host(), quint16(url.port(80)));
}

void RawGet::SendRequest()
{
    const QByteArray path = Url.path(QUrl::FullyEncoded).toLatin1();
    const QByteArray host = Url.authority(QUrl::FullyEncoded).toLatin1();
    Socket.write("GET " + path + " HTTP/1.0\r\nHost: " + host + "\r\nConnection: Close\r\n\r\n");
}

void RawGet::TakeArrival()
{
    ++ArrivalCount;
    if (!KeepsBody() && BodyStart >= 0) {
        for (;;) {
            const qint64 got = Socket.read(Scratch.data(), Scratch.size());
            if (got <= 0 || !PassOn(Scratch.constData(), got))
                return;
        }
    }
    if (Settings.Mode == Reading::ReadIntoBody && DeclaredLength >= 0) {
        const qint64 available = Socket.bytesAvailable();
        const qsizetype old = Data.size();
        // Within the reserved capacity: resize neither moves nor fills the buffer.
        Data.resize(old + available);
        const qint64 got = Socket.read(Data.data() + old, available);
        Data.resize(old + std::max<qint64>(got, 0));
        return;
    }
    Data.append(Socket.readAll());
    if (BodyStart < 0)
        FindHeaderEnd();
}

void RawGet::FindHeaderEnd()
{
    const qsizetype end = Data.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    BodyStart = end + 4;
    for (const QByteArray &line : Data.left(end).split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.toLower().startsWith("content-length:"))
            DeclaredLength = trimmed.mid(15).trimmed().toLongLong();
    }
    if (!KeepsBody()) {
        Scratch.resize(1024 * 1024);
        if (Settings.Mode == Reading::StreamToFile) {
            Stream.setFileName(Settings.StreamPath + QStringLiteral(".part"));
            if (!Stream.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
                Done = true;
                Socket.abort();
                emit Failed(Stream.errorString());
                return;
            }
        }
        PassOn(Data.constData() + BodyStart, Data.size() - BodyStart);
        Data.truncate(BodyStart);
        return;
    }
    if (DeclaredLength < 0)
        return;
    Data.reserve(BodyStart + DeclaredLength);
    if (Settings.HugePages)
        AdviseHugePages(Data.data(), Data.capacity());
}

void RawGet::FinishAnswer()
{
    if (Done)
        return;
    if (Socket.bytesAvailable() > 0)
        TakeArrival();
    Done = true;
    if (BodyStart < 0) {
        emit Failed(QStringLiteral("the answer ended inside its header"));
        return;
    }
    if (Settings.Mode == Reading::StreamToFile) {
        Stream.close();
        if (!Stream.rename(Settings.StreamPath)) {
            emit Failed(Stream.errorString());
            return;
        }
    }
    // Erasing from the front only moves the start of the array in Qt 6: no copy of the body.
    Data.remove(0, BodyStart);
    emit Finished(Data);
}

bool RawGet::PassOn(const char *data, qint64 size)
{
    PassedBytes += size;
    if (Settings.Mode != Reading::StreamToFile || size == 0 || Stream.write(data, size) == size)
        return true;
    Done = true;
    Socket.abort();
    emit Failed(Stream.errorString());
    return false;
}
