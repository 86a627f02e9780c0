#include "ModelTests.h"

#include "i18n/StringTable.h"
#include "model/CHostMap.h"
#include "model/CameraProfiles.h"

#include <QRegularExpression>
#include <QtTest>

#include <limits>

namespace {
QString text(const char* key)
{
    return CStringTable::Instance().GetText(QString::fromLatin1(key));
}

// Records that count their destruction, to show that owners delete what they own.
int g_destroyed = 0;
class CountedController : public CController
{
public:
    using CController::CController;
    ~CountedController() override { ++g_destroyed; }
};
class CountedDoor : public CDoor
{
public:
    using CDoor::CDoor;
    ~CountedDoor() override { ++g_destroyed; }
};

class ListedBrandCodes : public CameraProfiles
{
public:
    explicit ListedBrandCodes(QList<int> codes) : m_codes(std::move(codes)) {}
    bool IsProfileBrand(int brand) const override { return m_codes.contains(qint64(brand) + 2); }

private:
    QList<int> m_codes;
};

// A host with group 3, controller 10 (door 1) in it, and DVR 5 with a camera source for camera 2.
std::unique_ptr<CKRHost> populatedHost(qint32 hostId)
{
    auto host = std::make_unique<CKRHost>(hostId);
    CSiteConfig& site = host->siteConfig;
    site.deviceGroups[3] = std::make_unique<CDeviceGroup>(3, QStringLiteral("Lobby"));
    auto controller = std::make_unique<CountedController>(10);
    controller->doors[1] = std::make_unique<CountedDoor>(1, 10);
    site.controllers[10] = std::move(controller);
    auto dvr = std::make_unique<CDvr>(5);
    dvr->cameraSources[2] = CDvr::CreateCameraSource(5, 2, *site.controllers[10]);
    site.videoSources[5] = std::move(dvr);
    return host;
}
} // namespace

class TestSiteModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultNames_data();
    void defaultNames();
    void recordDefaults();
    void defaultGroupUntilClear();
    void controllerOnline_data();
    void controllerOnline();
    void doorState_data();
    void doorState();
    void cameraAssignmentByDirection();
    void ownersDeleteWhatTheyOwn();
    void cameraSourceId_data();
    void cameraSourceId();
    void cameraSourceFromController();
    void isPerCamera_data();
    void isPerCamera();
    void lookupsYieldNullWhenALevelIsMissing();
    void hostMapLookupsAndOrder();
    void hostMapAddRules();
    void hostIdCounter();
    void rights_data();
    void rights();
    void resetLoginState();
    void guidText();
};

void TestSiteModel::defaultNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("door 0") << CDoor(0, 1).name << text("TAV_IDS_DOOR") + " 1";
    QTest::newRow("door 9") << CDoor(9, 1).name << text("TAV_IDS_DOOR") + " 10";
    QTest::newRow("door max id") << CDoor(std::numeric_limits<qint32>::max(), 1).name
                                 << text("TAV_IDS_DOOR") + " 2147483648";
    QTest::newRow("input 0") << CKRInput(0).name << text("TAV_IDS_INPUT") + " 01";
    QTest::newRow("input 47") << CKRInput(47).name << text("TAV_IDS_INPUT") + " 48";
    QTest::newRow("controller's input 47")
        << CController(7).FindInput(47)->name << text("TAV_IDS_INPUT") + " 48";
    QTest::newRow("controller 7") << CController(7).name << text("TAV_IDS_CONTROLLER") + " 7";
    QTest::newRow("controller -3") << CController(-3).name << text("TAV_IDS_CONTROLLER") + " -3";
}

void TestSiteModel::defaultNames()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(name, expected);
}

void TestSiteModel::recordDefaults()
{
    const CController controller(4);
    QCOMPARE(int(controller.inputs.size()), 48);
    QCOMPARE(controller.inputs.begin()->first, 0);
    QCOMPARE(controller.inputs.rbegin()->first, 47);
    for (const auto& [index, input] : controller.inputs)
        QCOMPARE(input->inputIndex, index);
    QVERIFY(controller.doors.empty() && controller.outputs.empty());
    QCOMPARE(controller.type, 1);
    QCOMPARE(controller.deviceGroupId, -1);

    const CDoor door(2, 4);
    QCOMPARE(door.controllerId, 4);
    QCOMPARE(door.workMode, 3);
    QCOMPARE(door.video1Source, -1);
    QCOMPARE(door.video2Camera, -1);

    const CDvr dvr(8);
    QCOMPARE(dvr.deviceGroupId, -1);
    QCOMPARE(dvr.type, 0);
    QCOMPARE(dvr.CameraCount(), 0);

    const CKRHost host(1);
    QCOMPARE(host.serverVersion, 0x4020300);
    QCOMPARE(host.port, 9987);
    QCOMPARE(host.connectionId, 0);
    QCOMPARE(host.keepAliveStamp, 0u);
    QVERIFY(std::all_of(host.readRights.begin(), host.readRights.end(),
                        [](qint32 v) { return v == 0; }));
    QVERIFY(std::all_of(host.executeRights.begin(), host.executeRights.end(),
                        [](qint32 v) { return v == 0; }));
}

