#include "LoopProbe.h"

#include <QStringList>

#include <algorithm>
#include <ctime>

namespace {

qint64 ThreadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace

LoopProbe::LoopProbe(QObject *parent) : QObject(parent)
{
    // A coarse timer may be moved by up to 5% to save wake-ups; the probe wants the ticks where it asked.
    Timer.setTimerType(Qt::PreciseTimer);
    Timer.setInterval(10);
    connect(&Timer, &QTimer::timeout, this, &LoopProbe::RecordTick);
}

void LoopProbe::Start()
{
    LargestGap = 0;
    LargestBusy = 0;
    TickCount = 0;
    Longest.clear();
    Clock.start();
    LastTick = 0;
    LastCpu = ThreadCpuNs();
    Timer.start();
}

void LoopProbe::Stop()
{
    if (!Timer.isActive())
        return;
    Timer.stop();
    RecordGap();
}

void LoopProbe::RecordTick()
{
    RecordGap();
    ++TickCount;
}

void LoopProbe::RecordGap()
{
    const qint64 end = Clock.nsecsElapsed();
    const qint64 cpu = ThreadCpuNs();
    const Gap gap{end - LastTick, cpu - LastCpu, end};
    LastTick = end;
    LastCpu = cpu;
    LargestGap = std::max(LargestGap, gap.Length);
    LargestBusy = std::max(LargestBusy, gap.Busy);
    constexpr qsizetype kKept = 3;
    const auto at =
        std::find_if(Longest.begin(), Longest.end(), [&](const Gap &other) { return other.Length < gap.Length; });
    if (at - Longest.begin() >= kKept)
        return;
    Longest.insert(at, gap);
    if (Longest.size() > kKept)
        Longest.removeLast();
}

QString LoopProbe::LongestGaps() const
{
    QStringList texts;
    for (const Gap &gap : Longest)
        texts << QStringLiteral("%1 ms (CPU %2 ms) @ %3 ms")
                     .arg(gap.Length / 1e6, 0, 'f', 1)
                     .arg(gap.Busy / 1e6, 0, 'f', 1)
                     .arg(gap.End / 1e6, 0, 'f', 0);
    return texts.join(QStringLiteral(", "));
}
