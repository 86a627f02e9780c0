#pragma once

#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

// Timing for the benchmarks: a workload runs several times and its median and fastest run are
// printed. Figures only; nothing here passes or fails.
namespace Bench {

struct Figures
{
    double median = 0.0; // milliseconds
    double min = 0.0;
};

// Median and fastest of a set of times (milliseconds); zeros for none.
inline Figures Summarise(std::vector<double> times)
{
    if (times.empty())
        return {};
    std::sort(times.begin(), times.end());
    const size_t mid = times.size() / 2;
    const double median = times.size() % 2 ? times[mid] : (times[mid - 1] + times[mid]) / 2.0;
    return {median, times.front()};
}

// Wall time of one call of work(), in milliseconds.
template <class Work> double TimeOnce(Work&& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// Runs work() `runs` times (after one untimed warm-up run) and returns its wall times.
template <class Work> Figures Measure(int runs, Work&& work)
{
    work();
    std::vector<double> times;
    times.reserve(size_t(runs));
    for (int run = 0; run < runs; ++run)
        times.push_back(TimeOnce(work));
    return Summarise(std::move(times));
}

// Runs the event loop until done() holds or timeoutMs pass; true when done.
inline bool RunUntil(const std::function<bool()>& done, int timeoutMs = 30000)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// Scales a run's figures to one item of a batch of `count`.
inline Figures PerItem(const Figures& batch, int count)
{
    return {batch.median / count, batch.min / count};
}

// "name: what  median 14.2 ms  min 13.9 ms"
inline void PrintMs(const char* name, const QString& what, const Figures& f)
{
    std::printf("%s: %-44s median %9.3f ms  min %9.3f ms\n", name, qPrintable(what), f.median,
                f.min);
    std::fflush(stdout);
}

inline void PrintUs(const char* name, const QString& what, const Figures& f)
{
    std::printf("%s: %-44s median %9.2f us  min %9.2f us\n", name, qPrintable(what),
                f.median * 1000.0, f.min * 1000.0);
    std::fflush(stdout);
}

// Throughput of a batch of `count` messages: messages per second at the median and best run.
inline void PrintRate(const char* name, const QString& what, const Figures& batch, int count)
{
    std::printf("%s: %-44s median %9.0f msg/s  best %9.0f msg/s\n", name, qPrintable(what),
                count / (batch.median / 1000.0), count / (batch.min / 1000.0));
    std::fflush(stdout);
}

// Counts the paints of a widget (install on its viewport): tells how many changes reached the
// screen.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Widgets and pictures need no display: the offscreen platform unless the caller chose one.
inline void UseOffscreenByDefault()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace Bench
