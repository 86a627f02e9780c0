#include "ProcessMemory.h"

#include <QFile>

namespace Soak {

ProcessMemory ProcessMemory::of(qint64 pid)
{
    ProcessMemory memory;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (pid <= 0 || !status.open(QIODevice::ReadOnly))
        return memory;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const auto value = [&line] {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        };
        if (line.startsWith("VmRSS:"))
            memory.residentKiB = value();
        else if (line.startsWith("VmHWM:"))
            memory.peakKiB = value();
    }
    return memory;
}

} // namespace Soak
