#include "SiteFixture.h"

#include "model/OleDateTime.h"
#include "ui/devicetree/CSelectionBoxDelegate.h"
#include "ui/devicetree/NodeKeys.h"
#include "ui/devicetree/TreeImages.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QtTest>

#include <climits>

namespace {
const QStringList kFrontDoor = {"North", "Controller", "Lobby", "Main entrance", "Front door"};
const QStringList kMotion = {"North", "Controller", "Lobby", "Main entrance", "Motion"};
const QStringList kRecorder = {"North", "Camera", "Lobby", "Recorder"};

QStringList Children(const SiteFixture& site, const QStringList& labels)
{
    const QModelIndex parent = site.find(labels);
    QStringList names;
    for (int row = 0; row < site.model().rowCount(parent); ++row)
        names << site.model().index(row, 0, parent).data().toString();
    return names;
}

// The tree's usual delegate, counting how often a row is measured.
class MeasureCounter : public CSelectionBoxDelegate
{
public:
    using CSelectionBoxDelegate::CSelectionBoxDelegate;
    mutable int measured = 0;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        ++measured;
        return CSelectionBoxDelegate::sizeHint(option, index);
    }
};

bool Near(QRgb pixel, const QColor& colour, int tolerance = 2)
{
    return qAbs(qRed(pixel) - colour.red()) <= tolerance &&
           qAbs(qGreen(pixel) - colour.green()) <= tolerance &&
           qAbs(qBlue(pixel) - colour.blue()) <= tolerance;
}
} // namespace

class tst_DeviceTree : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { InstallEnglishTexts(); }

    void buildsTheSiteInLevelsAndOrder();
    void nodeKeys_data();
    void nodeKeys();
    void hostsAreAppendedThenSorted();
    void hostThatIsDownSaysWhy();
    void categoriesAndGroupNames();
    void nodeImages_data();
    void nodeImages();
    void everyPictureLoads();
    void lastControllerTakesEmptyGroupAndCategory();
    void placesOutsideTheHostsGroupsGetNoNode();
    void movedControllerAndSourceTakeTheirSubtrees();
    void doorCameras_data();
    void doorCameras();
    void selectedCameraFollowsDoorUpdates();
    void videoSourceUpdateRenamesAndDropsCameras();
    void removedVideoSourceTakesItsDoorCameras();
    void largeVideoSourceIdKeepsItsCamera();
    void selectionReportsPath_data();
    void selectionReportsPath();
    void selectPath_data();
    void selectPath();
    void selectPathNeedsAKnownHost();
    void removeHostNode();
    void rightClick();
    void focusReportsTheSelectionAgain();
    void cameraLabelsAreComputedWhenDrawn();
    void longLabelsScrollSideways();
    void burstOfUpdatesMeasuresOnlyWhatChanged();
    void selectionBox_data();
    void selectionBox();
    void selectedLabelIsDrawnInTheBox();
};

void tst_DeviceTree::buildsTheSiteInLevelsAndOrder()
{
    SiteFixture site;
    site.Build();
    const QStringList expected = {
        "North |0",
        "  Controller |3",
        "    Garage |2",
        "      Lift |5",
        "        Lift car |10",
        "      Panel |11",
        "        Panel door |12",
        "    Lobby |2",
        "      Side |5",
        "      Main entrance |4",
        "        Back door |6",
        "        Front door |7",
        "          Recorder, Hall |27",
        "        Button |8",
        "        Motion |9",
        "          Recorder, Gate |27",
        "  Camera |18",
        "    Garage |2",
        "      NVR |19",
        "        Roof |27",
        "    Lobby |2",
        "      Recorder |22",
        "        Gate |27",
        "        Hall |27",
        "        Yard |27",
    };
    QCOMPARE(Dump(site.model()), expected);
    // Building again changes nothing: every operation finds its nodes.
    site.Build();
    QCOMPARE(Dump(site.model()), expected);
}

void tst_DeviceTree::nodeKeys_data()
{
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("kind");
    QTest::addColumn<qint32>("id");

    QTest::newRow("host") << QStringList{"North"} << 0 << 0 << 7;
    QTest::newRow("category") << QStringList{"North", "Camera"} << 1 << 3 << 3;
    QTest::newRow("group") << QStringList{"North", "Controller", "Lobby"} << 2 << 1 << 5;
    QTest::newRow("controller") << QStringList{"North", "Controller", "Lobby", "Side"} << 3 << 1
                                << 4;
    QTest::newRow("door") << kFrontDoor << 4 << 1 << qint32(0xFFFF0001u);
    QTest::newRow("input") << kMotion << 4 << 1 << qint32(0x0003FFFF);
    QTest::newRow("input camera") << (kMotion + QStringList{"Recorder, Gate"}) << 5 << 1 << 1;
    QTest::newRow("video source") << kRecorder << 3 << 3 << 2;
    QTest::newRow("source camera") << (kRecorder + QStringList{"Yard"}) << 4 << 3 << 2;
}

void tst_DeviceTree::nodeKeys()
{
    QFETCH(QStringList, labels);
    SiteFixture site;
    site.Build();
    const CDeviceTreeCtrl::tagNode* node = site.tree.NodeAt(site.find(labels));
    QVERIFY(node);
    QTEST(node->level, "level");
    QTEST(node->kind, "kind");
    QTEST(node->id, "id");
}

