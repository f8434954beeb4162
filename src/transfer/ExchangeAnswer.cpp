// The answer of an exchange: read as it arrives, its progress reported, its head judged against the part of the
// file it fills, the rest of a plain body poured past the program, and its end.
#include "Exchange.h"

#include "TransferTexts.h"

#include <QTcpSocket>

#include <algorithm>

#include <fcntl.h>

void Exchange::DataArrival()
{
    // While the body pours the socket has let its descriptor go.
    if (!WS)
        return;
    silenceTimer.start(limits.time.silence);
    if (phase == Phase::Tunnel)
        return TunnelArrival();
    reader->ReadFrom(*WS);
    if (reader->Failed()) {
        ExchangeEnd end;
        end.kind = ExchangeEnd::Kind::Broken;
        end.outcome = reader->Classify(ProxyContextNow());
        end.cannotContinue = cannotContinue;
        end.fileFault = fileFault;
        return Finish(end);
    }
    // A server that answers in HTTP/1.1 may keep the connection open after the answer, our request
    // notwithstanding: an answer whole by its own framing needs no close.
    // A part that another connection fetches the rest of is whole at its end, whatever the answer still holds.
    if (reader->Complete() || PartWhole()) {
        ReportArrival();
        return EndOfAnswer();
    }
    PourRest();
    ReportArrival();
}

void Exchange::setReportsProgress(bool reports)
{
    reportsProgress = reports;
    if (!reports)
        pourProgress.stop();
}

void Exchange::ReportArrival()
{
    if (!reportsProgress)
        return;
    const qint64 pouredNow = range ? range->PouredSoFar() : 0;
    emit Msg(TransferTexts::Receiving(std::max<qint64>(part.first, 0) + reader->ReceivedBytes() + pouredNow));
    ReportProgress();
}

// The length is shown once; the share is of the body in memory, or of the whole file that the part belongs to.
void Exchange::ReportProgress()
{
    std::optional<qint64> length = reader->DeclaredLength();
    std::optional<int> percent = reader->Percent();
    if (file) {
        const qint64 total = head ? head->total : part.total;
        length = total >= 0 ? std::optional<qint64>(total) : std::nullopt;
        percent = total > 0 ? std::optional<int>(static_cast<int>(std::min(file->Size(), total) * 100 / total))
                            : std::nullopt;
    }
    const bool showLength = !lengthShown && length;
    lengthShown = lengthShown || length;
    if (showLength)
        emit FLVsize(*length);
    if (percent)
        emit PercentOfLoad(*percent);
}

void Exchange::Close()
{
    if (!WS)
        return;
    if (phase != Phase::Asking)
        return EndBeforeAsking();
    // Whatever arrived together with the close is part of the answer.
    reader->ReadFrom(*WS);
    if (range && WS->bytesAvailable() > 0 && !reader->Failed() && !PartWhole()) {
        // The rest waits for room in the file; the close is taken up once it has gone there.
        closePending = true;
        return;
    }
    if (closeWatch.WasReset())
        reader->ConnectionReset();
    EndOfAnswer();
}

void Exchange::EndOfAnswer()
{
    DetachSocket();
    ExchangeEnd end;
    end.kind = ExchangeEnd::Kind::Answered;
    end.outcome = MeasureFile(reader->Classify(ProxyContextNow()));
    // The exchange keeps nothing of the answer: a success's body goes to its owner.
    if (end.outcome.kind == Outcome::Kind::Success)
        end.body = reader->TakeBody();
    // A cut body that its owner takes up again has not ended.
    if (end.outcome.kind != Outcome::Kind::BodyCut || !Resumable() || !resumeTriesLeft)
        emit Msg(TransferTexts::Finished());
    Finish(end);
}

// A body that goes to a file of known length is whole only when its part of the file holds that many bytes exactly,
// whatever the answer's own framing said: an answer shorter than the part asked for is a drop like any other, and
// what is missing is counted in the file. A part that ends before the file does is whole at its end.
Outcome Exchange::MeasureFile(Outcome outcome) const
{
    const qint64 total = head ? head->total : part.total;
    const bool ended = outcome.kind == Outcome::Kind::Success || outcome.kind == Outcome::Kind::Reset
        || outcome.kind == Outcome::Kind::BodyCut;
    if (!range || !ended || total < 0)
        return outcome;
    const qint64 end = range->End();
    outcome.bodyBytes = range->Next();
    outcome.declaredLength = end >= 0 && end < total ? end : total;
    if (outcome.declaredLength < total)
        outcome.bodyBytes = std::min(outcome.bodyBytes, outcome.declaredLength);
    const qint64 expected = outcome.declaredLength;
    if (outcome.bodyBytes == expected) {
        outcome.kind = Outcome::Kind::Success;
    } else if (outcome.bodyBytes < expected) {
        outcome.kind = Outcome::Kind::BodyCut;
    } else {
        outcome.kind = Outcome::Kind::BodyTooLong;
        outcome.bodyLimit = expected;
    }
    return outcome;
}

