#include "platform/FrameThrottle.h"

FrameThrottle::FrameThrottle(std::function<void()> work, QObject* parent)
    : QObject(parent), m_work(std::move(work))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kFrameMs);
    connect(&m_timer, &QTimer::timeout, this, &FrameThrottle::Run);
}

void FrameThrottle::SetInterval(int milliseconds)
{
    m_shortestMs = milliseconds;
    m_timer.setInterval(milliseconds);
}

void FrameThrottle::WorkTook(qint64 milliseconds)
{
    const qint64 longest = qMax<qint64>(m_shortestMs, kLongestFrameMs);
    m_timer.setInterval(int(qBound<qint64>(m_shortestMs, 4 * milliseconds, longest)));
}

void FrameThrottle::Request()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void FrameThrottle::Flush()
{
    if (m_timer.isActive())
        Run();
}

void FrameThrottle::Run()
{
    m_timer.stop();
    m_work();
}
