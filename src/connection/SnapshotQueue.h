#pragma once

#include "connection/SnapshotRequest.h"

#include <deque>
#include <map>
#include <optional>

// Downloads waiting for one of a fixed number of slots, in one queue per host. Hosts take
// turns for free slots, and a host already holding its share of slots waits while the others
// go on, so a host that answers slowly (or trickles its bytes) cannot hold up the pictures of
// the others. Each host's own downloads start in the order they were asked for.
class SnapshotQueue
{
public:
    SnapshotQueue(int slots, int slotsPerHost);

    // Queues a download; one for a file that is waiting already is not queued twice.
    void Push(const SnapshotRequest& request);
    // The next download that may start now, its slot taken; nothing when every slot is busy or
    // every waiting host holds its share.
    std::optional<SnapshotRequest> TakeNext();
    // A download of this host ended: its slot is free.
    void Finished(int hostId);
    // Drops the waiting downloads of a file; returns how many.
    int Remove(const QString& filePath);
    // Drops every waiting download.
    void Clear();

    int waiting() const;
    int running() const { return m_runningTotal; }

private:
    const int m_slots;
    const int m_slotsPerHost;
    std::map<int, std::deque<SnapshotRequest>> m_waiting; // by host id, never empty
    std::deque<int> m_turns; // hosts with waiting downloads, whose turn is next first
    std::map<int, int> m_running;
    int m_runningTotal = 0;
};
