#include "connection/VideoSourceHandlers.h"

#include "connection/ConnectionManager.h"
#include "connection/FieldReader.h"
#include "model/CKRHost.h"

namespace {

constexpr qint32 kCurrentFormat = 2;
constexpr qint32 kProfileBrandType = 2;
constexpr qint32 kCameraSourceControllerType = 18;

// A door or an input whose first or second camera is on the source.
template <class Place> bool NamesSource(const Place& place, qint32 dvrId)
{
    return place.video1Source == dvrId || place.video2Source == dvrId;
}

bool IsLocalAddress(const QString& address)
{
    return address.compare(QLatin1String("127.0.0.1"), Qt::CaseInsensitive) == 0 ||
           address.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

// Stores a value and reports whether it differs from the one held before.
template <class T> bool Assign(T& field, const T& value)
{
    const bool differs = field != value;
    field = value;
    return differs;
}

bool AssignIgnoringCase(QString& field, const QString& value)
{
    const bool differs = field.compare(value, Qt::CaseInsensitive) != 0;
    field = value;
    return differs;
}

} // namespace

CVideoSourceHandlers::CVideoSourceHandlers(CConnectionManager& manager) : m_manager(manager) {}

void CVideoSourceHandlers::RegisterCommands()
{
    const auto configuration = CConnectionManager::CommandKind::Configuration;
    m_manager.RegisterCommand(
        QStringLiteral("DVR_PARAM"), [this](const QString&, long id) { OnDvrParam(id); },
        configuration);
    m_manager.RegisterCommand(
        QStringLiteral("DVR_REMOVE"), [this](const QString&, long id) { OnDvrRemove(id); },
        configuration);
}

void CVideoSourceHandlers::OnDvrParam(long connectionId)
{
    CKRHost* host = m_manager.FindConnectedHost(connectionId);
    if (!host)
        return;
    const FieldReader fields(m_manager.control());
    const qint32 groupId = fields.Int(QStringLiteral("DEVICE_GROUP_ID"));
    if (!host->siteConfig.FindGroup(groupId))
        return;

    const qint32 id = fields.Int(QStringLiteral("DVR_ID"));
    std::unique_ptr<CDvr> created;
    CDvr* dvr = host->siteConfig.FindDvr(id);
    if (!dvr) {
        created = std::make_unique<CDvr>(id);
        dvr = created.get();
    }

    // Only what a live connection depends on counts as a change; the name does not.
    bool changed = false;
    dvr->deviceGroupId = groupId;
    dvr->name = fields.Text(QStringLiteral("DVR_NAME"));
    qint32 type = fields.Int(QStringLiteral("DVR_TYPE"));
    if (type < 0 || type > 7)
        type = 0;
    changed |= Assign(dvr->type, type);
    const bool brandChanged = Assign(dvr->brand, fields.Int(QStringLiteral("DVR_BRAND")));
    changed |= dvr->type == kProfileBrandType && brandChanged;
    changed |= AssignIgnoringCase(dvr->userName, fields.Text(QStringLiteral("DVR_USERNAME")));
    changed |= Assign(dvr->password, fields.Text(QStringLiteral("DVR_PASSWORD")));
    QString address = fields.Text(QStringLiteral("DVR_ADDRESS"));
    if (IsLocalAddress(address))
        address = host->address; // a source on the server machine, reached as the server is
    changed |= AssignIgnoringCase(dvr->address, address);
    changed |= Assign(dvr->port, fields.Int(QStringLiteral("DVR_PORT")));
    changed |= Assign(dvr->viewLogPort, fields.Int(QStringLiteral("DVR_VIEWLOG_PORT")));
    changed |= Assign(dvr->commandPort, fields.Int(QStringLiteral("DVR_CMD_PORT")));

    LiveViewSink& liveView = m_manager.liveView();
    if (dvr->IsPerCamera()) {
        // Its per-camera connections follow the camera list, which every message restates.
        liveView.DisconnectDvr(*host, *dvr);
        changed = true;
    }

    const int count = FieldReader::BoundedCount(fields.Int(QStringLiteral("DVR_CAMERA_COUNT")));
    dvr->cameraNames.clear();
    for (int i = 0; i < count; ++i)
        dvr->cameraNames[i] = fields.Text("CAMERA_NAME_%1", i);

    if (created) {
        host->siteConfig.videoSources[id] = std::move(created);
        m_manager.deviceTree().AddDvrNode(*host, *dvr);
        liveView.ConnectDvr(*host, *dvr);
        AttachPlaces(*host, *dvr);
    } else {
        m_manager.deviceTree().UpdateDvrNode(*host, *dvr);
        if (changed) {
            DropCameraSources(*host, *dvr);
            liveView.DisconnectDvr(*host, *dvr);
            liveView.ConnectDvr(*host, *dvr);
            const CameraSelection selection = liveView.cameraSelection();
            if (selection.hostId == host->hostId && selection.dvrId == dvr->dvrId)
                liveView.SetCamera(selection.hostId, selection.dvrId, selection.camera,
                                   selection.controllerId, selection.doorId);
        }
    }
    m_manager.Redraw();
}

// Doors and inputs may name a recorder before it arrives (a host may send DVR_PARAM last): the
// model kept their camera assignments, so their camera nodes and controller camera sources are
// added now, and the order of the configuration does not matter.
void CVideoSourceHandlers::AttachPlaces(CKRHost& host, const CDvr& dvr)
{
    DeviceTreeSink& tree = m_manager.deviceTree();
    for (const auto& [controllerId, controller] : host.siteConfig.controllers) {
        if (!host.siteConfig.FindGroup(controller->deviceGroupId))
            continue;
        for (const auto& [doorId, door] : controller->doors) {
            if (!NamesSource(*door, dvr.dvrId))
                continue;
            AddControllerCameraSource(m_manager.liveView(), host, *controller, *door);
            tree.UpdateDoorNode(host, *controller, *door);
        }
        for (const auto& [index, input] : controller->inputs) {
            if (input->enabled && NamesSource(*input, dvr.dvrId))
                tree.UpdateInputNode(host, *controller, *input);
        }
    }
}

void CVideoSourceHandlers::AddControllerCameraSource(LiveViewSink& liveView, CKRHost& host,
                                                     const CController& controller,
                                                     const CDoor& door)
{
    if (controller.type != kCameraSourceControllerType)
        return;
    const int camera = door.video1Camera;
    CDvr* parent = host.siteConfig.FindDvr(door.video1Source);
    if (!parent || parent->type == CDvr::kCameraSourceType || camera < 0 ||
        parent->FindCameraSource(camera))
        return;
    auto& slot = parent->cameraSources[camera];
    slot = CDvr::CreateCameraSource(door.video1Source, camera, controller);
    liveView.ConnectDvr(host, *slot);
}

// Camera sources reached through a controller are recreated by the next DOOR_PARAM.
void CVideoSourceHandlers::DropCameraSources(CKRHost& host, CDvr& dvr)
{
    for (const auto& entry : dvr.cameraSources)
        m_manager.liveView().DisconnectDvr(host, *entry.second);
    dvr.cameraSources.clear();
}

void CVideoSourceHandlers::OnDvrRemove(long connectionId)
{
    CKRHost* host = m_manager.FindConnectedHost(connectionId);
    if (!host)
        return;
    const FieldReader fields(m_manager.control());
    qint32 id = -1;
    if (fields.Int(QStringLiteral("VER")) == kCurrentFormat) {
        id = fields.Int(QStringLiteral("DVR_ID"));
    } else {
        const QString name = fields.Text(QStringLiteral("DVR_NAME"));
        if (const CDvr* named = host->siteConfig.FindDvrByName(name))
            id = named->dvrId;
    }
    if (CDvr* dvr = host->siteConfig.FindDvr(id)) {
        DropCameraSources(*host, *dvr);
        m_manager.liveView().DisconnectDvr(*host, *dvr);
        const qint32 groupId = dvr->deviceGroupId;
        host->siteConfig.videoSources.erase(id);
        m_manager.deviceTree().RemoveDvrNode(*host, groupId, id);
    }
    m_manager.Redraw();
}
