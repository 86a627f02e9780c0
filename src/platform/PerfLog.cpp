#include "platform/PerfLog.h"

#include <chrono>
#include <ctime>

Q_LOGGING_CATEGORY(lcPerf, "krnotify.perf", QtInfoMsg)

namespace PerfLog {

qint64 NowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

qint64 ThreadCpuUs()
{
    timespec t{};
    if (::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0)
        return 0;
    return qint64(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

Counters& counters()
{
    static Counters totals;
    return totals;
}

} // namespace PerfLog

PerfCounterLog::PerfCounterLog(QObject* parent) : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, [this] { Report(false); });
    m_timer.start(kIntervalMs);
}

PerfCounterLog::~PerfCounterLog()
{
    Report(true);
}

void PerfCounterLog::Report(bool always)
{
    const PerfLog::Counters& now = PerfLog::counters();
    if (!always && now.eventsReceived == m_reported.eventsReceived &&
        now.rowsAdded == m_reported.rowsAdded && now.rowsPushedOut == m_reported.rowsPushedOut &&
        now.alarmsStarted == m_reported.alarmsStarted)
        return;
    m_reported = now;
    qCDebug(lcPerf).nospace() << "counters: " << now.eventsReceived << " events received, "
                              << now.rowsAdded << " rows added, " << now.rowsPushedOut
                              << " rows pushed out, " << now.alarmsStarted << " alarms started";
}
