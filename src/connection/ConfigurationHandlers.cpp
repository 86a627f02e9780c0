#include "connection/ConfigurationHandlers.h"

#include "connection/ConnectionManager.h"
#include "connection/FieldReader.h"
#include "connection/VideoSourceHandlers.h"
#include "model/CKRHost.h"

#include <limits>

namespace {

constexpr qint32 kCurrentDoorFormat = 2;

bool IsCSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// Reads a decimal integer the way wcstol does: leading white space, an optional sign, then
// digits; no digits gives 0; out-of-range values saturate at the 32-bit limits.
qint32 ReadLong(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    const qint64 limit = negative ? -qint64(std::numeric_limits<qint32>::min())
                                  : qint64(std::numeric_limits<qint32>::max());
    qint64 value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = qMin(limit, value * 10 + (text[i].unicode() - u'0'));
    return qint32(negative ? -value : value);
}

} // namespace

CConfigurationHandlers::CConfigurationHandlers(CConnectionManager& manager) : m_manager(manager) {}

void CConfigurationHandlers::RegisterCommands()
{
    const struct
    {
        const char* command;
        void (CConfigurationHandlers::*handler)(long);
    } commands[] = {
        {"HOST_PARAM", &CConfigurationHandlers::OnHostParam},
        {"ALL_DEVICE_GROUPS_PARAM", &CConfigurationHandlers::OnAllDeviceGroupsParam},
        {"DEVICE_GROUP_PARAM", &CConfigurationHandlers::OnDeviceGroupParam},
        {"DEVICE_GROUP_DELETE", &CConfigurationHandlers::OnDeviceGroupDelete},
        {"CTRL_PARAM", &CConfigurationHandlers::OnCtrlParam},
        {"CTRL_DELETE", &CConfigurationHandlers::OnCtrlDelete},
        {"CTRL_STATUS", &CConfigurationHandlers::OnCtrlStatus},
        {"CTRL_IO_NAMES", &CConfigurationHandlers::OnCtrlIoNames},
        {"CTRL_INPUT_PARAM", &CConfigurationHandlers::OnCtrlInputParam},
        {"CTRL_INPUT_STATUS", &CConfigurationHandlers::OnCtrlInputStatus},
        {"DOOR_PARAM", &CConfigurationHandlers::OnDoorParam},
        {"DOOR_STATUS", &CConfigurationHandlers::OnDoorStatus},
        {"DOOR_WORKMODE", &CConfigurationHandlers::OnDoorWorkMode},
    };
    for (const auto& entry : commands) {
        const auto handler = entry.handler;
        m_manager.RegisterCommand(
            QString::fromLatin1(entry.command),
            [this, handler](const QString&, long id) { (this->*handler)(id); },
            CConnectionManager::CommandKind::Configuration);
    }
}

QSet<int> CConfigurationHandlers::ParseDoorIdList(const QString& text)
{
    // Every id is followed by a comma; whatever follows the last comma is not an id.
    QSet<int> ids;
    QStringView rest(text);
    for (qsizetype comma = rest.indexOf(u','); comma >= 0; comma = rest.indexOf(u',')) {
        ids.insert(ReadLong(rest.left(comma)));
        rest = rest.mid(comma + 1);
    }
    return ids;
}

CConfigurationHandlers::ControllerTarget
CConfigurationHandlers::FindControllerTarget(long connectionId, const FieldReader& fields)
{
    CKRHost* host = m_manager.FindConnectedHost(connectionId);
    if (!host)
        return {};
    CController* controller = host->siteConfig.FindController(fields.Int(QStringLiteral("C_ID")));
    if (!controller || !host->siteConfig.FindGroup(controller->deviceGroupId))
        return {};
    return {host, controller};
}

void CConfigurationHandlers::OnHostParam(long connectionId)
{
    CKRHost* host = m_manager.FindConnectedHost(connectionId);
    if (!host)
        return;
    // Replaces the operator's name; the host list keeps it from its next write.
    host->name = FieldReader(m_manager.control()).Text(QStringLiteral("H_NAME"));
    m_manager.deviceTree().UpdateHostNode(*host);
    m_manager.Redraw();
}

void CConfigurationHandlers::OnAllDeviceGroupsParam(long connectionId)
{
    CKRHost* host = m_manager.FindConnectedHost(connectionId);
    if (!host)
        return;
    const FieldReader fields(m_manager.control());
    auto& groups = host->siteConfig.deviceGroups;
    groups.clear(); // the default group too; controllers and sources keep their group ids
    const int count = FieldReader::BoundedCount(fields.Int(QStringLiteral("DG_COUNT")));
    for (int i = 0; i < count; ++i) {
        const qint32 id = fields.Int("DG_ID_%1", i);
        auto& group = groups[id];
        if (!group)
            group = std::make_unique<CDeviceGroup>(id);
        group->name = fields.Text("DG_NAME_%1", i);
        m_manager.deviceTree().RenameGroupNodes(*host, *group);
    }
    m_manager.Redraw();
}