void tst_DeviceTree::hostsAreAppendedThenSorted()
{
    InstallEnglishTexts();
    RecordingOwner owner;
    CDeviceTreeCtrl tree(&owner);
    std::vector<std::unique_ptr<CKRHost>> hosts;
    auto add = [&](int id, const QString& name) {
        hosts.push_back(std::make_unique<CKRHost>(id));
        hosts.back()->name = name;
        tree.UpdateHostNode(*hosts.back());
    };
    auto topLevel = [&] {
        QStringList names;
        for (int row = 0; row < tree.model()->rowCount(); ++row)
            names << tree.model()->index(row, 0).data().toString();
        return names;
    };
    add(INT_MAX, "Max");
    add(9, "South");
    add(INT_MIN + 1, "Min");
    add(7, "North");
    QCOMPARE(topLevel(), (QStringList{"Max", "South", "Min", "North"}));
    // Ids far apart still sort ascending (a 32-bit difference would overflow).
    tree.SortHostNodes();
    QCOMPARE(topLevel(), (QStringList{"Min", "North", "South", "Max"}));
    add(1, "East");
    QCOMPARE(topLevel(), (QStringList{"Min", "North", "South", "Max", "East"}));
    // An update renames in place.
    hosts[1]->name = "South 2";
    tree.UpdateHostNode(*hosts[1]);
    QCOMPARE(topLevel(), (QStringList{"Min", "North", "South 2", "Max", "East"}));
}

void tst_DeviceTree::hostThatIsDownSaysWhy()
{
    InstallEnglishTexts();
    RecordingOwner owner;
    CDeviceTreeCtrl tree(&owner);
    CKRHost host(1);
    host.name = "North";
    const auto shown = [&](int role) {
        tree.UpdateHostNode(host);
        return tree.model()->index(0, 0).data(role).toString();
    };
    // Before its first attempt ends: the name alone; the tooltip says it is not connected yet.
    QCOMPARE(shown(Qt::DisplayRole), QStringLiteral("North"));
    QCOMPARE(shown(Qt::ToolTipRole), QStringLiteral("not connected yet\nnever connected"));

    host.downReason = CKRHost::DownReason::KeepAliveLost;
    host.lastConnected = QDateTime(QDate(2026, 12, 10), QTime(3, 57, 9));
    QCOMPARE(shown(Qt::DisplayRole),
             QStringLiteral("North - keep-alive lost (no answer for 20 s)"));
    QCOMPARE(shown(Qt::ToolTipRole),
             "keep-alive lost (no answer for 20 s)\nlast connected " +
                 COleDateTime::fromDateTime(host.lastConnected).toDisplayText());

    host.connected = 1;
    QCOMPARE(shown(Qt::DisplayRole), QStringLiteral("North"));
    QVERIFY(!tree.model()->index(0, 0).data(Qt::ToolTipRole).isValid());
}

void tst_DeviceTree::categoriesAndGroupNames()
{
    SiteFixture site;
    site.Build();
    // The licence-plate category exists in the tree's vocabulary; other kinds add nothing.
    site.tree.EnsureCategoryNode(site.host, 2);
    site.tree.EnsureCategoryNode(site.host, 4);
    site.tree.EnsureCategoryNode(site.host, 0);
    QCOMPARE(Children(site, {"North"}),
             (QStringList{"Controller", "License Plate Recognition", "Camera"}));
    QCOMPARE(
        site.find({"North", "License Plate Recognition"}).data(CDeviceTreeModel::ImageRole).toInt(),
        13);

    // A group shown under both categories is renamed in both; nothing is created.
    CDeviceGroup& lobby = *site.host.siteConfig.FindGroup(5);
    lobby.name = "Hall";
    DeviceTreeSink& sink = site.tree;
    sink.RenameGroupNodes(site.host, lobby);
    QCOMPARE(Children(site, {"North", "Controller"}), (QStringList{"Garage", "Hall"}));
    QCOMPARE(Children(site, {"North", "Camera"}), (QStringList{"Garage", "Hall"}));
    CDeviceGroup& empty = Site::AddGroup(site.host, 6, "Empty");
    sink.RenameGroupNodes(site.host, empty);
    QCOMPARE(Children(site, {"North", "Controller"}), (QStringList{"Garage", "Hall"}));
    QCOMPARE(Children(site, {"North", "License Plate Recognition"}), QStringList());
}

void tst_DeviceTree::nodeImages_data()
{
    QTest::addColumn<QString>("node");
    QTest::addColumn<int>("type");   // controller or video source type
    QTest::addColumn<int>("status"); // host connected, controller or door status, input active
    QTest::addColumn<int>("image");

    QTest::newRow("host connected") << "host" << 0 << 1 << 0;
    QTest::newRow("host not connected") << "host" << 0 << 0 << 1;
    QTest::newRow("controller online") << "controller" << 1 << 6 << 4;
    QTest::newRow("controller half online") << "controller" << 1 << 2 << 5;
    QTest::newRow("controller offline") << "controller" << 1 << 0 << 5;
    QTest::newRow("elevator controller online") << "controller" << 4 << 6 << 4;
    QTest::newRow("panel controller offline") << "controller" << 240 << 0 << 11;
    QTest::newRow("door open") << "door" << 1 << 2 << 7;
    QTest::newRow("door closed") << "door" << 1 << 0 << 6;
    QTest::newRow("elevator door open") << "door" << 4 << 2 << 10;
    QTest::newRow("panel door open") << "door" << 240 << 2 << 12;
    QTest::newRow("input active") << "input" << 1 << 1 << 9;
    QTest::newRow("input inactive") << "input" << 1 << 0 << 8;
    QTest::newRow("recorder type 0") << "dvr" << 0 << 0 << 19;
    QTest::newRow("recorder type 1") << "dvr" << 1 << 0 << 20;
    QTest::newRow("recorder type 7") << "dvr" << 7 << 0 << 26;
    QTest::newRow("recorder type 8") << "dvr" << 8 << 0 << 19;
    QTest::newRow("recorder type -1") << "dvr" << -1 << 0 << 19;
}

