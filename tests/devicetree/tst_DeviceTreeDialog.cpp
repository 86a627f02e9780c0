#include "SiteFixture.h"

#include "FakeClientControl.h"
#include "connection/ConnectionManager.h"
#include "platform/TickSource.h"
#include "ui/mainwindow/CTNClientTestDlg.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(CameraSelection)

namespace {
QString PathOf(const CameraSelection& s)
{
    return PathText(s.hostId, s.groupId, s.controllerId, s.doorId, s.inputId, s.direction, s.dvrId,
                    s.camera);
}

// The main dialog over a fake control, its host list in a temporary folder, with host 7:
// group 5 "Lobby", controller 10 "Main entrance" with door 1 "Front door" watched by camera 1
// of recorder 2 "Recorder" ("Gate", "Hall").
struct DialogFixture
{
    QTemporaryDir dir;
    std::unique_ptr<CTNClientTestDlg> dlg;
    CKRHost* host = nullptr;
    CController* controller = nullptr;
    CDoor* door = nullptr;
    CDvr* recorder = nullptr;

    DialogFixture()
    {
        dlg = std::make_unique<CTNClientTestDlg>(std::make_unique<FakeClientControl>(),
                                                 std::make_unique<ManualTickSource>(1000));
        dlg->manager().setHostListPath(dir.filePath(QStringLiteral("KRNotifyHosts")));
        dlg->Create();
        auto added = std::make_unique<CKRHost>(7);
        added->name = QStringLiteral("North");
        added->address = QStringLiteral("10.0.0.7");
        host = added.get();
        dlg->manager().AddHost(std::move(added));
        Site::AddGroup(*host, 5, QStringLiteral("Lobby"));
        controller = &Site::AddController(*host, 10, 5, QStringLiteral("Main entrance"));
        door = &Site::AddDoor(*controller, 1, QStringLiteral("Front door"));
        Site::SetCameras(*door, 2, 1, -1, -1);
        recorder = &Site::AddDvr(*host, 2, 5, QStringLiteral("Recorder"), 1,
                                 {QStringLiteral("Gate"), QStringLiteral("Hall")});
    }

    // The site as the configuration handlers report it to the dialog's tree.
    void Report()
    {
        DeviceTreeSink& sink = dlg->manager().deviceTree();
        sink.AddDvrNode(*host, *recorder);
        sink.UpdateDoorNode(*host, *controller, *door);
    }

    const QAbstractItemModel& model() const { return *dlg->deviceTree()->model(); }
};
} // namespace

class tst_DeviceTreeDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        InstallEnglishTexts();
        qRegisterMetaType<CameraSelection>();
    }

    void dialogCreatesTheTree();
    void siteReachesTheTreeThroughTheCore();
    void isCameraValid_data();
    void isCameraValid();
    void cameraLabel();
    void selectPathSelectsAndReportsTheCamera();
    void closingWithASelectionReportsNoPlace();
};

void tst_DeviceTreeDialog::dialogCreatesTheTree()
{
    DialogFixture f;
    CDeviceTreeCtrl* tree = f.dlg->deviceTree();
    QVERIFY(tree);
    QCOMPARE(f.dlg->deviceTreeWidget(), static_cast<QWidget*>(tree));
    QVERIFY(f.dlg->isAncestorOf(tree));
    QCOMPARE(&f.dlg->manager().deviceTree(), static_cast<DeviceTreeSink*>(tree));
    QCOMPARE(tree->geometry().left(), 4);
    QCOMPARE(tree->geometry().width(), CTNClientTestDlg::kTreeWidth);
    QCOMPARE(Dump(f.model()), QStringList{"North |1"});
}

void tst_DeviceTreeDialog::siteReachesTheTreeThroughTheCore()
{
    DialogFixture f;
    f.Report();
    const QStringList expected = {
        "North |1",
        "  Controller |3",
        "    Lobby |2",
        "      Main entrance |4",
        "        Front door |6",
        "          Recorder, Hall |27",
        "  Camera |18",
        "    Lobby |2",
        "      Recorder |20",
        "        Gate |27",
        "        Hall |27",
    };
    QCOMPARE(Dump(f.model()), expected);
    // The core removes the host: its node goes.
    f.dlg->manager().RemoveHost(7);
    QCOMPARE(Dump(f.model()), QStringList());
}

