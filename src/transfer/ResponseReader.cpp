#include "ResponseReader.h"

#include <QIODevice>

#include <algorithm>
#include <limits>
#include <new>

#include <unistd.h>

namespace {

bool IsRedirect(int code)
{
    return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

std::optional<StatusLine> StatusOf(QByteArrayView header)
{
    const std::optional<QByteArrayView> line = FirstLine(header);
    return line ? ParseStatusLine(*line) : std::nullopt;
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

ResponseReader::ResponseReader(qint64 maxBodyBytes, qint64 maxUndeclaredBytes)
    : maxBodyBytes(maxBodyBytes)
    , maxUndeclaredBytes(maxUndeclaredBytes < 0 ? maxBodyBytes : std::min(maxBodyBytes, maxUndeclaredBytes))
{
}

bool ResponseReader::Complete() const
{
    if (!headerEnded || Failed())
        return false;
    if (chunks)
        return chunks->Ended();
    return ContentLength >= 0 && BodyBytes() >= ContentLength;
}

int ResponseReader::StatusCode() const
{
    const std::optional<StatusLine> status = StatusOf(header);
    return status ? status->code : 0;
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
    const qint64 body = BodyBytes();
    if (body >= ContentLength)
        return 100;
    // body < ContentLength <= maxBodyBytes, far below the point where body * 100 overflows.
    return static_cast<int>(body * 100 / ContentLength);
}

bool ResponseReader::IsSuccess(int code) const
{
    return code == 200 || (partialBytes >= 0 && code == 206);
}

qint64 ResponseReader::BodyLeftToPour() const
{
    if (!headerEnded || Failed() || !output || chunks || ContentLength < 0)
        return 0;
    return ContentLength - outputBytes;
}

void ResponseReader::Feed(QByteArrayView piece)
{
    if (Failed())
        return;
    receivedBytes += piece.size();
    if (!headerEnded)
        FeedHeader(piece);
    if (headerEnded && !Failed())
        AcceptBody(piece);
}

// Takes header bytes off the front of piece; once the final header has ended, what it left in piece and
// whatever came after the empty line is body.
void ResponseReader::FeedHeader(QByteArrayView &piece)
{
    while (!headerEnded) {
        const qsizetype room = std::max<qsizetype>(0, kMaxHeaderBytes - interimBytes - header.size());
        const qsizetype take = std::min(piece.size(), room);
        header.append(piece.first(take));
        piece = piece.sliced(take);
        const std::optional<qsizetype> end = FindHeaderEnd(header, headerScan);
        if (!end) {
            if (!piece.isEmpty())
                Fail(Outcome::Kind::HeaderTooLarge);
            return;
        }
        const QByteArray rest = header.sliced(*end);
        header.truncate(*end);
        if (IsInterim()) {
            // "100 Continue" and the like come before the answer itself.
            interimBytes += header.size();
            header = rest;
            headerScan = 0;
            continue;
        }
        EndHeader();
        if (!Failed())
            AcceptBody(rest);
    }
}

bool ResponseReader::IsInterim() const
{
    const std::optional<StatusLine> status = StatusOf(header);
    // 101 switches protocols, which was never asked for: it is an answer, not a preface to one.
    return status && status->code >= 100 && status->code < 200 && status->code != 101;
}

void ResponseReader::ReadFrom(QIODevice &device)
{
    while (!Failed()) {
        const qint64 available = device.bytesAvailable();
        if (available <= 0)
            return;
        if (!headerEnded || chunks) {
            if (headerEnded && output && !output->HasRoom())
                return;
            Feed(device.read(std::min<qint64>(available, headerEnded ? available : kMaxHeaderBytes)));
            continue;
        }
        const qint64 room = RoomForBody(available);
        if (Failed())
            return;
        if (output) {
            if (room > 0 && !output->HasRoom())
                return;
            const qint64 got = room > 0 ? output->ReadFrom(device, room) : 0;
            outputBytes += got;
            receivedBytes += got;
            if (room > 0 && got <= 0)
                return;
            if (room > got)
                continue;
        } else if (room > 0) {
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

void ResponseReader::EndHeader()
{
    headerEnded = true;
    // Only a success hands its body over: the framing of any other answer may be as odd as it likes.
    const std::optional<StatusLine> status = StatusOf(header);
    const bool bodyUsed = status && IsSuccess(status->code);
    // Only a success's body goes to the output: any other answer's is a few words held in memory.
    if (!bodyUsed)
        output = nullptr;
    if (bodyUsed && status->code == 206)
        partialLimit = partialBytes;
    if (headCheck && bodyUsed && !headCheck(*this))
        return Fail(Outcome::Kind::HeadRefused);
    const TransferCoding coding = ReadTransferCoding(header);
    switch (coding.kind) {
    case TransferCoding::Kind::Chunked:
        // A chunked body carries its own end; a Content-Length beside it means nothing.
        chunks.emplace();
        return;
    case TransferCoding::Kind::Unknown:
        if (bodyUsed)
            Fail(Outcome::Kind::UnknownCoding, coding.value);
        return;
    case TransferCoding::Kind::Identity:
        break;
    }
    const ::DeclaredLength declared = ReadContentLength(header);
    if (declared.kind == ::DeclaredLength::Kind::Invalid && bodyUsed)
        return Fail(Outcome::Kind::BadLength, declared.values);
    if (declared.kind != ::DeclaredLength::Kind::Valid)
        return;
    ContentLength = declared.bytes;
    if (partialLimit >= 0 && ContentLength > partialLimit)
        return TooLong();
    if (output && bodyUsed)
        return;
    if (ContentLength > maxBodyBytes)
        return TooLarge(maxBodyBytes);
    // Once, to the final size: growing step by step would copy a video several times over.
    try {
        LData.reserve(ContentLength);
    } catch (const std::bad_alloc &) {
        TooLarge(-1);
    }
}

void ResponseReader::AcceptBody(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    if (!chunks)
        return StoreBody(bytes);
    chunks->Feed(bytes, [this](QByteArrayView data) {
        if (!Failed())
            StoreBody(data);
    });
    if (chunks->Broken() && !Failed())
        Fail(Outcome::Kind::BrokenChunks);
}

void ResponseReader::StoreBody(QByteArrayView bytes)
{
    const qint64 room = RoomForBody(bytes.size());
    if (Failed() || room <= 0)
        return;
    if (output) {
        output->Write(bytes.first(room));
        outputBytes += room;
        return;
    }
    const qsizetype before = LData.size();
    if (Grow(before + room))
        std::copy_n(bytes.data(), room, LData.data() + before);
}

// How many of the offered body bytes to keep. Beyond a declared length the bytes are not part of
// the answer and are let go; without one, the body may grow until it cannot be held.
qint64 ResponseReader::RoomForBody(qint64 offered)
{
    if (ContentLength >= 0)
        return std::min(offered, ContentLength - BodyBytes());
    // Bytes past the part asked for have no place in the file: the answer is wrong, whatever comes after.
    if (partialLimit >= 0 && offered > partialLimit - BodyBytes()) {
        TooLong();
        return 0;
    }
    if (output)
        return offered;
    if (offered > maxUndeclaredBytes - LData.size()) {
        TooLarge(maxUndeclaredBytes);
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
        TooLarge(-1);
        return false;
    }
}

void ResponseReader::Fail(Outcome::Kind kind, const QByteArray &value)
{
    fault = kind;
    faultValue = value;
}

void ResponseReader::TooLarge(qint64 limit)
{
    Fail(Outcome::Kind::BodyTooLarge);
    // What memory can hold is no limit of ours: the user is told so.
    limitPassed = limit >= DefaultMaxBodyBytes() ? -1 : limit;
}

void ResponseReader::TooLong()
{
    Fail(Outcome::Kind::BodyTooLong);
    limitPassed = partialLimit;
}

Outcome ResponseReader::Classify(const ProxyContext &proxy) const
{
    Outcome outcome;
    outcome.receivedBytes = receivedBytes;
    outcome.bodyBytes = BodyBytes();
    outcome.declaredLength = ContentLength;
    if (Failed()) {
        outcome.kind = fault;
        outcome.headerValue = faultValue;
        outcome.bodyLimit = limitPassed;
        return outcome;
    }
    if (receivedBytes == 0) {
        outcome.kind = Outcome::Kind::Empty;
        return outcome;
    }
    const std::optional<QByteArrayView> line = FirstLine(header);
    if (!line) {
        // Cut inside the status line: still a header cut if what came looks like the start of one.
        const QByteArrayView start = QByteArrayView(header).first(std::min<qsizetype>(header.size(), 5));
        outcome.kind = QByteArrayView("HTTP/").startsWith(start) ? Outcome::Kind::HeaderCut : Outcome::Kind::NotHttp;
        return outcome;
    }
    outcome.statusLine = line->toByteArray();
    const std::optional<StatusLine> status = ParseStatusLine(outcome.statusLine);
    if (!status) {
        outcome.kind = Outcome::Kind::NotHttp;
        return outcome;
    }
    const bool loginRefused = proxy.viaProxy && proxy.authConfigured;
    if (status->code == 407) {
        // Through a tunnel the proxy has already let us pass: a 407 then is the far side's own error.
        if (proxy.tunnelled)
            outcome.kind = Outcome::Kind::ServerError;
        else if (!proxy.viaProxy)
            outcome.kind = Outcome::Kind::ProxyLoginWithoutProxy;
        else
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
    const bool needsHeader = IsSuccess(status->code) || IsRedirect(status->code);
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
    if (chunks)
        outcome.kind = chunks->Ended() ? Outcome::Kind::Success : Outcome::Kind::ChunksCut;
    else if (ContentLength >= 0 && BodyBytes() < ContentLength)
        outcome.kind = Outcome::Kind::BodyCut;
    else if (ContentLength < 0 && reset)
        outcome.kind = Outcome::Kind::Reset;
    else
        outcome.kind = Outcome::Kind::Success;
    return outcome;
}
