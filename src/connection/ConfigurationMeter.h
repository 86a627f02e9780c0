#pragma once

#include <QObject>
#include <QTimer>

#include <map>

class TickSource;

// Measures each host's configuration burst, from the accepted login to the last configuration
// message handled, and logs it (krnotify.perf) once the host has sent none for a second:
// messages, seconds, and the user-interface thread's CPU time spent meanwhile (to the last
// sample, taken every kCpuSampleEvery messages). Does nothing while that category is off.
class ConfigurationMeter : public QObject
{
    Q_OBJECT

public:
    static constexpr quint32 kQuietMs = 1000;
    static constexpr int kCpuSampleEvery = 64; // messages

    explicit ConfigurationMeter(const TickSource& ticks, QObject* parent = nullptr);

    void LoginAccepted(int hostId);
    void ConfigurationHandled(int hostId);
    void HostClosed(int hostId);
    // Logs and forgets every burst that has been quiet long enough (the timer's body).
    void LogFinishedBursts();

private:
    struct Burst
    {
        quint32 loginTick = 0;
        quint32 lastTick = 0;
        int messages = 0;
        qint64 cpuAtLoginUs = 0;
        qint64 cpuAtLastUs = 0;
    };

    const TickSource& m_ticks;
    std::map<int, Burst> m_bursts;
    QTimer m_check;
};
