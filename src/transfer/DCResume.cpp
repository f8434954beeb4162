// The steps of DC that only a download into a file takes: the body handed to the file, a dropped connection
// taken up again from the bytes on disk, the rest of a plain body poured past the program, and the end once every
// byte is in the file.
#include "BodyFile.h"
#include "DC.h"
#include "TransferTexts.h"

#include <QTcpSocket>

#include <algorithm>

#include <fcntl.h>

void DC::setBodyFile(BodyFile *file)
{
    if (bodyFile)
        disconnect(bodyFile, nullptr, this, nullptr);
    bodyFile = file;
    if (!file)
        return;
    connect(file, &BodyFile::Drained, this, &DC::FileDrained);
    connect(file, &BodyFile::Finished, this, &DC::FileFinished);
    connect(file, &BodyFile::Failed, this, &DC::FileFailed);
    connect(file, &BodyFile::Poured, this, &DC::FilePoured);
}

void DC::setResumePolicy(const ResumePolicy &policy)
{
    resumePolicy = policy;
}

void DC::ConfigureReader()
{
    if (!download.active)
        return;
    reader->setBodyOutput(bodyFile);
    reader->setPartialExpected(download.rangeStart >= 0 ? download.total - download.rangeStart : -1);
    reader->setHeadCheck([this](const ResponseReader &answer) { return JudgeHead(answer); });
}

void DC::ConnectToServer()
{
    if (viaProxy)
        OpenConnection(connection.ProxyName.trimmed(), connection.ProxyPort);
    else
        OpenConnection(targetHost, targetPort);
}

// Decides, before any byte of a success's body is kept, whether the body continues the bytes on disk.
bool DC::JudgeHead(const ResponseReader &answer)
{
    if (download.rangeStart < 0)
        return TakeFirstHead(answer);
    if (answer.StatusCode() == 200) {
        // The server sends the whole body, as it does when the file changed: what is on disk goes.
        bodyFile->StartOver();
        download.rangeStart = -1;
        return TakeFirstHead(answer);
    }
    const QByteArrayView header = answer.Header();
    const std::optional<ContentRange> range = ParseContentRange(FindHeader(header, "Content-Range").value_or(""));
    const QByteArray etag = FindHeader(header, "ETag").value_or("").toByteArray();
    const QByteArray lastModified = FindHeader(header, "Last-Modified").value_or("").toByteArray();
    const bool sameFile = !download.etag.isEmpty() ? etag == download.etag : lastModified == download.lastModified;
    const bool continues = range && range->first == download.rangeStart && range->total == download.total
        && range->last == download.total - 1 && sameFile;
    download.startOver = !continues;
    return continues;
}

bool DC::TakeFirstHead(const ResponseReader &answer)
{
    const QByteArrayView header = answer.Header();
    const ::DeclaredLength declared = ReadContentLength(header);
    const bool identity = ReadTransferCoding(header).kind == TransferCoding::Kind::Identity;
    download.total = identity && declared.kind == ::DeclaredLength::Kind::Valid ? declared.bytes : -1;
    download.etag = FindHeader(header, "ETag").value_or("").toByteArray();
    download.lastModified = FindHeader(header, "Last-Modified").value_or("").toByteArray();
    download.resumable = download.total > 0;
    lengthReported = false;
    QString fault;
    if (download.total > 0 && !bodyFile->Reserve(download.total, &fault)) {
        download.resumable = false;
        download.fault = fault;
        return false;
    }
    return true;
}

// A body that goes to a file of known length is whole only when the file holds that many bytes exactly, whatever
// the answer's own framing said: an answer shorter than the part asked for is a drop like any other, and what is
// missing is counted in the file.
Outcome DC::MeasureFile(Outcome outcome) const
{
    const bool ended = outcome.kind == Outcome::Kind::Success || outcome.kind == Outcome::Kind::Reset
        || outcome.kind == Outcome::Kind::BodyCut;
    if (!ended || download.total < 0)
        return outcome;
    outcome.bodyBytes = bodyFile->Size();
    outcome.declaredLength = download.total;
    if (outcome.bodyBytes == download.total) {
        outcome.kind = Outcome::Kind::Success;
    } else if (outcome.bodyBytes < download.total) {
        outcome.kind = Outcome::Kind::BodyCut;
    } else {
        outcome.kind = Outcome::Kind::BodyTooLong;
        outcome.bodyLimit = download.total;
    }
    return outcome;
}