void CConfigurationHandlers::OnDeviceGroupParam(long connectionId)
{
    CKRHost* host = m_manager.FindConnectedHost(connectionId);
    if (!host)
        return;
    const FieldReader fields(m_manager.control());
    const qint32 id = fields.Int(QStringLiteral("DG_ID"));
    auto& group = host->siteConfig.deviceGroups[id];
    if (!group)
        group = std::make_unique<CDeviceGroup>(id);
    group->name = fields.Text(QStringLiteral("DG_NAME"));
    m_manager.deviceTree().RenameGroupNodes(*host, *group);
    m_manager.Redraw();
}

void CConfigurationHandlers::OnDeviceGroupDelete(long connectionId)
{
    CKRHost* host = m_manager.FindConnectedHost(connectionId);
    if (!host)
        return;
    // Nodes under the group stay until their own messages remove them.
    const qint32 id = FieldReader(m_manager.control()).Int(QStringLiteral("DG_ID"));
    if (host->siteConfig.deviceGroups.erase(id) != 0)
        m_manager.Redraw();
}

void CConfigurationHandlers::OnCtrlParam(long connectionId)
{
    CKRHost* host = m_manager.FindConnectedHost(connectionId);
    if (!host)
        return;
    const FieldReader fields(m_manager.control());
    const qint32 groupId = fields.Int(QStringLiteral("DEVICE_GROUP_ID"));
    if (!host->siteConfig.FindGroup(groupId))
        return;
    const qint32 id = fields.Int(QStringLiteral("C_ID"));
    const qint32 type = fields.Int(QStringLiteral("C_TYPE"));
    auto& slot = host->siteConfig.controllers[id];
    if (!slot)
        slot = std::make_unique<CController>(id);
    CController& controller = *slot;
    controller.deviceGroupId = groupId;
    controller.name = fields.Text(QStringLiteral("C_NAME"));
    controller.type = type;
    controller.address = fields.Text(QStringLiteral("C_ADDR"));
    controller.loginId = fields.Text(QStringLiteral("C_CRTL_ID"));
    controller.loginPassword = fields.Text(QStringLiteral("C_CTRL_PASSWD"));
    m_manager.deviceTree().UpdateControllerNode(*host, controller);

    // Doors the host no longer lists go; listed doors are created by DOOR_PARAM.
    const QSet<int> listed = ParseDoorIdList(fields.Text(QStringLiteral("C_DOOR_ID_LIST")));
    for (auto it = controller.doors.begin(); it != controller.doors.end();) {
        if (listed.contains(it->first)) {
            ++it;
            continue;
        }
        m_manager.deviceTree().RemoveDoorNode(*host, controller, *it->second);
        it = controller.doors.erase(it);
    }
    m_manager.Redraw();
}

void CConfigurationHandlers::OnCtrlDelete(long connectionId)
{
    CKRHost* host = m_manager.FindConnectedHost(connectionId);
    if (!host)
        return;
    const qint32 id = FieldReader(m_manager.control()).Int(QStringLiteral("C_ID"));
    if (CController* controller = host->siteConfig.FindController(id)) {
        if (!host->siteConfig.FindGroup(controller->deviceGroupId))
            return;
        m_manager.deviceTree().RemoveControllerNode(*host, *controller);
        host->siteConfig.controllers.erase(id);
    }
    m_manager.Redraw();
}

void CConfigurationHandlers::OnCtrlStatus(long connectionId)
{
    const FieldReader fields(m_manager.control());
    const auto [host, controller] = FindControllerTarget(connectionId, fields);
    if (!controller)
        return;
    controller->status = fields.Int(QStringLiteral("C_STATUS"));
    m_manager.deviceTree().UpdateControllerNode(*host, *controller);
    m_manager.Redraw();
}

void CConfigurationHandlers::OnCtrlIoNames(long connectionId)
{
    CKRHost* host = m_manager.FindConnectedHost(connectionId);
    if (!host)
        return;
    const FieldReader fields(m_manager.control());
    CController* controller = host->siteConfig.FindController(fields.Int(QStringLiteral("C_ID")));
    if (!controller)
        return;
    for (int i = 0; i < CController::kInputCount; ++i) {
        if (CKRInput* input = controller->FindInput(i))
            input->name = fields.Text("I_ID_%1", i);
    }
    for (int i = 0; i < CController::kOutputCount; ++i)
        controller->outputs[i] = CKROutput(i, fields.Text("O_ID_%1", i));
    m_manager.Redraw();
}

