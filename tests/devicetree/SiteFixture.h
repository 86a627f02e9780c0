#pragma once

#include "connection/SiteViews.h"
#include "i18n/StringTable.h"
#include "model/CKRHost.h"
#include "platform/ProgramPaths.h"
#include "ui/devicetree/CDeviceTreeCtrl.h"
#include "ui/devicetree/CDeviceTreeCtrlCallback.h"
#include "ui/devicetree/CDeviceTreeModel.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QStringList>

#include <map>
#include <memory>
#include <vector>

// English texts for every test, whatever the machine's locale.
inline void InstallEnglishTexts()
{
    CStringTable::Install(std::make_unique<CStringTable>(
        ProgramPaths::resourceFile(QStringLiteral("KRNotify.StringTable")), 0x0409));
}

// A device path as "host group controller door input direction dvr camera".
inline QString PathText(int hostId, int groupId, int controllerId, int doorId, int inputId,
                        int direction, int dvrId, int camera)
{
    QStringList values;
    for (int value : {hostId, groupId, controllerId, doorId, inputId, direction, dvrId, camera})
        values << QString::number(value);
    return values.join(QLatin1Char(' '));
}

// The owner's side of the tree as the main dialog answers it, over hosts the test holds, and a
// record of what the tree reported.
class RecordingOwner : public CDeviceTreeCtrlCallback
{
public:
    struct RightClick
    {
        int kind, level, id;
        QPoint screenPos;
    };

    std::map<int, const CKRHost*> hosts;
    QStringList selections; // every OnNodeSelected, as PathText
    std::vector<RightClick> rightClicks;
    QStringList validityQueries; // "host group dvr camera"
    QStringList labelsGiven;

    const CDvr* FindDvr(int hostId, int dvrId) const
    {
        const auto it = hosts.find(hostId);
        return it == hosts.end() ? nullptr : it->second->siteConfig.FindDvr(dvrId);
    }

    void OnNodeRightClick(int kind, int level, int id, const QPoint& screenPos) override
    {
        rightClicks.push_back({kind, level, id, screenPos});
    }
    void OnNodeSelected(int hostId, int groupId, int controllerId, int doorId, int inputId,
                        int direction, int dvrId, int camera) override
    {
        selections << PathText(hostId, groupId, controllerId, doorId, inputId, direction, dvrId,
                               camera);
    }
    bool IsCameraValid(int hostId, int groupId, int dvrId, int camera) override
    {
        validityQueries
            << QStringLiteral("%1 %2 %3 %4").arg(hostId).arg(groupId).arg(dvrId).arg(camera);
        const CDvr* dvr = FindDvr(hostId, dvrId);
        return dvr && camera >= 0 && camera < dvr->CameraCount();
    }
    QString GetCameraLabel(int hostId, int /*groupId*/, int dvrId, int camera) override
    {
        const CDvr* dvr = FindDvr(hostId, dvrId);
        if (!dvr)
            return {};
        const auto name = dvr->cameraNames.find(camera);
        const QString label = dvr->name + QLatin1String(", ") +
                              (name != dvr->cameraNames.end() ? name->second : QString());
        labelsGiven << label;
        return label;
    }
};

// Site records built directly, as the configuration handlers leave them.
namespace Site {

inline CDeviceGroup& AddGroup(CKRHost& host, int id, const QString& name)
{
    auto& slot = host.siteConfig.deviceGroups[id];
    slot = std::make_unique<CDeviceGroup>(id, name);
    return *slot;
}

inline CController& AddController(CKRHost& host, int id, int groupId, const QString& name,
                                  int type = 1, int status = CController::kOnlineStatusBits)
{
    auto& slot = host.siteConfig.controllers[id];
    slot = std::make_unique<CController>(id);
    slot->deviceGroupId = groupId;
    slot->name = name;
    slot->type = type;
    slot->status = status;
    return *slot;
}

inline CDoor& AddDoor(CController& controller, int id, const QString& name, int status = 0)
{
    auto& slot = controller.doors[id];
    slot = std::make_unique<CDoor>(id, controller.controllerId);
    slot->name = name;
    slot->status = status;
    return *slot;
}

inline CKRInput& NameInput(CController& controller, int index, const QString& name,
                           bool active = false)
{
    CKRInput& input = *controller.FindInput(index);
    input.name = name;
    input.active = active ? 1 : 0;
    return input;
}

inline CDvr& AddDvr(CKRHost& host, int id, int groupId, const QString& name, int type,
                    const QStringList& cameras)
{
    auto& slot = host.siteConfig.videoSources[id];
    slot = std::make_unique<CDvr>(id);
    slot->deviceGroupId = groupId;
    slot->name = name;
    slot->type = type;
    for (int n = 0; n < cameras.size(); ++n)
        slot->cameraNames[n] = cameras[n];
    return *slot;
}

template <class Place> void SetCameras(Place& place, int dvr0, int camera0, int dvr1, int camera1)
{
    place.video1Source = dvr0;
    place.video1Camera = camera0;
    place.video2Source = dvr1;
    place.video2Camera = camera1;
}

} // namespace Site

