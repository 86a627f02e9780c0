#pragma once

#include "krvideo/KRVideo.h"

#include <QList>

// The open video connections of the program: one per (host, video source, camera), camera -1
// when the connection serves the whole device. Appended at the tail, searched from the head.
class CLiveConnectionList
{
public:
    struct LIVE_ITEM
    {
        int hostId = -1;
        int dvrId = -1;
        int camera = -1;
        KRVideoHandle handle = 0; // never 0 in the list
    };

    const LIVE_ITEM* Find(int hostId, int dvrId, int camera) const;
    const LIVE_ITEM* FindByHandle(KRVideoHandle handle) const;
    void Append(const LIVE_ITEM& item);
    // Removes the first entry of (host, source, camera); false when there is none.
    bool Remove(int hostId, int dvrId, int camera);

    const QList<LIVE_ITEM>& items() const { return m_items; }
    bool isEmpty() const { return m_items.isEmpty(); }

private:
    QList<LIVE_ITEM> m_items;
};
