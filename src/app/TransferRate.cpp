#include "TransferRate.h"

#include "TransferTexts.h"

#include <cmath>

void TransferRate::Add(qint64 milliseconds, qint64 bytes)
{
    if (!samples.empty() && bytes < samples.back().second)
        samples.clear();
    samples.emplace_back(milliseconds, bytes);
    while (samples.size() > 2 && milliseconds - samples[1].first >= kWindowMs)
        samples.pop_front();
}

std::optional<double> TransferRate::BytesPerSecond() const
{
    if (samples.size() < 2)
        return std::nullopt;
    const qint64 span = samples.back().first - samples.front().first;
    if (span < 1000)
        return std::nullopt;
    return double(samples.back().second - samples.front().second) * 1000.0 / double(span);
}

QString TransferRate::Text(qint64 bytes, qint64 total, int connections) const
{
    const std::optional<double> speed = BytesPerSecond();
    if (!speed)
        return {};
    QString text = QStringLiteral("Скорость: ") + SpeedText(*speed);
    if (connections > 1)
        text += QStringLiteral(", ") + ConnectionsText(connections);
    if (total > 0 && bytes < total && *speed >= 1.0)
        text += QStringLiteral(", осталось ") + TimeLeftText(qint64(std::ceil(double(total - bytes) / *speed)));
    return text;
}

QString TransferRate::SpeedText(double bytesPerSecond)
{
    return TransferTexts::ReadableSize(qint64(bytesPerSecond)) + QStringLiteral("/с");
}

QString TransferRate::TimeLeftText(qint64 seconds)
{
    if (seconds < 60)
        return QString::number(seconds) + QStringLiteral(" с");
    if (seconds < 3600)
        return QStringLiteral("%1 мин %2 с").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 ч %2 мин").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

// "2 соединения", "5 соединений", "21 соединение".
QString TransferRate::ConnectionsText(int count)
{
    const int lastTwo = count % 100;
    const int last = count % 10;
    if (last == 1 && lastTwo != 11)
        return QStringLiteral("%1 соединение").arg(count);
    if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14))
        return QStringLiteral("%1 соединения").arg(count);
    return QStringLiteral("%1 соединений").arg(count);
}
