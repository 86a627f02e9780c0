#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QTimer>

// "krnotify.perf": the program's own figures, off unless asked for
// (QT_LOGGING_RULES="krnotify.perf.debug=true"), so that a site can measure the program in the
// field and a benchmark can read it: each host's configuration burst, each event's time from
// frame decoded to row added and alarm started, event-loop turns longer than a frame with the
// message handled last, and counters of events and rows.
Q_DECLARE_LOGGING_CATEGORY(lcPerf)

namespace PerfLog {

// Wall-clock microseconds since the epoch: comparable across the processes of one machine
// (a host's send time, a benchmark's own clock).
qint64 NowUs();
// CPU time of the calling thread, in microseconds.
qint64 ThreadCpuUs();

// Running totals since start (user-interface thread only).
struct Counters
{
    quint64 eventsReceived = 0; // event notifications handled
    quint64 rowsAdded = 0;
    quint64 rowsPushedOut = 0; // dropped by the row limit to make room for a newer one
    quint64 alarmsStarted = 0; // alarm sounds asked to play
};
Counters& counters();

} // namespace PerfLog

// Logs the counters every ten seconds while they change, and once more when it goes.
class PerfCounterLog : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 10000;

    explicit PerfCounterLog(QObject* parent = nullptr);
    ~PerfCounterLog() override;

private:
    void Report(bool always);

    QTimer m_timer;
    PerfLog::Counters m_reported;
};
