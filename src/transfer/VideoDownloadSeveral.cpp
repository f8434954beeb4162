// A video over several connections at once: the second connection that shows whether the server serves parts, the
// parts each connection fetches, their drops and refusals, the measure that decides how many there are, and the
// progress of them all.
#include "VideoDownload.h"

#include "TransferTexts.h"

#include <QHash>

#include <algorithm>

using namespace ConnectionPlan;

namespace {

// The count of connections that worked, by server, for the rest of the run.
QHash<QString, int> &RememberedCounts()
{
    static QHash<QString, int> counts;
    return counts;
}

}  // namespace

QString VideoDownload::HostKey() const
{
    return request.server.host + u':' + QString::number(request.server.port);
}

int VideoDownload::Working() const
{
    return int(std::count_if(parts.begin(), parts.end(),
                             [](const std::unique_ptr<Part> &part) { return part->exchange != nullptr; }));
}

// The connections that work, and those about to be asked again: the count the plan holds to.
int VideoDownload::Busy() const
{
    return int(std::count_if(parts.begin(), parts.end(), [](const std::unique_ptr<Part> &part) {
        return part->exchange != nullptr || part->resume.isActive();
    }));
}

// The first connection's body begins. A long one is measured alone for a moment, then a second connection is asked
// for a part; where the server is known, the second connection is asked at once, or never.
void VideoDownload::FirstBodyBegins()
{
    const std::optional<FileHead> &head = exchange->Head();
    if (plan.probed || !head || head->total < kLeastLength)
        return;
    KeepHead(*head);
    const int remembered = RememberedCounts().value(HostKey(), 0);
    if (remembered == 1) {
        plan.probed = true;
        return;
    }
    plan.measuring = true;
    StartWindow();
    tick.start();
    if (remembered > 1)
        StartProbe();
}

void VideoDownload::Tick()
{
    if (plan.several) {
        ReportSeveral();
        if (plan.growing)
            Measure();
        return;
    }
    if (plan.probed || !exchange || !plan.measuring)
        return;
    const std::optional<ConnectionPlan::Measure> solo =
        plan.solo.Sample(plan.since.elapsed(), file.Size() - plan.fromBytes, file.IdleMs() - plan.fromIdleMs);
    if (!solo)
        return;
    // Through a proxy the first window is its buffers filling at once, faster than the connection brings bytes: only
    // the next one is the connection's own.
    if (request.viaProxy && !plan.warm) {
        plan.warm = true;
        StartWindow();
        plan.solo = {};
        return;
    }
    plan.before = *solo;
    plan.measuring = false;
    if (!WorthMore(state.total - file.Size(), plan.before)) {
        plan.probed = true;
        return tick.stop();
    }
    StartProbe();
}

// The second half of what is left, asked for on a second connection: only a fitting 206 shows that the server
// serves parts. The first connection goes on meanwhile as if it were alone.
void VideoDownload::StartProbe()
{
    plan.probed = true;
    const std::optional<Split> split = SplitLargest({{exchange->PartReached(), state.total}});
    if (!split)
        return tick.stop();
    StartPart(AddPart(split->at, state.total));
}

void VideoDownload::ProbeBegins(Part *probe)
{
    const qint64 firstEnd = exchange->CutPartAt(probe->next);
    if (firstEnd == probe->next) {
        probe->begun = true;
        return EnterSeveral(firstEnd);
    }
    // The first connection got there before: what is left is little, and it fetches it alone. The second one's
    // part is now empty, which ends it as whole at once.
    probe->exchange->CutPartAt(probe->next);
    probe->end = probe->next;
}

void VideoDownload::ProbeEnded(Part *probe, const ExchangeEnd &end)
{
    probe->exchange.reset();
    RemovePart(probe);
    // A part of another file than the first connection's: the file has changed under the download.
    if (end.kind == ExchangeEnd::Kind::Broken && end.cannotContinue && end.status == 206)
        return StartOverAll();
    tick.stop();
    // The server does not serve parts, or not to us: its videos come over one connection for the rest of the run.
    if (end.status == 200 || IsRefusal(end.status, end.received))
        RememberedCounts()[HostKey()] = 1;
}

