#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// An open file descriptor, closed when the last owner lets go.
class SharedFd
{
public:
    explicit SharedFd(int fd) : m_fd(fd) {}
    ~SharedFd();
    SharedFd(const SharedFd&) = delete;
    SharedFd& operator=(const SharedFd&) = delete;

    int get() const { return m_fd; }

private:
    int m_fd;
};

// Flushes files to the disk on a thread of its own, so that whoever writes them waits only for
// the write itself. A file handed over is synced once after it was handed (a file handed again
// while it waits is synced once for both). The destructor syncs what is still waiting.
class BackgroundFileSync
{
public:
    BackgroundFileSync();
    ~BackgroundFileSync();
    BackgroundFileSync(const BackgroundFileSync&) = delete;
    BackgroundFileSync& operator=(const BackgroundFileSync&) = delete;

    void Request(std::shared_ptr<SharedFd> file);
    // Blocks until everything requested so far is on the disk (tests, benchmarks).
    void WaitIdle();

private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::vector<std::shared_ptr<SharedFd>> m_pending;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};
