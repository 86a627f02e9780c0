#include "events/EventActions.h"

#include "connection/ConnectionManager.h"
#include "events/EventAlertSink.h"
#include "events/EventLiveView.h"
#include "events/EventMessageHandlers.h"
#include "events/EventRow.h"
#include "model/CKRHost.h"

namespace {
constexpr qint32 kLicencePlateLogType = 6;
}

CEventActions::CEventActions(CConnectionManager& manager, CEventMessageHandlers& handlers,
                             EventAlertSink& alerts, EventLiveView& liveView)
    : m_manager(manager), m_handlers(handlers), m_alerts(alerts), m_liveView(liveView)
{
}

void CEventActions::StopRing()
{
    m_alerts.StopAlarm();
}

void CEventActions::Intercom(const EVENT* selected)
{
    m_alerts.StopAlarm();
    if (selected && selected->state == EVENT::New)
        m_handlers.SendEventHandling(selected->hostId, selected->logType, selected->logId);
}

void CEventActions::Processed(const EVENT* selected)
{
    m_alerts.StopAlarm();
    ProcessedWithoutStop(selected);
}

void CEventActions::ProcessedWithoutStop(const EVENT* selected)
{
    if (!selected || selected->state == EVENT::Handled)
        return;
    // While the operator talks to the door, its door operations belong to the call.
    if (!m_liveView.isTalking())
        m_handlers.SendDoorOperation(selected->hostId, selected->controllerId, selected->doorId,
                                     CEventMessageHandlers::Processed, selected->directionIndex);
    m_handlers.SendEventHandled(selected->hostId, selected->logType, selected->logId);
}

void CEventActions::Unlock(const EVENT* selected)
{
    m_alerts.StopAlarm();
    const CameraSelection shown = m_liveView.cameraSelection();
    m_handlers.SendDoorOperation(shown.hostId, shown.controllerId, shown.doorId,
                                 CEventMessageHandlers::Unlock, 0);
    ProcessedWithoutStop(selected);
}

void CEventActions::OnEventSelected(const EVENT* selected)
{
    CameraSelection s;
    int kind = 1;
    if (selected) {
        kind = selected->logType == kLicencePlateLogType ? 2 : 1;
        if (const CKRHost* host = m_manager.FindHostById(selected->hostId)) {
            s.hostId = host->hostId;
            if (const CController* controller =
                    host->siteConfig.FindController(selected->controllerId)) {
                s.groupId = controller->deviceGroupId;
                s.controllerId = controller->controllerId;
                if (const CDoor* door = controller->FindDoor(selected->doorId)) {
                    const CameraAssignment camera = door->Camera(selected->directionIndex);
                    s.doorId = door->doorId;
                    s.dvrId = camera.dvrId;
                    s.camera = camera.cameraNumber;
                    s.direction = selected->directionIndex;
                } else if (const CKRInput* input = controller->FindInput(selected->inputId)) {
                    // An input shows its first camera whatever the event's direction.
                    const CameraAssignment camera = input->Camera(0);
                    s.inputId = input->inputIndex;
                    s.dvrId = camera.dvrId;
                    s.camera = camera.cameraNumber;
                    s.direction = selected->directionIndex;
                }
            }
        }
    }
    m_liveView.SelectCamera(s);
    m_liveView.SelectPath(s.hostId, kind, s);
}

CEventActions::ButtonState CEventActions::RefreshActionButtons(const EVENT* selected,
                                                               bool listHasFocus) const
{
    ButtonState state;
    state.processed = listHasFocus && selected && selected->state != EVENT::Handled;
    state.unlock = m_liveView.cameraSelection().doorId >= 0;
    return state;
}
