#include "platform/EventLoopWatch.h"

#include "platform/PerfLog.h"

#include <QAbstractEventDispatcher>
#include <QThread>

EventLoopWatch::EventLoopWatch(std::function<QString()> lastWork, QObject* parent)
    : QObject(parent), m_lastWork(std::move(lastWork))
{
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::awake, this, &EventLoopWatch::Awake);
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &EventLoopWatch::AboutToBlock);
    }
}

// A turn runs from waking up until the loop is about to wait again; a loop that never has to
// wait starts its next turn at the next wake-up.
void EventLoopWatch::Awake()
{
    TurnEnded();
    m_turn.start();
}

void EventLoopWatch::AboutToBlock()
{
    TurnEnded();
}

void EventLoopWatch::TurnEnded()
{
    if (!m_turn.isValid())
        return;
    const qint64 busyMs = m_turn.elapsed();
    m_turn.invalidate();
    if (busyMs > kFrameMs)
        qCDebug(lcPerf).nospace().noquote()
            << "event-loop turn of " << busyMs << " ms; last handled: " << m_lastWork();
}
