#pragma once

#include <QtGlobal>

#include <atomic>

// A 32-bit millisecond tick like GetTickCount: counts from an arbitrary start and wraps after
// about 49.7 days. Compare ticks by unsigned difference (now - then), which survives the wrap.
class TickSource
{
public:
    virtual ~TickSource();
    virtual quint32 tickCount() const = 0;
};

// The monotonic system clock in milliseconds, truncated to 32 bits.
class SystemTickSource : public TickSource
{
public:
    quint32 tickCount() const override;
};

// A tick that moves only when told to (tests). Safe to read from any thread.
class ManualTickSource : public TickSource
{
public:
    explicit ManualTickSource(quint32 start = 0) : m_tick(start) {}
    quint32 tickCount() const override { return m_tick.load(); }
    void setTickCount(quint32 tick) { m_tick.store(tick); }
    void advance(quint32 milliseconds) { m_tick.fetch_add(milliseconds); }

private:
    std::atomic<quint32> m_tick;
};
