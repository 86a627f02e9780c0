#pragma once

#include <atomic>

// A flag that any thread may raise once and that a blocking wait can watch next to a socket:
// raising it wakes every poll() that includes its descriptor. Downloads use it to stop at once
// (the program ends, the picture is no longer wanted) instead of at their next time-out.
class PollableFlag
{
public:
    enum class Wake
    {
        Ready,    // the watched descriptor reported
        Raised,   // the flag was raised
        TimedOut, // the time ran out
        Failed    // poll() itself failed
    };

    PollableFlag();
    ~PollableFlag();
    PollableFlag(const PollableFlag&) = delete;
    PollableFlag& operator=(const PollableFlag&) = delete;

    void Raise();
    bool isRaised() const { return m_raised.load(std::memory_order_acquire); }
    // Readable once the flag is raised (for an event loop's notifier); -1 when the system had
    // no descriptor to give.
    int fd() const { return m_fd; }

    // Waits until fd reports one of events (or an error or hang-up), the flag is raised, or
    // timeoutMs passes (negative: no limit). A descriptor below 0 is never ready.
    Wake Wait(int fd, short events, int timeoutMs) const;
    // Waits, without a time limit, until other is raised (Ready) or this flag is (Raised).
    Wake Wait(const PollableFlag& other) const;

private:
    std::atomic<bool> m_raised{false};
    int m_fd = -1; // an eventfd; -1 when none could be had (the flag is then polled)
};