// Each node is first shown in another state, so the picture must follow the update.
void tst_DeviceTree::nodeImages()
{
    QFETCH(QString, node);
    QFETCH(int, type);
    QFETCH(int, status);

    SiteFixture site;
    CKRHost& host = site.host;
    CController& controller = *site.main;
    DeviceTreeSink& sink = site.tree;
    QStringList labels;
    if (node == "host") {
        host.connected = !status;
        sink.UpdateHostNode(host);
        host.connected = status;
        sink.UpdateHostNode(host);
        labels = {"North"};
    } else if (node == "controller") {
        controller.type = type;
        controller.status = status ? 0 : 6;
        sink.UpdateControllerNode(host, controller);
        controller.status = status;
        sink.UpdateControllerNode(host, controller);
        labels = {"North", "Controller", "Lobby", "Main entrance"};
    } else if (node == "door") {
        controller.type = type;
        site.frontDoor->status = status ? 0 : 2;
        sink.UpdateDoorNode(host, controller, *site.frontDoor);
        site.frontDoor->status = status;
        sink.UpdateDoorNode(host, controller, *site.frontDoor);
        labels = kFrontDoor;
    } else if (node == "input") {
        site.motion->active = !status;
        sink.UpdateInputNode(host, controller, *site.motion);
        site.motion->active = status;
        sink.UpdateInputNode(host, controller, *site.motion);
        labels = kMotion;
    } else {
        site.recorder->type = type == 1 ? 2 : 1;
        sink.AddDvrNode(host, *site.recorder);
        site.recorder->type = type;
        sink.UpdateDvrNode(host, *site.recorder);
        labels = kRecorder;
    }
    const QModelIndex index = site.find(labels);
    QVERIFY(index.isValid());
    QTEST(index.data(CDeviceTreeModel::ImageRole).toInt(), "image");
    QVERIFY(!index.data(Qt::DecorationRole).value<QIcon>().isNull());
}

void tst_DeviceTree::everyPictureLoads()
{
    for (int image = 0; image < TreeImages::Count; ++image) {
        QVERIFY2(!TreeImages::Icon(image).isNull(), qPrintable(TreeImages::FileName(image)));
        QCOMPARE(TreeImages::Icon(image).pixmap(16, 16).size(), QSize(16, 16));
    }
    QVERIFY(TreeImages::Icon(TreeImages::Count).isNull());
    QVERIFY(TreeImages::Icon(-1).isNull());
}

void tst_DeviceTree::lastControllerTakesEmptyGroupAndCategory()
{
    SiteFixture site;
    site.Build();
    DeviceTreeSink& sink = site.tree;
    const QStringList controllers = {"North", "Controller"};

    // Removing the last door or the last recorder leaves the empty parents.
    sink.RemoveDoorNode(site.host, *site.panel, *site.panel->FindDoor(0));
    QCOMPARE(Children(site, controllers + QStringList{"Garage", "Panel"}), QStringList());
    site.host.siteConfig.videoSources.erase(8);
    sink.RemoveDvrNode(site.host, 2, 8);
    QCOMPARE(Children(site, {"North", "Camera", "Garage"}), QStringList());

    sink.RemoveControllerNode(site.host, *site.side);
    QCOMPARE(Children(site, controllers + QStringList{"Lobby"}), QStringList{"Main entrance"});
    sink.RemoveControllerNode(site.host, *site.main);
    QCOMPARE(Children(site, controllers), QStringList{"Garage"});
    sink.RemoveControllerNode(site.host, *site.lift);
    sink.RemoveControllerNode(site.host, *site.panel);
    QCOMPARE(Children(site, {"North"}), QStringList{"Camera"});
    // A controller the tree does not show changes nothing.
    sink.RemoveControllerNode(site.host, *site.panel);
    QCOMPARE(Children(site, {"North"}), QStringList{"Camera"});
}

void tst_DeviceTree::placesOutsideTheHostsGroupsGetNoNode()
{
    SiteFixture site;
    DeviceTreeSink& sink = site.tree;
    CController& stray = Site::AddController(site.host, 50, 99, "Stray");
    CDoor& door = Site::AddDoor(stray, 0, "Stray door");
    CDvr& dvr = Site::AddDvr(site.host, 60, 99, "Stray recorder", 1, {"A"});
    sink.UpdateControllerNode(site.host, stray);
    sink.UpdateDoorNode(site.host, stray, door);
    sink.UpdateInputNode(site.host, stray, *stray.FindInput(0));
    sink.AddDvrNode(site.host, dvr);
    QCOMPARE(Dump(site.model()), QStringList());
    // An update of such a recorder shows the host and its cameras category, nothing below.
    sink.UpdateDvrNode(site.host, dvr);
    QCOMPARE(Dump(site.model()), (QStringList{"North |0", "  Camera |18"}));
}

// The host may move a controller or a source to another group: it is shown there, once, with
// everything below it.
void tst_DeviceTree::movedControllerAndSourceTakeTheirSubtrees()
{
    SiteFixture site;
    site.Build();
    DeviceTreeSink& sink = site.tree;
    site.tree.SelectPath(7, 1, 5, 10, 1, -1, 0, 2, 1);
    site.owner.selections.clear();

    site.main->deviceGroupId = 2;
    sink.UpdateControllerNode(site.host, *site.main);
    const QStringList garage = {"North", "Controller", "Garage"};
    QCOMPARE(Children(site, garage), (QStringList{"Main entrance", "Lift", "Panel"}));
    QCOMPARE(Children(site, garage + QStringList{"Main entrance"}),
             (QStringList{"Back door", "Front door", "Button", "Motion"}));
    QCOMPARE(Children(site, {"North", "Controller", "Lobby"}), QStringList{"Side"});
    // The selected camera moved with it and is reported on its new path.
    QCOMPARE(site.selectedLabels(),
             (garage + QStringList{"Main entrance", "Front door", "Recorder, Hall"}));
    QCOMPARE(site.owner.selections, QStringList{"7 2 10 1 -1 0 2 1"});
    // Later updates find it in its new place.
    site.frontDoor->status = 0;
    sink.UpdateDoorNode(site.host, *site.main, *site.frontDoor);
    QCOMPARE(site.find(garage + QStringList{"Main entrance", "Front door"})
                 .data(CDeviceTreeModel::ImageRole)
                 .toInt(),
             6);

    // The last controller leaving a group takes the group away.
    site.side->deviceGroupId = 2;
    sink.UpdateControllerNode(site.host, *site.side);
    QCOMPARE(Children(site, {"North", "Controller"}), QStringList{"Garage"});

    site.recorder->deviceGroupId = 2;
    sink.UpdateDvrNode(site.host, *site.recorder);
    QCOMPARE(Children(site, {"North", "Camera", "Garage"}), (QStringList{"Recorder", "NVR"}));
    QCOMPARE(Children(site, {"North", "Camera", "Garage", "Recorder"}),
             (QStringList{"Gate", "Hall", "Yard"}));
    QCOMPARE(Children(site, {"North", "Camera", "Lobby"}), QStringList());
}

