#include "EventFixture.h"
#include "common/PerfLogCapture.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

class tst_EventMessages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void notificationAddsNewRowAndRaisesAlert();
    void performanceLineNamesTheEvent();
    void eventLogPictures_data();
    void eventLogPictures();
    void picturelessMessageEdges_data();
    void picturelessMessageEdges();
    void eventLogNeedsItsRow();
    void laterEventLogReplacesRecordAndAppendsPaths();
    void confirmations_data();
    void confirmations();
    void sameKeyFromTwoHostsStaysApart();
    void picturesOfTwoHostsStayApart();
    void olderConfirmationKeepsNewerAlarm();
    void doorOperation_data();
    void doorOperation();
    void operatorActions();
    void eventSelectionShowsCamera_data();
    void eventSelectionShowsCamera();
    void actionButtons();
};

void tst_EventMessages::notificationAddsNewRowAndRaisesAlert()
{
    EventFixture f;
    CKRHost& host = f.siteHost(4);
    f.notify(host, 7, EventFixture::kUtc, 5);
    QCOMPARE(f.model.rowCount(), 1);
    const EVENT* e = f.model.eventAt(0);
    QCOMPARE(e->state, qint32(EVENT::New));
    QCOMPARE(e->hostId, 4);
    QCOMPARE(e->logType, 2);
    QCOMPARE(e->logId, 7);
    QCOMPARE(e->messageId, 0x10);
    QCOMPARE(e->directionIndex, 1); // any nonzero DIRECTION names the second camera
    QCOMPARE(e->utcTime.days(), EventFixture::kUtc);
    QVERIFY(!e->log);
    QCOMPARE(CEventListModel::MessageText(*e), QStringLiteral("N/A"));
    QCOMPARE(f.alerts.log, QStringList{QStringLiteral("raise 7")});

    // A host that is not connected is ignored.
    host.connected = 0;
    f.notify(host, 8);
    QCOMPARE(f.model.rowCount(), 1);
}

// With krnotify.perf on, each event added to the list is logged with its host, log type and
// log id: the fault soak matches these lines event by event with what the hosts sent.
void tst_EventMessages::performanceLineNamesTheEvent()
{
    EventFixture f;
    const PerfLogCapture perf;
    f.notify(f.siteHost(4), 7, EventFixture::kUtc, 0, 1);
    QCOMPARE(perf.logged().size(), 1);
    QVERIFY2(perf.logged()[0].startsWith("event host 4 type 1 log 7: "),
             qPrintable(perf.logged()[0]));
}

void tst_EventMessages::eventLogPictures_data()
{
    QTest::addColumn<int>("serverVersion");
    QTest::addColumn<QVariantMap>("fields");
    QTest::addColumn<bool>("attached");
    QTest::addColumn<QStringList>("pathEnds"); // in the row's order
    QTest::addColumn<QList<int>>("captureDirections");

    const QVariantMap live{{"LIVE_EVENT", 1}};
    QTest::newRow("download dir 1, capture dir 0")
        << 0x4030000 << QVariantMap{{"LOG_WITH_IMAGE", 1}, {"DIRECTION", 1}, {"LIVE_EVENT", 1}}
        << true << QStringList{"-2.jpg", "-1.jpg"} << QList<int>{0};
    QTest::newRow("capture both") << 0x4030000 << live << true << QStringList{"-1.jpg", "-2.jpg"}
                                  << QList<int>{0, 1};
    QTest::newRow("download only") << 0x4030000 << QVariantMap{{"LOG_WITH_IMAGE", 1}} << true
                                   << QStringList{"-1.jpg"} << QList<int>{};
    QTest::newRow("raw direction 7 is the second camera")
        << 0x4030000 << QVariantMap{{"LOG_WITH_IMAGE", 1}, {"DIRECTION", 7}, {"LIVE_EVENT", 1}}
        << true << QStringList{"-2.jpg", "-1.jpg"} << QList<int>{0};
    QTest::newRow("no pictures for message 0x28")
        << 0x4030000 << QVariantMap{{"LOG_WITH_IMAGE", 1}, {"LIVE_EVENT", 1}, {"M_ID", 0x28}}
        << true << QStringList{} << QList<int>{};
    QTest::newRow("old host never downloads")
        << 0x4020300 << QVariantMap{{"LOG_WITH_IMAGE", 1}, {"LIVE_EVENT", 1}} << true
        << QStringList{"-1.jpg", "-2.jpg"} << QList<int>{0, 1};
    QTest::newRow("input event") << 0x4030000
                                 << QVariantMap{{"IS_INPUT_MESSAGE", 1},
                                                {"D_ID", 5},
                                                {"LIVE_EVENT", 1}}
                                 << true << QStringList{"-1.jpg", "-2.jpg"} << QList<int>{0, 1};
    QTest::newRow("unknown door is dropped")
        << 0x4030000 << QVariantMap{{"D_ID", 9}, {"LIVE_EVENT", 1}} << false << QStringList{}
        << QList<int>{};
    QTest::newRow("door 255 kept without place")
        << 0x4030000 << QVariantMap{{"D_ID", 255}, {"LIVE_EVENT", 1}, {"LOG_WITH_IMAGE", 1}} << true
        << QStringList{"-1.jpg"} << QList<int>{};
}

