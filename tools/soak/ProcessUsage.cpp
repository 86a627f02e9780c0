#include "ProcessUsage.h"

#include <QFile>

#include <unistd.h>

namespace Soak {

namespace {

QByteArray readProcFile(qint64 pid, const char* name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return pid > 0 && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

ProcessUsage ProcessUsage::of(qint64 pid)
{
    ProcessUsage usage;
    for (const QByteArray& line : readProcFile(pid, "status").split('\n')) {
        const auto value = [&line] {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        };
        if (line.startsWith("VmRSS:"))
            usage.residentKiB = value();
        else if (line.startsWith("VmHWM:"))
            usage.peakKiB = value();
    }
    // stat: "PID (NAME) STATE ..." with utime and stime the 14th and 15th fields; the name may
    // hold spaces, so fields are counted after its closing parenthesis.
    const QByteArray stat = readProcFile(pid, "stat");
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 12) {
        const double ticks = double(::sysconf(_SC_CLK_TCK));
        usage.cpuSeconds = (fields[11].toDouble() + fields[12].toDouble()) / ticks;
    }
    return usage;
}

} // namespace Soak
