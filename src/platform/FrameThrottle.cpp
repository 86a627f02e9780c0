#include "platform/FrameThrottle.h"

FrameThrottle::FrameThrottle(std::function<void()> work, QObject* parent)
    : QObject(parent), m_work(std::move(work))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kFrameMs);
    connect(&m_timer, &QTimer::timeout, this, &FrameThrottle::Run);
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
