#pragma once

#include <QtGlobal>

#include <atomic>
#include <chrono>

// How long one thread has spent waiting, in all, a wait under way included; read from any thread.
class WaitClock {
public:
    void Begin() { since = Now(); }
    void End()
    {
        ended += Now() - since;
        since = 0;
    }
    qint64 TotalMs() const
    {
        // Read in the order they are written: a wait that ends in between counts twice for a moment, never not at all.
        const qint64 under = since;
        const qint64 done = ended;
        return (done + (under != 0 ? Now() - under : 0)) / 1000000;
    }

private:
    static qint64 Now()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // In nanoseconds of the steady clock: the waits that have ended, and the start of the one under way (0: none).
    std::atomic<qint64> ended = 0;
    std::atomic<qint64> since = 0;
};