void tst_EventMessages::eventLogPictures()
{
    QFETCH(int, serverVersion);
    QFETCH(QVariantMap, fields);
    QFETCH(bool, attached);
    QFETCH(QStringList, pathEnds);
    QFETCH(QList<int>, captureDirections);

    EventFixture f;
    CKRHost& host = f.siteHost(1);
    host.serverVersion = serverVersion;
    f.notify(host, 7);
    f.eventLog(host, 7, fields);
    const EVENT* e = f.model.eventAt(0);
    QCOMPARE(bool(e->log), attached);
    if (!attached)
        return;
    QCOMPARE(e->log->cardBits(), quint8(26));
    QCOMPARE(e->log->cardByte(0), quint8(0xA5));

    QCOMPARE(e->snapshotPaths.size(), pathEnds.size());
    const QString hostFolder = QDir(f.pictures.path()).filePath(QStringLiteral("20230315/1"));
    for (int i = 0; i < pathEnds.size(); ++i) {
        QVERIFY2(e->snapshotPaths[i].startsWith(hostFolder + "/EV.20230315.0000000007"),
                 qPrintable(e->snapshotPaths[i]));
        QVERIFY(e->snapshotPaths[i].endsWith(pathEnds[i]));
    }
    QList<int> directions;
    for (const auto& c : f.capture.calls) {
        directions << c.direction;
        QCOMPARE(c.hostId, 1);
        QCOMPARE(c.card[0], quint8(26));
        QVERIFY(e->snapshotPaths.contains(QDir(f.pictures.path()).filePath(c.name)));
        QVERIFY(c.name.endsWith(QStringLiteral("-%1.jpg").arg(c.direction + 1)));
    }
    QCOMPARE(directions, captureDirections);
    if (!f.capture.calls.empty() && !fields.contains("IS_INPUT_MESSAGE")) {
        QCOMPARE(f.capture.calls.front().dvrId, 11); // door camera of direction 0
        QCOMPARE(f.capture.calls.front().delay, 2);
    }
    if (fields.contains("IS_INPUT_MESSAGE"))
        QCOMPARE(f.capture.calls.back().dvrId, 22);
    if (pathEnds.size() > directions.size()) // a download was asked for: its folder exists
        QVERIFY(QFileInfo(hostFolder).isDir());
}

void tst_EventMessages::picturelessMessageEdges_data()
{
    QTest::addColumn<int>("messageId");
    QTest::addColumn<bool>("pictures");
    // Each range of message ids without pictures at both of its edges; 40 is decimal (0x40 has
    // pictures).
    const QList<QPair<int, bool>> cases{
        {21, true},  {22, false}, {23, true},  {24, false}, {25, true},  {31, true},
        {32, false}, {40, false}, {46, false}, {47, true},  {48, false}, {52, false},
        {53, true},  {64, true},  {79, true},  {80, false}, {88, false}, {89, true},
        {95, true},  {96, false}, {97, false}, {98, true}};
    for (const auto& [id, pictures] : cases)
        QTest::addRow("M_ID %d", id) << id << pictures;
}

void tst_EventMessages::picturelessMessageEdges()
{
    QFETCH(int, messageId);
    QFETCH(bool, pictures);

    EventFixture f;
    CKRHost& host = f.siteHost(1);
    f.notify(host, 7);
    f.eventLog(host, 7, {{"LOG_WITH_IMAGE", 1}, {"LIVE_EVENT", 1}, {"M_ID", messageId}});
    const EVENT* e = f.model.eventAt(0);
    QVERIFY(e->log);
    QCOMPARE(e->snapshotPaths.size(), pictures ? 2 : 0); // a download and a capture, or none
    QCOMPARE(f.capture.calls.size(), pictures ? size_t(1) : size_t(0));
}

