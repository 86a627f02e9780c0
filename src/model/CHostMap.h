#pragma once

#include "model/CKRHost.h"

#include <map>
#include <memory>

// All hosts by host id, owned; iteration is in ascending host id. A host leaves the map only
// to be deleted. Also keeps the next-host-id counter: the highest host id added or assigned.
class CHostMap
{
public:
    using Map = std::map<int, std::unique_ptr<CKRHost>>;

    CKRHost* Find(qint32 hostId) const;
    // The first host, in map order, holding this connection id; nullptr for ids below 1.
    CKRHost* FindByConnection(qint32 connectionId) const;

    // Takes the host under its host id; raises the counter to that id. Fails (returns nullptr
    // and deletes the host) for a null host, a negative id, or an id already in the map.
    CKRHost* Add(std::unique_ptr<CKRHost> host);
    // Deletes the host; false when there is none.
    bool Remove(qint32 hostId);
    void Clear();

    qint32 nextHostIdCounter() const { return m_counter; }
    void raiseCounter(qint32 hostId);
    // Counter + 1 for a host added by the operator (the counter moves there); -1, which Add
    // refuses, once the id space is used up.
    qint32 assignHostId();

    Map::const_iterator begin() const { return m_hosts.begin(); }
    Map::const_iterator end() const { return m_hosts.end(); }
    int size() const { return int(m_hosts.size()); }
    bool isEmpty() const { return m_hosts.empty(); }

private:
    Map m_hosts;
    qint32 m_counter = 0;
};