void TestSiteModel::defaultGroupUntilClear()
{
    auto host = populatedHost(1);
    CSiteConfig& site = host->siteConfig;
    const CDeviceGroup* group = site.FindGroup(0);
    QVERIFY(group);
    QCOMPARE(group->name, text("TAV_IDS_DEFAULT"));
    QCOMPARE(int(CKRHost(2).siteConfig.deviceGroups.size()), 1);

    g_destroyed = 0;
    site.Clear();
    QCOMPARE(g_destroyed, 2); // controller and its door
    QVERIFY(site.deviceGroups.empty());
    QVERIFY(site.controllers.empty());
    QVERIFY(site.videoSources.empty());
}

void TestSiteModel::controllerOnline_data()
{
    QTest::addColumn<qint32>("status");
    QTest::addColumn<bool>("online");
    QTest::newRow("none") << 0 << false;
    QTest::newRow("0x2 only") << 0x2 << false;
    QTest::newRow("0x4 only") << 0x4 << false;
    QTest::newRow("both") << 0x6 << true;
    QTest::newRow("all bits") << -1 << true;
}

void TestSiteModel::controllerOnline()
{
    QFETCH(qint32, status);
    QFETCH(bool, online);
    CController controller(1);
    controller.status = status;
    const CController& viaBase = controller;
    QCOMPARE(viaBase.IsOnline(), online);
}

void TestSiteModel::doorState_data()
{
    QTest::addColumn<qint32>("status");
    QTest::addColumn<qint32>("workMode");
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("mode6Or9");
    QTest::newRow("closed, mode 3") << 0x1000 << 3 << false << false;
    QTest::newRow("open, mode 6") << 0x2 << 6 << true << true;
    QTest::newRow("open among others, mode 9") << 0x1003 << 9 << true << true;
    QTest::newRow("bit 0x1 only, mode 7") << 0x1 << 7 << false << false;
}

void TestSiteModel::doorState()
{
    QFETCH(qint32, status);
    QFETCH(qint32, workMode);
    QFETCH(bool, open);
    QFETCH(bool, mode6Or9);
    CDoor door(0, 0);
    door.status = status;
    door.workMode = workMode;
    const CPlace& place = door;
    QCOMPARE(place.IsOpen(), open);
    QCOMPARE(place.IsWorkMode6Or9(), mode6Or9);
}

void TestSiteModel::cameraAssignmentByDirection()
{
    CKRInput input(0);
    input.video1Source = 5;
    input.video1Camera = 1;
    input.video1SnapshotDelay = 3;
    input.video2Source = 6;
    input.video2Camera = 2;
    input.video2SnapshotDelay = 4;
    QCOMPARE(input.Camera(0).dvrId, 5);
    QCOMPARE(input.Camera(0).snapshotDelay, 3);
    QCOMPARE(input.Camera(1).cameraNumber, 2);
    QCOMPARE(input.Camera(1).snapshotDelay, 4);
    for (int direction : {-1, 2, std::numeric_limits<int>::min()}) {
        QCOMPARE(input.Camera(direction).dvrId, -1);
        QCOMPARE(input.Camera(direction).cameraNumber, -1);
    }
}

void TestSiteModel::ownersDeleteWhatTheyOwn()
{
    // Without a virtual destructor in the bases, deleting through them would skip the counters
    // (and AddressSanitizer reports anything left behind).
    CHostMap hosts;
    hosts.Add(populatedHost(4));
    hosts.Add(populatedHost(6));
    g_destroyed = 0;
    QVERIFY(hosts.Remove(4));
    QCOMPARE(g_destroyed, 2);
    QVERIFY(!hosts.Find(4));
    QVERIFY(!hosts.Remove(4));

    auto controller = std::make_unique<CountedController>(1);
    controller->doors[0] = std::make_unique<CountedDoor>(0, 1);
    controller->doors[1] = std::make_unique<CountedDoor>(1, 1);
    std::unique_ptr<CController> asBase = std::move(controller);
    asBase.reset();
    QCOMPARE(g_destroyed, 5);

    hosts.Clear();
    QCOMPARE(g_destroyed, 7);
    QVERIFY(hosts.isEmpty());
}