// The server serves parts: the first connection now ends where the second began, and the download reports for them
// all.
void VideoDownload::EnterSeveral(qint64 firstEnd)
{
    plan.several = true;
    disconnect(exchange.get(), nullptr, this, nullptr);
    exchange->setReportsProgress(false);
    Part *first = AddPart(0, firstEnd);
    // The first connection's part stays the first.
    std::rotate(parts.begin(), parts.end() - 1, parts.end());
    first->exchange = std::move(exchange);
    first->begun = true;
    connect(first->exchange.get(), &Exchange::Ended, this,
            [this, first](const ExchangeEnd &end) { PartEnded(first, end); });
    const int remembered = RememberedCounts().value(HostKey(), 0);
    plan.target = remembered > 1 ? std::min(remembered, maxConnections) : 2;
    plan.proven = 2;
    plan.growing = remembered == 0;
    plan.measuring = false;
    Grow();
}

VideoDownload::Part *VideoDownload::AddPart(qint64 next, qint64 end)
{
    auto part = std::make_unique<Part>();
    Part *raw = part.get();
    part->next = next;
    part->end = end;
    part->resume.setSingleShot(true);
    connect(&part->resume, &QTimer::timeout, this, [this, raw] { StartPart(raw); });
    parts.push_back(std::move(part));
    return raw;
}

// The part's connection asks for its bytes from next to end, in the form of every request, with the validator of
// the first answer.
void VideoDownload::StartPart(Part *part)
{
    FilePart filePart;
    filePart.file = &file;
    filePart.first = part->next;
    filePart.last = part->end - 1;
    filePart.total = state.total;
    filePart.etag = state.etag;
    filePart.lastModified = state.lastModified;
    part->begun = false;
    part->startedWith = plan.target;
    part->exchange.reset(new Exchange(request, limits, this));
    Exchange *started = part->exchange.get();
    started->setFilePart(filePart);
    started->setReportsProgress(false);
    started->setResumeRule(true, true);
    connect(started, &Exchange::BodyBegins, this, [this, part] {
        if (plan.several)
            part->begun = true;
        else
            ProbeBegins(part);
    });
    connect(started, &Exchange::Ended, this, [this, part](const ExchangeEnd &end) {
        if (plan.several)
            PartEnded(part, end);
        else
            ProbeEnded(part, end);
    });
    started->Start(false);
}

void VideoDownload::PartEnded(Part *part, const ExchangeEnd &end)
{
    if (end.reached >= 0)
        part->next = end.reached;
    part->exchange.reset();
    const bool answered = end.kind == ExchangeEnd::Kind::Answered;
    if (answered && end.outcome.kind == Outcome::Kind::Success)
        return TakeWork(part);
    if (end.kind == ExchangeEnd::Kind::Broken && end.cannotContinue)
        return StartOverAll();
    if (end.kind == ExchangeEnd::Kind::Broken && !end.fileFault.isEmpty())
        return FailFinally(end.fileFault);
    if (!part->begun && Working() > 0 && IsRefusal(end.status, end.received))
        return PartRefused(part);
    const QString text = end.kind == ExchangeEnd::Kind::Failed ? end.text : TransferTexts::OutcomeError(end.outcome);
    if (end.kind != ExchangeEnd::Kind::Failed && end.outcome.kind == Outcome::Kind::BodyTooLong)
        return FailFinally(text);
    ResumePart(part, text);
}

// The server wants fewer connections from us: the count halves, and the refused part waits for the next connection
// that is free. Connections refused together, added in one step, halve it once. One that took the place of a
// connection that ended, within a count that has worked, is asked again shortly instead.
void VideoDownload::PartRefused(Part *part)
{
    if (part->startedWith <= plan.proven) {
        part->resume.start(kReplacementPause);
        return;
    }
    plan.target = std::min(plan.target, CountAfterRefusal(part->startedWith));
    plan.growing = false;
    plan.measuring = false;
    RememberedCounts()[HostKey()] = plan.target;
    spare.push_back({part->next, part->end});
    RemovePart(part);
    // The parts given back go to connections of the new count, after a moment for the server to see the others go.
    refill.start(kReplacementPause);
}

