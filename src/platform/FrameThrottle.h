#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Runs a piece of view work at most once per frame: every request made while one is pending
// is served by the same run, at the end of the frame in which the first was made. The model
// changes at once; measuring, laying out and repainting what changed follow at this pace.
//
// Work that grows with the view (laying out a tree of many thousand rows) stretches the frame:
// told how long the last run's work took, the next frame lasts four times that (up to
// kLongestFrameMs), so the work keeps to a quarter of the thread.
class FrameThrottle : public QObject
{
    Q_OBJECT

public:
    static constexpr int kFrameMs = 16;
    static constexpr int kLongestFrameMs = 250;

    explicit FrameThrottle(std::function<void()> work, QObject* parent = nullptr);

    void Request();
    // The shortest frame (tests: one long enough never to end by itself).
    void SetInterval(int milliseconds);
    void WorkTook(qint64 milliseconds);
    bool IsPending() const { return m_timer.isActive(); }
    // Runs the pending work now (someone needs its result before the frame ends).
    void Flush();

private:
    void Run();

    std::function<void()> m_work;
    QTimer m_timer;
    int m_shortestMs = kFrameMs;
};
