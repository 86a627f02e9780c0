#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <ctime>
#include <functional>
#include <thread>

// Logs (krnotify.perf) every time the thread's event loop was kept busy longer than one frame,
// with what the program handled last, so a stall can be traced to its message. A watcher
// thread asks the loop for an answer every few milliseconds; an answer that comes later than
// a frame means the loop could not run for that long. The thread's own CPU time over the same
// span tells the program's work from a machine too busy to run it.
class EventLoopWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kFrameMs = 16;
    static constexpr int kAskEveryMs = 4;

    // lastWork names what was handled last ("DOOR_STATUS from host 3"); called only for a
    // stall.
    explicit EventLoopWatch(std::function<QString()> lastWork, QObject* parent = nullptr);
    ~EventLoopWatch() override;

private:
    void Answer(qint64 askedAtNs, qint64 cpuAtAskNs);

    std::function<QString()> m_lastWork;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_asked{false};
    clockid_t m_cpuClock{}; // the watched thread's CPU time
    bool m_hasCpuClock = false;
    std::thread m_watcher;
};