void TestSiteModel::cameraSourceId_data()
{
    QTest::addColumn<qint32>("parent");
    QTest::addColumn<qint32>("camera");
    QTest::addColumn<qint32>("expected");
    QTest::newRow("source 5, camera 3") << 5 << 3 << 1024005123;
    QTest::newRow("lowest parent to zero") << -1000000 << 7 << 7;
    QTest::newRow("wraps to the lowest id") << 1097152 << 0 << std::numeric_limits<qint32>::min();
    QTest::newRow("largest parent wraps") << std::numeric_limits<qint32>::max() << 0 << 1023998976;
    QTest::newRow("smallest parent wraps") << std::numeric_limits<qint32>::min() << 5 << 1024000005;
}

void TestSiteModel::cameraSourceId()
{
    QFETCH(qint32, parent);
    QFETCH(qint32, camera);
    QFETCH(qint32, expected);
    QCOMPARE(CDvr::CameraSourceId(parent, camera), expected);
}

void TestSiteModel::cameraSourceFromController()
{
    CController controller(3);
    controller.address = QStringLiteral("10.0.0.7");
    controller.loginId = QStringLiteral("door-cam");
    controller.loginPassword = QStringLiteral("Secret");
    const auto source = CDvr::CreateCameraSource(5, 3, controller);
    QCOMPARE(source->dvrId, 1024005123);
    QCOMPARE(source->type, 2);
    QCOMPARE(source->brand, 139);
    QCOMPARE(source->userName, controller.loginId);
    QCOMPARE(source->password, controller.loginPassword);
    QCOMPARE(source->address, controller.address);
    QCOMPARE(source->commandPort, 10000);
    QCOMPARE(source->port, 10000);
    QCOMPARE(source->viewLogPort, 5552);
    QCOMPARE(source->deviceGroupId, -1);
    QVERIFY(source->cameraNames.empty() && source->cameraSources.empty());
}

void TestSiteModel::isPerCamera_data()
{
    QTest::addColumn<qint32>("type");
    QTest::addColumn<qint32>("brand");
    QTest::addColumn<bool>("brandListed");
    QTest::addColumn<bool>("perCamera");
    QTest::newRow("type 4, brand listed") << 4 << 139 << true << false;
    QTest::newRow("type 5") << 5 << 0 << false << true;
    QTest::newRow("type 6") << 6 << 0 << false << true;
    QTest::newRow("type 7") << 7 << 0 << false << true;
    QTest::newRow("type 8, brand listed") << 8 << 139 << true << false;
    QTest::newRow("type 1") << 1 << 139 << true << false;
    QTest::newRow("type 2, brand listed") << 2 << 139 << true << true;
    QTest::newRow("type 2, brand not listed") << 2 << 139 << false << false;
    QTest::newRow("type 2, code equals brand") << 2 << 141 << true << false;
    QTest::newRow("type 3, brand listed") << 3 << 139 << true << false;
}

void TestSiteModel::isPerCamera()
{
    QFETCH(qint32, type);
    QFETCH(qint32, brand);
    QFETCH(bool, brandListed);
    QFETCH(bool, perCamera);
    // The list holds code 141, i.e. brand 139.
    if (brandListed)
        CameraProfiles::install(std::make_shared<ListedBrandCodes>(QList<int>{141}));
    CDvr dvr(1);
    dvr.type = type;
    dvr.brand = brand;
    const bool result = dvr.IsPerCamera();
    CameraProfiles::install(nullptr);
    QCOMPARE(result, perCamera);
    QVERIFY(!CameraProfiles::current().IsProfileBrand(139));
}

void TestSiteModel::lookupsYieldNullWhenALevelIsMissing()
{
    const auto host = populatedHost(1);
    const CSiteConfig& site = host->siteConfig;
    QVERIFY(site.FindGroup(3));
    QVERIFY(!site.FindGroup(4));
    QCOMPARE(site.FindController(10)->controllerId, 10);
    QVERIFY(!site.FindController(11));
    QCOMPARE(site.FindDoor(10, 1)->doorId, 1);
    QVERIFY(!site.FindDoor(10, 2));
    QVERIFY(!site.FindDoor(11, 1));
    QCOMPARE(site.FindInput(10, 47)->inputIndex, 47);
    QVERIFY(!site.FindInput(10, 48));
    QVERIFY(!site.FindInput(10, -1));
    QVERIFY(!site.FindInput(11, 0));
    QCOMPARE(site.FindDvr(5)->dvrId, 5);
    QVERIFY(!site.FindDvr(6));
    QCOMPARE(site.FindCameraSource(5, 2)->dvrId, CDvr::CameraSourceId(5, 2));
    QVERIFY(!site.FindCameraSource(5, 3));
    QVERIFY(!site.FindCameraSource(6, 2));
}

