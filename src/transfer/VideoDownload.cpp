#include "VideoDownload.h"

#include "TransferTexts.h"

#include <algorithm>

namespace {

// The download's measures, and its own reports while several connections work: often enough that a short window of
// the measure ends near its time.
constexpr std::chrono::milliseconds kTickInterval{20};

}  // namespace

VideoDownload::VideoDownload(QObject *parent) : QObject(parent)
{
    resumeTimer.setSingleShot(true);
    connect(&resumeTimer, &QTimer::timeout, this, [this] { StartExchange(false); });
    tick.setInterval(kTickInterval);
    connect(&tick, &QTimer::timeout, this, &VideoDownload::Tick);
    refill.setSingleShot(true);
    connect(&refill, &QTimer::timeout, this, &VideoDownload::Grow);
    connect(&file, &BodyFile::Finished, this, &VideoDownload::FileFinished);
    connect(&file, &BodyFile::Failed, this, &VideoDownload::FileFailed);
}

VideoDownload::~VideoDownload()
{
    Stop();
}

void VideoDownload::Fetch(const ExchangeRequest &fetched, const ExchangeLimits &fetchLimits,
                          const ResumePolicy &fetchPolicy)
{
    Stop();
    request = fetched;
    limits = fetchLimits;
    policy = fetchPolicy;
    state.underWay = true;
    // Whatever an earlier answer of a redirect chain left there is not this body.
    if (file.Size() > 0)
        file.StartOver();
    StartExchange(true);
}

void VideoDownload::Stop()
{
    resumeTimer.stop();
    EndConnections();
    state = State{};
}

void VideoDownload::EndConnections()
{
    tick.stop();
    refill.stop();
    exchange.reset();
    parts.clear();
    spare.clear();
    plan = Plan{};
}

void VideoDownload::KeepHead(const FileHead &head)
{
    state.total = head.total;
    state.etag = head.etag;
    state.lastModified = head.lastModified;
}

qint64 VideoDownload::HeldBytes() const
{
    qint64 held = exchange ? exchange->HeldBytes() : 0;
    for (const std::unique_ptr<Part> &part : parts)
        held += part->exchange ? part->exchange->HeldBytes() : 0;
    return held;
}

int VideoDownload::Connections() const
{
    return plan.several ? Working() : int(exchange != nullptr);
}

// Over one connection each exchange asks for what the file lacks: the whole body, or the rest after the bytes on
// disk.
void VideoDownload::StartExchange(bool reportStart)
{
    FilePart part;
    part.file = &file;
    part.first = file.Size() > 0 ? file.Size() : -1;
    part.total = state.total;
    part.etag = state.etag;
    part.lastModified = state.lastModified;
    exchange.reset(new Exchange(request, limits, this));
    exchange->setFilePart(part);
    exchange->setLengthShown(state.lengthShown);
    exchange->setResumeRule(state.resumable, state.attempts < policy.attempts);
    connect(exchange.get(), &Exchange::Msg, this, &VideoDownload::Msg);
    connect(exchange.get(), &Exchange::ServerLine, this, &VideoDownload::ServerLine);
    connect(exchange.get(), &Exchange::FLVsize, this, &VideoDownload::FLVsize);
    connect(exchange.get(), &Exchange::PercentOfLoad, this, &VideoDownload::PercentOfLoad);
    connect(exchange.get(), &Exchange::Ended, this, &VideoDownload::ExchangeEnded);
    if (maxConnections > 1 && !plan.probed)
        connect(exchange.get(), &Exchange::BodyBegins, this, &VideoDownload::FirstBodyBegins);
    exchange->Start(reportStart);
}

void VideoDownload::ExchangeEnded(const ExchangeEnd &end)
{
    // A second connection still being asked has no part of its own yet: it goes with the first.
    parts.clear();
    tick.stop();
    // The exchange has said its last: what it learnt of the file is kept, and it goes.
    state.resumable = exchange->Resumable();
    if (const std::optional<FileHead> &head = exchange->Head())
        KeepHead(*head);
    state.lengthShown = exchange->LengthShown();
    exchange.reset();
    switch (end.kind) {
    case ExchangeEnd::Kind::Failed:
        return Fail(end.text);
    case ExchangeEnd::Kind::Broken:
        if (end.cannotContinue)
            return StartOver();
        if (!end.fileFault.isEmpty())
            return FailFinally(end.fileFault);
        return FailOn(end.outcome);
    case ExchangeEnd::Kind::Answered:
        return Answered(end.outcome);
    }
}

void VideoDownload::Answered(const Outcome &outcome)
{
    if (state.resumable && outcome.kind == Outcome::Kind::BodyCut && ScheduleResume(resumeTimer))
        return;
    switch (outcome.kind) {
    case Outcome::Kind::Redirect:
        state = State{};
        emit Redirected(outcome.location);
        return;
    case Outcome::Kind::Success:
        state.finishing = true;
        state.resumable = false;
        file.Finish();
        return;
    default:
        return FailOn(outcome);
    }
}

void VideoDownload::Fail(const QString &text)
{
    if (state.resumable && ScheduleResume(resumeTimer))
        return;
    FailFinally(text);
}

// An answer longer than the part of the body asked for is wrong however often it is asked for again.
void VideoDownload::FailOn(const Outcome &outcome)
{
    const QString text = TransferTexts::OutcomeError(outcome);
    if (outcome.kind == Outcome::Kind::BodyTooLong)
        return FailFinally(text);
    Fail(text);
}

void VideoDownload::FailFinally(const QString &text)
{
    Stop();
    emit Failed(text);
}

// The next try, by timer, after a pause that grows with the tries: the tries are the download's, whichever
// connection uses them. False when every try has been used: the caller then ends with the error.
bool VideoDownload::ScheduleResume(QTimer &timer)
{
    if (state.attempts >= policy.attempts || state.finishing)
        return false;
    ++state.attempts;
    timer.start(policy.firstPause * (1 << std::min(state.attempts - 1, 16)));
    emit Msg(TransferTexts::ResumingFrom(file.Size(), state.attempts, policy.attempts));
    return true;
}

// The answer cannot continue the bytes on disk: they go, and the body is asked for again.
void VideoDownload::StartOver()
{
    file.StartOver();
    if (state.attempts >= policy.attempts)
        return FailFinally(TransferTexts::StartingOver());
    ++state.attempts;
    resumeTimer.start(policy.firstPause);
    emit Msg(TransferTexts::StartingOver());
}

void VideoDownload::FileFinished()
{
    if (!state.finishing)
        return;
    state = State{};
    plan = Plan{};
    emit Done();
}

void VideoDownload::FileFailed(const QString &reason)
{
    if (!state.underWay)
        return;
    FailFinally(TransferTexts::VideoFileError(file.Path(), reason));
}
