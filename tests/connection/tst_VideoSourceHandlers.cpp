#include "CoreFixture.h"
#include "connection/FieldReader.h"
#include "tnclient/TnWire.h"

#include <QSignalSpy>
#include <QtTest>

#include <limits>

using Fields = QVariantMap;

struct DvrFixture : CoreFixture
{
    CKRHost& host = connectedHost();

    DvrFixture()
    {
        host.address = "server.example";
        send("DEVICE_GROUP_PARAM", {{"DG_ID", 1}});
        clearRecords();
    }
    void send(const QString& command, const Fields& fields)
    {
        control.receive(command, host.connectionId, fields);
    }
    static Fields Source(int type)
    {
        return {{"DEVICE_GROUP_ID", 1}, {"DVR_ID", 5},
                {"DVR_NAME", "Yard"},   {"DVR_TYPE", type},
                {"DVR_BRAND", 3},       {"DVR_USERNAME", "Admin"},
                {"DVR_PASSWORD", "Pw"}, {"DVR_ADDRESS", "10.1.1.1"},
                {"DVR_PORT", 80},       {"DVR_VIEWLOG_PORT", 81},
                {"DVR_CMD_PORT", 82},   {"DVR_CAMERA_COUNT", 4}};
    }
    // A type-18 controller that reaches camera 3 of source 5 itself.
    void addCameraSource()
    {
        send("CTRL_PARAM", {{"DEVICE_GROUP_ID", 1}, {"C_ID", 10}, {"C_TYPE", 18}});
        send("DOOR_PARAM", {{"C_ID", 10},
                            {"D_ID", 0},
                            {"VER", 2},
                            {"D_VIDEO_1_DVR_ID", 5},
                            {"D_VIDEO_1_CAM_ID", 3}});
    }
    CDvr* dvr() { return host.siteConfig.FindDvr(5); }
};

