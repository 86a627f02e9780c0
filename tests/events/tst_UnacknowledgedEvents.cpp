#include "EventFixture.h"
#include "events/AuditRecord.h"
#include "events/AuditTrail.h"
#include "events/EventAudit.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

// The count of events nobody has taken in hand, and the new rows the 300-row cap pushes out.

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));

QList<QJsonObject> AuditLines(AuditTrail& trail)
{
    QList<QJsonObject> lines;
    QFile file(trail.FileOf(kNow.date()));
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd())
        lines << QJsonDocument::fromJson(file.readLine()).object();
    return lines;
}

int CountAction(const QList<QJsonObject>& lines, const char* action)
{
    return int(std::count_if(lines.begin(), lines.end(), [action](const QJsonObject& line) {
        return line.value(QLatin1String("action")).toString() == QLatin1String(action);
    }));
}

} // namespace

class tst_UnacknowledgedEvents : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void countFollowsConfirmationsAndHostRemoval();
    void burstPushesOutUnseenEventsAndSaysSo();
};

void tst_UnacknowledgedEvents::countFollowsConfirmationsAndHostRemoval()
{
    EventFixture f;
    CKRHost& a = f.siteHost(1);
    CKRHost& b = f.siteHost(2);
    QSignalSpy counts(&f.unacknowledged, &UnacknowledgedEvents::countChanged);
    f.notify(a, 1);
    f.notify(a, 2, EventFixture::kUtc + 1);
    f.notify(b, 3, EventFixture::kUtc + 2);
    QCOMPARE(f.unacknowledged.count(), 3);

    f.control.receive("KRNOTIFY_EVENT_HANDLING", a.connectionId, {{"L_TYPE", 2}, {"L_ID", 1}});
    QCOMPARE(f.unacknowledged.count(), 2);
    f.control.receive("KRNOTIFY_EVENT_HANDLED", a.connectionId, {{"L_TYPE", 2}, {"L_ID", 1}});
    QCOMPARE(f.unacknowledged.count(), 2); // handling had taken it out already
    f.control.receive("KRNOTIFY_EVENT_HANDLED", a.connectionId, {{"L_TYPE", 2}, {"L_ID", 2}});
    QCOMPARE(f.unacknowledged.count(), 1);

    // A removed host's rows stay listed, but nobody can acknowledge them any more.
    f.manager.RemoveHost(2);
    QCOMPARE(f.model.rowCount(), 3);
    QCOMPARE(f.unacknowledged.count(), 0);
    QCOMPARE(counts.last().at(0).toInt(), 0);
    QCOMPARE(counts.size(), 6); // 1, 2, 3, then 2, 1, 0: each change once
}

void tst_UnacknowledgedEvents::burstPushesOutUnseenEventsAndSaysSo()
{
    EventFixture f;
    QTemporaryDir auditDir;
    AuditTrail trail(auditDir.path(), [] { return kNow; });
    CEventAudit audit(trail, f.manager);
    f.actions.setAudit(&audit);
    QObject::connect(&f.model, &CEventListModel::eventPushedOut, [&audit](const EVENT& e) {
        if (e.state == EVENT::New)
            audit.PushedOut(e);
    });
    CKRHost& a = f.siteHost(1);
    CKRHost& b = f.siteHost(2);
    a.name = QStringLiteral("Site A");

    // A burst of 1000 events, one in ten from host B; host A's event 5 is taken in hand early.
    constexpr int kBurst = 1000;
    for (int i = 1; i <= kBurst; ++i) {
        f.notify(i % 10 == 0 ? b : a, i, EventFixture::kUtc + i / 86400.0);
        if (i == 5)
            f.control.receive("KRNOTIFY_EVENT_HANDLING", a.connectionId,
                              {{"L_TYPE", 2}, {"L_ID", 5}});
    }
    // The cap and the order hold.
    QCOMPARE(f.model.rowCount(), CEventListModel::kMaxRows);
    QCOMPARE(f.model.eventAt(0)->logId, kBurst);
    QCOMPARE(f.model.eventAt(CEventListModel::kMaxRows - 1)->logId, kBurst - 299);
    // 700 rows left the list, one of them already taken in hand: 699 nobody has seen.
    QCOMPARE(f.unacknowledged.pushedOut(), 699);
    QCOMPARE(f.unacknowledged.count(), 300 + 699);
    const QList<QJsonObject> lines = AuditLines(trail);
    QCOMPARE(CountAction(lines, "pushed out"), 699);
    const QJsonObject first = lines.constFirst();
    QCOMPARE(first.value(QLatin1String("logId")).toInt(), 1);
    QCOMPARE(first.value(QLatin1String("host")).toString(), QStringLiteral("Site A"));
    QCOMPARE(first.value(QLatin1String("outcome")).toString(), QStringLiteral("unacknowledged"));
    QCOMPARE(first.value(QLatin1String("door")).toString(), QStringLiteral("Front"));

    // Host B goes: its 70 pushed-out events stop counting, host A's stay.
    f.manager.RemoveHost(2);
    QCOMPARE(f.unacknowledged.pushedOut(), 699 - 70);
    QCOMPARE(f.unacknowledged.count(), 270 + 629);

    // Stop Ring tells the operator: the pushed-out events are acknowledged, the rows stay new.
    f.actions.StopRing();
    QCOMPARE(f.unacknowledged.pushedOut(), 0);
    QCOMPARE(f.unacknowledged.count(), 270);
    const QJsonObject stop = AuditLines(trail).constLast();
    QCOMPARE(stop.value(QLatin1String("action")).toString(), QStringLiteral("stop ring"));
    QCOMPARE(stop.value(QLatin1String("pushedOutAcknowledged")).toInt(), 629);

    // The next push-out counts again; the list's Clear acknowledges it too.
    f.notify(a, kBurst + 1, EventFixture::kUtc + 1);
    QCOMPARE(f.unacknowledged.pushedOut(), 1);
    f.actions.ClearPushedOut();
    QCOMPARE(f.unacknowledged.pushedOut(), 0);
    QCOMPARE(CountAction(AuditLines(trail), "clear pushed out"), 1);
}

QTEST_GUILESS_MAIN(tst_UnacknowledgedEvents)
#include "tst_UnacknowledgedEvents.moc"