void tst_DeviceTree::doorCameras_data()
{
    QTest::addColumn<QList<int>>("cameras"); // source and camera of direction 0, then 1
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("direction 0 only") << QList<int>{2, 1, -1, -1} << QStringList{"Recorder, Hall"};
    QTest::newRow("both directions")
        << QList<int>{2, 1, 2, 0} << QStringList{"Recorder, Hall", "Recorder, Gate"};
    QTest::newRow("direction 1 only") << QList<int>{-1, -1, 2, 2} << QStringList{"Recorder, Yard"};
    QTest::newRow("sources of two groups")
        << QList<int>{2, 2, 8, 0} << QStringList{"Recorder, Yard", "NVR, Roof"};
    QTest::newRow("camera number at the count")
        << QList<int>{2, 3, 2, 1} << QStringList{"Recorder, Hall"};
    QTest::newRow("unknown source") << QList<int>{9, 0, -1, -1} << QStringList();
    QTest::newRow("half assignments") << QList<int>{-1, 0, 2, -1} << QStringList();
    QTest::newRow("none") << QList<int>{-1, -1, -1, -1} << QStringList();
}

// The door starts with camera 0 = recorder 2 camera 1, then takes the row's assignment.
void tst_DeviceTree::doorCameras()
{
    QFETCH(QList<int>, cameras);
    SiteFixture site;
    site.Build();
    site.owner.validityQueries.clear();
    Site::SetCameras(*site.frontDoor, cameras[0], cameras[1], cameras[2], cameras[3]);
    site.tree.UpdateDoorNode(site.host, *site.main, *site.frontDoor);
    QTEST(Children(site, kFrontDoor), "shown");
    // Validity is asked with the controller's group, only for complete assignments.
    for (int direction : {0, 1}) {
        const int dvr = cameras[direction * 2], camera = cameras[direction * 2 + 1];
        const QString query = QStringLiteral("7 5 %1 %2").arg(dvr).arg(camera);
        QCOMPARE(site.owner.validityQueries.contains(query), dvr >= 0 && camera >= 0);
    }
    // Nothing was selected, so nothing is reported.
    QCOMPARE(site.owner.selections, QStringList());
}

void tst_DeviceTree::selectedCameraFollowsDoorUpdates()
{
    SiteFixture site;
    site.Build();
    CDeviceTreeCtrl& tree = site.tree;
    tree.SelectPath(7, 1, 5, 10, 1, -1, 0, 2, 1);
    QCOMPARE(site.selectedLabels(), kFrontDoor + QStringList{"Recorder, Hall"});
    site.owner.selections.clear();

    // Another place's update leaves the selection alone.
    tree.UpdateDoorNode(site.host, *site.main, *site.backDoor);
    tree.UpdateInputNode(site.host, *site.main, *site.motion);
    QCOMPARE(site.owner.selections, QStringList());

    // The same camera node now shows another camera: the live view follows.
    Site::SetCameras(*site.frontDoor, 2, 2, -1, -1);
    tree.UpdateDoorNode(site.host, *site.main, *site.frontDoor);
    QCOMPARE(site.owner.selections, QStringList{"7 5 10 1 -1 0 2 2"});
    QCOMPARE(site.selectedLabels(), kFrontDoor + QStringList{"Recorder, Yard"});

    // The selected camera goes: reported once with no camera, the door stays selected.
    site.owner.selections.clear();
    Site::SetCameras(*site.frontDoor, -1, -1, -1, -1);
    tree.UpdateDoorNode(site.host, *site.main, *site.frontDoor);
    QCOMPARE(site.owner.selections, QStringList{"7 5 10 1 -1 -1 -1 -1"});
    QCOMPARE(site.selectedLabels(), kFrontDoor);

    // The same for an input's camera.
    tree.SelectPath(7, 1, 5, 10, -1, 3, 1, 2, 0);
    QCOMPARE(site.selectedLabels(), kMotion + QStringList{"Recorder, Gate"});
    site.owner.selections.clear();
    Site::SetCameras(*site.motion, -1, -1, 9, 0);
    tree.UpdateInputNode(site.host, *site.main, *site.motion);
    QCOMPARE(site.owner.selections, QStringList{"7 5 10 -1 3 -1 -1 -1"});
    QCOMPARE(site.selectedLabels(), kMotion);
}

void tst_DeviceTree::videoSourceUpdateRenamesAndDropsCameras()
{
    SiteFixture site;
    CDvr& recorder = *site.recorder;
    recorder.cameraNames = {{0, "A"}, {1, "B"}, {2, "C"}, {3, "D"}, {4, "E"}};
    Site::SetCameras(*site.frontDoor, 2, 1, 2, 4);
    site.Build();
    QCOMPARE(Children(site, kRecorder), (QStringList{"A", "B", "C", "D", "E"}));
    QCOMPARE(Children(site, kFrontDoor), (QStringList{"Recorder, B", "Recorder, E"}));

    recorder.name = "Recorder 2";
    recorder.cameraNames = {{0, "A"}, {1, "B2"}, {2, "C"}};
    site.tree.UpdateDvrNode(site.host, recorder);
    const QStringList renamed = {"North", "Camera", "Lobby", "Recorder 2"};
    QCOMPARE(Children(site, renamed), (QStringList{"A", "B2", "C"}));
    // The door's camera 4 is gone with it; its camera 1 shows the new names.
    QCOMPARE(Children(site, kFrontDoor), QStringList{"Recorder 2, B2"});

    // Growing again adds the missing numbers.
    recorder.cameraNames[3] = "D";
    site.tree.UpdateDvrNode(site.host, recorder);
    QCOMPARE(Children(site, renamed), (QStringList{"A", "B2", "C", "D"}));
}