class TestVideoSourceHandlers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newSourceIsAddedAndConnected()
    {
        DvrFixture f;
        QSignalSpy redraw(&f.manager, &CConnectionManager::redrawRequested);
        f.send("DVR_PARAM", DvrFixture::Source(1));
        QCOMPARE(f.views.log, (QStringList{"AddDvrNode 1 5", "ConnectDvr 1 5"}));
        QCOMPARE(redraw.size(), 1);
        const CDvr* dvr = f.dvr();
        QCOMPARE(dvr->name, QStringLiteral("Yard"));
        QCOMPARE(dvr->deviceGroupId, 1);
        QCOMPARE((QList<int>{dvr->type, dvr->brand, dvr->port, dvr->viewLogPort, dvr->commandPort}),
                 (QList<int>{1, 3, 80, 81, 82}));
        QCOMPARE(dvr->CameraCount(), 4);
    }

    // A second DVR_PARAM after the first (type 1 unless the row changes it): which changes
    // reopen the source's live connections (and drop its camera sources).
    void changeRules_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<Fields>("change");
        QTest::addColumn<bool>("reopened");
        QTest::newRow("type 1, identical") << 1 << Fields{} << false;
        QTest::newRow("type 6, identical") << 6 << Fields{} << true;
        QTest::newRow("name only") << 1 << Fields{{"DVR_NAME", "Other"}} << false;
        QTest::newRow("user name case") << 1 << Fields{{"DVR_USERNAME", "ADMIN"}} << false;
        QTest::newRow("password case") << 1 << Fields{{"DVR_PASSWORD", "pw"}} << true;
        QTest::newRow("address case") << 1 << Fields{{"DVR_ADDRESS", "10.1.1.1"}} << false;
        QTest::newRow("address") << 1 << Fields{{"DVR_ADDRESS", "10.1.1.2"}} << true;
        QTest::newRow("view-log port") << 1 << Fields{{"DVR_VIEWLOG_PORT", 90}} << true;
        QTest::newRow("command port") << 1 << Fields{{"DVR_CMD_PORT", 90}} << true;
        QTest::newRow("type") << 1 << Fields{{"DVR_TYPE", 3}} << true;
        QTest::newRow("brand, type 1") << 1 << Fields{{"DVR_BRAND", 4}} << false;
        QTest::newRow("brand, type 2") << 2 << Fields{{"DVR_BRAND", 4}} << true;
        QTest::newRow("fewer cameras") << 1 << Fields{{"DVR_CAMERA_COUNT", 2}} << false;
    }
    void changeRules()
    {
        QFETCH(int, type);
        QFETCH(Fields, change);
        QFETCH(bool, reopened);
        DvrFixture f;
        f.send("DVR_PARAM", DvrFixture::Source(type));
        f.addCameraSource();
        const int cameraSourceId = CDvr::CameraSourceId(5, 3);
        const bool hasCameraSource = type != 2; // a source of type 2 never gets them
        QCOMPARE(f.host.siteConfig.FindCameraSource(5, 3) != nullptr, hasCameraSource);
        f.views.selection.hostId = 1;
        f.views.selection.dvrId = 5;
        f.views.selection.camera = 2;
        f.views.selection.controllerId = 10;
        f.views.selection.doorId = 0;
        f.clearRecords();

        Fields second = DvrFixture::Source(type);
        second.insert(change);
        f.send("DVR_PARAM", second);

        QStringList expected{"UpdateDvrNode 1 5"};
        if (f.dvr()->IsPerCamera())
            expected.prepend("DisconnectDvr 1 5");
        if (reopened && hasCameraSource)
            expected << QStringLiteral("DisconnectDvr 1 %1").arg(cameraSourceId);
        if (reopened)
            expected << "DisconnectDvr 1 5"
                     << "ConnectDvr 1 5"
                     << "SetCamera 1 5 2 10 0";
        QCOMPARE(f.views.log, expected);
        QCOMPARE(f.host.siteConfig.FindCameraSource(5, 3) != nullptr, hasCameraSource && !reopened);
        QCOMPARE(f.dvr()->CameraCount(), second.value("DVR_CAMERA_COUNT").toInt());
        QCOMPARE(f.dvr()->cameraNames.count(3),
                 size_t(second.value("DVR_CAMERA_COUNT").toInt() > 3));
    }

    void storedValues_data()
    {
        QTest::addColumn<Fields>("fields");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("cameras");
        QTest::newRow("type 9 stored as 0") << Fields{{"DVR_TYPE", 9}} << 0 << "10.1.1.1" << 4;
        QTest::newRow("type -1 stored as 0") << Fields{{"DVR_TYPE", -1}} << 0 << "10.1.1.1" << 4;
        QTest::newRow("type 7 kept") << Fields{{"DVR_TYPE", 7}} << 7 << "10.1.1.1" << 4;
        QTest::newRow("LOCALHOST")
            << Fields{{"DVR_ADDRESS", "LOCALHOST"}} << 1 << "server.example" << 4;
        QTest::newRow("127.0.0.1")
            << Fields{{"DVR_ADDRESS", "127.0.0.1"}} << 1 << "server.example" << 4;
        QTest::newRow("not local")
            << Fields{{"DVR_ADDRESS", "localhost.lan"}} << 1 << "localhost.lan" << 4;
        QTest::newRow("negative camera count")
            << Fields{{"DVR_CAMERA_COUNT", -3}} << 1 << "10.1.1.1" << 0;
        QTest::newRow("absurd camera count bounded")
            << Fields{{"DVR_CAMERA_COUNT", std::numeric_limits<int>::max()}} << 1 << "10.1.1.1"
            << FieldReader::kMaxFieldsPerMessage;
    }
    void storedValues()
    {
        QFETCH(Fields, fields);
        QFETCH(int, type);
        QFETCH(QString, address);
        QFETCH(int, cameras);
        DvrFixture f;
        Fields message = DvrFixture::Source(1);
        message.insert(fields);
        f.send("DVR_PARAM", message);
        QCOMPARE(f.dvr()->type, type);
        QCOMPARE(f.dvr()->address, address);
        QCOMPARE(f.dvr()->CameraCount(), cameras);
    }

    // A recorder with more cameras than any older limit: every name a frame carries is kept.
    void cameraListAsLongAsAFrameCarries()
    {
        constexpr int kCameras = 25000;
        TnWire::Message message{QStringLiteral("DVR_PARAM"), {}};
        const Fields source = DvrFixture::Source(1);
        for (auto it = source.begin(); it != source.end(); ++it)
            message.fields.insert(it.key(), TnWire::Field::ofInt(it.value().toInt()));
        message.fields["DVR_CAMERA_COUNT"] = TnWire::Field::ofInt(kCameras);
        for (int i = 0; i < kCameras; ++i)
            message.fields.insert(QStringLiteral("CAMERA_NAME_%1").arg(i),
                                  TnWire::Field::ofText(QStringLiteral("C%1").arg(i)));
        const QByteArray frame = TnWire::encodeFrame(message);
        QVERIFY(!frame.isEmpty()); // it fits into one frame
        const auto decoded = TnWire::decodePayload(frame.mid(TnWire::kHeaderSize));
        QVERIFY(decoded);

        Fields fields;
        for (auto it = decoded->fields.begin(); it != decoded->fields.end(); ++it)
            fields.insert(it.key(), it->type == TnWire::Field::Type::Text ? QVariant(it->textValue)
                                                                          : QVariant(it->intValue));
        DvrFixture f;
        f.send("DVR_PARAM", fields);
        QCOMPARE(f.dvr()->CameraCount(), kCameras);
        QCOMPARE(f.dvr()->CameraName(kCameras - 1), QStringLiteral("C24999"));
    }

    void missingGroupDropsMessageForKnownSource()
    {
        DvrFixture f;
        f.send("DVR_PARAM", DvrFixture::Source(1));
        f.clearRecords();
        Fields moved = DvrFixture::Source(3);
        moved["DEVICE_GROUP_ID"] = 2;
        f.send("DVR_PARAM", moved);
        QVERIFY(f.views.log.isEmpty());
        QCOMPARE(f.dvr()->type, 1);
    }

    void remove_data()
    {
        QTest::addColumn<Fields>("fields");
        QTest::addColumn<bool>("removed");
        QTest::newRow("by id") << Fields{{"VER", 2}, {"DVR_ID", 5}} << true;
        QTest::newRow("by name, any case") << Fields{{"VER", 1}, {"DVR_NAME", "YARD"}} << true;
        QTest::newRow("unknown name") << Fields{{"VER", 1}, {"DVR_NAME", "Gate"}} << false;
        QTest::newRow("unknown id") << Fields{{"VER", 2}, {"DVR_ID", 6}} << false;
    }
    void remove()
    {
        QFETCH(Fields, fields);
        QFETCH(bool, removed);
        DvrFixture f;
        f.send("DVR_PARAM", DvrFixture::Source(1));
        f.addCameraSource();
        f.clearRecords();
        QSignalSpy redraw(&f.manager, &CConnectionManager::redrawRequested);
        f.send("DVR_REMOVE", fields);
        QCOMPARE(redraw.size(), 1);
        QCOMPARE(f.dvr() == nullptr, removed);
        const QStringList expected{
            QStringLiteral("DisconnectDvr 1 %1").arg(CDvr::CameraSourceId(5, 3)),
            "DisconnectDvr 1 5", "RemoveDvrNode 1 1 5"};
        QCOMPARE(f.views.log, removed ? expected : QStringList{});
    }

    // A host may send its recorders after the doors and inputs that name them (or remove a
    // recorder and send it again): those places get the recorder's cameras when it arrives,
    // and a type-18 controller's door its camera source.
    void sourceArrivingAfterItsPlaces()
    {
        DvrFixture f;
        f.addCameraSource(); // controller 10 (type 18), door 0 on camera 3 of source 5
        f.send("CTRL_PARAM", {{"DEVICE_GROUP_ID", 1}, {"C_ID", 11}, {"C_TYPE", 1}});
        f.send("DOOR_PARAM", {{"C_ID", 11},
                              {"D_ID", 2},
                              {"VER", 2},
                              {"D_VIDEO_1_DVR_ID", 7},
                              {"D_VIDEO_1_CAM_ID", 0},
                              {"D_VIDEO_2_DVR_ID", 5},
                              {"D_VIDEO_2_CAM_ID", 1}});
        f.send("DOOR_PARAM", {{"C_ID", 11}, {"D_ID", 3}, {"VER", 2}, {"D_VIDEO_1_DVR_ID", 7}});
        f.send("CTRL_INPUT_PARAM", {{"C_ID", 11},
                                    {"I_ID", 4},
                                    {"I_ENABLE", 1},
                                    {"I_VIDEO_2_DVR_ID", 5},
                                    {"I_VIDEO_2_CAM_ID", 0}});
        // A disabled input has no cameras, whatever the message names.
        f.send("CTRL_INPUT_PARAM", {{"C_ID", 11}, {"I_ID", 5}, {"I_VIDEO_1_DVR_ID", 5}});
        QVERIFY(!f.host.siteConfig.FindCameraSource(5, 3));
        const QStringList attached{
            "AddDvrNode 1 5",
            "ConnectDvr 1 5",
            QStringLiteral("ConnectDvr 1 %1").arg(CDvr::CameraSourceId(5, 3)),
            "UpdateDoorNode 1 10 0",
            "UpdateDoorNode 1 11 2",
            "UpdateInputNode 1 11 4",
        };
        for (const char* round : {"first", "after DVR_REMOVE"}) {
            f.clearRecords();
            f.send("DVR_PARAM", DvrFixture::Source(1));
            QVERIFY2(f.views.log == attached, round);
            QVERIFY(f.host.siteConfig.FindCameraSource(5, 3));
            f.send("DVR_REMOVE", {{"VER", 2}, {"DVR_ID", 5}});
        }
    }
};

QTEST_GUILESS_MAIN(TestVideoSourceHandlers)
#include "tst_VideoSourceHandlers.moc"
