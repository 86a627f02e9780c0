#include "platform/EventLoopWatch.h"

#include "platform/PerfLog.h"

#include <QMetaObject>

#include <chrono>
#include <pthread.h>

namespace {

qint64 MonotonicNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

qint64 ClockNs(clockid_t clock)
{
    timespec t{};
    return ::clock_gettime(clock, &t) == 0 ? qint64(t.tv_sec) * 1000000000 + t.tv_nsec : 0;
}

} // namespace

EventLoopWatch::EventLoopWatch(std::function<QString()> lastWork, QObject* parent)
    : QObject(parent), m_lastWork(std::move(lastWork))
{
    m_hasCpuClock = ::pthread_getcpuclockid(::pthread_self(), &m_cpuClock) == 0;
    m_watcher = std::thread([this] {
        while (!m_stop.load()) {
            // One question at a time: a busy loop is reported once, when it answers.
            if (!m_asked.exchange(true)) {
                const qint64 askedAt = MonotonicNs();
                const qint64 cpuAtAsk = m_hasCpuClock ? ClockNs(m_cpuClock) : 0;
                QMetaObject::invokeMethod(
                    this, [this, askedAt, cpuAtAsk] { Answer(askedAt, cpuAtAsk); },
                    Qt::QueuedConnection);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kAskEveryMs));
        }
    });
}

EventLoopWatch::~EventLoopWatch()
{
    m_stop.store(true);
    m_watcher.join();
}

void EventLoopWatch::Answer(qint64 askedAtNs, qint64 cpuAtAskNs)
{
    const qint64 waitedMs = (MonotonicNs() - askedAtNs) / 1000000;
    const qint64 cpuMs = cpuAtAskNs ? (ClockNs(CLOCK_THREAD_CPUTIME_ID) - cpuAtAskNs) / 1000000 : 0;
    m_asked.store(false);
    if (waitedMs > kFrameMs)
        qCDebug(lcPerf).nospace().noquote() << "event loop busy for " << waitedMs << " ms (cpu "
                                            << cpuMs << " ms); last handled: " << m_lastWork();
}