void tst_DeviceTree::removedVideoSourceTakesItsDoorCameras()
{
    SiteFixture site;
    Site::SetCameras(*site.frontDoor, 2, 1, 8, 0);
    site.Build();
    QCOMPARE(Children(site, kFrontDoor), (QStringList{"Recorder, Hall", "NVR, Roof"}));
    site.tree.SelectPath(7, 1, 5, 10, 1, -1, 0, 2, 1);
    site.owner.selections.clear();

    site.host.siteConfig.videoSources.erase(2);
    site.tree.RemoveDvrNode(site.host, 5, 2);
    QCOMPARE(Children(site, {"North", "Camera", "Lobby"}), QStringList());
    QCOMPARE(Children(site, kFrontDoor), QStringList{"NVR, Roof"});
    QCOMPARE(Children(site, kMotion), QStringList());
    // The selected camera went: the door is selected and reported.
    QCOMPARE(site.selectedLabels(), kFrontDoor);
    QCOMPARE(site.owner.selections, QStringList{"7 5 10 1 -1 -1 -1 -1"});
}

// A source id beyond the 15 bits of the camera value is kept whole.
void tst_DeviceTree::largeVideoSourceIdKeepsItsCamera()
{
    SiteFixture site;
    const int bigId = 40000; // 40000 & 0x7FFF == 7232
    Site::AddDvr(site.host, bigId, 5, "Big", 1, {"One", "Two"});
    Site::SetCameras(*site.frontDoor, bigId, 1, -1, -1);
    site.Build();
    QCOMPARE(Children(site, kFrontDoor), QStringList{"Big, Two"});
    site.tree.ValidateCameraNodes();
    QCOMPARE(Children(site, kFrontDoor), QStringList{"Big, Two"});

    site.tree.SelectPath(7, 1, 5, 10, 1, -1, 0, bigId, 1);
    QCOMPARE(site.selectedLabels(), kFrontDoor + QStringList{"Big, Two"});
    QCOMPARE(site.owner.selections.last(), QStringLiteral("7 5 10 1 -1 0 40000 1"));
    // The cut id names nothing.
    site.tree.SelectPath(7, 1, 5, 10, 1, -1, 0, bigId & 0x7FFF, 1);
    QCOMPARE(site.selectedLabels(), kFrontDoor);
}

void tst_DeviceTree::selectionReportsPath_data()
{
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QString>("path");

    QTest::newRow("host") << QStringList{"North"} << "7 -1 -1 -1 -1 -1 -1 -1";
    QTest::newRow("controllers") << QStringList{"North", "Controller"} << "7 -1 -1 -1 -1 -1 -1 -1";
    QTest::newRow("group") << QStringList{"North", "Controller", "Lobby"}
                           << "7 5 -1 -1 -1 -1 -1 -1";
    QTest::newRow("controller") << QStringList{"North", "Controller", "Lobby", "Main entrance"}
                                << "7 5 10 -1 -1 -1 -1 -1";
    QTest::newRow("door") << kFrontDoor << "7 5 10 1 -1 -1 -1 -1";
    QTest::newRow("door camera") << (kFrontDoor + QStringList{"Recorder, Hall"})
                                 << "7 5 10 1 -1 0 2 1";
    QTest::newRow("input") << kMotion << "7 5 10 -1 3 -1 -1 -1";
    QTest::newRow("input camera") << (kMotion + QStringList{"Recorder, Gate"})
                                  << "7 5 10 -1 3 1 2 0";
    QTest::newRow("elevator door")
        << QStringList{"North", "Controller", "Garage", "Lift", "Lift car"}
        << "7 2 30 0 -1 -1 -1 -1";
    QTest::newRow("cameras") << QStringList{"North", "Camera"} << "7 -1 -1 -1 -1 -1 -1 -1";
    QTest::newRow("camera group") << QStringList{"North", "Camera", "Garage"}
                                  << "7 2 -1 -1 -1 -1 -1 -1";
    QTest::newRow("video source") << kRecorder << "7 5 -1 -1 -1 -1 2 -1";
    QTest::newRow("source camera") << (kRecorder + QStringList{"Yard"}) << "7 5 -1 -1 -1 -1 2 2";
}

// A selection made in the view (mouse or keys) reports the node's device path.
void tst_DeviceTree::selectionReportsPath()
{
    QFETCH(QStringList, labels);
    SiteFixture site;
    site.Build();
    const QModelIndex index = site.find(labels);
    QVERIFY(index.isValid());
    site.tree.setCurrentIndex(index);
    QCOMPARE(site.owner.selections.size(), 1);
    QTEST(site.owner.selections.last(), "path");

    // Clearing the selection reports no place at all.
    site.tree.selectionModel()->clearSelection();
    QCOMPARE(site.owner.selections.last(), QStringLiteral("-1 -1 -1 -1 -1 -1 -1 -1"));
}

