#include "model/CHostMap.h"

#include <limits>

CKRHost* CHostMap::Find(qint32 hostId) const
{
    const auto it = m_hosts.find(hostId);
    return it == m_hosts.end() ? nullptr : it->second.get();
}

CKRHost* CHostMap::FindByConnection(qint32 connectionId) const
{
    // Idle hosts hold 0: no connection id below 1 names a host.
    if (connectionId <= 0)
        return nullptr;
    for (const auto& [id, host] : m_hosts) {
        if (host->connectionId == connectionId)
            return host.get();
    }
    return nullptr;
}

CKRHost* CHostMap::Add(std::unique_ptr<CKRHost> host)
{
    if (!host || host->hostId < 0 || m_hosts.count(host->hostId) != 0)
        return nullptr;
    raiseCounter(host->hostId);
    CKRHost* added = host.get();
    m_hosts.emplace(host->hostId, std::move(host));
    return added;
}

bool CHostMap::Remove(qint32 hostId)
{
    return m_hosts.erase(hostId) != 0;
}

void CHostMap::Clear()
{
    m_hosts.clear();
}

void CHostMap::raiseCounter(qint32 hostId)
{
    if (hostId > m_counter)
        m_counter = hostId;
}

qint32 CHostMap::assignHostId()
{
    if (m_counter == std::numeric_limits<qint32>::max())
        return -1;
    return ++m_counter;
}