void tst_EventMessages::eventLogNeedsItsRow()
{
    EventFixture f;
    CKRHost& host = f.siteHost(1);
    f.eventLog(host, 7, {});                     // before its notification
    f.notify(host, 8, EventFixture::kUtc, 0, 3); // log type 3, not an event-log row
    f.eventLog(host, 8, {});
    QCOMPARE(f.model.rowCount(), 1);
    QVERIFY(!f.model.eventAt(0)->log);
}

void tst_EventMessages::laterEventLogReplacesRecordAndAppendsPaths()
{
    EventFixture f;
    CKRHost& host = f.siteHost(1);
    f.notify(host, 7);
    f.eventLog(host, 7, {{"LOG_WITH_IMAGE", 1}});
    f.eventLog(host, 7, {{"LOG_WITH_IMAGE", 1}, {"DIRECTION", 1}, {"M_ID", 0x12}});
    const EVENT* e = f.model.eventAt(0);
    QCOMPARE(e->log->messageId, 0x12);
    QCOMPARE(e->snapshotPaths.size(), 2);
    QVERIFY(e->snapshotPaths[0].endsWith("-1.jpg"));
    QVERIFY(e->snapshotPaths[1].endsWith("-2.jpg"));
}

void tst_EventMessages::confirmations_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("stopsAlarm");
    QTest::newRow("handling from new") << 0 << "KRNOTIFY_EVENT_HANDLING" << 1 << true;
    QTest::newRow("handling again") << 1 << "KRNOTIFY_EVENT_HANDLING" << 1 << false;
    QTest::newRow("handling after handled") << 2 << "KRNOTIFY_EVENT_HANDLING" << 2 << false;
    QTest::newRow("handled from new") << 0 << "KRNOTIFY_EVENT_HANDLED" << 2 << true;
    QTest::newRow("handled from handling") << 1 << "KRNOTIFY_EVENT_HANDLED" << 2 << true;
}

void tst_EventMessages::confirmations()
{
    QFETCH(int, start);
    QFETCH(QString, command);
    QFETCH(int, expected);
    QFETCH(bool, stopsAlarm);
    EventFixture f;
    CKRHost& host = f.siteHost(1);
    f.notify(host, 7);
    f.model.eventAt(0)->state = start;
    f.alerts.log.clear();
    f.control.receive(command, host.connectionId, {{"L_TYPE", 2}, {"L_ID", 7}});
    QCOMPARE(f.model.eventAt(0)->state, expected);
    QCOMPARE(f.alerts.log, (stopsAlarm ? QStringList{"stop", "refresh"} : QStringList{}));
    // Unknown events are ignored.
    f.control.receive(command, host.connectionId, {{"L_TYPE", 2}, {"L_ID", 99}});
    QCOMPARE(f.model.rowCount(), 1);
}

void tst_EventMessages::sameKeyFromTwoHostsStaysApart()
{
    EventFixture f;
    CKRHost& a = f.siteHost(1);
    CKRHost& b = f.siteHost(2);
    f.notify(a, 7);
    f.notify(b, 7, EventFixture::kUtc + 1);
    QCOMPARE(f.model.rowCount(), 2);
    f.control.receive("KRNOTIFY_EVENT_HANDLED", b.connectionId, {{"L_TYPE", 2}, {"L_ID", 7}});
    QCOMPARE(f.model.FindEvent(2, 2, 7)->state, qint32(EVENT::Handled));
    QCOMPARE(f.model.FindEvent(1, 2, 7)->state, qint32(EVENT::New));
    f.eventLog(a, 7, {});
    QVERIFY(f.model.FindEvent(1, 2, 7)->log);
    QVERIFY(!f.model.FindEvent(2, 2, 7)->log);
}

