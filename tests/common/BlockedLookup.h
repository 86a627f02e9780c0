#pragma once

#include "hostlookup/NameResolver.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

// A name lookup that never answers (a silent name server), until released; it gives up on
// its own after a minute so that a failing test ends.
class BlockedLookup
{
public:
    ~BlockedLookup() { release(); }

    NameResolver::Lookup function() const
    {
        return [state = m_state](const QByteArray&) {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->entered = true;
            state->changed.wait_for(lock, std::chrono::minutes(1), [&] { return state->released; });
            state->returned = true;
            return std::vector<SocketAddress>();
        };
    }
    bool entered() const { return read(&State::entered); }
    bool returned() const { return read(&State::returned); }
    void release()
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->released = true;
        m_state->changed.notify_all();
    }

private:
    struct State
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool entered = false;
        bool released = false;
        bool returned = false;
    };
    bool read(bool State::*flag) const
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        return (*m_state).*flag;
    }
    std::shared_ptr<State> m_state = std::make_shared<State>();
};
