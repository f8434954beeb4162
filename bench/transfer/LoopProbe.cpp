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
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(10);
    connect(&timer, &QTimer::timeout, this, &LoopProbe::RecordTick);
}

void LoopProbe::Start()
{
    largestGap = 0;
    largestBusy = 0;
    tickCount = 0;
    longest.clear();
    clock.start();
    lastTick = 0;
    lastCpu = ThreadCpuNs();
    timer.start();
}

void LoopProbe::Stop()
{
    if (!timer.isActive())
        return;
    timer.stop();
    RecordGap();
}

void LoopProbe::RecordTick()
{
    RecordGap();
    ++tickCount;
}

void LoopProbe::RecordGap()
{
    const qint64 end = clock.nsecsElapsed();
    const qint64 cpu = ThreadCpuNs();
    const Gap gap{end - lastTick, cpu - lastCpu, end};
    lastTick = end;
    lastCpu = cpu;
    largestGap = std::max(largestGap, gap.Length);
    largestBusy = std::max(largestBusy, gap.Busy);
    constexpr qsizetype kKept = 3;
    const auto at =
        std::find_if(longest.begin(), longest.end(), [&](const Gap &other) { return other.Length < gap.Length; });
    if (at - longest.begin() >= kKept)
        return;
    longest.insert(at, gap);
    if (longest.size() > kKept)
        longest.removeLast();
}

QString LoopProbe::LongestGaps() const
{
    QStringList texts;
    for (const Gap &gap : longest)
        texts << QStringLiteral("%1 ms (CPU %2 ms) @ %3 ms")
                     .arg(gap.Length / 1e6, 0, 'f', 1)
                     .arg(gap.Busy / 1e6, 0, 'f', 1)
                     .arg(gap.End / 1e6, 0, 'f', 0);
    return texts.join(QStringLiteral(", "));
}
