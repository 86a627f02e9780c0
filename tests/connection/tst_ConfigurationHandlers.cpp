#include "CoreFixture.h"
#include "connection/ConfigurationHandlers.h"
#include "connection/FieldReader.h"

#include <QSignalSpy>
#include <QtTest>

#include <limits>

using Fields = QVariantMap;

// A connected host with group 1, a controller 10 in it holding doors 1, 3, 5 and 7, and a
// video source 5 of type 1 (camera 3 of it is reachable through a type-18 controller).
struct SiteFixture : CoreFixture
{
    CKRHost& host = connectedHost();

    SiteFixture()
    {
        send("DEVICE_GROUP_PARAM", {{"DG_ID", 1}, {"DG_NAME", "Main"}});
        controllerParam(10, 1, "1,3,5,7,");
        for (int door : {1, 3, 5, 7})
            send("DOOR_PARAM", {{"C_ID", 10}, {"D_ID", door}, {"VER", 2}});
        send("DVR_PARAM",
             {{"DEVICE_GROUP_ID", 1}, {"DVR_ID", 5}, {"DVR_TYPE", 1}, {"DVR_NAME", "Yard"}});
        clearRecords();
    }
    void send(const QString& command, const Fields& fields)
    {
        control.receive(command, host.connectionId, fields);
    }
    void controllerParam(int id, int type, const QString& doors, int group = 1)
    {
        send("CTRL_PARAM", {{"DEVICE_GROUP_ID", group},
                            {"C_ID", id},
                            {"C_TYPE", type},
                            {"C_NAME", "Ctrl"},
                            {"C_ADDR", "192.168.1.50"},
                            {"C_CRTL_ID", "login"},
                            {"C_CTRL_PASSWD", "secret"},
                            {"C_DOOR_ID_LIST", doors}});
    }
    CController* controller(int id = 10) { return host.siteConfig.FindController(id); }
    QList<int> doorIds(int controllerId = 10)
    {
        QList<int> ids;
        if (CController* c = controller(controllerId))
            for (const auto& entry : c->doors)
                ids << entry.first;
        return ids;
    }
};

