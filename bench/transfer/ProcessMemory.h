#pragma once

#include <QtGlobal>

// Figures of this process from /proc/self/status, in KiB; -1 when the kernel does not give them.
qint64 ReadPeakResidentKiB();     // VmHWM: the most this process has ever held in memory
qint64 ReadResidentKiB();         // VmRSS: what it holds now