void tst_DeviceTree::selectPath_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<int>>("path"); // group, controller, door, input, direction, dvr, camera
    QTest::addColumn<QStringList>("selected");

    const QStringList host = {"North"};
    const QStringList lobby = {"North", "Controller", "Lobby"};
    const QStringList main = lobby + QStringList{"Main entrance"};
    QTest::newRow("host event") << 0 << QList<int>{5, 10, 1, -1, 0, 2, 1} << host;
    QTest::newRow("licence plate event") << 2 << QList<int>{5, 10, 1, -1, 0, 2, 1} << host;
    QTest::newRow("cameras kind") << 3 << QList<int>{5, -1, -1, -1, -1, 2, 1} << host;
    QTest::newRow("no group") << 1 << QList<int>{-1, 10, 1, -1, 0, 2, 1}
                              << QStringList{"North", "Controller"};
    QTest::newRow("unknown group")
        << 1 << QList<int>{77, 10, 1, -1, 0, 2, 1} << QStringList{"North", "Controller"};
    QTest::newRow("group") << 1 << QList<int>{5, -1, -1, -1, -1, -1, -1} << lobby;
    QTest::newRow("unknown controller") << 1 << QList<int>{5, 99, 1, -1, 0, 2, 1} << lobby;
    QTest::newRow("controller") << 1 << QList<int>{5, 10, -1, -1, -1, -1, -1} << main;
    QTest::newRow("unknown door") << 1 << QList<int>{5, 10, 7, -1, 0, 2, 1} << main;
    QTest::newRow("door") << 1 << QList<int>{5, 10, 1, -1, -1, -1, -1} << kFrontDoor;
    QTest::newRow("door camera") << 1 << QList<int>{5, 10, 1, -1, 0, 2, 1}
                                 << (kFrontDoor + QStringList{"Recorder, Hall"});
    QTest::newRow("door, camera not shown") << 1 << QList<int>{5, 10, 1, -1, 0, 2, 2} << kFrontDoor;
    QTest::newRow("door, other direction") << 1 << QList<int>{5, 10, 1, -1, 1, 2, 1} << kFrontDoor;
    QTest::newRow("door, no camera number")
        << 1 << QList<int>{5, 10, 1, -1, 0, 2, -1} << kFrontDoor;
    QTest::newRow("input") << 1 << QList<int>{5, 10, -1, 3, 1, -1, -1} << kMotion;
    QTest::newRow("input camera") << 1 << QList<int>{5, 10, -1, 3, 1, 2, 0}
                                  << (kMotion + QStringList{"Recorder, Gate"});
}

void tst_DeviceTree::selectPath()
{
    QFETCH(int, kind);
    QFETCH(QList<int>, path);
    QFETCH(QStringList, selected);
    SiteFixture site;
    site.Build();
    site.tree.SelectPath(7, kind, path[0], path[1], path[2], path[3], path[4], path[5], path[6]);
    QCOMPARE(site.selectedLabels(), selected);
    // Selecting is reported like any selection: the selected node's own path.
    QCOMPARE(site.owner.selections.size(), 1);
    const QString reported = site.owner.selections.first();
    site.tree.selectionModel()->clear();
    site.tree.setCurrentIndex(site.find(selected));
    QCOMPARE(site.owner.selections.last(), reported);
}

void tst_DeviceTree::selectPathNeedsAKnownHost()
{
    SiteFixture site;
    site.Build();
    site.tree.SelectPath(7, 1, 5, 10, 1, -1, 0, 2, 1);
    site.owner.selections.clear();
    site.tree.SelectPath(8, 1, 5, 10, 1, -1, -1, -1, -1);
    site.tree.SelectPath(-1, 1, 5, 10, 1, -1, -1, -1, -1);
    QCOMPARE(site.selectedLabels(), kFrontDoor + QStringList{"Recorder, Hall"});
    QCOMPARE(site.owner.selections, QStringList());
}

void tst_DeviceTree::removeHostNode()
{
    SiteFixture site;
    site.Build();
    site.tree.SelectPath(7, 1, 5, 10, 1, -1, 0, 2, 1);
    site.owner.selections.clear();

    // A reconnection clears the subtree; the host keeps its node and takes the selection.
    site.tree.RemoveHostNode(site.host, true);
    QCOMPARE(Dump(site.model()), QStringList{"North |0"});
    QCOMPARE(site.selectedLabels(), QStringList{"North"});
    QCOMPARE(site.owner.selections, QStringList{"7 -1 -1 -1 -1 -1 -1 -1"});

    site.Build();
    site.tree.RemoveHostNode(site.host, false);
    QCOMPARE(Dump(site.model()), QStringList());
    QVERIFY(!site.tree.HostNode(7));
    QCOMPARE(site.owner.selections.last(), QStringLiteral("-1 -1 -1 -1 -1 -1 -1 -1"));
    // The host can come back.
    site.Build();
    QVERIFY(site.tree.HostNode(7));
}

