#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// A 10 ms timer that runs while a transfer is in progress and remembers the longest time between two of its
// ticks: whatever blocks the event loop (a big copy, a scan of the whole body) shows up as a long gap.
// On a shared machine a gap may also be time the thread spent waiting for a processor; the thread's own CPU
// time over each gap tells the two apart.
class LoopProbe : public QObject {
    Q_OBJECT
public:
    explicit LoopProbe(QObject *parent = nullptr);

    void Start();
    // Also counts the time since the last tick: a handler that blocks right before the end would otherwise hide.
    void Stop();

    qint64 LargestGapNs() const { return largestGap; }
    // The most CPU time the thread spent between two ticks: the work that held the loop, without preemption.
    qint64 LargestBusyNs() const { return largestBusy; }
    int Ticks() const { return tickCount; }
    // The longest gaps as "wall ms (CPU ms) @ end ms since Start", longest first: where the loop stalled.
    QString LongestGaps() const;

private:
    void RecordTick();
    void RecordGap();

    struct Gap {
        qint64 Length;
        qint64 Busy;
        qint64 End;
    };

    QTimer timer;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 lastCpu = 0;
    qint64 largestGap = 0;
    qint64 largestBusy = 0;
    int tickCount = 0;
    QList<Gap> longest;
};
