#pragma once

#include <QString>

#include <deque>
#include <optional>
#include <utility>

// The speed of a download as a moving average over the last few seconds, and the time left at that speed.
class TransferRate {
public:
    static constexpr qint64 kWindowMs = 5000;

    // The bytes received by that moment (milliseconds from any fixed start); a smaller count starts anew.
    void Add(qint64 milliseconds, qint64 bytes);
    void Clear() { samples.clear(); }
    // Nothing until there is a second's worth of samples.
    std::optional<double> BytesPerSecond() const;

    // "Скорость: 2,4 МБ/с, осталось 1 мин 20 с"; without a total, the speed alone; "" without a speed. Over several
    // connections their count follows the speed: "Скорость: 61 МБ/с, 12 соединений, осталось 12 с".
    QString Text(qint64 bytes, qint64 total, int connections = 1) const;
    static QString SpeedText(double bytesPerSecond);
    static QString TimeLeftText(qint64 seconds);
    static QString ConnectionsText(int count);

private:
    std::deque<std::pair<qint64, qint64>> samples;
};
