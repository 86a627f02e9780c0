#pragma once

#include <QHash>
#include <QObject>

class CConnectionManager;
class CEventListModel;
struct EVENT;

// How many events nobody has taken in hand: the rows still new, plus the new rows the 300-row
// cap pushed out of the list before anyone saw them. A row stops counting when its host
// confirms it as being handled or handled, when it leaves the list otherwise, or when its host
// is removed from the host list (nobody can acknowledge it any more). Pushed-out events count
// until the operator acknowledges them (Stop Ring, or Clear on the list's bar).
class UnacknowledgedEvents : public QObject
{
    Q_OBJECT

public:
    UnacknowledgedEvents(CEventListModel& events, CConnectionManager& hosts,
                         QObject* parent = nullptr);

    int count() const { return m_newRows + m_pushedOut; }
    int pushedOut() const { return m_pushedOut; }

    // The operator has been told about the pushed-out events; returns how many there were.
    int AcknowledgePushedOut();
Q_SIGNALS:
    void countChanged(int count);
    void pushedOutChanged(int pushedOut);

private:
    // A host left the host list: its events stop counting.
    void HostRemoved(int hostId);
    void RowPushedOut(const EVENT& event);
    bool HostListed(int hostId) const;
    void Recount();
    void SetPushedOut(int pushedOut);

    CEventListModel& m_events;
    CConnectionManager& m_hosts;
    QHash<int, int> m_pushedOutByHost;
    int m_newRows = 0;
    int m_pushedOut = 0;
    int m_reported = 0;
};