void tst_DeviceTree::rightClick()
{
    SiteFixture site;
    site.Build();
    site.tree.resize(300, 800);
    site.tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&site.tree));
    QWidget* viewport = site.tree.viewport();
    auto click = [&](const QPoint& pos) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
        QApplication::sendEvent(viewport, &event);
    };

    const QModelIndex main = site.find({"North", "Controller", "Lobby", "Main entrance"});
    click(site.tree.visualRect(main).center());
    QCOMPARE(site.owner.rightClicks.size(), size_t(1));
    const RecordingOwner::RightClick hit = site.owner.rightClicks.back();
    QCOMPARE((QList<int>{hit.kind, hit.level, hit.id}), (QList<int>{1, 3, 10}));
    QCOMPARE(hit.screenPos, viewport->mapToGlobal(site.tree.visualRect(main).center()));
    // The clicked node was selected first.
    QCOMPARE(site.selectedLabels(), LabelPath(main));
    QCOMPARE(site.owner.selections.last(), QStringLiteral("7 5 10 -1 -1 -1 -1 -1"));

    const QPoint empty(5, viewport->height() - 3);
    QVERIFY(!site.tree.indexAt(empty).isValid());
    click(empty);
    const RecordingOwner::RightClick miss = site.owner.rightClicks.back();
    QCOMPARE((QList<int>{miss.kind, miss.level, miss.id}), (QList<int>{0, -1, -1}));
    QCOMPARE(site.selectedLabels(), LabelPath(main));

    click(site.tree.visualRect(site.find({"North"})).center());
    const RecordingOwner::RightClick host = site.owner.rightClicks.back();
    QCOMPARE((QList<int>{host.kind, host.level, host.id}), (QList<int>{0, 0, 7}));

    // A real right click on the window: the button press must not clear the selection on
    // empty space either.
    const QModelIndex side = site.find({"North", "Controller", "Lobby", "Side"});
    auto press = [&](const QPoint& pos) {
        QTest::mouseClick(site.tree.windowHandle(), Qt::RightButton, {},
                          viewport->mapTo(&site.tree, pos));
    };
    const size_t clicks = site.owner.rightClicks.size();
    press(site.tree.visualRect(side).center());
    QTRY_COMPARE(site.owner.rightClicks.size(), clicks + 1);
    QCOMPARE(site.owner.rightClicks.back().id, 4);
    QCOMPARE(site.selectedLabels(), LabelPath(side));
    press(empty);
    QTRY_COMPARE(site.owner.rightClicks.size(), clicks + 2);
    QCOMPARE(site.owner.rightClicks.back().level, -1);
    QCOMPARE(site.selectedLabels(), LabelPath(side));
    QTest::mouseClick(site.tree.windowHandle(), Qt::LeftButton, {},
                      viewport->mapTo(&site.tree, empty));
    QCOMPARE(site.selectedLabels(), LabelPath(side));

    // The menu key names the selected node, wherever the event says it is.
    site.tree.SelectPath(7, 1, 5, 10, -1, 3, -1, -1, -1);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(1, 1),
                          viewport->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(viewport, &key);
    const RecordingOwner::RightClick menuKey = site.owner.rightClicks.back();
    QCOMPARE((QList<int>{menuKey.kind, menuKey.level, menuKey.id}),
             (QList<int>{1, 4, NodeKeys::InputKey(3)}));
    QVERIFY(site.tree.visualRect(site.find(kMotion))
                .contains(viewport->mapFromGlobal(menuKey.screenPos)));
    QCOMPARE(site.selectedLabels(), kMotion);
}

void tst_DeviceTree::focusReportsTheSelectionAgain()
{
    InstallEnglishTexts();
    RecordingOwner owner;
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* tree = new CDeviceTreeCtrl(&owner);
    auto* other = new QLineEdit;
    layout->addWidget(tree);
    layout->addWidget(other);
    CKRHost host(3);
    host.name = "Solo";
    tree->UpdateHostNode(host);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    tree->setCurrentIndex(tree->model()->index(0, 0));
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    owner.selections.clear();
    tree->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(tree->hasFocus());
    QCOMPARE(owner.selections, QStringList{"3 -1 -1 -1 -1 -1 -1 -1"});
}

// A camera node's label is asked of the owner whenever it is drawn, so a changed source or
// camera name needs only a repaint.
void tst_DeviceTree::cameraLabelsAreComputedWhenDrawn()
{
    SiteFixture site;
    site.Build();
    site.tree.resize(300, 600);
    QCoreApplication::processEvents(); // the column takes the labels' width
    const QImage before = site.tree.grab().toImage();

    site.recorder->name = "Recorder B";
    site.recorder->cameraNames[1] = "Hall 2";
    site.owner.labelsGiven.clear();
    const QImage after = site.tree.grab().toImage();
    QVERIFY(site.owner.labelsGiven.contains("Recorder B, Hall 2"));
    QVERIFY(before != after);
    QCOMPARE(Children(site, kFrontDoor), QStringList{"Recorder B, Hall 2"});
}

void tst_DeviceTree::longLabelsScrollSideways()
{
    SiteFixture site;
    site.tree.resize(120, 300);
    site.tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&site.tree));
    site.Build();
    QTRY_VERIFY(site.tree.horizontalScrollBar()->maximum() > 0);
    QVERIFY(site.tree.header()->sectionSize(0) > site.tree.viewport()->width());

    // Short labels: the column still fills the view, so the whole row can be clicked.
    site.tree.RemoveHostNode(site.host, true);
    QTRY_COMPARE(site.tree.header()->sectionSize(0), site.tree.viewport()->width());
    QCOMPARE(site.tree.horizontalScrollBar()->maximum(), 0);
    const QPoint rightOfLabel(site.tree.viewport()->width() - 3, 5);
    QCOMPARE(site.tree.indexAt(rightOfLabel), site.find({"North"}));
}

