#include "EventFixture.h"
#include "events/AuditTrail.h"
#include "events/EventAudit.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

// The operator's actions and the hosts' confirmations in the audit trail, and the question
// asked before a door is unlocked.

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(3, 45, 12, 345));

struct AuditFixture : EventFixture
{
    QTemporaryDir auditDir;
    AuditTrail trail{auditDir.path(), [] { return kNow; }};
    CEventAudit audit{trail, manager};
    QList<CEventActions::UnlockTarget> asked;
    bool answer = true;

    AuditFixture()
    {
        handlers.setAudit(&audit);
        actions.setAudit(&audit);
        actions.setUnlockConfirmation([this](const CEventActions::UnlockTarget& target) {
            asked << target;
            return answer;
        });
    }

    CKRHost& namedHost()
    {
        CKRHost& host = siteHost(1);
        host.name = QStringLiteral("Warehouse");
        host.userName = QStringLiteral("night-guard");
        live.shown.hostId = 1;
        live.shown.controllerId = 1;
        live.shown.doorId = 0;
        return host;
    }

    QList<QJsonObject> lines()
    {
        QList<QJsonObject> out;
        QFile file(trail.FileOf(kNow.date()));
        if (file.open(QIODevice::ReadOnly)) {
            while (!file.atEnd())
                out << QJsonDocument::fromJson(file.readLine()).object();
        }
        return out;
    }
};

QString Field(const QJsonObject& line, const char* key)
{
    const QJsonValue value = line.value(QLatin1String(key));
    return value.isDouble() ? QString::number(value.toInteger()) : value.toString();
}

} // namespace

class tst_EventAudit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eachActionLeavesOneLine();
    void unlockWaitsForTheOperator();
    void rowGoneWhileAskingIsNotProcessed();
    void refusalsSayWhy_data();
    void refusalsSayWhy();
};

void tst_EventAudit::eachActionLeavesOneLine()
{
    AuditFixture f;
    CKRHost& host = f.namedHost();
    f.notify(host, 7, EventFixture::kUtc, 1);
    f.eventLog(host, 7, {{"M_ID", 0x12}});
    EVENT* e = f.model.eventAt(0);

    f.actions.Processed(e);
    f.control.receive("KRNOTIFY_EVENT_HANDLED", host.connectionId, {{"L_TYPE", 2}, {"L_ID", 7}});
    f.control.receive("KRNOTIFY_EVENT_HANDLED", host.connectionId, {{"L_TYPE", 2}, {"L_ID", 99}});
    f.actions.Unlock(e);
    f.actions.StopRing();

    const QList<QJsonObject> lines = f.lines();
    QCOMPARE(lines.size(), 5);
    const QJsonObject& processed = lines[0];
    // Local time with milliseconds and the offset from UTC.
    QVERIFY(QRegularExpression(QStringLiteral(R"(^2024-05-01T03:45:12\.345[+-]\d\d:\d\d$)"))
                .match(Field(processed, "time"))
                .hasMatch());
    QCOMPARE(Field(processed, "action"), QStringLiteral("processed"));
    QCOMPARE(Field(processed, "outcome"), QStringLiteral("sent"));
    QCOMPARE(Field(processed, "host"), QStringLiteral("Warehouse"));
    QCOMPARE(Field(processed, "hostId"), QStringLiteral("1"));
    QCOMPARE(Field(processed, "user"), QStringLiteral("night-guard"));
    QCOMPARE(Field(processed, "controller"), QStringLiteral("Lobby"));
    QCOMPARE(Field(processed, "door"), QStringLiteral("Front"));
    QCOMPARE(Field(processed, "logType"), QStringLiteral("2"));
    QCOMPARE(Field(processed, "logId"), QStringLiteral("7"));
    QCOMPARE(Field(processed, "severity"), QStringLiteral("alarm"));
    QCOMPARE(Field(processed, "doorOperation"), QStringLiteral("sent"));

    QCOMPARE(Field(lines[1], "action"), QStringLiteral("host confirmed handled"));
    QCOMPARE(Field(lines[1], "outcome"), QStringLiteral("done"));
    QCOMPARE(Field(lines[1], "logId"), QStringLiteral("7"));
    QCOMPARE(Field(lines[2], "outcome"), QStringLiteral("skipped"));
    QCOMPARE(Field(lines[2], "reason"), QStringLiteral("event not listed"));
    QCOMPARE(Field(lines[2], "logId"), QStringLiteral("99"));

    // Unlock names the door it opened and the event it processed (handled already).
    const QJsonObject& unlock = lines[3];
    QCOMPARE(Field(unlock, "action"), QStringLiteral("unlock"));
    QCOMPARE(Field(unlock, "outcome"), QStringLiteral("sent"));
    QCOMPARE(Field(unlock, "door"), QStringLiteral("Front"));
    QCOMPARE(Field(unlock, "logId"), QStringLiteral("7"));
    QCOMPARE(Field(unlock, "processed"), QStringLiteral("skipped (handled already)"));
    QCOMPARE(Field(lines[4], "action"), QStringLiteral("stop ring"));
}

