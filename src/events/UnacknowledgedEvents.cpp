#include "events/UnacknowledgedEvents.h"

#include "connection/ConnectionManager.h"
#include "events/EventListModel.h"

UnacknowledgedEvents::UnacknowledgedEvents(CEventListModel& events, CConnectionManager& hosts,
                                           QObject* parent)
    : QObject(parent), m_events(events), m_hosts(hosts)
{
    // Rows change state in place (the host's confirmations), arrive and leave: a count over
    // 300 rows after each change is cheaper than keeping track of every way a row changes.
    connect(&events, &CEventListModel::rowsInserted, this, &UnacknowledgedEvents::Recount);
    connect(&events, &CEventListModel::rowsRemoved, this, &UnacknowledgedEvents::Recount);
    connect(&events, &CEventListModel::dataChanged, this, &UnacknowledgedEvents::Recount);
    connect(&events, &CEventListModel::modelReset, this, &UnacknowledgedEvents::Recount);
    connect(&events, &CEventListModel::eventPushedOut, this, &UnacknowledgedEvents::RowPushedOut);
    connect(&hosts, &CConnectionManager::hostRemoved, this, &UnacknowledgedEvents::HostRemoved);
    Recount();
}

bool UnacknowledgedEvents::HostListed(int hostId) const
{
    return m_hosts.FindHostById(hostId) != nullptr;
}

void UnacknowledgedEvents::RowPushedOut(const EVENT& event)
{
    if (event.state != EVENT::New || !HostListed(event.hostId))
        return;
    ++m_pushedOutByHost[event.hostId];
    SetPushedOut(m_pushedOut + 1);
}

int UnacknowledgedEvents::AcknowledgePushedOut()
{
    const int acknowledged = m_pushedOut;
    m_pushedOutByHost.clear();
    SetPushedOut(0);
    return acknowledged;
}

void UnacknowledgedEvents::HostRemoved(int hostId)
{
    SetPushedOut(m_pushedOut - m_pushedOutByHost.take(hostId));
    Recount();
}

void UnacknowledgedEvents::SetPushedOut(int pushedOut)
{
    if (pushedOut == m_pushedOut)
        return;
    m_pushedOut = pushedOut;
    Q_EMIT pushedOutChanged(m_pushedOut);
    Recount();
}

void UnacknowledgedEvents::Recount()
{
    int rows = 0;
    for (int row = 0; row < m_events.rowCount(); ++row) {
        const EVENT* e = m_events.eventAt(row);
        if (e->state == EVENT::New && HostListed(e->hostId))
            ++rows;
    }
    m_newRows = rows;
    if (count() != m_reported) {
        m_reported = count();
        Q_EMIT countChanged(m_reported);
    }
}
