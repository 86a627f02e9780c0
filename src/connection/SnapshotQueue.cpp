#include "connection/SnapshotQueue.h"

#include <algorithm>

SnapshotQueue::SnapshotQueue(int slots, int slotsPerHost)
    : m_slots(slots), m_slotsPerHost(slotsPerHost)
{
}

void SnapshotQueue::Push(const SnapshotRequest& request)
{
    std::deque<SnapshotRequest>& queue = m_waiting[request.hostId];
    const bool waitingAlready =
        std::any_of(queue.begin(), queue.end(),
                    [&](const SnapshotRequest& r) { return r.filePath == request.filePath; });
    if (waitingAlready)
        return;
    if (queue.empty())
        m_turns.push_back(request.hostId);
    queue.push_back(request);
}

std::optional<SnapshotRequest> SnapshotQueue::TakeNext()
{
    if (m_runningTotal >= m_slots)
        return std::nullopt;
    for (auto turn = m_turns.begin(); turn != m_turns.end(); ++turn) {
        const int hostId = *turn;
        int& running = m_running[hostId];
        if (running >= m_slotsPerHost)
            continue;
        const auto queue = m_waiting.find(hostId);
        SnapshotRequest next = std::move(queue->second.front());
        queue->second.pop_front();
        m_turns.erase(turn);
        if (queue->second.empty())
            m_waiting.erase(queue);
        else
            m_turns.push_back(hostId); // the others go first next time
        ++running;
        ++m_runningTotal;
        return next;
    }
    return std::nullopt;
}

void SnapshotQueue::Finished(int hostId)
{
    const auto it = m_running.find(hostId);
    if (it == m_running.end() || it->second <= 0)
        return;
    --m_runningTotal;
    if (--it->second == 0)
        m_running.erase(it);
}

int SnapshotQueue::Remove(const QString& filePath)
{
    int removed = 0;
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        std::deque<SnapshotRequest>& queue = it->second;
        const auto end = std::remove_if(queue.begin(), queue.end(), [&](const SnapshotRequest& r) {
            return r.filePath == filePath;
        });
        removed += int(queue.end() - end);
        queue.erase(end, queue.end());
        if (queue.empty()) {
            m_turns.erase(std::find(m_turns.begin(), m_turns.end(), it->first));
            it = m_waiting.erase(it);
        } else {
            ++it;
        }
    }
    return removed;
}

void SnapshotQueue::Clear()
{
    m_waiting.clear();
    m_turns.clear();
}

int SnapshotQueue::waiting() const
{
    int count = 0;
    for (const auto& [hostId, queue] : m_waiting)
        count += int(queue.size());
    return count;
}
