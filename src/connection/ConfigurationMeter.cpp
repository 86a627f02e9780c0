#include "connection/ConfigurationMeter.h"

#include "platform/PerfLog.h"
#include "platform/TickSource.h"

ConfigurationMeter::ConfigurationMeter(const TickSource& ticks, QObject* parent)
    : QObject(parent), m_ticks(ticks)
{
    m_check.setInterval(int(kQuietMs / 4));
    connect(&m_check, &QTimer::timeout, this, &ConfigurationMeter::LogFinishedBursts);
}

void ConfigurationMeter::LoginAccepted(int hostId)
{
    if (!lcPerf().isDebugEnabled())
        return;
    Burst burst;
    burst.loginTick = burst.lastTick = m_ticks.tickCount();
    burst.cpuAtLoginUs = burst.cpuAtLastUs = PerfLog::ThreadCpuUs();
    m_bursts[hostId] = burst;
    m_check.start();
}

void ConfigurationMeter::ConfigurationHandled(int hostId)
{
    const auto it = m_bursts.find(hostId);
    if (it == m_bursts.end())
        return;
    Burst& burst = it->second;
    ++burst.messages;
    burst.lastTick = m_ticks.tickCount();
    // Reading the thread's CPU clock is a system call: sampled, it costs the burst nothing.
    if (burst.messages % kCpuSampleEvery == 0)
        burst.cpuAtLastUs = PerfLog::ThreadCpuUs();
}

void ConfigurationMeter::HostClosed(int hostId)
{
    m_bursts.erase(hostId);
}

void ConfigurationMeter::LogFinishedBursts()
{
    const quint32 now = m_ticks.tickCount();
    for (auto it = m_bursts.begin(); it != m_bursts.end();) {
        const Burst& burst = it->second;
        if (now - burst.lastTick < kQuietMs) {
            ++it;
            continue;
        }
        qCDebug(lcPerf, "host %d configuration complete: %d messages in %.3f s (cpu %.3f s)",
                it->first, burst.messages, (burst.lastTick - burst.loginTick) / 1000.0,
                (burst.cpuAtLastUs - burst.cpuAtLoginUs) / 1e6);
        it = m_bursts.erase(it);
    }
    if (m_bursts.empty())
        m_check.stop();
}
