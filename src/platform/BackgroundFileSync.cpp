#include "platform/BackgroundFileSync.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcFileSync, "krnotify.platform.filesync")

SharedFd::~SharedFd()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

BackgroundFileSync::BackgroundFileSync() : m_thread([this] { Run(); }) {}

BackgroundFileSync::~BackgroundFileSync()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void BackgroundFileSync::Request(std::shared_ptr<SharedFd> file)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (std::find(m_pending.begin(), m_pending.end(), file) == m_pending.end())
            m_pending.push_back(std::move(file));
    }
    m_wake.notify_one();
}

void BackgroundFileSync::WaitIdle()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return m_pending.empty() && !m_busy; });
}

void BackgroundFileSync::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_pending.empty(); });
        if (m_pending.empty()) // stopping with nothing left
            return;
        std::vector<std::shared_ptr<SharedFd>> files;
        files.swap(m_pending);
        m_busy = true;
        lock.unlock();
        for (const std::shared_ptr<SharedFd>& file : files) {
            if (::fdatasync(file->get()) != 0)
                qCWarning(lcFileSync) << "sync failed:" << std::strerror(errno);
        }
        files.clear(); // a file replaced meanwhile is closed here, off the writer's thread
        lock.lock();
        m_busy = false;
        if (m_pending.empty())
            m_idle.notify_all();
    }
}