void CConfigurationHandlers::OnCtrlInputParam(long connectionId)
{
    const FieldReader fields(m_manager.control());
    const auto [host, controller] = FindControllerTarget(connectionId, fields);
    if (!controller)
        return;
    CKRInput* input = controller->FindInput(fields.Int(QStringLiteral("I_ID")));
    if (!input)
        return;
    input->enabled = fields.Int(QStringLiteral("I_ENABLE"));
    if (input->enabled) {
        input->video1Source = fields.Int(QStringLiteral("I_VIDEO_1_DVR_ID"));
        input->video1Camera = fields.Int(QStringLiteral("I_VIDEO_1_CAM_ID"));
        input->video1SnapshotDelay = fields.Int(QStringLiteral("I_VIDEO_1_DELAY_SNAPSHOT"));
        input->video2Source = fields.Int(QStringLiteral("I_VIDEO_2_DVR_ID"));
        input->video2Camera = fields.Int(QStringLiteral("I_VIDEO_2_CAM_ID"));
        input->video2SnapshotDelay = fields.Int(QStringLiteral("I_VIDEO_2_DELAY_SNAPSHOT"));
        m_manager.deviceTree().UpdateInputNode(*host, *controller, *input);
    } else {
        input->video1Source = input->video1Camera = -1;
        input->video2Source = input->video2Camera = -1;
        input->video1SnapshotDelay = input->video2SnapshotDelay = 0;
        m_manager.deviceTree().RemoveInputNode(*host, *controller, *input);
    }
}

void CConfigurationHandlers::OnCtrlInputStatus(long connectionId)
{
    const FieldReader fields(m_manager.control());
    const auto [host, controller] = FindControllerTarget(connectionId, fields);
    if (!controller)
        return;
    if (CKRInput* input = controller->FindInput(fields.Int(QStringLiteral("I_ID")))) {
        input->active = fields.Int(QStringLiteral("I_ACTIVE"));
        m_manager.deviceTree().UpdateInputNode(*host, *controller, *input);
    }
}

void CConfigurationHandlers::OnDoorParam(long connectionId)
{
    const FieldReader fields(m_manager.control());
    const auto [host, controller] = FindControllerTarget(connectionId, fields);
    if (!controller)
        return;
    const qint32 doorId = fields.Int(QStringLiteral("D_ID"));
    auto& slot = controller->doors[doorId];
    if (!slot)
        slot = std::make_unique<CDoor>(doorId, fields.Int(QStringLiteral("C_ID")));
    CDoor& door = *slot;
    door.video1Source = door.video2Source = -1;
    door.video1Camera = door.video2Camera = -1;
    door.name = fields.Text(QStringLiteral("D_NAME"));
    if (fields.Int(QStringLiteral("VER")) == kCurrentDoorFormat) {
        door.video1Source = fields.Int(QStringLiteral("D_VIDEO_1_DVR_ID"));
        door.video1Camera = fields.Int(QStringLiteral("D_VIDEO_1_CAM_ID"));
        door.video2Source = fields.Int(QStringLiteral("D_VIDEO_2_DVR_ID"));
        door.video2Camera = fields.Int(QStringLiteral("D_VIDEO_2_CAM_ID"));
        CVideoSourceHandlers::AddControllerCameraSource(m_manager.liveView(), *host, *controller,
                                                        door);
    } else {
        // The older format names the first camera's source by its name.
        const QString sourceName = fields.Text(QStringLiteral("D_VIDEO_DVR_NAME"));
        if (const CDvr* dvr = host->siteConfig.FindDvrByName(sourceName)) {
            door.video1Source = dvr->dvrId;
            door.video1Camera = fields.Int(QStringLiteral("D_VIDEO_CAM"));
        }
    }
    door.workMode = fields.Int(QStringLiteral("D_WORKMODE"));
    m_manager.deviceTree().UpdateDoorNode(*host, *controller, door);
    m_manager.Redraw();
}

void CConfigurationHandlers::OnDoorStatus(long connectionId)
{
    const FieldReader fields(m_manager.control());
    const auto [host, controller] = FindControllerTarget(connectionId, fields);
    if (!controller)
        return;
    if (CDoor* door = controller->FindDoor(fields.Int(QStringLiteral("D_ID")))) {
        door->status = fields.Int(QStringLiteral("D_STATUS"));
        m_manager.deviceTree().UpdateDoorNode(*host, *controller, *door);
    }
}

void CConfigurationHandlers::OnDoorWorkMode(long connectionId)
{
    const FieldReader fields(m_manager.control());
    const auto [host, controller] = FindControllerTarget(connectionId, fields);
    if (!controller)
        return;
    if (CDoor* door = controller->FindDoor(fields.Int(QStringLiteral("D_ID")))) {
        door->workMode = fields.Int(QStringLiteral("D_WORKMODE"));
        m_manager.deviceTree().UpdateDoorNode(*host, *controller, *door);
    }
}
