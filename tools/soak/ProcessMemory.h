#pragma once

#include <QtGlobal>

namespace Soak {

// A process's memory as the kernel counts it (/proc/PID/status), in KiB; -1 when unknown.
struct ProcessMemory
{
    qint64 residentKiB = -1; // VmRSS
    qint64 peakKiB = -1;     // VmHWM: the largest resident size so far

    static ProcessMemory of(qint64 pid);
};

} // namespace Soak
