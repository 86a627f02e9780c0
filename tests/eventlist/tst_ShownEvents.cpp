#include "ui/eventlist/ElidedLineCache.h"
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
    void elidedLinesFollowTheirText();
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

// A tile's line is laid out once and kept; a new text, width or font lays it out again, and a
// host's text is never read as markup.
void tst_ShownEvents::elidedLinesFollowTheirText()
{
    ElidedLineCache cache;
    const QFont font;
    const int row = 0;
    const QString name = QStringLiteral("<b>Front door</b> of the north building");
    const QStaticText& wide = cache.Line(&row, 1, name, font, 2000, Qt::LeftToRight);
    QCOMPARE(wide.textFormat(), Qt::PlainText);
    QCOMPARE(wide.text(), name);
    QCOMPARE(&cache.Line(&row, 1, name, font, 2000, Qt::LeftToRight), &wide); // kept
    const int narrow = QFontMetrics(font).horizontalAdvance(name) / 2;
    const QString cut = cache.Line(&row, 1, name, font, narrow, Qt::LeftToRight).text();
    QVERIFY(cut.endsWith(QChar(0x2026)) && cut.size() < name.size());
    QCOMPARE(cache.Line(&row, 1, QStringLiteral("Back door"), font, narrow, Qt::LeftToRight).text(),
             QStringLiteral("Back door"));
    QFont bold = font;
    bold.setBold(true);
    QVERIFY(cache.Line(&row, 1, name, bold, 2000, Qt::LeftToRight).size().width() >
            cache.Line(&row, 2, name, font, 2000, Qt::LeftToRight).size().width());
}

QTEST_MAIN(tst_ShownEvents)
#include "tst_ShownEvents.moc"