void tst_DeviceTreeDialog::isCameraValid_data()
{
    QTest::addColumn<int>("hostId");
    QTest::addColumn<int>("groupId");
    QTest::addColumn<int>("dvrId");
    QTest::addColumn<int>("camera");
    QTest::addColumn<bool>("valid");

    QTest::newRow("first camera") << 7 << 5 << 2 << 0 << true;
    QTest::newRow("last camera") << 7 << 5 << 2 << 1 << true;
    QTest::newRow("group is not asked") << 7 << 99 << 2 << 1 << true;
    QTest::newRow("camera at the count") << 7 << 5 << 2 << 2 << false;
    QTest::newRow("negative camera") << 7 << 5 << 2 << -1 << false;
    QTest::newRow("unknown source") << 7 << 5 << 3 << 0 << false;
    QTest::newRow("unknown host") << 8 << 5 << 2 << 0 << false;
}

void tst_DeviceTreeDialog::isCameraValid()
{
    QFETCH(int, hostId);
    QFETCH(int, groupId);
    QFETCH(int, dvrId);
    QFETCH(int, camera);
    DialogFixture f;
    CDeviceTreeCtrlCallback& callback = *f.dlg;
    QTEST(callback.IsCameraValid(hostId, groupId, dvrId, camera), "valid");
}

void tst_DeviceTreeDialog::cameraLabel()
{
    DialogFixture f;
    CDeviceTreeCtrlCallback& callback = *f.dlg;
    QCOMPARE(callback.GetCameraLabel(7, 5, 2, 1), QStringLiteral("Recorder, Hall"));
    QCOMPARE(callback.GetCameraLabel(7, 5, 2, 5), QStringLiteral("Recorder, "));
    QCOMPARE(callback.GetCameraLabel(7, 5, 3, 0), QString());
    QCOMPARE(callback.GetCameraLabel(8, 5, 2, 0), QString());
}

void tst_DeviceTreeDialog::selectPathSelectsAndReportsTheCamera()
{
    DialogFixture f;
    f.Report();
    QSignalSpy selected(f.dlg.get(), &CTNClientTestDlg::cameraSelected);
    CameraSelection path;
    path.groupId = 5;
    path.controllerId = 10;
    path.doorId = 1;
    path.direction = 0;
    path.dvrId = 2;
    path.camera = 1;
    f.dlg->SelectPath(7, 1, path);
    const QModelIndex current = f.dlg->deviceTree()->currentIndex();
    QCOMPARE(LabelPath(current), (QStringList{"North", "Controller", "Lobby", "Main entrance",
                                              "Front door", "Recorder, Hall"}));
    QCOMPARE(selected.size(), 1);
    QCOMPARE(PathOf(selected.first().first().value<CameraSelection>()),
             QStringLiteral("7 5 10 1 -1 0 2 1"));

    // A licence-plate event selects the host.
    f.dlg->SelectPath(7, 2, path);
    QCOMPARE(LabelPath(f.dlg->deviceTree()->currentIndex()), QStringList{"North"});
    QCOMPARE(PathOf(selected.last().first().value<CameraSelection>()),
             QStringLiteral("7 -1 -1 -1 -1 -1 -1 -1"));
}

// Closing releases every host while the tree still reports to the dialog; then the tree is
// cut off, so nothing reaches the half-destroyed dialog.
void tst_DeviceTreeDialog::closingWithASelectionReportsNoPlace()
{
    DialogFixture f;
    f.Report();
    CameraSelection path;
    path.groupId = 5;
    path.controllerId = 10;
    path.doorId = 1;
    f.dlg->SelectPath(7, 1, path);
    QList<CameraSelection> reported;
    QObject::connect(f.dlg.get(), &CTNClientTestDlg::cameraSelected,
                     [&reported](const CameraSelection& s) { reported << s; });
    f.dlg.reset();
    QCOMPARE(reported.size(), 1);
    QCOMPARE(PathOf(reported.first()), QStringLiteral("-1 -1 -1 -1 -1 -1 -1 -1"));
}

QTEST_MAIN(tst_DeviceTreeDialog)
#include "tst_DeviceTreeDialog.moc"
