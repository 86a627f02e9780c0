// The site tree: building a large site through the tree's site operations, then door status
// changes arriving one by one, as the connection core reports them.

#include "BenchTiming.h"
#include "i18n/StringTable.h"
#include "model/CKRHost.h"
#include "platform/ProgramPaths.h"
#include "ui/devicetree/CDeviceTreeCtrl.h"
#include "ui/devicetree/CDeviceTreeCtrlCallback.h"

#include <QApplication>

#include <memory>

namespace {

constexpr int kGroups = 10;
constexpr int kControllers = 200;
constexpr int kDoorsPerController = 4;
constexpr int kUpdates = 1000;
constexpr int kRuns = 5;

// The owner's answers: no cameras anywhere, nothing recorded.
class QuietOwner : public CDeviceTreeCtrlCallback
{
public:
    void OnNodeRightClick(int, int, int, const QPoint&) override {}
    void OnNodeSelected(int, int, int, int, int, int, int, int) override {}
    bool IsCameraValid(int, int, int, int) override { return false; }
    QString GetCameraLabel(int, int, int, int) override { return {}; }
};

// One host with kControllers online controllers of kDoorsPerController doors, spread over
// kGroups device groups, as the configuration handlers leave the records.
void BuildRecords(CKRHost& host)
{
    host.name = QStringLiteral("Campus");
    host.connected = 1;
    for (int g = 0; g < kGroups; ++g)
        host.siteConfig.deviceGroups[g] =
            std::make_unique<CDeviceGroup>(g, QStringLiteral("Building %1").arg(g + 1));
    for (int c = 0; c < kControllers; ++c) {
        auto controller = std::make_unique<CController>(c + 1);
        controller->deviceGroupId = c % kGroups;
        controller->name = QStringLiteral("Controller %1").arg(c + 1);
        controller->status = CController::kOnlineStatusBits;
        for (int d = 0; d < kDoorsPerController; ++d) {
            auto door = std::make_unique<CDoor>(d, controller->controllerId);
            door->name = QStringLiteral("Door %1-%2").arg(c + 1).arg(d + 1);
            controller->doors[d] = std::move(door);
        }
        host.siteConfig.controllers[c + 1] = std::move(controller);
    }
}

void FeedSite(DeviceTreeSink& sink, const CKRHost& host)
{
    sink.UpdateHostNode(host);
    for (const auto& [id, controller] : host.siteConfig.controllers) {
        sink.UpdateControllerNode(host, *controller);
        for (const auto& [doorId, door] : controller->doors)
            sink.UpdateDoorNode(host, *controller, *door);
    }
}

} // namespace

int main(int argc, char** argv)
{
    Bench::UseOffscreenByDefault();
    QApplication app(argc, argv);
    CStringTable::Install(std::make_unique<CStringTable>(
        ProgramPaths::resourceFile(QStringLiteral("KRNotify.StringTable")), 0x0409));

    CKRHost host(1);
    BuildRecords(host);
    QuietOwner owner;

    Bench::PrintMs("devicetree",
                   QStringLiteral("build %1 controllers x %2 doors (shown)")
                       .arg(kControllers)
                       .arg(kDoorsPerController),
                   Bench::Measure(kRuns, [&] {
                       CDeviceTreeCtrl tree(&owner);
                       tree.resize(320, 700);
                       tree.show();
                       FeedSite(tree, host);
                       QApplication::processEvents();
                   }));

    CDeviceTreeCtrl tree(&owner);
    tree.resize(320, 700);
    tree.show();
    FeedSite(tree, host);
    QApplication::processEvents();

    // Door k of the sequence: spread over the whole site, each change flips its door's open bit.
    int step = 0;
    auto updateNext = [&] {
        const int c = (step * 37) % kControllers + 1;
        const int d = (step / kControllers) % kDoorsPerController;
        ++step;
        CController& controller = *host.siteConfig.controllers[c];
        CDoor& door = *controller.doors[d];
        door.status ^= 0x2;
        static_cast<DeviceTreeSink&>(tree).UpdateDoorNode(host, controller, door);
    };

    Bench::PrintUs("devicetree", QStringLiteral("door status update, burst of %1").arg(kUpdates),
                   Bench::PerItem(Bench::Measure(kRuns,
                                                 [&] {
                                                     for (int i = 0; i < kUpdates; ++i)
                                                         updateNext();
                                                     QApplication::processEvents();
                                                 }),
                                  kUpdates));

    Bench::PaintCounter counter;
    tree.viewport()->installEventFilter(&counter);
    Bench::PrintUs("devicetree", QStringLiteral("door status update + event loop turn"),
                   Bench::PerItem(Bench::Measure(kRuns,
                                                 [&] {
                                                     for (int i = 0; i < kUpdates; ++i) {
                                                         updateNext();
                                                         QApplication::processEvents();
                                                     }
                                                 }),
                                  kUpdates));
    std::printf("devicetree: %d of %d rows visible; %.0f viewport paints per %d updates\n",
                tree.viewport()->height() / qMax(1, tree.sizeHintForRow(0)),
                kControllers * (kDoorsPerController + 1) + kGroups + 2,
                counter.paints / double(kRuns + 1), kUpdates);
    return 0;
}