// Log ids are each host's own numbers: two hosts' events of one day may share one, and neither
// may take or overwrite the other's pictures.
void tst_EventMessages::picturesOfTwoHostsStayApart()
{
    EventFixture f;
    QStringList paths;
    QStringList captured;
    for (int hostId : {1, 2}) {
        CKRHost& host = f.siteHost(hostId);
        host.serverVersion = 0x4030000;
        f.notify(host, 7, EventFixture::kUtc, 1);
        f.eventLog(host, 7, {{"LOG_WITH_IMAGE", 1}, {"DIRECTION", 1}, {"LIVE_EVENT", 1}});
        paths << f.model.FindEvent(hostId, 2, 7)->snapshotPaths;
    }
    for (const auto& c : f.capture.calls)
        captured << c.name;
    QCOMPARE(paths.size(), 4);
    QCOMPARE(QSet<QString>(paths.begin(), paths.end()).size(), 4);
    QCOMPARE(captured.size(), 2);
    QVERIFY2(captured[0] != captured[1], qPrintable(captured[0]));
}

void tst_EventMessages::olderConfirmationKeepsNewerAlarm()
{
    EventFixture f;
    CKRHost& a = f.siteHost(1);
    CKRHost& b = f.siteHost(2);
    f.notify(a, 7);
    f.notify(b, 8, EventFixture::kUtc + 1); // rings now
    f.alerts.log.clear();
    // Another monitor took the older event in hand: its row changes, the alarm goes on.
    f.control.receive("KRNOTIFY_EVENT_HANDLING", a.connectionId, {{"L_TYPE", 2}, {"L_ID", 7}});
    f.control.receive("KRNOTIFY_EVENT_HANDLED", a.connectionId, {{"L_TYPE", 2}, {"L_ID", 7}});
    QCOMPARE(f.model.FindEvent(1, 2, 7)->state, qint32(EVENT::Handled));
    QCOMPARE(f.alerts.log, (QStringList{"refresh", "refresh"}));
    // The ringing event's own confirmation stops it.
    f.control.receive("KRNOTIFY_EVENT_HANDLING", b.connectionId, {{"L_TYPE", 2}, {"L_ID", 8}});
    QCOMPARE(f.alerts.log.mid(2), (QStringList{"stop", "refresh"}));
    // Once the ringing event is no longer new, any confirmation stops the alarm as before.
    f.notify(a, 9, EventFixture::kUtc - 1);
    f.model.FindEvent(1, 2, 9)->state = EVENT::Handling;
    f.alerts.log.clear();
    f.control.receive("KRNOTIFY_EVENT_HANDLED", b.connectionId, {{"L_TYPE", 2}, {"L_ID", 8}});
    QCOMPARE(f.alerts.log, (QStringList{"stop", "refresh"}));
}

void tst_EventMessages::doorOperation_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("breakSite"); // what is taken away before sending
    QTest::addColumn<QString>("expected");  // "" = nothing sent
    QTest::newRow("processed dir 1") << 2 << 1 << ""
                                     << "DOOR_OPERATIONS CONTROL_CODE=31 C_ID=1 DATA=258 D_ID=0";
    QTest::newRow("unlock") << 0 << 0 << ""
                            << "DOOR_OPERATIONS CONTROL_CODE=22 C_ID=1 DATA=0 D_ID=0";
    QTest::newRow("talk start") << 1 << 0 << ""
                                << "DOOR_OPERATIONS CONTROL_CODE=31 C_ID=1 DATA=1 D_ID=0";
    QTest::newRow("talk end") << 3 << 1 << ""
                              << "DOOR_OPERATIONS CONTROL_CODE=31 C_ID=1 DATA=259 D_ID=0";
    QTest::newRow("unknown operation") << 4 << 0 << ""
                                       << "";
    QTest::newRow("door not operable") << 2 << 0 << "status"
                                       << "";
    QTest::newRow("no door privilege") << 2 << 0 << "privilege"
                                       << "";
    QTest::newRow("no execute right") << 2 << 0 << "right"
                                      << "";
    QTest::newRow("controller without group") << 2 << 0 << "group"
                                              << "";
    QTest::newRow("host not connected") << 2 << 0 << "connection"
                                        << "";
}

void tst_EventMessages::doorOperation()
{
    QFETCH(int, operation);
    QFETCH(int, value);
    QFETCH(QString, breakSite);
    QFETCH(QString, expected);
    EventFixture f;
    CKRHost& host = f.siteHost(1);
    CController* controller = host.siteConfig.FindController(1);
    if (breakSite == "status")
        controller->FindDoor(0)->status = 0x0FFF;
    else if (breakSite == "privilege")
        host.privilegeMask = 0x7F;
    else if (breakSite == "right")
        host.executeRights[3] = 0;
    else if (breakSite == "group")
        controller->deviceGroupId = -1;
    else if (breakSite == "connection")
        host.connected = 0;
    QCOMPARE(f.handlers.SendDoorOperation(1, 1, 0, operation, value), !expected.isEmpty());
    QCOMPARE(f.sent(), expected.isEmpty() ? QStringList{} : QStringList{expected});
    QVERIFY(!f.handlers.SendDoorOperation(1, 1, 9, operation, value)); // no such door
}