// Every row of the tree, depth first: two spaces per level, the label, "|" and the image index.
inline QStringList Dump(const QAbstractItemModel& model, const QModelIndex& parent = {},
                        int depth = 0)
{
    QStringList lines;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        lines << QString(depth * 2, QLatin1Char(' ')) + index.data().toString() +
                     QLatin1String(" |") +
                     QString::number(index.data(CDeviceTreeModel::ImageRole).toInt());
        lines << Dump(model, index, depth + 1);
    }
    return lines;
}

// The item reached by following labels from the top level; invalid when one is missing.
inline QModelIndex Find(const QAbstractItemModel& model, const QStringList& labels)
{
    QModelIndex at;
    for (const QString& label : labels) {
        QModelIndex next;
        for (int row = 0; row < model.rowCount(at) && !next.isValid(); ++row) {
            const QModelIndex child = model.index(row, 0, at);
            if (child.data().toString() == label)
                next = child;
        }
        if (!next.isValid())
            return {};
        at = next;
    }
    return at;
}

// Labels from the top level down to the item.
inline QStringList LabelPath(QModelIndex index)
{
    QStringList labels;
    for (; index.isValid(); index = index.parent())
        labels.prepend(index.data().toString());
    return labels;
}

// Host 7 "North" (connected) with this site:
//   group 2 "Garage": controller 30 "Lift" (type 4, offline) with door 0 "Lift car";
//                     controller 31 "Panel" (type 240) with door 0 "Panel door";
//                     recorder 8 "NVR" (type 9) with camera "Roof"
//   group 5 "Lobby":  controller 4 "Side" (offline, no doors);
//                     controller 10 "Main entrance" (online) with door 0 "Back door",
//                     door 1 "Front door" (open, camera 0 = recorder 2 camera 1), input 0
//                     "Button", input 3 "Motion" (active, camera 1 = recorder 2 camera 0);
//                     recorder 2 "Recorder" (type 3) with cameras "Gate", "Hall", "Yard"
// fed to the tree through its sink operations, recorders first (door cameras need them).
struct SiteFixture
{
    CKRHost host{7};
    RecordingOwner owner;
    CDeviceTreeCtrl tree{&owner};

    CController* lift = nullptr;
    CController* panel = nullptr;
    CController* side = nullptr;
    CController* main = nullptr;
    CDoor* frontDoor = nullptr;
    CDoor* backDoor = nullptr;
    CKRInput* motion = nullptr;
    CDvr* recorder = nullptr;
    CDvr* nvr = nullptr;

    SiteFixture()
    {
        host.name = QStringLiteral("North");
        host.connected = 1;
        owner.hosts[host.hostId] = &host;
        Site::AddGroup(host, 2, QStringLiteral("Garage"));
        Site::AddGroup(host, 5, QStringLiteral("Lobby"));
        lift = &Site::AddController(host, 30, 2, QStringLiteral("Lift"), 4, 0);
        panel = &Site::AddController(host, 31, 2, QStringLiteral("Panel"), 240);
        side = &Site::AddController(host, 4, 5, QStringLiteral("Side"), 1, 0);
        main = &Site::AddController(host, 10, 5, QStringLiteral("Main entrance"));
        backDoor = &Site::AddDoor(*main, 0, QStringLiteral("Back door"));
        frontDoor = &Site::AddDoor(*main, 1, QStringLiteral("Front door"), 0x2);
        Site::SetCameras(*frontDoor, 2, 1, -1, -1);
        Site::NameInput(*main, 0, QStringLiteral("Button"));
        motion = &Site::NameInput(*main, 3, QStringLiteral("Motion"), true);
        Site::SetCameras(*motion, -1, -1, 2, 0);
        Site::AddDoor(*lift, 0, QStringLiteral("Lift car"));
        Site::AddDoor(*panel, 0, QStringLiteral("Panel door"));
        recorder =
            &Site::AddDvr(host, 2, 5, QStringLiteral("Recorder"), 3,
                          {QStringLiteral("Gate"), QStringLiteral("Hall"), QStringLiteral("Yard")});
        nvr = &Site::AddDvr(host, 8, 2, QStringLiteral("NVR"), 9, {QStringLiteral("Roof")});
    }

    // Everything above, in the order the configuration messages usually arrive.
    void Build() { Build(tree); }
    void Build(DeviceTreeSink& sink)
    {
        sink.UpdateHostNode(host);
        for (const auto& [id, dvr] : host.siteConfig.videoSources)
            sink.AddDvrNode(host, *dvr);
        for (const auto& [id, controller] : host.siteConfig.controllers) {
            sink.UpdateControllerNode(host, *controller);
            for (const auto& [doorId, door] : controller->doors)
                sink.UpdateDoorNode(host, *controller, *door);
        }
        for (int index : {3, 0})
            sink.UpdateInputNode(host, *main, *main->FindInput(index));
        sink.UpdateInputNode(host, *lift, *lift->FindInput(0)); // an elevator has no inputs
    }

    const QAbstractItemModel& model() const { return *tree.model(); }
    QModelIndex find(const QStringList& labels) const { return Find(model(), labels); }
    QStringList selectedLabels() const
    {
        const QModelIndexList selected = tree.selectionModel()->selectedIndexes();
        return selected.isEmpty() ? QStringList() : LabelPath(selected.first());
    }
};
