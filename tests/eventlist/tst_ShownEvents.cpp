#include "ui/eventlist/ShownEventsModel.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

std::unique_ptr<EVENT> makeEvent(int logId)
{
    auto e = std::make_unique<EVENT>();
    e->hostId = 1;
    e->logType = 2;
    e->logId = logId;
    e->utcTime = COleDateTime(45000.0 + logId / 86400.0); // newer with every id
    return e;
}

QList<const EVENT*> shownRows(const ShownEventsModel& shown)
{
    QList<const EVENT*> rows;
    for (int row = 0; row < shown.rowCount(); ++row)
        rows << shown.eventAt(row);
    return rows;
}

QList<const EVENT*> listedRows(const CEventListModel& events)
{
    QList<const EVENT*> rows;
    for (const auto& row : events.rows())
        rows << row.get();
    return rows;
}

} // namespace

class tst_ShownEvents : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void burstReachesTheListAsRunsOfRows();
    void hiddenListFollowsAtOnce();
};

// Events arriving within one frame reach a list on screen together when the frame ends: the
// rows pushed out as one removal, the new ones as one insertion, changed rows repainted, and
// never a reset. Until then a pushed-out row is still there to paint.
void tst_ShownEvents::burstReachesTheListAsRunsOfRows()
{
    CEventListModel events;
    ShownEventsModel shown(events, [] { return true; });
    for (int id = 1; id <= CEventListModel::kMaxRows; ++id)
        events.AddEvent(makeEvent(id));
    shown.Publish();
    QCOMPARE(shownRows(shown), listedRows(events));

    QSignalSpy inserted(&shown, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&shown, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&shown, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&shown, &QAbstractItemModel::modelReset);
    constexpr int kBurst = 40;
    for (int id = 1001; id < 1001 + kBurst; ++id)
        events.AddEvent(makeEvent(id));
    EVENT* handled = events.FindEvent(1, 2, 200);
    handled->state = EVENT::Handled;
    events.EventChanged(handled);
    QCOMPARE(shown.rowCount(), CEventListModel::kMaxRows);
    QCOMPARE(shown.eventAt(CEventListModel::kMaxRows - 1)->logId, 1); // pushed out, still shown
    QCOMPARE(inserted.count() + removed.count() + changed.count(), 0);

    shown.Publish();
    QCOMPARE(shownRows(shown), listedRows(events));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed[0].mid(1),
             (QVariantList{CEventListModel::kMaxRows - kBurst, CEventListModel::kMaxRows - 1}));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted[0].mid(1), (QVariantList{0, kBurst - 1}));
    QCOMPARE(changed.count(), 1);
    const int handledRow = int(shownRows(shown).indexOf(handled));
    QCOMPARE(changed[0][0].toModelIndex().row(), handledRow);
    QCOMPARE(reset.count(), 0);

    // An event older than those listed, and a host's rows taken away, in the same frame.
    events.AddEvent(makeEvent(500)); // lands in the middle
    events.RemoveHostEvents(1);
    events.AddEvent(makeEvent(2000));
    shown.Publish();
    QCOMPARE(shownRows(shown), listedRows(events));
    QCOMPARE(reset.count(), 0);
}

// A list that is not on screen repaints nothing: its rows follow every change at once (so the
// alert can select the new row of a hidden window).
void tst_ShownEvents::hiddenListFollowsAtOnce()
{
    CEventListModel events;
    ShownEventsModel shown(events, [] { return false; });
    events.AddEvent(makeEvent(1));
    events.AddEvent(makeEvent(2));
    QCOMPARE(shownRows(shown), listedRows(events));
    events.RemoveHostEvents(1);
    QCOMPARE(shown.rowCount(), 0);
}

QTEST_GUILESS_MAIN(tst_ShownEvents)
#include "tst_ShownEvents.moc"