void tst_EventAudit::unlockWaitsForTheOperator()
{
    AuditFixture f;
    CKRHost& host = f.namedHost();
    f.notify(host, 7);
    EVENT* e = f.model.eventAt(0);

    f.answer = false;
    f.alerts.log.clear();
    f.actions.Unlock(e);
    QCOMPARE(f.sent(), QStringList{}); // neither the door nor the event
    QCOMPARE(f.alerts.log, QStringList{"stop"});
    QCOMPARE(f.asked.size(), 1);
    QCOMPARE(f.asked[0].place.door, QStringLiteral("Front"));
    QCOMPARE(f.asked[0].place.controller, QStringLiteral("Lobby"));
    QCOMPARE(f.asked[0].place.host, QStringLiteral("Warehouse"));
    QCOMPARE(Field(f.lines().constLast(), "outcome"), QStringLiteral("cancelled"));

    f.answer = true;
    f.actions.Unlock(e);
    QCOMPARE(f.sent(), (QStringList{"DOOR_OPERATIONS CONTROL_CODE=22 C_ID=1 DATA=0 D_ID=0",
                                    "DOOR_OPERATIONS CONTROL_CODE=31 C_ID=1 DATA=2 D_ID=0",
                                    "KRNOTIFY_NOTIFY_EVENT_HANDLED L_ID=7 L_TYPE=2"}));

    // A door the site does not know is not asked about: the host would refuse it anyway.
    f.asked.clear();
    f.live.shown.doorId = 5;
    f.actions.Unlock(nullptr);
    QVERIFY(f.asked.isEmpty());
    QCOMPARE(Field(f.lines().constLast(), "reason"), QStringLiteral("door not known"));
}

void tst_EventAudit::rowGoneWhileAskingIsNotProcessed()
{
    AuditFixture f;
    CKRHost& host = f.namedHost();
    f.notify(host, 1);
    EVENT* e = f.model.eventAt(0);
    // While the question is open, a burst pushes the selected row out of the list.
    f.actions.setUnlockConfirmation([&](const CEventActions::UnlockTarget&) {
        for (int i = 2; i <= CEventListModel::kMaxRows + 1; ++i)
            f.notify(host, i, EventFixture::kUtc + i);
        return true;
    });
    f.actions.Unlock(e);
    QVERIFY(!f.model.FindEvent(1, 2, 1));
    QCOMPARE(f.sent(), QStringList{"DOOR_OPERATIONS CONTROL_CODE=22 C_ID=1 DATA=0 D_ID=0"});
    QCOMPARE(Field(f.lines().constLast(), "processed"), QStringLiteral("none"));
}

void tst_EventAudit::refusalsSayWhy_data()
{
    QTest::addColumn<QString>("breakSite");
    QTest::addColumn<QString>("reason");
    QTest::newRow("privilege") << "privilege"
                               << "no door privilege";
    QTest::newRow("right") << "right"
                           << "no execute right for the door's group";
    QTest::newRow("status") << "status"
                            << "door not operable";
    QTest::newRow("connection") << "connection"
                                << "host not connected";
}

void tst_EventAudit::refusalsSayWhy()
{
    QFETCH(QString, breakSite);
    QFETCH(QString, reason);
    AuditFixture f;
    CKRHost& host = f.namedHost();
    if (breakSite == "privilege")
        host.privilegeMask = 0;
    else if (breakSite == "right")
        host.executeRights[3] = 0;
    else if (breakSite == "status")
        host.siteConfig.FindDoor(1, 0)->status = 0;
    else
        host.connected = 0;
    f.actions.Unlock(nullptr);
    const QJsonObject line = f.lines().constLast();
    QCOMPARE(Field(line, "outcome"), QStringLiteral("refused"));
    QCOMPARE(Field(line, "reason"), reason);
    QCOMPARE(f.sent(), QStringList{});
}

QTEST_GUILESS_MAIN(tst_EventAudit)
#include "tst_EventAudit.moc"
