#include "events/EventActions.h"

#include "connection/ConnectionManager.h"
#include "events/EventAlertSink.h"
#include "events/EventAudit.h"
#include "events/EventListModel.h"
#include "events/EventLiveView.h"
#include "events/EventMessageHandlers.h"
#include "events/EventRow.h"
#include "events/UnacknowledgedEvents.h"
#include "model/CKRHost.h"

namespace {
constexpr qint32 kLicencePlateLogType = 6;
}

struct CEventActions::ProcessedOutcome
{
    AuditOutcome acknowledgement;
    AuditOutcome doorOperation;
};

CEventActions::CEventActions(CConnectionManager& manager, CEventMessageHandlers& handlers,
                             CEventListModel& events, UnacknowledgedEvents& unacknowledged,
                             EventAlertSink& alerts, EventLiveView& liveView)
    : m_manager(manager), m_handlers(handlers), m_events(events), m_unacknowledged(unacknowledged),
      m_alerts(alerts), m_liveView(liveView)
{
}

void CEventActions::StopRing()
{
    m_alerts.StopAlarm();
    const int acknowledged = m_unacknowledged.AcknowledgePushedOut();
    if (m_audit)
        m_audit->StopRing(acknowledged);
}

void CEventActions::ClearPushedOut()
{
    const int acknowledged = m_unacknowledged.AcknowledgePushedOut();
    if (m_audit)
        m_audit->ClearPushedOut(acknowledged);
}

void CEventActions::Intercom(const EVENT* selected)
{
    m_alerts.StopAlarm();
    AuditOutcome handling;
    if (selected && selected->state == EVENT::New)
        handling = AuditOutcome::Of(
            m_handlers.Acknowledge(false, selected->hostId, selected->logType, selected->logId));
    if (m_audit)
        m_audit->Intercom(selected, handling);
}

void CEventActions::Processed(const EVENT* selected)
{
    m_alerts.StopAlarm();
    const ProcessedOutcome outcome = ProcessedWithoutStop(selected);
    if (m_audit)
        m_audit->Processed(selected, outcome.acknowledgement, outcome.doorOperation);
}

CEventActions::ProcessedOutcome CEventActions::ProcessedWithoutStop(const EVENT* selected)
{
    ProcessedOutcome outcome;
    if (!selected)
        return outcome;
    if (selected->state == EVENT::Handled) {
        outcome.acknowledgement = {AuditOutcome::Skipped, QStringLiteral("handled already")};
        return outcome;
    }
    // While the operator talks to the door, its door operations belong to the call.
    if (m_liveView.isTalking())
        outcome.doorOperation = {AuditOutcome::Skipped, QStringLiteral("in a call")};
    else
        outcome.doorOperation = AuditOutcome::Of(
            m_handlers.DoorOperation(selected->hostId, selected->controllerId, selected->doorId,
                                     CEventMessageHandlers::Processed, selected->directionIndex));
    outcome.acknowledgement = AuditOutcome::Of(
        m_handlers.Acknowledge(true, selected->hostId, selected->logType, selected->logId));
    return outcome;
}

void CEventActions::Unlock(const EVENT* selected)
{
    m_alerts.StopAlarm();
    const CameraSelection door = m_liveView.cameraSelection();
    // The row is looked up again after the question: events keep arriving while the operator
    // answers, and the cap or a host's removal may take the row away meanwhile.
    const int hostId = selected ? selected->hostId : -1;
    const qint32 logType = selected ? selected->logType : 0;
    const qint32 logId = selected ? selected->logId : 0;
    const UnlockTarget target{door, EventPlace::Of(m_manager, door)};
    if (target.place.doorKnown && m_confirmUnlock && !m_confirmUnlock(target)) {
        if (m_audit)
            m_audit->Unlock(door, selected ? m_events.FindEvent(hostId, logType, logId) : nullptr,
                            {AuditOutcome::Cancelled, {}}, {});
        return;
    }
    const AuditOutcome unlock = AuditOutcome::Of(m_handlers.DoorOperation(
        door.hostId, door.controllerId, door.doorId, CEventMessageHandlers::Unlock, 0));
    const EVENT* event = selected ? m_events.FindEvent(hostId, logType, logId) : nullptr;
    const ProcessedOutcome processed = ProcessedWithoutStop(event);
    if (m_audit)
        m_audit->Unlock(door, event, unlock, processed.acknowledgement);
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