// Decides, before any byte of a success's body is kept, whether the body fits the part of the file.
bool Exchange::JudgeHead(const ResponseReader &answer)
{
    if (part.first < 0)
        return TakeHead(answer);
    if (answer.StatusCode() == 200 && part.last >= 0) {
        // A part of a file that other connections fill: the whole body has no place here. The file changed, or
        // the server does not serve parts: its owner decides which.
        cannotContinue = true;
        return false;
    }
    if (answer.StatusCode() == 200) {
        // The server sends the whole body, as it does when the file changed: what is on disk goes.
        range.reset();
        file->StartOver();
        part.first = -1;
        OpenRange(0, -1);
        return TakeHead(answer);
    }
    const QByteArrayView header = answer.Header();
    const std::optional<ContentRange> answered = ParseContentRange(FindHeader(header, "Content-Range").value_or(""));
    const QByteArray etag = FindHeader(header, "ETag").value_or("").toByteArray();
    const QByteArray lastModified = FindHeader(header, "Last-Modified").value_or("").toByteArray();
    const bool sameFile = !part.etag.isEmpty() ? etag == part.etag : lastModified == part.lastModified;
    const qint64 last = part.last >= 0 ? part.last : part.total - 1;
    const bool continues = answered && answered->first == part.first && answered->total == part.total
        && answered->last == last && sameFile;
    cannotContinue = !continues;
    return continues;
}

// The head of a whole body: its declared length is reserved on disk at once.
bool Exchange::TakeHead(const ResponseReader &answer)
{
    const QByteArrayView header = answer.Header();
    const ::DeclaredLength declared = ReadContentLength(header);
    const bool identity = ReadTransferCoding(header).kind == TransferCoding::Kind::Identity;
    FileHead taken;
    taken.total = identity && declared.kind == ::DeclaredLength::Kind::Valid ? declared.bytes : -1;
    taken.etag = FindHeader(header, "ETag").value_or("").toByteArray();
    taken.lastModified = FindHeader(header, "Last-Modified").value_or("").toByteArray();
    head = taken;
    lengthShown = false;
    return taken.total <= 0 || file->Reserve(taken.total, &fileFault);
}

// Once the header is behind and all that the socket had buffered has gone to the file, the rest of a plain body
// goes from the connection to the file in the kernel: no copy through the program, nothing on the window's
// thread. A body over TLS, chunked or without a declared length keeps coming through the socket.
bool Exchange::PourRest()
{
    if (!range || request.secure || WS->bytesAvailable() > 0)
        return false;
    const qint64 left = reader->BodyLeftToPour();
    if (left <= 0)
        return false;
    const int socket = ::fcntl(int(WS->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    if (socket < 0)
        return false;
    // The socket lets its descriptor go; the connection stays open on the file's.
    DetachSocket();
    range->Pour(socket, left, limits.time.silence);
    if (reportsProgress)
        pourProgress.start();
    return true;
}

void Exchange::FileDrained()
{
    if (!WS || phase != Phase::Asking)
        return;
    if (closePending)
        return Close();
    DataArrival();
}

void Exchange::FilePoured(BodyFile::PourEnd end, qint64 bytes)
{
    pourProgress.stop();
    reader->BodyPoured(bytes);
    ReportArrival();
    if (end == BodyFile::PourEnd::Silent)
        return Fail(SilenceText());
    if (end == BodyFile::PourEnd::Reset)
        reader->ConnectionReset();
    EndOfAnswer();
}

ResponseReader::ProxyContext Exchange::ProxyContextNow() const
{
    // An answer that came through a tunnel is the server's own: the proxy had its say before it.
    ResponseReader::ProxyContext context;
    context.viaProxy = request.viaProxy && !request.secure;
    context.authConfigured = context.viaProxy && request.connection.ProxyAuth;
    context.tunnelled = request.viaProxy && request.secure;
    return context;
}