// A burst of 1 000 site updates within one frame, one per turn of the event loop as a
// configuration arrives, reaches a shown tree as inserted and changed rows when the frame ends:
// no reset or relayout of the model, and the rows are laid out and measured about once, not
// for every update; the tree ends as one built from the final records.
void tst_DeviceTree::burstOfUpdatesMeasuresOnlyWhatChanged()
{
    SiteFixture site;
    auto* delegate = new MeasureCounter(&site.tree);
    site.tree.setItemDelegate(delegate);
    site.tree.resize(300, 400);
    site.tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&site.tree));
    site.Build();
    site.tree.FinishFrame();
    QCoreApplication::processEvents();
    site.tree.setFrameInterval(INT_MAX); // the frame ends when the test says so
    int resets = 0;
    connect(site.tree.model(), &QAbstractItemModel::modelAboutToBeReset, [&] { ++resets; });
    connect(site.tree.model(), &QAbstractItemModel::layoutAboutToBeChanged, [&] { ++resets; });
    delegate->measured = 0;

    DeviceTreeSink& sink = site.tree;
    int updates = 0;
    auto nextTurn = [&] {
        ++updates;
        QCoreApplication::processEvents();
    };
    std::vector<CController*> added;
    for (int c = 0; c < 20; ++c) {
        CController& controller = Site::AddController(site.host, 100 + c, 5 - 3 * (c % 2),
                                                      QStringLiteral("Controller %1").arg(c));
        added.push_back(&controller);
        sink.UpdateControllerNode(site.host, controller);
        nextTurn();
        for (int d = 0; d < 8; ++d) {
            CDoor& door = Site::AddDoor(controller, d, QStringLiteral("Door %1.%2").arg(c).arg(d));
            Site::SetCameras(door, d % 3 ? -1 : 2, d % 3, -1, -1);
            sink.UpdateDoorNode(site.host, controller, door);
            nextTurn();
        }
        for (int i = 0; i < 8; ++i) {
            sink.UpdateInputNode(
                site.host, controller,
                Site::NameInput(controller, i, QStringLiteral("In %1.%2").arg(c).arg(i)));
            nextTurn();
        }
        for (int change = 0; change < 33; ++change) { // status changes spread over its places
            if (change % 2) {
                CDoor& door = *controller.doors[change % 8];
                door.status ^= 0x2;
                sink.UpdateDoorNode(site.host, controller, door);
            } else {
                CKRInput& input = *controller.FindInput(change % 8);
                input.active ^= 1;
                sink.UpdateInputNode(site.host, controller, input);
            }
            nextTurn();
        }
    }
    QCOMPARE(updates, 1000);
    site.tree.FinishFrame();
    QCoreApplication::processEvents();
    QCOMPARE(resets, 0);
    QVERIFY2(delegate->measured <= 5, qPrintable(QString::number(delegate->measured)));

    RecordingOwner owner;
    owner.hosts[site.host.hostId] = &site.host;
    CDeviceTreeCtrl fresh(&owner);
    DeviceTreeSink& freshSink = fresh;
    site.Build(freshSink);
    for (CController* controller : added) {
        freshSink.UpdateControllerNode(site.host, *controller);
        for (const auto& [id, door] : controller->doors)
            freshSink.UpdateDoorNode(site.host, *controller, *door);
        for (int i = 0; i < 8; ++i)
            freshSink.UpdateInputNode(site.host, *controller, *controller->FindInput(i));
    }
    QCOMPARE(Dump(site.model()), Dump(*fresh.model()));
}

void tst_DeviceTree::selectionBox_data()
{
    QTest::addColumn<bool>("active");
    QTest::addColumn<QColor>("outer");
    QTest::addColumn<QColor>("inner");
    QTest::addColumn<QColor>("top");
    QTest::addColumn<QColor>("bottom");

    QTest::newRow("active") << true << QColor(170, 200, 245) << QColor(230, 250, 250)
                            << QColor(210, 240, 250) << QColor(185, 215, 250);
    QTest::newRow("inactive") << false << QColor(215, 215, 215) << QColor(240, 240, 240)
                              << QColor(245, 245, 245) << QColor(230, 230, 230);
}

void tst_DeviceTree::selectionBox()
{
    QFETCH(bool, active);
    QFETCH(QColor, outer);
    QFETCH(QColor, inner);
    QFETCH(QColor, top);
    QFETCH(QColor, bottom);

    QImage image(60, 20, QImage::Format_RGB32);
    image.fill(Qt::black);
    const QRect box(5, 2, 40, 16); // rows 2 to 17
    {
        QPainter painter(&image);
        CSelectionBoxDelegate::DrawSelectionBox(active, painter, box);
    }
    const int x = 25;
    QVERIFY(Near(image.pixel(x, 2), outer));
    QVERIFY(Near(image.pixel(x, 17), outer));
    QVERIFY(Near(image.pixel(5, 10), outer));
    QVERIFY(Near(image.pixel(44, 10), outer));
    QVERIFY(Near(image.pixel(x, 3), inner));
    QVERIFY(Near(image.pixel(x, 16), inner));
    // The gradient runs from top to bottom inside both frames.
    QVERIFY(Near(image.pixel(x, 4), top, 4));
    QVERIFY(Near(image.pixel(x, 15), bottom, 4));
    QCOMPARE(image.pixel(10, 9), image.pixel(40, 9)); // vertical only
    // Nothing outside the rectangle, and the rounded corners stay open.
    QCOMPARE(image.pixel(4, 10), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(x, 1), qRgb(0, 0, 0));
    QVERIFY(!Near(image.pixel(5, 2), outer, 20));
}

// The selected label sits in the box (active while the tree has the focus); no other part of
// the row is highlighted by the style.
void tst_DeviceTree::selectedLabelIsDrawnInTheBox()
{
    SiteFixture site;
    site.Build();
    site.tree.resize(300, 600);
    site.tree.show();
    site.tree.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&site.tree));
    site.tree.setFocus();
    QTRY_VERIFY(site.tree.hasFocus());
    const QModelIndex index = site.find(kFrontDoor);
    site.tree.setCurrentIndex(index);
    const int y = site.tree.visualRect(index).center().y();
    const QColor highlight = QApplication::palette().color(QPalette::Highlight);

    // Pixels of the row in the box's colours: blue frame or gradient, grey frame or gradient.
    auto boxPixels = [&](const QImage& image, bool blue) {
        int count = 0;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (Near(pixel, highlight, 0))
                return -1;
            const bool isBlue =
                Near(pixel, QColor(170, 200, 245), 3) || Near(pixel, QColor(198, 228, 250), 14);
            const bool isGrey = Near(pixel, QColor(238, 238, 238), 8) &&
                                qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel);
            count += blue ? isBlue : isGrey;
        }
        return count;
    };
    const QImage focused = site.tree.viewport()->grab().toImage();
    QVERIFY(boxPixels(focused, true) > 10);
    QCOMPARE(boxPixels(focused, false), 0);

    site.tree.clearFocus();
    QTRY_VERIFY(!site.tree.hasFocus());
    const QImage unfocused = site.tree.viewport()->grab().toImage();
    QCOMPARE(boxPixels(unfocused, true), 0);
    QVERIFY(boxPixels(unfocused, false) > 10);
}

QTEST_MAIN(tst_DeviceTree)
#include "tst_DeviceTree.moc"