void TestSiteModel::hostMapLookupsAndOrder()
{
    CHostMap hosts;
    for (qint32 id : {7, 2, 5}) {
        auto host = std::make_unique<CKRHost>(id);
        host->connectionId = id == 2 ? 0 : 40; // hosts 5 and 7 share a connection id
        QVERIFY(hosts.Add(std::move(host)));
    }
    QList<qint32> order;
    for (const auto& [id, host] : hosts)
        order << host->hostId;
    QCOMPARE(order, (QList<qint32>{2, 5, 7}));
    QCOMPARE(hosts.Find(7)->hostId, 7);
    QVERIFY(!hosts.Find(3));
    QCOMPARE(hosts.FindByConnection(40)->hostId, 5);
    QVERIFY(!hosts.FindByConnection(41));
    // An idle host holds connection id 0; a stray event for id 0 must not reach it.
    QVERIFY(!hosts.FindByConnection(0));
    QVERIFY(!hosts.FindByConnection(-1));
}

void TestSiteModel::hostMapAddRules()
{
    CHostMap hosts;
    QVERIFY(!hosts.Add(nullptr));
    QVERIFY(!hosts.Add(std::make_unique<CKRHost>(-1)));
    CKRHost* first = hosts.Add(std::make_unique<CKRHost>(3));
    QVERIFY(first);
    QVERIFY(!hosts.Add(std::make_unique<CKRHost>(3)));
    QCOMPARE(hosts.Find(3), first);
    QCOMPARE(hosts.size(), 1);
}

void TestSiteModel::hostIdCounter()
{
    CHostMap hosts;
    QCOMPARE(hosts.nextHostIdCounter(), 0);
    QCOMPARE(hosts.assignHostId(), 1);
    hosts.Add(std::make_unique<CKRHost>(2));
    hosts.Add(std::make_unique<CKRHost>(5));
    hosts.raiseCounter(4); // lower ids never move it back
    QCOMPARE(hosts.nextHostIdCounter(), 5);
    QCOMPARE(hosts.assignHostId(), 6);
    QCOMPARE(hosts.nextHostIdCounter(), 6);

    hosts.raiseCounter(std::numeric_limits<qint32>::max());
    QCOMPARE(hosts.assignHostId(), -1);
    QVERIFY(!hosts.Add(std::make_unique<CKRHost>(-1)));
    QCOMPARE(hosts.nextHostIdCounter(), std::numeric_limits<qint32>::max());
}

void TestSiteModel::rights_data()
{
    QTest::addColumn<qint32>("groupId");
    QTest::addColumn<bool>("granted");
    QTest::newRow("0") << 0 << true;
    QTest::newRow("999") << 999 << true;
    QTest::newRow("-1") << -1 << false;
    QTest::newRow("1000") << 1000 << false;
    QTest::newRow("lowest") << std::numeric_limits<qint32>::min() << false;
    QTest::newRow("highest") << std::numeric_limits<qint32>::max() << false;
}

void TestSiteModel::rights()
{
    QFETCH(qint32, groupId);
    QFETCH(bool, granted);
    CKRHost host(1);
    host.readRights.fill(1);
    host.writeRights.fill(1);
    host.executeRights.fill(1);
    QCOMPARE(host.hasReadRight(groupId), granted);
    QCOMPARE(host.hasWriteRight(groupId), granted);
    QCOMPARE(host.hasExecuteRight(groupId), granted);
    host.ClearRights();
    QVERIFY(!host.hasReadRight(groupId) && !host.hasWriteRight(groupId) &&
            !host.hasExecuteRight(groupId));
}

void TestSiteModel::resetLoginState()
{
    CKRHost host(1);
    host.connected = 1;
    host.connectionId = 12;
    host.privilegeMask = 0x2080;
    host.key = 99;
    host.executeRights[7] = 1;
    host.serverVersion = 0x4030000;
    host.guidText = QStringLiteral("kept");
    host.ResetLoginState();
    QCOMPARE(host.connected, 0);
    QCOMPARE(host.connectionId, 0);
    QCOMPARE(host.privilegeMask, 0u);
    QCOMPARE(host.key, 0);
    QVERIFY(!host.hasExecuteRight(7));
    QCOMPARE(host.serverVersion, 0x4030000);
    QCOMPARE(host.guidText, QStringLiteral("kept"));
}

void TestSiteModel::guidText()
{
    const QUuid uuid(QStringLiteral("{abcdef01-abcd-ef01-a1b2-c3d4e5f60789}"));
    QCOMPARE(CKRHost::FormatGuid(uuid), QStringLiteral("ABCDEF01-ABCD-ef01-A1B2-C3D4E5F60789"));

    const QRegularExpression shape(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9a-f]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    const CKRHost first(1), second(1);
    QVERIFY2(shape.match(first.guidText).hasMatch(), qPrintable(first.guidText));
    QVERIFY(first.guidText != second.guidText);
}

int runSiteModelTests(int argc, char** argv)
{
    TestSiteModel tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_SiteModel.moc"