// A part that drops is taken up again from its own bytes on disk, by the rules of a drop over one connection: the
// tries are the download's, whichever connection uses them.
void VideoDownload::ResumePart(Part *part, const QString &text)
{
    plan.measuring = false;
    if (!ScheduleResume(part->resume))
        FailFinally(text);
}

// A connection whose part is whole goes; the count is made up again with parts given back, or halves of the largest
// parts still to come.
void VideoDownload::TakeWork(Part *part)
{
    RemovePart(part);
    Grow();
    if (parts.empty() && spare.empty())
        AllPartsDone();
}

bool VideoDownload::SplitFor(Part *part)
{
    std::vector<Span> spans;
    std::vector<Part *> owners;
    for (const std::unique_ptr<Part> &other : parts) {
        if (other.get() == part)
            continue;
        spans.push_back({other->exchange ? other->exchange->PartReached() : other->next, other->end});
        owners.push_back(other.get());
    }
    const std::optional<Split> split = SplitLargest(spans);
    if (!split)
        return false;
    Part *owner = owners[split->index];
    // A connection under way ends where it can: its bytes already on their way stay its own.
    const qint64 at = owner->exchange ? owner->exchange->CutPartAt(split->at) : split->at;
    if (at >= owner->end)
        return false;
    part->next = at;
    part->end = owner->end;
    owner->end = at;
    return true;
}

void VideoDownload::RemovePart(Part *part)
{
    std::erase_if(parts, [part](const std::unique_ptr<Part> &held) { return held.get() == part; });
}

void VideoDownload::Grow()
{
    if (!plan.several)
        return;
    while (Busy() < plan.target) {
        Part *part = AddPart(0, 0);
        const bool given = !spare.empty();
        if (given) {
            part->next = spare.back().next;
            part->end = spare.back().end;
            spare.pop_back();
        }
        if (!given && !SplitFor(part)) {
            RemovePart(part);
            return;
        }
        StartPart(part);
    }
}

void VideoDownload::StartWindow()
{
    plan.since.start();
    plan.fromBytes = file.Size();
    plan.fromIdleMs = file.IdleMs();
}

// Once every connection brings bytes they are measured together; the count grows while that makes the download
// faster.
void VideoDownload::Measure()
{
    const int count = Working();
    if (!plan.measuring) {
        const bool begun = std::all_of(parts.begin(), parts.end(), [](const std::unique_ptr<Part> &part) {
            return !part->exchange || part->begun;
        });
        if (!begun || count < plan.target)
            return;
        plan.measuring = true;
        StartWindow();
        plan.count = count;
        return;
    }
    // A connection that ended or dropped meanwhile spoils the measure: it starts again.
    if (count != plan.count) {
        plan.measuring = false;
        return;
    }
    const qint64 elapsed = plan.since.elapsed();
    const qint64 bytes = file.Size() - plan.fromBytes;
    if (!WindowDone(elapsed, bytes, count))
        return;
    const ConnectionPlan::Measure now = MeasureOf(count, elapsed, bytes, file.IdleMs() - plan.fromIdleMs);
    const int next = NextCount(plan.before, now, maxConnections);
    plan.before = now;
    plan.proven = std::max(plan.proven, count);
    plan.measuring = false;
    if (next > count) {
        plan.target = next;
        return Grow();
    }
    plan.growing = false;
    RememberedCounts()[HostKey()] = count;
}

void VideoDownload::ReportSeveral()
{
    const qint64 bytes = file.Size();
    if (bytes == plan.reportedBytes)
        return;
    plan.reportedBytes = bytes;
    emit Msg(TransferTexts::Receiving(bytes));
    if (state.total > 0)
        emit PercentOfLoad(int(std::min(bytes, state.total) * 100 / state.total));
}

// Every part is whole: the file holds the declared length, each part having held its own exactly.
void VideoDownload::AllPartsDone()
{
    tick.stop();
    ReportSeveral();
    emit Msg(TransferTexts::Finished());
    state.finishing = true;
    state.resumable = false;
    file.Finish();
}

// A validator changed on some connection: every one goes, and the whole file is asked for anew.
void VideoDownload::StartOverAll()
{
    EndConnections();
    StartOver();
}
