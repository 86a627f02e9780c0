#include "hostlookup/PollableFlag.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
// Without an eventfd (descriptors exhausted) the flag is looked at this often.
constexpr int kFallbackSliceMs = 100;
} // namespace

PollableFlag::PollableFlag() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

PollableFlag::~PollableFlag()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void PollableFlag::Raise()
{
    m_raised.store(true, std::memory_order_release);
    if (m_fd >= 0) {
        // The counter is never read back: the descriptor stays readable for every waiter.
        const std::uint64_t one = 1;
        const ssize_t written = ::write(m_fd, &one, sizeof one);
        (void)written; // a full counter is readable already
    }
}

PollableFlag::Wake PollableFlag::Wait(int fd, short events, int timeoutMs) const
{
    const QDeadlineTimer deadline =
        timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
    for (;;) {
        if (isRaised())
            return Wake::Raised;
        qint64 slice = deadline.isForever() ? -1 : deadline.remainingTime();
        if (m_fd < 0 && (slice < 0 || slice > kFallbackSliceMs))
            slice = kFallbackSliceMs;
        pollfd watched[2] = {{fd, events, 0}, {m_fd, POLLIN, 0}};
        const int r = ::poll(watched, 2, int(slice));
        if (r < 0 && errno != EINTR)
            return Wake::Failed;
        if (r > 0 && watched[0].revents != 0 && !isRaised())
            return Wake::Ready;
        if (deadline.hasExpired())
            return isRaised() ? Wake::Raised : Wake::TimedOut;
    }
}

PollableFlag::Wake PollableFlag::Wait(const PollableFlag& other) const
{
    for (;;) {
        if (other.isRaised())
            return Wake::Ready;
        // Raise() sets the flag before it wakes the descriptor, so a wake-up finds it set.
        const Wake wake = Wait(other.m_fd, POLLIN, other.m_fd < 0 ? kFallbackSliceMs : -1);
        if (wake == Wake::Raised || wake == Wake::Failed)
            return wake;
    }
}
