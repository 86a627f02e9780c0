#include "video/CLiveConnectionList.h"

#include <algorithm>

const CLiveConnectionList::LIVE_ITEM* CLiveConnectionList::Find(int hostId, int dvrId,
                                                                int camera) const
{
    const auto it = std::find_if(m_items.cbegin(), m_items.cend(), [&](const LIVE_ITEM& item) {
        return item.hostId == hostId && item.dvrId == dvrId && item.camera == camera;
    });
    return it == m_items.cend() ? nullptr : &*it;
}

const CLiveConnectionList::LIVE_ITEM* CLiveConnectionList::FindByHandle(KRVideoHandle handle) const
{
    const auto it = std::find_if(m_items.cbegin(), m_items.cend(),
                                 [&](const LIVE_ITEM& item) { return item.handle == handle; });
    return it == m_items.cend() ? nullptr : &*it;
}

void CLiveConnectionList::Append(const LIVE_ITEM& item)
{
    if (item.handle != 0)
        m_items.append(item);
}

bool CLiveConnectionList::Remove(int hostId, int dvrId, int camera)
{
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
        if (it->hostId == hostId && it->dvrId == dvrId && it->camera == camera) {
            m_items.erase(it);
            return true;
        }
    }
    return false;
}