void DC::ReportProgress()
{
    const quint64 current = generation;
    std::optional<qint64> length = reader->DeclaredLength();
    std::optional<int> percent = reader->Percent();
    if (download.active) {
        length = download.total >= 0 ? std::optional<qint64>(download.total) : std::nullopt;
        percent = download.total > 0 ? std::optional<int>(
                      static_cast<int>(std::min<qint64>(bodyFile->Size(), download.total) * 100 / download.total))
                                     : std::nullopt;
    }
    if (!lengthReported && length) {
        lengthReported = true;
        emit FLVsize(*length);
        if (current != generation)
            return;
    }
    if (percent)
        emit PercentOfLoad(*percent);
}

// False when every try has been used: the caller then ends with the error.
bool DC::ScheduleResume()
{
    if (download.attempts >= resumePolicy.attempts || download.finishing)
        return false;
    DetachSocket();
    reader.reset();
    ++download.attempts;
    const quint64 current = ++generation;
    emit Msg(TransferTexts::ResumingFrom(bodyFile->Size(), download.attempts, resumePolicy.attempts));
    if (current != generation)
        return true;
    resumeTimer.start(resumePolicy.firstPause * (1 << std::min(download.attempts - 1, 16)));
    return true;
}

void DC::ResumeNow()
{
    ++generation;
    download.rangeStart = bodyFile->Size() > 0 ? bodyFile->Size() : -1;
    download.startOver = false;
    reader.emplace(maxBodyBytes, maxUndeclaredBodyBytes);
    ConfigureReader();
    ConnectToServer();
}

void DC::StartOverNow()
{
    DetachSocket();
    reader.reset();
    bodyFile->StartOver();
    download.rangeStart = -1;
    download.startOver = false;
    if (download.attempts >= resumePolicy.attempts)
        return FailFinally(TransferTexts::StartingOver());
    ++download.attempts;
    const quint64 current = ++generation;
    emit Msg(TransferTexts::StartingOver());
    if (current != generation)
        return;
    resumeTimer.start(resumePolicy.firstPause);
}

void DC::FinishFile()
{
    download.finishing = true;
    download.resumable = false;
    reader.reset();
    bodyFile->Finish();
}

void DC::FileDrained()
{
    if (!WS || !reader || phase != Phase::Exchange)
        return;
    if (download.closePending)
        return Close();
    DataArrival();
}

void DC::FileFinished()
{
    if (!download.finishing)
        return;
    download = FileDownload{};
    EndRedirectChain();
    emit DownOK(QByteArray());
}

void DC::FileFailed(const QString &reason)
{
    if (!download.active)
        return;
    FailFinally(TransferTexts::VideoFileError(bodyFile->Path(), reason));
}

// Once the header is behind and all that the socket had buffered has gone to the file, the rest of a plain body
// goes from the connection to the file in the kernel: no copy through the program, nothing on the window's
// thread. A body over TLS, chunked or without a declared length keeps coming through the socket.
void DC::PourRest()
{
    if (!download.active || secure || !WS || !reader || WS->bytesAvailable() > 0)
        return;
    const qint64 left = reader->BodyLeftToPour();
    if (left <= 0)
        return;
    const int socket = ::fcntl(int(WS->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    if (socket < 0)
        return;
    // The socket lets its descriptor go; the connection stays open on the file's.
    DetachSocket();
    bodyFile->Pour(socket, left, timeLimits.silence);
    pourProgress.start();
}

void DC::FilePoured(BodyFile::PourEnd end, qint64 bytes)
{
    if (!reader)
        return;
    pourProgress.stop();
    reader->BodyPoured(bytes);
    const quint64 current = generation;
    ReportArrival();
    if (current != generation || !reader)
        return;
    if (end == BodyFile::PourEnd::Silent)
        return Fail(SilenceText());
    if (end == BodyFile::PourEnd::Reset)
        reader->ConnectionReset();
    EndOfAnswer();
}