void tst_EventMessages::operatorActions()
{
    EventFixture f;
    CKRHost& host = f.siteHost(1);
    f.notify(host, 7, EventFixture::kUtc, 1);
    EVENT* e = f.model.eventAt(0);

    f.actions.Processed(e);
    QCOMPARE(f.sent(), (QStringList{"DOOR_OPERATIONS CONTROL_CODE=31 C_ID=1 DATA=258 D_ID=0",
                                    "KRNOTIFY_NOTIFY_EVENT_HANDLED L_ID=7 L_TYPE=2"}));
    QCOMPARE(e->state, qint32(EVENT::New)); // only the host's confirmation changes the row
    QCOMPARE(f.alerts.log.last(), QStringLiteral("stop"));

    f.control.sent.clear();
    f.live.talking = true; // the call owns the door
    f.live.shown.hostId = 1;
    f.live.shown.controllerId = 1;
    f.live.shown.doorId = 0;
    f.actions.Unlock(e);
    QCOMPARE(f.sent(), (QStringList{"DOOR_OPERATIONS CONTROL_CODE=22 C_ID=1 DATA=0 D_ID=0",
                                    "KRNOTIFY_NOTIFY_EVENT_HANDLED L_ID=7 L_TYPE=2"}));

    f.control.sent.clear();
    f.actions.Intercom(e);
    QCOMPARE(f.sent(), QStringList{"KRNOTIFY_NOTIFY_EVENT_HANDLING L_ID=7 L_TYPE=2"});
    // The intercom button switches the audio itself; a second switch would start a second call.
    QVERIFY(!f.live.speaker && !f.live.microphone);

    f.control.sent.clear();
    e->state = EVENT::Handled;
    f.actions.Processed(e);
    f.actions.Intercom(e);
    f.actions.Processed(nullptr);
    QCOMPARE(f.sent(), QStringList{});
}

void tst_EventMessages::eventSelectionShowsCamera_data()
{
    QTest::addColumn<int>("doorId");
    QTest::addColumn<int>("inputId");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("logType");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("door, second camera")
        << 0 << -1 << 1 << 2 << QStringList{"camera 1 3 1 0 -1 1 12 4", "path 1 1"};
    QTest::newRow("input shows its first camera")
        << 9 << 5 << 1 << 2 << QStringList{"camera 1 3 1 -1 5 1 21 3", "path 1 1"};
    QTest::newRow("licence plate")
        << 9 << 60 << 0 << 6 << QStringList{"camera 1 3 1 -1 -1 -1 -1 -1", "path 1 2"};
}

void tst_EventMessages::eventSelectionShowsCamera()
{
    QFETCH(int, doorId);
    QFETCH(int, inputId);
    QFETCH(int, direction);
    QFETCH(int, logType);
    QFETCH(QStringList, expected);
    EventFixture f;
    CKRHost& host = f.siteHost(1);
    f.notify(host, 7, EventFixture::kUtc, direction, logType, doorId, inputId);
    f.actions.OnEventSelected(f.model.eventAt(0));
    QCOMPARE(f.live.log, expected);
    f.live.log.clear();
    f.actions.OnEventSelected(nullptr);
    QCOMPARE(f.live.log, (QStringList{"camera -1 -1 -1 -1 -1 -1 -1 -1", "path -1 1"}));
}

void tst_EventMessages::actionButtons()
{
    EventFixture f;
    CKRHost& host = f.siteHost(1);
    f.notify(host, 7);
    EVENT* e = f.model.eventAt(0);
    auto state = f.actions.RefreshActionButtons(e, true);
    QVERIFY(state.processed && !state.unlock);
    QVERIFY(!f.actions.RefreshActionButtons(e, false).processed);
    e->state = EVENT::Handled;
    QVERIFY(!f.actions.RefreshActionButtons(e, true).processed);
    f.live.shown.doorId = 0;
    QVERIFY(f.actions.RefreshActionButtons(nullptr, true).unlock);
}

QTEST_GUILESS_MAIN(tst_EventMessages)
#include "tst_EventMessages.moc"
