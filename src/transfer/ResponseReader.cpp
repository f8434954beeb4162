#include "ResponseReader.h"

#include <QIODevice>

#include <algorithm>
#include <limits>
#include <new>

#include <unistd.h>

namespace {

const QByteArrayView kHeaderEnd = "\r\n\r\n";

bool IsRedirect(int code)
{
    return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

}  // namespace

qint64 ResponseReader::DefaultMaxBodyBytes()
{
    // QByteArray keeps a header of its own and a terminating zero beside the data.
    qint64 limit = std::numeric_limits<qsizetype>::max() / 2;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0 && pages < limit / pageSize)
        limit = static_cast<qint64>(pages) * pageSize;
    return limit;
}

ResponseReader::ResponseReader(qint64 maxBodyBytes) : maxBodyBytes(maxBodyBytes)
{
}

std::optional<qint64> ResponseReader::DeclaredLength() const
{
    if (ContentLength < 0)
        return std::nullopt;
    return ContentLength;
}

std::optional<int> ResponseReader::Percent() const
{
    if (ContentLength <= 0)
        return std::nullopt;
    const qint64 body = LData.size();
    if (body >= ContentLength)
        return 100;
    // body < ContentLength <= maxBodyBytes, far below the point where body * 100 overflows.
    return static_cast<int>(body * 100 / ContentLength);
}

void ResponseReader::Feed(QByteArrayView piece)
{
    if (Failed())
        return;
    receivedBytes += piece.size();
    if (!headerEnded) {
        // Only the new bytes and the three before them can complete the empty line.
        const qsizetype searchFrom = std::max<qsizetype>(0, header.size() - 3);
        const qsizetype take = std::min<qsizetype>(piece.size(), kMaxHeaderBytes + 4 - header.size());
        header.append(piece.first(take));
        const qsizetype end = header.indexOf(kHeaderEnd, searchFrom);
        if (end < 0) {
            if (header.size() > kMaxHeaderBytes)
                fault = Outcome::Kind::HeaderTooLarge;
            return;
        }
        const qsizetype headerSize = end + kHeaderEnd.size();
        if (headerSize > kMaxHeaderBytes) {
            fault = Outcome::Kind::HeaderTooLarge;
            return;
        }
        const QByteArray rest = header.sliced(headerSize);
        header.truncate(headerSize);
        EndHeader(headerSize);
        if (Failed())
            return;
        AcceptBody(rest);
        piece = piece.sliced(take);
    }
    AcceptBody(piece);
}

void ResponseReader::ReadFrom(QIODevice &device)
{
    while (!Failed()) {
        const qint64 available = device.bytesAvailable();
        if (available <= 0)
            return;
        if (!headerEnded) {
            Feed(device.read(std::min<qint64>(available, kMaxHeaderBytes)));
            continue;
        }
        const qint64 room = RoomForBody(available);
        if (Failed())
            return;
        if (room > 0) {
            const qsizetype before = LData.size();
            if (!Grow(before + room))
                return;
            const qint64 got = device.read(LData.data() + before, room);
            LData.resize(before + std::max<qint64>(got, 0));
            if (got <= 0)
                return;
            receivedBytes += got;
        }
        if (available > room) {
            const qint64 skipped = device.skip(available - room);
            if (skipped <= 0)
                return;
            receivedBytes += skipped;
        }
    }
}

void ResponseReader::EndHeader(qsizetype headerSize)
{
    headerEnded = true;
    const QByteArrayView block = QByteArrayView(header).first(headerSize);
    if (const std::optional<QByteArrayView> value = FindHeader(block, "Content-Length")) {
        if (const std::optional<qint64> length = ParseContentLength(*value))
            ContentLength = *length;
    }
    if (ContentLength < 0)
        return;
    if (ContentLength > maxBodyBytes) {
        fault = Outcome::Kind::BodyTooLarge;
        return;
    }
    // Once, to the final size: growing step by step would copy a video several times over.
    try {
        LData.reserve(ContentLength);
    } catch (const std::bad_alloc &) {
        fault = Outcome::Kind::BodyTooLarge;
    }
}

