#include "ConnectionPlan.h"

#include <algorithm>

namespace ConnectionPlan {

int NextCount(const Measure &before, const Measure &now, int most)
{
    if (now.count <= before.count || now.count <= 0 || now.idleShare < kLeastIdleShare)
        return std::clamp(now.count, 1, std::max(most, 1));
    const double gainEach = (now.bytesPerSecond - before.bytesPerSecond) / (now.count - before.count);
    const double average = now.bytesPerSecond / now.count;
    if (gainEach < average / 2)
        return std::min(now.count, std::max(most, 1));
    const int factor = gainEach >= average * 0.9 ? 4 : 2;
    return std::min(now.count * factor, std::max(most, 1));
}

int CountAfterRefusal(int count)
{
    return std::max(1, count / 2);
}

bool IsRefusal(int status, qint64 received)
{
    // Refused, or reset or closed before its first byte: a server's way of saying "not one more".
    return status == 403 || status == 429 || status == 503 || received == 0;
}

bool WindowDone(qint64 elapsedMs, qint64 bytes, int count)
{
    if (elapsedMs >= kLongestWindowMs)
        return true;
    return elapsedMs >= kShortestWindowMs && bytes >= kWindowBytes * std::max(count, 1);
}

Measure MeasureOf(int count, qint64 elapsedMs, qint64 bytes, qint64 idleMs)
{
    const double seconds = double(std::max<qint64>(elapsedMs, 1)) / 1000.0;
    return {count, double(bytes) / seconds, double(idleMs) / 1000.0 / seconds};
}

std::optional<Measure> SoloWindow::Sample(qint64 elapsedMs, qint64 bytes, qint64 idleMs)
{
    if (halfMs < 0) {
        if (elapsedMs * 2 >= kShortestWindowMs) {
            halfMs = elapsedMs;
            halfBytes = bytes;
            halfIdleMs = idleMs;
        }
        return std::nullopt;
    }
    if (!WindowDone(elapsedMs, bytes, 1))
        return std::nullopt;
    return MeasureOf(1, elapsedMs - halfMs, bytes - halfBytes, idleMs - halfIdleMs);
}

bool WorthMore(qint64 leftBytes, const Measure &one)
{
    return one.idleShare >= kLeastIdleShare && double(leftBytes) > one.bytesPerSecond * double(kWorthMs) / 1000.0;
}

std::optional<Split> SplitLargest(const std::vector<Span> &spans)
{
    if (spans.empty())
        return std::nullopt;
    const auto largest =
        std::max_element(spans.begin(), spans.end(), [](const Span &a, const Span &b) { return a.Left() < b.Left(); });
    if (largest->Left() < 2 * kLeastRange)
        return std::nullopt;
    return Split{std::size_t(largest - spans.begin()), largest->next + largest->Left() / 2};
}

}  // namespace ConnectionPlan
