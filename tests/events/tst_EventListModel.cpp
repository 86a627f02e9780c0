#include "events/EventListModel.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

std::unique_ptr<EVENT> makeEvent(int hostId, int logType, int logId, double utc)
{
    auto e = std::make_unique<EVENT>();
    e->hostId = hostId;
    e->logType = logType;
    e->logId = logId;
    e->utcTime = COleDateTime(utc);
    return e;
}

QList<int> logIds(const CEventListModel& model)
{
    QList<int> ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids << model.eventAt(row)->logId;
    return ids;
}

} // namespace

class tst_EventListModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keyCombinesTypeAndId();
    void order();
    void capDropsTheOldestRow();
    void duplicateKeyReplacesTheRow();
    void hostRemoval();
};

void tst_EventListModel::keyCombinesTypeAndId()
{
    QCOMPARE(EVENT::MakeKey(2, 7), (qint64(2) << 32) + 7);
    QCOMPARE(EVENT::MakeKey(2, -1), qint64(-1)); // sign-extended id covers the type
    CEventListModel model;
    QCOMPARE(model.AddEvent(nullptr), 0);
    QCOMPARE(model.rowCount(), 0);
}

void tst_EventListModel::order()
{
    CEventListModel model;
    model.AddEvent(makeEvent(1, 2, 1, 100.0));
    model.AddEvent(makeEvent(1, 2, 2, 300.0));
    model.AddEvent(makeEvent(1, 2, 3, 200.0));
    model.AddEvent(makeEvent(1, 2, 4, 200.0)); // same time: larger log id first
    model.AddEvent(makeEvent(1, 3, 0, 200.0)); // same time: larger log type first
    model.AddEvent(makeEvent(1, 2, 5, 50.0));  // older than all: goes to the bottom
    QCOMPARE(logIds(model), (QList<int>{2, 0, 4, 3, 1, 5}));
    QCOMPARE(model.FindEvent(1, 3, 0)->logType, 3);
    QVERIFY(!model.FindEvent(2, 3, 0));
}

void tst_EventListModel::capDropsTheOldestRow()
{
    CEventListModel model;
    for (int i = 0; i < CEventListModel::kMaxRows; ++i)
        model.AddEvent(makeEvent(1, 2, i, 1000.0 + i));
    QCOMPARE(model.rowCount(), 300);
    // An event older than every row still gets in; the previous oldest (log id 0) goes.
    model.AddEvent(makeEvent(1, 2, 1000, 10.0));
    QCOMPARE(model.rowCount(), 300);
    QVERIFY(!model.FindEvent(1, 2, 0));
    QCOMPARE(model.eventAt(299)->logId, 1000);
    // ... and is the next to go.
    model.AddEvent(makeEvent(1, 2, 1001, 5000.0));
    QVERIFY(!model.FindEvent(1, 2, 1000));
    QCOMPARE(model.eventAt(0)->logId, 1001);
    QCOMPARE(model.rowCount(), 300);
}

void tst_EventListModel::duplicateKeyReplacesTheRow()
{
    CEventListModel model;
    model.AddEvent(makeEvent(1, 2, 7, 100.0));
    EVENT* first = model.FindEvent(1, 2, 7);
    first->log = std::make_unique<CEventLogData>(7);
    first->snapshotPaths << QStringLiteral("/pics/a.jpg");
    first->state = EVENT::Handled;
    model.AddEvent(makeEvent(1, 2, 8, 150.0));

    model.AddEvent(makeEvent(1, 2, 7, 200.0)); // the host notifies the same event again
    QCOMPARE(model.rowCount(), 2);
    EVENT* again = model.FindEvent(1, 2, 7);
    QCOMPARE(model.rowOf(again), 0);
    QCOMPARE(again->state, qint32(EVENT::New));
    QVERIFY(again->log); // what the old row had gathered is kept
    QCOMPARE(again->snapshotPaths, QStringList{QStringLiteral("/pics/a.jpg")});

    // A full list that gets a duplicate of its oldest row loses no other row, and neither the
    // cap nor host removal can free a record that a row still shows.
    CEventListModel full;
    for (int i = 0; i < CEventListModel::kMaxRows; ++i)
        full.AddEvent(makeEvent(1, 2, i, 1000.0 + i));
    full.AddEvent(makeEvent(1, 2, 0, 999.0));
    QCOMPARE(full.rowCount(), 300);
    for (int row = 0; row < full.rowCount(); ++row) {
        const EVENT* e = full.eventAt(row);
        QCOMPARE(full.FindEvent(e->hostId, e->logType, e->logId), e);
    }
    full.RemoveHostEvents(1);
    QCOMPARE(full.rowCount(), 0);
}

void tst_EventListModel::hostRemoval()
{
    CEventListModel model;
    model.AddEvent(makeEvent(1, 2, 7, 100.0));
    model.AddEvent(makeEvent(2, 2, 7, 200.0)); // same key, other host: its own row
    model.AddEvent(makeEvent(1, 2, 9, 300.0));
    model.AddEvent(makeEvent(3, 2, 1, 50.0));
    QCOMPARE(model.rowCount(), 4);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.RemoveHostEvents(1);
    QCOMPARE(removed.count(), 2);
    QCOMPARE(model.rowCount(), 2);
    QVERIFY(!model.FindEvent(1, 2, 7));
    QCOMPARE(model.FindEvent(2, 2, 7)->hostId, 2);
    QCOMPARE(model.FindEvent(3, 2, 1)->hostId, 3);
}

QTEST_GUILESS_MAIN(tst_EventListModel)
#include "tst_EventListModel.moc"