class TestConfigurationHandlers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void doorIdList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("each followed by a comma") << "3,5," << QList<int>{3, 5};
        QTest::newRow("no final comma: last ignored") << "3,5" << QList<int>{3};
        QTest::newRow("empty") << "" << QList<int>{};
        QTest::newRow("no comma") << "42" << QList<int>{};
        QTest::newRow("space, signs, junk") << " \t7,-2,+4,x9,8x," << QList<int>{7, -2, 4, 0, 8};
        QTest::newRow("empty entries read as 0") << ",," << QList<int>{0};
        QTest::newRow("saturates at 32 bits")
            << "99999999999,-99999999999,"
            << QList<int>{std::numeric_limits<int>::max(), std::numeric_limits<int>::min()};
    }
    void doorIdList()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, ids);
        QCOMPARE(CConfigurationHandlers::ParseDoorIdList(text), QSet<int>(ids.begin(), ids.end()));
    }

    void ctrlParamRemovesUnlistedDoors_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QList<int>>("kept");
        QTest::newRow("3 and 5 listed") << "3,5," << QList<int>{3, 5};
        QTest::newRow("without final comma") << "3,5" << QList<int>{3};
        QTest::newRow("empty list") << "" << QList<int>{};
        QTest::newRow("listed but unknown door not created") << "1,9," << QList<int>{1};
    }
    void ctrlParamRemovesUnlistedDoors()
    {
        QFETCH(QString, list);
        QFETCH(QList<int>, kept);
        SiteFixture site;
        site.controllerParam(10, 1, list);
        QCOMPARE(site.doorIds(), kept);
        QStringList removed;
        for (int door : {1, 3, 5, 7})
            if (!kept.contains(door))
                removed << QStringLiteral("RemoveDoorNode 1 10 %1").arg(door);
        QCOMPARE(site.views.calls("RemoveDoorNode"), removed);
        CController* c = site.controller();
        QCOMPARE(c->address, QStringLiteral("192.168.1.50"));
        QCOMPARE(c->loginId, QStringLiteral("login"));
        QCOMPARE(c->loginPassword, QStringLiteral("secret"));
        QCOMPARE(c->deviceGroupId, 1);
    }

    // After every group is gone (count 0, or the controller's group deleted), the messages
    // about the controllers of those groups are dropped.
    void messagesOfControllersWithoutGroup_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<Fields>("fields");
        QTest::newRow("all groups, count 0")
            << "ALL_DEVICE_GROUPS_PARAM" << Fields{{"DG_COUNT", 0}};
        QTest::newRow("group deleted") << "DEVICE_GROUP_DELETE" << Fields{{"DG_ID", 1}};
    }
    void messagesOfControllersWithoutGroup()
    {
        QFETCH(QString, command);
        QFETCH(Fields, fields);
        SiteFixture site;
        QSignalSpy redraw(&site.manager, &CConnectionManager::redrawRequested);
        site.send(command, fields);
        QVERIFY(!site.host.siteConfig.FindGroup(1));
        QCOMPARE(redraw.size(), 1);
        site.clearRecords();
        redraw.clear();

        site.send("CTRL_STATUS", {{"C_ID", 10}, {"C_STATUS", 6}});
        site.send("CTRL_INPUT_PARAM", {{"C_ID", 10}, {"I_ID", 2}, {"I_ENABLE", 1}});
        site.send("CTRL_INPUT_STATUS", {{"C_ID", 10}, {"I_ID", 2}, {"I_ACTIVE", 1}});
        site.send("DOOR_PARAM", {{"C_ID", 10}, {"D_ID", 11}, {"VER", 2}});
        site.send("DOOR_STATUS", {{"C_ID", 10}, {"D_ID", 1}, {"D_STATUS", 2}});
        site.send("DOOR_WORKMODE", {{"C_ID", 10}, {"D_ID", 1}, {"D_WORKMODE", 6}});
        site.send("CTRL_DELETE", {{"C_ID", 10}});
        site.controllerParam(20, 1, "");
        site.send("DVR_PARAM", {{"DEVICE_GROUP_ID", 1}, {"DVR_ID", 5}, {"DVR_TYPE", 3}});
        QVERIFY(site.views.log.isEmpty());
        QCOMPARE(redraw.size(), 0);
        CController* c = site.controller();
        QVERIFY(c); // still there: CTRL_DELETE no longer removes it
        QCOMPARE(c->status, 0);
        QCOMPARE(c->FindInput(2)->enabled, 0);
        QCOMPARE(site.doorIds(), (QList<int>{1, 3, 5, 7}));
        QCOMPARE(c->FindDoor(1)->workMode, 0); // DOOR_WORKMODE 6 dropped
        QVERIFY(!site.controller(20));
        QCOMPARE(site.host.siteConfig.FindDvr(5)->type, 1);

        // Names come without the group; a group arriving again brings the messages back.
        site.send("CTRL_IO_NAMES", {{"C_ID", 10}, {"I_ID_0", "Front"}});
        QCOMPARE(c->FindInput(0)->name, QStringLiteral("Front"));
        site.send("DEVICE_GROUP_PARAM", {{"DG_ID", 1}});
        site.send("CTRL_STATUS", {{"C_ID", 10}, {"C_STATUS", 6}});
        QVERIFY(c->IsOnline());
    }

    void allDeviceGroups()
    {
        SiteFixture site;
        site.send("ALL_DEVICE_GROUPS_PARAM", {{"DG_COUNT", 2},
                                              {"DG_ID_0", 4},
                                              {"DG_NAME_0", "North"},
                                              {"DG_ID_1", 9},
                                              {"DG_NAME_1", "South"}});
        QCOMPARE(int(site.host.siteConfig.deviceGroups.size()), 2);
        QCOMPARE(site.host.siteConfig.FindGroup(9)->name, QStringLiteral("South"));
        QCOMPARE(site.views.log, (QStringList{"RenameGroupNodes 1 4", "RenameGroupNodes 1 9"}));
        QCOMPARE(site.controller()->deviceGroupId, 1); // controllers keep their group ids
    }

    // A count far beyond what a message can carry is bounded, not looped over.
    void absurdGroupCountIsBounded()
    {
        SiteFixture site;
        site.send("ALL_DEVICE_GROUPS_PARAM", {{"DG_COUNT", std::numeric_limits<int>::max()}});
        QCOMPARE(int(site.host.siteConfig.deviceGroups.size()), 1); // every missing id reads 0
        QCOMPARE(site.views.calls("RenameGroupNodes").size(), FieldReader::kMaxFieldsPerMessage);
    }

    void ctrlInputParam_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("enable");
        QTest::addColumn<QString>("call");
        QTest::newRow("input 47 enabled") << 47 << 1 << "UpdateInputNode 1 10 47";
        QTest::newRow("input 0 disabled") << 0 << 0 << "RemoveInputNode 1 10 0";
        QTest::newRow("input 48 dropped") << 48 << 1 << "";
        QTest::newRow("input -1 dropped") << -1 << 1 << "";
    }
    void ctrlInputParam()
    {
        QFETCH(int, index);
        QFETCH(int, enable);
        QFETCH(QString, call);
        SiteFixture site;
        if (CKRInput* input = site.controller()->FindInput(index))
            input->video1Source = 99;
        site.send("CTRL_INPUT_PARAM", {{"C_ID", 10},
                                       {"I_ID", index},
                                       {"I_ENABLE", enable},
                                       {"I_VIDEO_1_DVR_ID", 5},
                                       {"I_VIDEO_1_CAM_ID", 2},
                                       {"I_VIDEO_1_DELAY_SNAPSHOT", 3},
                                       {"I_VIDEO_2_DVR_ID", 6},
                                       {"I_VIDEO_2_CAM_ID", 1},
                                       {"I_VIDEO_2_DELAY_SNAPSHOT", 4}});
        QCOMPARE(site.views.log, call.isEmpty() ? QStringList{} : QStringList{call});
        const CKRInput* input = site.controller()->FindInput(index);
        if (!input)
            return;
        const auto first = input->Camera(0);
        const auto second = input->Camera(1);
        if (enable) {
            QCOMPARE((QList<int>{first.dvrId, first.cameraNumber, first.snapshotDelay}),
                     (QList<int>{5, 2, 3}));
            QCOMPARE((QList<int>{second.dvrId, second.cameraNumber, second.snapshotDelay}),
                     (QList<int>{6, 1, 4}));
        } else {
            QCOMPARE((QList<int>{first.dvrId, first.cameraNumber, first.snapshotDelay}),
                     (QList<int>{-1, -1, 0}));
            QCOMPARE(second.dvrId, -1);
        }
    }

    void doorParamCameras_data()
    {
        QTest::addColumn<int>("controllerType");
        QTest::addColumn<Fields>("fields");
        QTest::addColumn<int>("video1Source");
        QTest::addColumn<int>("video1Camera");
        QTest::addColumn<bool>("cameraSource");
        const Fields current{{"VER", 2},
                             {"D_VIDEO_1_DVR_ID", 5},
                             {"D_VIDEO_1_CAM_ID", 3},
                             {"D_VIDEO_2_DVR_ID", 5},
                             {"D_VIDEO_2_CAM_ID", 4}};
        QTest::newRow("type 18: camera source") << 18 << current << 5 << 3 << true;
        QTest::newRow("type 1: plain camera") << 1 << current << 5 << 3 << false;
        Fields noCamera = current;
        noCamera["D_VIDEO_1_CAM_ID"] = -1;
        QTest::newRow("type 18, camera -1") << 18 << noCamera << 5 << -1 << false;
        Fields unknownSource = current;
        unknownSource["D_VIDEO_1_DVR_ID"] = 6;
        QTest::newRow("type 18, unknown source") << 18 << unknownSource << 6 << 3 << false;
        QTest::newRow("older format, name matches")
            << 1 << Fields{{"VER", 1}, {"D_VIDEO_DVR_NAME", "yARD"}, {"D_VIDEO_CAM", 2}} << 5 << 2
            << false;
        QTest::newRow("older format, no such name")
            << 1 << Fields{{"VER", 1}, {"D_VIDEO_DVR_NAME", "Gate"}, {"D_VIDEO_CAM", 2}} << -1 << -1
            << false;
    }
    void doorParamCameras()
    {
        QFETCH(int, controllerType);
        QFETCH(Fields, fields);
        QFETCH(int, video1Source);
        QFETCH(int, video1Camera);
        QFETCH(bool, cameraSource);
        SiteFixture site;
        site.controllerParam(10, controllerType, "1,3,5,7,");
        site.clearRecords();
        fields.insert({{"C_ID", 10}, {"D_ID", 3}, {"D_NAME", "Entry"}, {"D_WORKMODE", 9}});
        for (int repeat = 0; repeat < 2; ++repeat)
            site.send("DOOR_PARAM", fields);
        const CDoor* door = site.controller()->FindDoor(3);
        QCOMPARE(door->name, QStringLiteral("Entry"));
        QCOMPARE(door->workMode, 9);
        QCOMPARE(door->video1Source, video1Source);
        QCOMPARE(door->video1Camera, video1Camera);
        const int id = CDvr::CameraSourceId(5, 3);
        const CDvr* source = site.host.siteConfig.FindCameraSource(5, 3);
        QCOMPARE(source != nullptr, cameraSource);
        QCOMPARE(site.views.calls("ConnectDvr"),
                 cameraSource ? QStringList{QStringLiteral("ConnectDvr 1 %1").arg(id)}
                              : QStringList{});
        if (source) {
            QCOMPARE(source->dvrId, (5 + 1000000) * 1024 + 3);
            QCOMPARE(source->address, QStringLiteral("192.168.1.50"));
            QCOMPARE(source->userName, QStringLiteral("login"));
            QCOMPARE(source->password, QStringLiteral("secret"));
            QCOMPARE((QList<int>{source->type, source->brand, source->commandPort, source->port,
                                 source->viewLogPort}),
                     (QList<int>{2, 139, 10000, 10000, 5552}));
        }
    }

    void statusMessages()
    {
        SiteFixture site;
        site.send("CTRL_STATUS", {{"C_ID", 10}, {"C_STATUS", 6}});
        site.send("CTRL_INPUT_STATUS", {{"C_ID", 10}, {"I_ID", 2}, {"I_ACTIVE", 1}});
        site.send("CTRL_INPUT_STATUS", {{"C_ID", 10}, {"I_ID", 48}, {"I_ACTIVE", 1}});
        site.send("DOOR_STATUS", {{"C_ID", 10}, {"D_ID", 3}, {"D_STATUS", 0x1002}});
        site.send("DOOR_STATUS", {{"C_ID", 10}, {"D_ID", 4}, {"D_STATUS", 2}});
        site.send("DOOR_WORKMODE", {{"C_ID", 10}, {"D_ID", 3}, {"D_WORKMODE", 6}});
        QCOMPARE(site.views.log, (QStringList{"UpdateControllerNode 1 10", "UpdateInputNode 1 10 2",
                                              "UpdateDoorNode 1 10 3", "UpdateDoorNode 1 10 3"}));
        QVERIFY(site.controller()->IsOnline());
        QCOMPARE(site.controller()->FindInput(2)->active, 1);
        QVERIFY(site.controller()->FindDoor(3)->IsOpen());
        QVERIFY(site.controller()->FindDoor(3)->IsWorkMode6Or9());
    }

    void ioNamesHostNameAndDelete()
    {
        SiteFixture site;
        site.send("CTRL_IO_NAMES", {{"C_ID", 10}, {"I_ID_47", "Last"}, {"O_ID_31", "Siren"}});
        CController* c = site.controller();
        QCOMPARE(c->FindInput(47)->name, QStringLiteral("Last"));
        QCOMPARE(c->FindInput(0)->name, QString()); // a missing field names the input empty
        QCOMPARE(int(c->outputs.size()), 32);
        QCOMPARE(c->outputs.at(31).name, QStringLiteral("Siren"));

        site.send("HOST_PARAM", {{"H_NAME", "Head office"}});
        QCOMPARE(site.host.name, QStringLiteral("Head office"));

        site.clearRecords();
        site.send("CTRL_DELETE", {{"C_ID", 10}});
        QVERIFY(!site.controller());
        QCOMPARE(site.views.log, QStringList{"RemoveControllerNode 1 10"});
    }

    void messagesForHostNotConnectedAreIgnored()
    {
        SiteFixture site;
        const long id = site.host.connectionId;
        Q_EMIT site.control.OnClose(id);
        site.host.connectionId = int(id); // attempting again under the same id
        site.clearRecords();
        site.send("HOST_PARAM", {{"H_NAME", "x"}});
        site.send("DEVICE_GROUP_PARAM", {{"DG_ID", 2}});
        QVERIFY(site.host.name.isEmpty());
        QVERIFY(!site.host.siteConfig.FindGroup(2));
        QVERIFY(site.views.log.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestConfigurationHandlers)
#include "tst_ConfigurationHandlers.moc"
