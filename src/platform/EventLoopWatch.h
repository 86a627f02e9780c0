#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>

// Logs (krnotify.perf) every turn of the thread's event loop that kept it busy longer than one
// frame, with what the program handled last, so a stall can be traced to its message.
class EventLoopWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kFrameMs = 16;

    // lastWork names what was handled last ("DOOR_STATUS from host 3"); called only for a
    // long turn.
    explicit EventLoopWatch(std::function<QString()> lastWork, QObject* parent = nullptr);

private:
    void Awake();
    void AboutToBlock();
    void TurnEnded();

    std::function<QString()> m_lastWork;
    QElapsedTimer m_turn; // valid while a turn runs
};