// How many of the offered body bytes to keep. Beyond a declared length the bytes are not part of
// the answer and are let go; without one, the body may grow until it cannot be held.
qint64 ResponseReader::RoomForBody(qint64 offered)
{
    if (ContentLength >= 0)
        return std::min(offered, ContentLength - LData.size());
    if (offered > maxBodyBytes - LData.size()) {
        fault = Outcome::Kind::BodyTooLarge;
        return 0;
    }
    return offered;
}

bool ResponseReader::Grow(qsizetype newSize)
{
    try {
        LData.resize(newSize);
        return true;
    } catch (const std::bad_alloc &) {
        fault = Outcome::Kind::BodyTooLarge;
        return false;
    }
}

void ResponseReader::AcceptBody(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    const qint64 room = RoomForBody(bytes.size());
    if (Failed() || room <= 0)
        return;
    const qsizetype before = LData.size();
    if (Grow(before + room))
        std::copy_n(bytes.data(), room, LData.data() + before);
}

Outcome ResponseReader::Classify(const ProxyContext &proxy) const
{
    Outcome outcome;
    outcome.receivedBytes = receivedBytes;
    outcome.bodyBytes = LData.size();
    outcome.declaredLength = ContentLength;
    if (Failed()) {
        outcome.kind = fault;
        return outcome;
    }
    if (receivedBytes == 0) {
        outcome.kind = Outcome::Kind::Empty;
        return outcome;
    }
    const qsizetype lineEnd = header.indexOf("\r\n");
    if (lineEnd < 0) {
        // Cut inside the status line: still a header cut if what came looks like the start of one.
        const QByteArrayView start = QByteArrayView(header).first(std::min<qsizetype>(header.size(), 5));
        outcome.kind = QByteArrayView("HTTP/").startsWith(start) ? Outcome::Kind::HeaderCut : Outcome::Kind::NotHttp;
        return outcome;
    }
    outcome.statusLine = header.first(lineEnd);
    const std::optional<StatusLine> status = ParseStatusLine(outcome.statusLine);
    if (!status) {
        outcome.kind = Outcome::Kind::NotHttp;
        return outcome;
    }
    const bool loginRefused = proxy.viaProxy && proxy.authConfigured;
    if (status->code == 407) {
        outcome.kind = loginRefused ? Outcome::Kind::ProxyRefused : Outcome::Kind::ProxyWantsLogin;
        return outcome;
    }
    // Some proxies (tinyproxy among them) answer a wrong password with their own 401. A web server's 401
    // reaches us with the proxy's "Via" line added on the way; the proxy's own answer has none.
    if (status->code == 401 && loginRefused && headerEnded
        && (FindHeader(header, "Proxy-Authenticate") || !FindHeader(header, "Via"))) {
        outcome.kind = Outcome::Kind::ProxyRefused;
        return outcome;
    }
    const bool needsHeader = status->code == 200 || IsRedirect(status->code);
    if (!needsHeader) {
        outcome.kind = Outcome::Kind::ServerError;
        return outcome;
    }
    if (!headerEnded) {
        outcome.kind = Outcome::Kind::HeaderCut;
        return outcome;
    }
    if (IsRedirect(status->code)) {
        const std::optional<QByteArrayView> location = FindHeader(header, "Location");
        if (location && !location->isEmpty()) {
            outcome.kind = Outcome::Kind::Redirect;
            outcome.location = location->toByteArray();
        } else {
            outcome.kind = Outcome::Kind::RedirectWithoutLocation;
        }
        return outcome;
    }
    outcome.kind =
        (ContentLength >= 0 && LData.size() < ContentLength) ? Outcome::Kind::BodyCut : Outcome::Kind::Success;
    return outcome;
}
