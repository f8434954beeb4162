#pragma once

#include <QtGlobal>

// Figures of this process from /proc/self/status, in KiB; -1 when the kernel does not give them.
qint64 ReadPeakResidentKiB();  // VmHWM: the most this process has ever held in memory
qint64 ReadResidentKiB();  // VmRSS: what it holds now

// Processor time and page faults. Unlike wall time they hardly change when other processes share the
// machine, so they tell what a step costs even on a busy machine.
struct CpuUsage {
    qint64 UserNs = 0;
    qint64 SystemNs = 0;
    qint64 MinorFaults = 0;

    CpuUsage operator-(const CpuUsage &earlier) const
    {
        return {UserNs - earlier.UserNs, SystemNs - earlier.SystemNs, MinorFaults - earlier.MinorFaults};
    }
};

CpuUsage ReadOwnCpuUsage();
// Of the child processes that have ended and been waited for.
CpuUsage ReadChildrenCpuUsage();
