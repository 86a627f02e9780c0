#pragma once

#include <QtGlobal>

namespace Soak {

// What a process uses as the kernel counts it (/proc/PID); -1 when unknown.
struct ProcessUsage
{
    qint64 residentKiB = -1; // VmRSS
    qint64 peakKiB = -1;     // VmHWM: the largest resident size so far
    double cpuSeconds = -1;  // user and system time so far

    static ProcessUsage of(qint64 pid);
};

} // namespace Soak
